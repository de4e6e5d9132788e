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
    try {
        rows_ = int(count({}, {}));
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

QVector<JournalListModel::Row> JournalListModel::select(const QString& condition, const QString& order,
                                                       const QVariantList& extra, int limit) const
{
    Query q(QStringLiteral("journalListWindow"));
    q.setDatabaseName(folder_);
    q.setSql(journallist::baseSql() + where(condition) + order + QStringLiteral(" LIMIT ") + QString::number(limit));
    const QVariantList params = statement_.params + extra;
    for (int i = 0; i < params.size(); ++i)
        q.setParam(i, params[i]);
    q.open();
    if (fieldIndex_.isEmpty()) {
        for (int i = 0; i < q.fieldCount(); ++i)
            fieldIndex_.insert(q.fieldDefs()[i].name.toLower(), i);
    }
    QVector<Row> rows;
    const int n = q.fetchUntil(limit);
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows << q.rowAt(i);
    return rows;
}

std::optional<JournalListModel::Key> JournalListModel::keyAt(int position) const
{
    // Only the sort key is read while stepping over the rows before the window: an
    // index-only walk, without the names the full list joins in.
    Query q(QStringLiteral("journalListKey"));
    q.setDatabaseName(folder_);
    q.setSql(QStringLiteral("SELECT shiwake.sDay AS k1, shiwake.id AS k2 FROM shiwake") + statement_.where
             + orderBy(statement_.order) + QStringLiteral(" LIMIT 1 OFFSET ") + QString::number(position));
    for (int i = 0; i < statement_.params.size(); ++i)
        q.setParam(i, statement_.params[i]);
    q.open();
    if (q.isEmpty())
        return std::nullopt;
    // The day stays in its stored form so that it compares exactly in the next statements.
    const QDate day = q.field(0).asDate();
    return Key{day.isValid() ? QVariant(day) : QVariant(), q.field(1).asInteger()};
}

QVector<JournalListModel::Row> JournalListModel::rowsFrom(const Key& key, int wanted) const
{
    QVector<Row> rows;
    auto take = [&](const QString& condition, const QString& order, const QVariantList& extra) {
        if (rows.size() >= wanted)
            return;
        rows += select(condition, order, extra, wanted - int(rows.size()));
    };
    const QString byIdDesc = QStringLiteral(" ORDER BY shiwake.id DESC");
    const QString byIdAsc = QStringLiteral(" ORDER BY shiwake.id");
    const bool dated = key.day.isValid() && !key.day.isNull();
    switch (statement_.order) {
    case Order::NewestNumberFirst:
        take(QStringLiteral("shiwake.id <= :kId"), byIdDesc, {key.id});
        break;
    case Order::NewestDateFirst:
        // Undated rows come last when the newest date is first.
        if (dated) {
            take(QStringLiteral("shiwake.sDay = :kDay and shiwake.id <= :kId"), byIdDesc, {key.day, key.id});
            take(QStringLiteral("shiwake.sDay < :kDay"), orderBy(Order::NewestDateFirst), {key.day});
            take(QStringLiteral("shiwake.sDay IS NULL"), byIdDesc, {});
        } else {
            take(QStringLiteral("shiwake.sDay IS NULL and shiwake.id <= :kId"), byIdDesc, {key.id});
        }
        break;
    case Order::OldestDateFirst:
        // Undated rows come first when the oldest date is first.
        if (!dated) {
            take(QStringLiteral("shiwake.sDay IS NULL and shiwake.id >= :kId"), byIdAsc, {key.id});
            take(QStringLiteral("shiwake.sDay IS NOT NULL"), orderBy(Order::OldestDateFirst), {});
        } else {
            take(QStringLiteral("shiwake.sDay = :kDay and shiwake.id >= :kId"), byIdAsc, {key.day, key.id});
            take(QStringLiteral("shiwake.sDay > :kDay"), orderBy(Order::OldestDateFirst), {key.day});
        }
        break;
    }
    return rows;
}

const QVector<JournalListModel::Row>& JournalListModel::window(int index) const
{
    auto it = windows_.constFind(index);
    if (it == windows_.constEnd()) {
        QVector<Row> rows;
        if (const auto key = keyAt(index * kWindow))
            rows = rowsFrom(*key, kWindow);
        it = windows_.insert(index, rows);
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
