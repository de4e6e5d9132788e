#pragma once

#include "journal/journallist.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QVector>

#include <optional>
#include <utility>

namespace tolva {

// The journal list as the grid shows it. However long the list, it reads only its row count
// (with the debit and credit totals, in the same pass, once per statement and state of the
// books) and the windows of rows the grid shows. A window's entry numbers are read by key
// (date and number) from the nearest row already known: the end of a window read before,
// or either end of the list, so a window at the end costs what one at the start does. Only
// a window's own rows are joined with the masters' names. Memory stays within a few windows.
class JournalListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Column = journallist::ListColumn;
    static constexpr int kWindow = 200;
    static constexpr int kWindowsKept = 40;

    explicit JournalListModel(QObject* parent = nullptr);

    void setColumns(QList<Column> columns);
    // Lists the rows of the statement from the data folder's journal.
    void show(const QString& folder, const JournalListSql& statement);
    // The debit and credit totals of every listed row, when the list has conditions.
    [[nodiscard]] const journallist::Totals& totals() const { return totals_; }
    void clear();

    // The row that shows the journal row with this number, if it is listed.
    [[nodiscard]] std::optional<int> rowOfId(qint64 id);
    [[nodiscard]] qint64 idAt(int row) const;
    // A field of a listed row by name, in its natural type (for tests and exports).
    [[nodiscard]] QVariant value(int row, const QString& field) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The statement that reads a run of the list's entry numbers, as the window reads them
    // (for checking its plan).
    [[nodiscard]] QString keysSql(int first, int count) const;

private:
    using Row = QVector<QVariant>;
    // Where a listed row stands in the list's order: its date as an SQL literal and number.
    struct Key {
        QString day;
        qint64 id = 0;
    };
    struct Window {
        QVector<Row> rows;
        Key first;
        Key last;
    };
    // A stretch of the list in one order of its own: the dated rows by date and number, the
    // undated ones by number.
    struct Part {
        int begin = 0;
        int end = 0;
        bool dated = false;
    };
    struct Keys {
        QList<qint64> ids;
        QList<Key> keys;
    };
    const QVector<Row>& window(int index) const;
    Window readWindow(int first) const;
    Keys readKeys(int first, int count) const;
    Keys readKeysInPart(const Part& part, int first, int count) const;
    [[nodiscard]] QString keysSqlInPart(const Part& part, int first, int count) const;
    [[nodiscard]] QList<Part> parts() const;
    [[nodiscard]] bool descending() const;
    [[nodiscard]] QString beyond(const Part& part, const Key& key, bool after) const;
    qint64 count(const QString& condition) const;
    [[nodiscard]] bool nearerTheEnd(const Part& part, const Key& key) const;
    // For the whole journal's list: the day that holds the dated row `offset` (counted from
    // the first dated row), as a key just before that day's first row, and that row's offset.
    // Read from the journal's counts per day.
    [[nodiscard]] std::optional<std::pair<Key, int>> dayStart(int offset) const;
    [[nodiscard]] QString where(const QString& condition) const;

    QString folder_;
    JournalListSql statement_;
    QList<Column> columns_;
    int rows_ = 0;
    int undated_ = 0;
    // The journal's counts per day (`DayCount`) hold this list's dated rows: the whole journal
    // is listed and the counts add up to its dated rows.
    bool dayCounts_ = false;
    journallist::BooksState state_;
    journallist::Totals totals_;
    mutable QHash<QString, int> fieldIndex_;
    mutable QHash<int, Window> windows_;
    mutable QList<int> recent_;
    mutable QVector<Row> emptyWindow_;
};

} // namespace tolva
