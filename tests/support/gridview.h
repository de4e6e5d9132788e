#pragma once

#include <QAbstractItemModel>
#include <QScrollBar>
#include <QStringList>
#include <QTableView>

namespace tolva::testing {

// How many pixels of the shown columns of `grid` lie beyond its viewport, behind the vertical
// scroll bar or scrolled out sideways; 0 when every column is seen whole.
[[nodiscard]] inline int pixelsOfColumnsCut(const QTableView& grid)
{
    int columns = 0;
    for (int column = 0; column < grid.model()->columnCount(); ++column) {
        if (!grid.isColumnHidden(column))
            columns += grid.columnWidth(column);
    }
    return qMax(0, columns - grid.viewport()->width());
}

// The filled cells of the grid's last row (its totals line) from column 2 on, left to right:
// "計" and the totals, as a printed totals line reads.
[[nodiscard]] inline QStringList totalsLineShown(const QTableView& grid)
{
    const QAbstractItemModel* model = grid.model();
    QStringList cells;
    for (int column = 2; column < model->columnCount(); ++column) {
        const QString text = model->index(model->rowCount() - 1, column).data().toString();
        if (!text.isEmpty())
            cells << text;
    }
    return cells;
}

} // namespace tolva::testing
