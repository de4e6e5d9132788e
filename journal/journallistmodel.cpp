#include "journal/journallistmodel.h"

#include "db/database.h"
#include "db/dataset.h"
#include "db/querymodel.h"

#include <algorithm>
#include <limits>

namespace tolva {

namespace {

using Order = JournalListSql::Order;

bool sameStatement(const JournalListSql& a, const JournalListSql& b)
{
    return a.sql == b.sql && a.params == b.params && a.readerWhere() == b.readerWhere()
           && a.readerParams() == b.readerParams() && a.order == b.order && a.hasConditions == b.hasConditions;
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
    undated_ = 0;
    dayCounts_ = false;
    folder_.clear();
    state_ = {};
    windows_.clear();
    recent_.clear();
    endResetModel();
}

void JournalListModel::show(const QString& folder, const JournalListSql& statement)
{
    // The refresh after every change of the current row lists the same statement over the
    // same books: the count, the totals and the windows read still hold.
    if (!folder_.isEmpty() && folder == folder_ && sameStatement(statement, statement_) && journallist::booksState(folder) == state_)
        return;
    beginResetModel();
    folder_ = folder;
    statement_ = statement;
    windows_.clear();
    recent_.clear();
    rows_ = 0;
    undated_ = 0;
    totals_ = {};
    state_ = {};
    try {
        const journallist::Summary listed = journallist::summary(folder_, statement_);
        rows_ = int(listed.rows);
        totals_ = listed.totals;
        if (rows_ > 0 && statement_.order != Order::NewestNumberFirst)
            undated_ = int(count(QStringLiteral("shiwake.sDay IS NULL")));
        dayCounts_ = false;
        auto db = Database::forFolder(folder_);
        if (rows_ > 0 && statement_.order != Order::NewestNumberFirst && statement_.readerWhere().trimmed().isEmpty()
            && db->hasTable(QStringLiteral("DayCount"))) {
            Statement days = db->prepare(QStringLiteral("SELECT coalesce(sum(n), 0) FROM DayCount"));
            dayCounts_ = days.step() && days.columnInt(0) == rows_ - undated_;
        }
        state_ = journallist::booksState(folder_);
    } catch (...) {
        folder_.clear();
        endResetModel();
        throw;
    }
    endResetModel();
}

QString JournalListModel::where(const QString& condition) const
{
    const QString& base = statement_.readerWhere();
    if (condition.isEmpty())
        return base;
    if (base.trimmed().isEmpty())
        return QStringLiteral(" where ") + condition;
    return base + QStringLiteral(" and (") + condition + u')';
}

qint64 JournalListModel::count(const QString& condition) const
{
    Query q(QStringLiteral("journalListCount"));
    q.setDatabaseName(folder_);
    q.setSql(QStringLiteral("SELECT count(*) AS n FROM shiwake") + where(condition));
    const QVariantList& params = statement_.readerParams();
    for (int i = 0; i < params.size(); ++i)
        q.setParam(i, params[i]);
    q.open();
    return q.field(0).asInteger();
}

bool JournalListModel::descending() const
{
    return statement_.order != Order::OldestDateFirst;
}

QList<JournalListModel::Part> JournalListModel::parts() const
{
    if (statement_.order == Order::NewestNumberFirst)
        return {{0, rows_, false}};
    // SQLite sorts an empty date below every date: last when the newest come first.
    const int dated = rows_ - undated_;
    if (descending())
        return {{0, dated, true}, {dated, rows_, false}};
    return {{0, undated_, false}, {undated_, rows_, true}};
}

QString JournalListModel::beyond(const Part& part, const Key& key, bool after) const
{
    // "After" follows the list's order; "before" runs against it.
    const bool greater = after != descending();
    const QString id = QString::number(key.id);
    const QString idTest = QStringLiteral("shiwake.id ") + (greater ? u'>' : u'<') + u' ' + id;
    if (!part.dated)
        return idTest;
    const QChar op = greater ? u'>' : u'<';
    // The range on the date alone is what the date index serves; the number only breaks the
    // ties of the key's own day.
    return QStringLiteral("shiwake.sDay %1= %2 and (shiwake.sDay %1 %2 or %3)").arg(op).arg(key.day, idTest);
}

QString JournalListModel::keysSqlInPart(const Part& part, int first, int count) const
{
    // The nearest known row on either side: an end of the part, or a row at the edge of a
    // window read before.
    const int last = first + count;  // one past
    bool forward = true;
    std::optional<Key> anchor;
    int skip = first - part.begin;
    if (part.end - last < skip) {
        forward = false;
        skip = part.end - last;
    }
    for (auto it = windows_.cbegin(); it != windows_.cend(); ++it) {
        if (it->rows.isEmpty())
            continue;
        const int begin = it.key() * kWindow;
        const int end = begin + int(it->rows.size()) - 1;
        if (end >= part.begin && end < first && first - end - 1 < skip) {
            forward = true;
            skip = first - end - 1;
            anchor = it->last;
        }
        if (begin >= last && begin < part.end && begin - last < skip) {
            forward = false;
            skip = begin - last;
            anchor = it->first;
        }
    }

    // Far from every row known, the day that holds the first row wanted is found from the
    // journal's counts per day: the walk then skips only rows of that day.
    if (dayCounts_ && part.dated && skip > 2 * kWindow) {
        if (const auto start = dayStart(first - part.begin); start && first - part.begin - start->second < skip) {
            forward = true;
            skip = first - part.begin - start->second;
            anchor = start->first;
        }
    }

    QStringList conditions;
    if (statement_.order != Order::NewestNumberFirst)
        conditions << (part.dated ? QStringLiteral("shiwake.sDay IS NOT NULL") : QStringLiteral("shiwake.sDay IS NULL"));
    if (anchor)
        conditions << beyond(part, *anchor, forward);
    const bool ascending = forward != descending();
    const QString direction = ascending ? QString() : QStringLiteral(" DESC");
    QString sql = QStringLiteral("SELECT shiwake.id, quote(shiwake.sDay) AS dayText FROM shiwake");
    // The walk follows the order's own index, never the index of a condition: no window
    // sorts the rows it passes over.
    sql += part.dated || statement_.order != Order::NewestNumberFirst ? QStringLiteral(" INDEXED BY shiwake_sDay")
                                                                       : QStringLiteral(" NOT INDEXED");
    sql += where(conditions.join(QStringLiteral(" and ")));
    sql += part.dated ? QStringLiteral(" ORDER BY shiwake.sDay%1, shiwake.id%1").arg(direction)
                      : QStringLiteral(" ORDER BY shiwake.id%1").arg(direction);
    sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(count).arg(skip);
    // A backward read is reversed by its reader: mark it in the text it runs.
    return forward ? sql : QStringLiteral("/*reversed*/") + sql;
}

QString JournalListModel::keysSql(int first, int count) const
{
    QStringList statements;
    for (const Part& part : parts()) {
        const int begin = std::max(first, part.begin);
        const int end = std::min(first + count, part.end);
        if (begin < end)
            statements << keysSqlInPart(part, begin, end - begin);
    }
    return statements.join(u'\n');
}

JournalListModel::Keys JournalListModel::readKeysInPart(const Part& part, int first, int count) const
{
    const QString sql = keysSqlInPart(part, first, count);
    const bool reversed = sql.startsWith(QStringLiteral("/*reversed*/"));
    Query keys(QStringLiteral("journalListKeys"));
    keys.setDatabaseName(folder_);
    keys.setSql(reversed ? sql.mid(12) : sql);
    const QVariantList& params = statement_.readerParams();
    for (int i = 0; i < params.size(); ++i)
        keys.setParam(i, params[i]);
    keys.open();
    Keys result;
    for (int i = 0, n = keys.fetchUntil(count); i < n; ++i) {
        result.ids << keys.rowAt(i).at(0).toLongLong();
        result.keys << Key{keys.rowAt(i).at(1).toString(), result.ids.back()};
    }
    keys.close();
    if (reversed) {
        std::reverse(result.ids.begin(), result.ids.end());
        std::reverse(result.keys.begin(), result.keys.end());
    }
    return result;
}

JournalListModel::Keys JournalListModel::readKeys(int first, int count) const
{
    Keys result;
    for (const Part& part : parts()) {
        const int begin = std::max(first, part.begin);
        const int end = std::min(first + count, part.end);
        if (begin >= end)
            continue;
        Keys piece = readKeysInPart(part, begin, end - begin);
        result.ids << piece.ids;
        result.keys << piece.keys;
    }
    return result;
}

JournalListModel::Window JournalListModel::readWindow(int first) const
{
    // The entry numbers of the window, through the journal alone ...
    const Keys keys = readKeys(first, std::min(kWindow, rows_ - first));
    if (keys.ids.isEmpty())
        return {};

    // ... then the names of just those rows. The numbers are integers the journal gave us.
    QStringList list;
    for (qint64 id : keys.ids)
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
    for (int i = 0, n = rows.fetchUntil(int(keys.ids.size())); i < n; ++i)
        byId.insert(rows.rowAt(i).at(idField).toLongLong(), rows.rowAt(i));
    Window window;
    window.rows.reserve(keys.ids.size());
    for (qint64 id : keys.ids)
        window.rows << byId.value(id);
    window.first = keys.keys.front();
    window.last = keys.keys.back();
    return window;
}

const QVector<JournalListModel::Row>& JournalListModel::window(int index) const
{
    auto it = windows_.constFind(index);
    if (it == windows_.constEnd()) {
        Window read = readWindow(index * kWindow);
        it = windows_.insert(index, std::move(read));
        recent_.append(index);
        while (recent_.size() > kWindowsKept)
            windows_.remove(recent_.takeFirst());
        it = windows_.constFind(index);
    } else {
        recent_.removeOne(index);
        recent_.append(index);
    }
    return it->rows;
}

std::optional<std::pair<JournalListModel::Key, int>> JournalListModel::dayStart(int offset) const
{
    auto db = Database::forFolder(folder_);
    Statement days = db->prepareCached(descending() ? QStringLiteral("SELECT quote(sDay), n FROM DayCount ORDER BY sDay DESC")
                                                    : QStringLiteral("SELECT quote(sDay), n FROM DayCount ORDER BY sDay"));
    std::optional<std::pair<Key, int>> found;
    qint64 before = 0;
    while (days.step()) {
        const qint64 n = days.columnInt(1);
        if (before + n > offset) {
            // A number before every number of the day in the list's order: the walk from it
            // starts with the day's first row.
            const qint64 edge = descending() ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
            found = std::pair{Key{days.column(0).toString(), edge}, int(before)};
            break;
        }
        before += n;
    }
    db->recycle(std::move(days));
    return found;
}

bool JournalListModel::nearerTheEnd(const Part& part, const Key& key) const
{
    if (part.end - part.begin < 2)
        return false;
    const Keys first = readKeysInPart(part, part.begin, 1);
    const Keys last = readKeysInPart(part, part.end - 1, 1);
    if (first.keys.isEmpty() || last.keys.isEmpty())
        return false;
    // Where the row falls between the part's ends, by date (or by number, when the part has
    // no dates or the dates of its ends are the same).
    const auto dayOf = [](const Key& k) {
        return QDate::fromString(k.day.mid(1, 10), Qt::ISODate);
    };
    const QDate from = dayOf(first.keys.front());
    const QDate to = dayOf(last.keys.front());
    const QDate day = dayOf(key);
    if (part.dated && from.isValid() && to.isValid() && day.isValid() && from != to)
        return double(from.daysTo(day)) / double(from.daysTo(to)) > 0.5;
    const qint64 a = first.ids.front();
    const qint64 b = last.ids.front();
    return a != b && double(key.id - a) / double(b - a) > 0.5;
}

std::optional<int> JournalListModel::rowOfId(qint64 id)
{
    if (rows_ == 0 || folder_.isEmpty())
        return std::nullopt;
    // A row of a window already read is found where it is.
    for (auto it = windows_.cbegin(); it != windows_.cend(); ++it) {
        if (!fieldIndex_.contains(QStringLiteral("id")))
            break;
        const int idField = fieldIndex_.value(QStringLiteral("id"));
        for (int i = 0; i < it->rows.size(); ++i)
            if (it->rows[i].size() > idField && it->rows[i][idField].toLongLong() == id)
                return it.key() * kWindow + i;
    }
    Query q(QStringLiteral("journalListFind"));
    q.setDatabaseName(folder_);
    q.setSql(QStringLiteral("SELECT quote(shiwake.sDay) AS dayText FROM shiwake")
             + where(QStringLiteral("shiwake.id = ") + QString::number(id)));
    const QVariantList& params = statement_.readerParams();
    for (int i = 0; i < params.size(); ++i)
        q.setParam(i, params[i]);
    q.open();
    if (q.isEmpty())
        return std::nullopt;
    const Key key{q.field(0).asString(), id};
    const bool dated = statement_.order != Order::NewestNumberFirst && key.day != u"NULL";
    for (const Part& part : parts()) {
        if (part.dated != dated && statement_.order != Order::NewestNumberFirst)
            continue;
        // Counts the rows between the row and the nearer end of its part, guessing which is
        // nearer from the first and last rows of the part.
        const QString inPart = statement_.order == Order::NewestNumberFirst
                                   ? QString()
                                   : (dated ? QStringLiteral("shiwake.sDay IS NOT NULL and ")
                                            : QStringLiteral("shiwake.sDay IS NULL and "));
        if (dayCounts_ && dated) {
            // The rows of the days before the row's own, then those of its day before it.
            auto db = Database::forFolder(folder_);
            Statement earlier = db->prepare(QStringLiteral("SELECT coalesce(sum(n), 0) FROM DayCount WHERE sDay %1 %2")
                                                .arg(descending() ? QStringLiteral(">") : QStringLiteral("<"), key.day));
            const qint64 days = earlier.step() ? earlier.columnInt(0) : 0;
            const QString sameDay = QStringLiteral("shiwake.sDay = %1 and shiwake.id %2 %3")
                                        .arg(key.day, descending() ? QStringLiteral(">") : QStringLiteral("<"))
                                        .arg(id);
            return int(part.begin + days + count(sameDay));
        }
        if (nearerTheEnd(part, key))
            return int(part.end - 1 - count(inPart + beyond(part, key, true)));
        return int(part.begin + count(inPart + beyond(part, key, false)));
    }
    return std::nullopt;
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
