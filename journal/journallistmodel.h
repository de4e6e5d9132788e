#pragma once

#include "journallist.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QVector>

#include <optional>

namespace tolva {

// The journal list as the grid shows it. However long the list, it reads only its row count
// (with the debit and credit totals, in the same pass) and the windows of rows the grid
// shows: a window's entry numbers are stepped to through the journal alone, and only its
// own rows are joined with the masters' names. So the list opens at once on a decade of
// entries, moving to any row is a couple of counts, and memory stays within a few windows.
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

private:
    using Row = QVector<QVariant>;
    const QVector<Row>& window(int index) const;
    QVector<Row> readWindow(int first) const;
    qint64 count(const QString& condition, const QVariantList& extra) const;
    [[nodiscard]] QString where(const QString& condition) const;

    QString folder_;
    JournalListSql statement_;
    QList<Column> columns_;
    int rows_ = 0;
    journallist::Totals totals_;
    mutable QHash<QString, int> fieldIndex_;
    mutable QHash<int, QVector<Row>> windows_;
    mutable QList<int> recent_;
    mutable QVector<Row> emptyWindow_;
};

} // namespace tolva
