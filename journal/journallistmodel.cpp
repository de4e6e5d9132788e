#include "journallistmodel.h"

#include "dataset.h"
#include "querymodel.h"

namespace tolva {

namespace {

using Order = JournalListSql::Order;

QString orderBy(Order order)
{
    switch (order) {
    case Order::NewestDateFirst:
        return QStringLiteral(" ORDER BY shiwake.sDay DESC, shiwake.id DESC");
    case Order::OldestDateFirst:
        return QStringLiteral(" ORDER BY shiwake.sDay, shiwake.id");
    case Order::NewestNumberFirst:
        break;
    }
    return QStringLiteral(" ORDER BY shiwake.id DESC");
}

} // namespace

JournalListModel::JournalListModel(QObject* parent) : QAbstractTableModel(parent) {}

void JournalListModel::setColumns(QList<Column> columns)
{
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void JournalListModel::clear()
{
    beginResetModel();
    rows_ = 0;
    windows_.clear();
    recent_.clear();
    endResetModel();
}

void JournalListModel::show(const QString& folder, const JournalListSql& statement)
{
    beginResetModel();
    folder_ = folder;
    statement_ = statement;
    windows_.clear();
    recent_.clear();
    rows_ = 0;
    totals_ = {};
    try {
        const journallist::Summary listed = journallist::summary(folder_, statement_);
        rows_ = int(listed.rows);
        totals_ = listed.totals;
    } catch (...) {
        endResetModel();
        throw;
    }
    endResetModel();
}

QString JournalListModel::where(const QString& condition) const
{
    if (condition.isEmpty())
        return statement_.where;
    if (statement_.where.trimmed().isEmpty())
        return QStringLiteral(" where ") + condition;
    return statement_.where + QStringLiteral(" and (") + condition + u')';
}

qint64 JournalListModel::count(const QString& condition, const QVariantList& extra) const
{
    Query q(QStringLiteral("journalListCount"));
    q.setDatabaseName(folder_);
    q.setSql(QStringLiteral("SELECT count(*) AS n FROM shiwake") + where(condition));
    const QVariantList params = statement_.params + extra;
    for (int i = 0; i < params.size(); ++i)
        q.setParam(i, params[i]);
    q.open();
    return q.field(0).asInteger();
}

QVector<JournalListModel::Row> JournalListModel::readWindow(int first) const
{
    // The entry numbers of the window, stepping over the rows before it through the journal
    // alone (an index, where the order has one) ...
    Query keys(QStringLiteral("journalListKeys"));
    keys.setDatabaseName(folder_);
    keys.setSql(QStringLiteral("SELECT shiwake.id FROM shiwake") + statement_.where + orderBy(statement_.order)
                + QStringLiteral(" LIMIT %1 OFFSET %2").arg(kWindow).arg(first));
    for (int i = 0; i < statement_.params.size(); ++i)
        keys.setParam(i, statement_.params[i]);
    keys.open();
    QList<qint64> ids;
    for (int i = 0, n = keys.fetchUntil(kWindow); i < n; ++i)
        ids << keys.rowAt(i).at(0).toLongLong();
    keys.close();
    if (ids.isEmpty())
        return {};

    // ... then the names of just those rows. The numbers are integers the journal gave us.
    QStringList list;
    for (qint64 id : ids)
        list << QString::number(id);
    Query rows(QStringLiteral("journalListRows"));
    rows.setDatabaseName(folder_);
    rows.setSql(journallist::baseSql() + QStringLiteral(" WHERE shiwake.id IN (") + list.join(u',') + u')');
    rows.open();
    if (fieldIndex_.isEmpty()) {
        for (int i = 0; i < rows.fieldCount(); ++i)
            fieldIndex_.insert(rows.fieldDefs()[i].name.toLower(), i);
    }
    const int idField = rows.fieldIndex(QStringLiteral("id"));
    QHash<qint64, Row> byId;
    for (int i = 0, n = rows.fetchUntil(int(ids.size())); i < n; ++i)
        byId.insert(rows.rowAt(i).at(idField).toLongLong(), rows.rowAt(i));
    QVector<Row> window;
    window.reserve(ids.size());
    for (qint64 id : ids)
        window << byId.value(id);
    return window;
}

const QVector<JournalListModel::Row>& JournalListModel::window(int index) const
{
    auto it = windows_.constFind(index);
    if (it == windows_.constEnd()) {
        it = windows_.insert(index, readWindow(index * kWindow));
        recent_.append(index);
        while (recent_.size() > kWindowsKept)
            windows_.remove(recent_.takeFirst());
    } else {
        recent_.removeOne(index);
        recent_.append(index);
    }
    return it.value();
}

std::optional<int> JournalListModel::rowOfId(qint64 id)
{
    if (rows_ == 0 || folder_.isEmpty())
        return std::nullopt;
    Query q(QStringLiteral("journalListFind"));
    q.setDatabaseName(folder_);
    q.setSql(QStringLiteral("SELECT shiwake.sDay FROM shiwake") + where(QStringLiteral("shiwake.id = :kId")));
    QVariantList params = statement_.params;
    params << id;
    for (int i = 0; i < params.size(); ++i)
        q.setParam(i, params[i]);
    q.open();
    if (q.isEmpty())
        return std::nullopt;
    const QDate day = q.field(0).asDate();
    qint64 before = 0;
    switch (statement_.order) {
    case Order::NewestNumberFirst:
        before = count(QStringLiteral("shiwake.id > :kId"), {id});
        break;
    case Order::NewestDateFirst:
        if (day.isValid())
            before = count(QStringLiteral("shiwake.sDay > :kDay"), {day})
                     + count(QStringLiteral("shiwake.sDay = :kDay and shiwake.id > :kId"), {day, id});
        else
            before = count(QStringLiteral("shiwake.sDay IS NOT NULL"), {})
                     + count(QStringLiteral("shiwake.sDay IS NULL and shiwake.id > :kId"), {id});
        break;
    case Order::OldestDateFirst:
        if (day.isValid())
            before = count(QStringLiteral("shiwake.sDay IS NULL"), {}) + count(QStringLiteral("shiwake.sDay < :kDay"), {day})
                     + count(QStringLiteral("shiwake.sDay = :kDay and shiwake.id < :kId"), {day, id});
        else
            before = count(QStringLiteral("shiwake.sDay IS NULL and shiwake.id < :kId"), {id});
        break;
    }
    return int(before);
}

QVariant JournalListModel::value(int row, const QString& field) const
{
    if (row < 0 || row >= rows_)
        return {};
    const QVector<Row>& rows = window(row / kWindow);
    const int offset = row % kWindow;
    if (offset >= rows.size())
        return {};
    const int index = fieldIndex_.value(field.toLower(), -1);
    return index >= 0 && index < rows[offset].size() ? rows[offset][index] : QVariant();
}

qint64 JournalListModel::idAt(int row) const
{
    return value(row, QStringLiteral("id")).toLongLong();
}

int JournalListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int JournalListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant JournalListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= columns_.size())
        return {};
    if (role == Qt::DisplayRole) {
        try {
            return QueryModel::displayText(value(index.row(), columns_[index.column()].field));
        } catch (const StoreError&) {
            // A grid cannot show a message while painting; the next action will.
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole) {
        const QString& field = columns_[index.column()].field;
        const bool number = field == u"id" || field.endsWith(QStringLiteral("gaku"), Qt::CaseInsensitive);
        return number ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

QVariant JournalListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < columns_.size())
        return columns_[section].caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace tolva
