// A statement's rows, read as they are needed; the SQL of the stored queries and parameters.
#include "db/dataset.h"
#include "db/datasetvalues.h"
#include "db/sqldialect.h"

#include <sqlite3.h>

namespace tolva {

using datasetvalues::parameterStorage;

void Query::setSql(const QString& sql)
{
    close();
    sql_ = sql;
    occurrences_ = sqldialect::parameterOccurrences(sql);
    values_.clear();
    currencyColumns_.clear();
}

void Query::setSql(const QString& sql, const QStringList& currencyColumns)
{
    setSql(sql);
    setCurrencyColumns(currencyColumns);
}

void Query::setCurrencyColumns(const QStringList& names)
{
    close();
    currencyColumns_ = names;
}

void Query::setUniDirectional(bool on)
{
    close();
    uniDirectional_ = on;
}

std::unique_ptr<Query> Query::oneWayCopy() const
{
    auto copy = std::make_unique<Query>(datasetName());
    copy->setDatabaseName(databaseName());
    copy->db_ = db_;  // the same connection, read-only books included
    copy->sql_ = sql_;
    copy->occurrences_ = occurrences_;
    copy->values_ = values_;
    copy->currencyColumns_ = currencyColumns_;
    copy->uniDirectional_ = true;
    for (const ComputedField& field : computed_)
        copy->addComputedField(field);
    return copy;
}

void Query::requireBackward(const char* action) const
{
    if (uniDirectional_ && rowsStepped_ > 1)
        throw StoreError(QStringLiteral("問合せ「%1」は一方向の読み取りのため、%2できません。").arg(name_, QString::fromUtf8(action)));
}

void Query::setParam(int occurrence, const QVariant& value)
{
    if (occurrence < 0 || occurrence >= occurrences_.size())
        throw StoreError(QStringLiteral("問合せ「%1」に %2 番目のパラメータがありません。").arg(name_).arg(occurrence));
    values_.insert(occurrences_[occurrence].toLower(), parameterStorage(value));
}

void Query::setParam(const QString& name, const QVariant& value)
{
    bool known = false;
    for (const QString& occurrence : occurrences_)
        known = known || occurrence.compare(name, Qt::CaseInsensitive) == 0;
    if (!known)
        throw StoreError(QStringLiteral("問合せ「%1」にパラメータ「%2」がありません。").arg(name_, name));
    values_.insert(name.toLower(), parameterStorage(value));
}

QVariant Query::paramValue(const QString& name) const
{
    const auto it = values_.constFind(name.toLower());
    if (it == values_.constEnd())
        throw StoreError(QStringLiteral("問合せ「%1」のパラメータ「%2」に値が設定されていません。").arg(name_, name));
    return it.value();
}

void Query::bindAll(Statement& statement, const QStringList& distinctNames) const
{
    for (int i = 0; i < distinctNames.size(); ++i)
        statement.bind(i + 1, paramValue(distinctNames[i]));
}

void Query::doOpen()
{
    if (sql_.trimmed().isEmpty())
        throw StoreError(QStringLiteral("問合せ「%1」のSQLが設定されていません。").arg(name_));
    const sqldialect::Translation translation = db_->translation(sql_);
    translated_ = translation.sql;
    distinctNames_ = translation.distinctNames;
    cursorStatement_ = db_->prepareCached(translated_);
    bindAll(cursorStatement_, distinctNames_);

    sqlite3_stmt* stmt = cursorStatement_.handle();
    const int count = sqlite3_column_count(stmt);
    fields_.clear();
    indexedFields_ = -1;
    QHash<QString, int> seen;
    const QSet<QString>& currency = db_->currencyColumns();
    for (int i = 0; i < count; ++i) {
        QString columnName = QString::fromUtf8(sqlite3_column_name(stmt, i));
        if (const int dot = columnName.lastIndexOf(u'.'); dot >= 0)
            columnName = columnName.mid(dot + 1);
        // A repeated name becomes name_1, name_2, ... in order of appearance.
        const QString key = columnName.toLower();
        const int repeats = seen.value(key, 0);
        seen.insert(key, repeats + 1);
        QString unique = columnName;
        if (repeats > 0) {
            int n = repeats;
            do {
                unique = columnName + u'_' + QString::number(n++);
            } while (seen.contains(unique.toLower()));
            seen.insert(unique.toLower(), 1);
        }
        FieldType type = fieldTypeFromDeclared(QString::fromUtf8(sqlite3_column_decltype(stmt, i)));
        if (type == FieldType::Unknown) {
            const auto sum = translation.sumAliases.constFind(columnName.toLower());
            if (sum != translation.sumAliases.constEnd() && currency.contains(sum.value()))
                type = FieldType::Currency;
        }
        fields_.append(FieldDef{unique, type, true});
    }
    for (const QString& declared : std::as_const(currencyColumns_)) {
        const int index = fieldIndex(declared);
        if (index < 0)
            throw StoreError(QStringLiteral("問合せ「%1」の結果に金額の列「%2」がありません。").arg(name_, declared));
        FieldDef& field = fields_[index];
        if (field.type != FieldType::Unknown && field.type != FieldType::Currency)
            throw StoreError(QStringLiteral("問合せ「%1」の列「%2」は金額の列ではありません。").arg(name_, field.name));
        field.type = FieldType::Currency;
    }
    rows_.clear();
    cursor_ = -1;
    exhausted_ = false;
    rowsStepped_ = 0;
    if (readOne()) {
        cursor_ = 0;
        current_ = rows_[0];
    } else {
        current_ = QVector<QVariant>(fields_.size());
    }
    empty_ = rows_.isEmpty();
    bof_ = true;
    eof_ = empty_;
}

void Query::doClose()
{
    if (db_)
        db_->recycle(std::move(cursorStatement_));
    cursorStatement_ = Statement();
    rows_.clear();
    rows_.squeeze();
    cursor_ = -1;
    exhausted_ = false;
    rowsStepped_ = 0;
}

bool Query::readOne()
{
    if (exhausted_)
        return false;
    if (!cursorStatement_.step()) {
        exhausted_ = true;
        // Ends the read at once, so the statement holds no snapshot of the database.
        db_->recycle(std::move(cursorStatement_));
        cursorStatement_ = Statement();
        return false;
    }
    QVector<QVariant> row(storedFieldCount());
    for (int i = 0; i < storedFieldCount(); ++i)
        row[i] = toFieldValue(i, cursorStatement_.column(i));
    ++rowsStepped_;
    if (uniDirectional_)
        rows_.clear();
    rows_.append(std::move(row));
    return true;
}

int Query::fetchUntil(int count)
{
    while (rows_.size() < count && readOne()) {
    }
    return int(rows_.size());
}

void Query::moveTo(int index)
{
    requireActive("移動");
    fetchUntil(index + 1);
    if (index < 0 || index >= rows_.size())
        return;
    cursor_ = index;
    current_ = rows_[index];
    bof_ = index == 0;
    eof_ = false;
    notify(-1);
}

bool Query::doFirst()
{
    requireBackward("先頭へ移動");
    if (rows_.isEmpty() && !readOne())
        return false;
    cursor_ = 0;
    current_ = rows_[0];
    return true;
}

bool Query::doLast()
{
    while (readOne()) {
    }
    if (rows_.isEmpty())
        return false;
    cursor_ = int(rows_.size()) - 1;
    current_ = rows_[cursor_];
    return true;
}

bool Query::doNext()
{
    if (uniDirectional_) {
        if (!readOne())
            return false;
        cursor_ = 0;
        current_ = rows_[0];
        return true;
    }
    if (cursor_ + 1 >= rows_.size() && !readOne())
        return false;
    ++cursor_;
    current_ = rows_[cursor_];
    return true;
}

bool Query::doPrior()
{
    requireBackward("前へ移動");
    if (cursor_ <= 0)
        return false;
    --cursor_;
    current_ = rows_[cursor_];
    return true;
}

bool Query::doLocate(int fieldIndex, const QVariant& storageValue)
{
    if (uniDirectional_)
        throw StoreError(QStringLiteral("問合せ「%1」は一方向の読み取りのため、検索できません。").arg(name_));
    for (int i = 0;; ++i) {
        if (i >= rows_.size() && !readOne())
            return false;
        if (toStorageValue(fieldIndex, rows_[i][fieldIndex]) == storageValue) {
            cursor_ = i;
            current_ = rows_[i];
            return true;
        }
    }
}

void Query::doPost(bool)
{
    throw StoreError(QStringLiteral("問合せ「%1」は読み取り専用です。").arg(name_));
}

void Query::doDelete()
{
    throw StoreError(QStringLiteral("問合せ「%1」は読み取り専用です。").arg(name_));
}

void Query::doRefresh()
{
    const int position = cursor_;
    doClose();
    computedAppended_ = false;
    doOpen();
    appendComputedFieldDefs();
    if (position > 0 && !uniDirectional_) {
        fetchUntil(position + 1);
        if (position < rows_.size()) {
            cursor_ = position;
            current_ = rows_[position];
        }
    }
}

int Query::execSql()
{
    close();
    auto db = database();
    const sqldialect::Translation& translation = db->translation(sql_);
    Statement statement = db->prepareCached(translation.sql);
    bindAll(statement, translation.distinctNames);
    while (statement.step()) {
    }
    const int changed = db->changes();
    db->recycle(std::move(statement));
    return changed;
}

qint64 Query::recordCount()
{
    requireActive("件数の取得");
    if (exhausted_)
        return uniDirectional_ ? rowsStepped_ : rows_.size();
    Statement statement = db_->prepare(QStringLiteral("SELECT count(*) FROM (") + translated_ + u')');
    bindAll(statement, distinctNames_);
    statement.step();
    return statement.columnInt(0);
}

} // namespace tolva
