#pragma once

#include "db/dataset.h"

#include <QAbstractTableModel>

namespace tolva {

// A grid's view of a query that reads rows only as the grid scrolls to them: opening a list of
// a million journal rows shows its first screen after reading one batch, and memory follows
// what was scrolled through. Amounts show as grid amounts ("1,234", right-aligned) and dates
// in the short date form.
class QueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString field;    // field name in the query
        QString caption;  // header text; the field name when empty
    };

    static constexpr int kBatch = 256;

    explicit QueryModel(Query& query, QObject* parent = nullptr);

    // The columns to show; all fields of the query when none are set.
    void setColumns(QList<Column> columns);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // Reads on until `row` is there (for moving the grid to a located row).
    void ensureRow(int row);

    // The text a cell shows for a field value.
    [[nodiscard]] static QString displayText(const QVariant& value);

private:
    void reset();
    [[nodiscard]] int fieldIndexOfColumn(int column) const;

    Query& query_;
    QList<Column> columns_;
    QVector<int> fieldIndexes_;
    int rows_ = 0;
};

} // namespace tolva
