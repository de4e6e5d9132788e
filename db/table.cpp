// A table of the books moved through one row at a time, in key order, by indexed statements.
#include "db/dataset.h"
#include "db/history.h"
#include "db/sqldialect.h"

namespace tolva {

namespace {

QString quoted(const QString& identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

void Table::setTableName(const QString& name)
{
    close();
    tableName_ = sqldialect::bareTableName(name);
}

void Table::doOpen()
{
    if (tableName_.isEmpty())
        throw StoreError(QStringLiteral("データセット「%1」のテーブル名が設定されていません。").arg(name_));
    info_ = db_->tableInfo(tableName_);
    fields_.clear();
    indexedFields_ = -1;
    QStringList columns{QStringLiteral("rowid")};
    for (const ColumnInfo& column : info_.columns) {
        fields_.append(FieldDef{column.name, column.type, false});
        columns << quoted(column.name);
    }
    columnList_ = columns.join(u", ");
    orderColumns_.clear();
    if (info_.keyColumns.isEmpty() || info_.keyIsRowId) {
        orderColumns_ << QStringLiteral("rowid");
    } else {
        for (const QString& key : info_.keyColumns)
            orderColumns_ << quoted(key);
    }
    cachedCount_.reset();
    current_ = QVector<QVariant>(fields_.size());
    const bool any = doFirst();
    empty_ = !any;
    bof_ = true;
    eof_ = !any;
}

void Table::doClose()
{
    navigation_.clear();
    rowId_ = 0;
    currentStorage_.clear();
    cachedCount_.reset();
}

QVector<QVariant> Table::keyValues() const
{
    return currentStorage_;
}

bool Table::fetchOne(const QString& where, const QVector<QVariant>& binds, bool descending, bool filtered)
{
    QStringList order;
    for (const QString& column : orderColumns_)
        order << (descending ? column + QStringLiteral(" DESC") : column);
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columnList_, quoted(info_.name));
    QStringList conditions;
    if (filtered && !filter_.isEmpty())
        conditions << u'(' + filter_ + u')';
    if (!where.isEmpty())
        conditions << u'(' + where + u')';
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + order.join(u", ") + QStringLiteral(" LIMIT 1");
    // Moving through a table runs the same few statements over and over: keep them prepared.
    auto cached = navigation_.find(sql);
    if (cached == navigation_.end())
        cached = navigation_.emplace(sql, db_->prepare(sql)).first;
    Statement& statement = cached->second;
    statement.reset();
    struct ResetAfter {
        Statement& s;
        ~ResetAfter() { s.reset(); }
    } resetAfter{statement};
    for (int i = 0; i < binds.size(); ++i)
        statement.bind(i + 1, binds[i]);
    if (!statement.step())
        return false;
    rowId_ = statement.columnInt(0);
    current_.resize(fields_.size());
    for (int i = 0; i < storedFieldCount(); ++i)
        current_[i] = toFieldValue(i, statement.column(i + 1));
    currentStorage_.clear();
    for (const QString& column : orderColumns_) {
        if (column == u"rowid") {
            currentStorage_ << QVariant(rowId_);
        } else {
            const int index = fieldIndex(info_.keyColumns.at(currentStorage_.size()));
            currentStorage_ << statement.column(index + 1);
        }
    }
    return true;
}

bool Table::loadByRowId(qint64 rowId)
{
    return fetchOne(QStringLiteral("rowid = ?"), {QVariant(rowId)}, false, false);
}

void Table::setFilter(const QString& condition)
{
    if (condition == filter_)
        return;
    if (isActive())
        checkBrowseMode();
    filter_ = condition;
    cachedCount_.reset();
    if (isActive())
        first();
}

bool Table::doFirst()
{
    if (fetchOne({}, {}, false))
        return true;
    rowId_ = 0;
    current_ = QVector<QVariant>(fields_.size());
    currentStorage_.clear();
    return false;
}

bool Table::doLast()
{
    if (fetchOne({}, {}, true))
        return true;
    rowId_ = 0;
    current_ = QVector<QVariant>(fields_.size());
    currentStorage_.clear();
    return false;
}

namespace {

QString rowValueCondition(const QStringList& columns, const char* op)
{
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    if (columns.size() == 1)
        return columns.first() + u' ' + QString::fromLatin1(op) + QStringLiteral(" ?");
    return u'(' + columns.join(u", ") + QStringLiteral(") ") + QString::fromLatin1(op) + QStringLiteral(" (")
           + marks.join(u", ") + u')';
}

} // namespace

bool Table::doNext()
{
    return fetchOne(rowValueCondition(orderColumns_, ">"), keyValues(), false);
}

bool Table::doPrior()
{
    return fetchOne(rowValueCondition(orderColumns_, "<"), keyValues(), true);
}

bool Table::doLocate(int fieldIndex, const QVariant& storageValue)
{
    const QString column = quoted(fields_[fieldIndex].name);
    if (!storageValue.isValid() || storageValue.isNull())
        return fetchOne(column + QStringLiteral(" IS NULL"), {}, false);
    return fetchOne(column + QStringLiteral(" = ?"), {storageValue}, false);
}

void Table::doPost(bool inserting)
{
    QStringList columns;
    QVector<QVariant> values;
    for (int i = 0; i < storedFieldCount(); ++i) {
        if (fields_[i].type == FieldType::AutoInc)
            continue;
        columns << quoted(fields_[i].name);
        values << toStorageValue(i, current_[i]);
    }
    const QString context = QStringLiteral("テーブル「%1」に書き込めませんでした。").arg(info_.name);
    std::optional<history::CommandScope> command;
    if (!postCommand_.isEmpty())
        command.emplace(*db_, postCommand_);
    try {
        if (inserting) {
            QStringList marks;
            for (int i = 0; i < columns.size(); ++i)
                marks << QStringLiteral("?");
            Statement statement = db_->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                   .arg(quoted(info_.name), columns.join(u", "), marks.join(u", ")));
            for (int i = 0; i < values.size(); ++i)
                statement.bind(i + 1, values[i]);
            statement.step();
            rowId_ = db_->lastInsertRowId();
            cachedCount_.reset();
        } else {
            QStringList assignments;
            for (const QString& column : columns)
                assignments << column + QStringLiteral(" = ?");
            Statement statement = db_->prepare(
                QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(quoted(info_.name), assignments.join(u", ")));
            for (int i = 0; i < values.size(); ++i)
                statement.bind(i + 1, values[i]);
            statement.bind(int(values.size()) + 1, QVariant(rowId_));
            statement.step();
        }
    } catch (const StoreError& e) {
        throw StoreError(context + u'\n' + e.message());
    }
    loadByRowId(rowId_);
}

void Table::doDelete()
{
    const QVector<QVariant> key = keyValues();
    std::optional<history::CommandScope> command;
    if (!removeCommand_.isEmpty())
        command.emplace(*db_, removeCommand_);
    Statement statement = db_->prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(info_.name)));
    statement.bind(1, QVariant(rowId_));
    statement.step();
    cachedCount_.reset();
    // Like a card file: the row after the deleted one becomes current, or the one before it
    // when the last row went.
    if (fetchOne(rowValueCondition(orderColumns_, ">"), key, false)) {
        eof_ = bof_ = false;
        return;
    }
    if (fetchOne(rowValueCondition(orderColumns_, "<"), key, true)) {
        eof_ = true;
        bof_ = false;
        return;
    }
    rowId_ = 0;
    current_ = QVector<QVariant>(fields_.size());
    currentStorage_.clear();
    empty_ = eof_ = bof_ = true;
}

void Table::doRefresh()
{
    cachedCount_.reset();
    if (!empty_ && loadByRowId(rowId_))
        return;
    const bool any = doFirst();
    empty_ = !any;
    bof_ = true;
    eof_ = !any;
}

qint64 Table::recordCount()
{
    requireActive("件数の取得");
    if (!cachedCount_) {
        QString sql = QStringLiteral("SELECT count(*) FROM %1").arg(quoted(info_.name));
        if (!filter_.isEmpty())
            sql += QStringLiteral(" WHERE ") + filter_;
        Statement statement = db_->prepare(sql);
        statement.step();
        cachedCount_ = statement.columnInt(0);
    }
    return *cachedCount_;
}

} // namespace tolva
