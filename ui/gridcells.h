#pragma once

#include <QHeaderView>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableView>

class QTableView;

namespace tolva {

// Grid cells as the string grids of the program draw them: the text at the alignment the
// model gives (Qt::TextAlignmentRole), 2 pixels below the top of the cell, cut with "…" when
// it does not fit.
class TopAlignedCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A horizontal header of two rows: above, the titles of groups of adjacent columns, each
// painted once across its columns in the button-face colour and centred; below, the column
// titles of the model's header data, centred, 2 pixels below the top of their row. A column
// without a group has an empty cell above its title.
class GroupedHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit GroupedHeaderView(QWidget* parent = nullptr);

    // One entry per column; adjacent columns with the same non-empty text form a group.
    void setGroups(const QStringList& groups);
    [[nodiscard]] const QStringList& groups() const { return groups_; }
    // Where the group of `column` is painted, in viewport coordinates (the whole top row of
    // the group).
    [[nodiscard]] QRect groupRect(int column) const;
    // Adjacent columns with the same title share one title cell, centred in it both ways
    // (the paired account and sub-account columns of a view). Off unless set.
    void setMergedTitles(bool merged);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] int rowHeight() const;
    QStringList groups_;
    bool mergedTitles_ = false;
};

// Widens `window` so that every shown column of `grid` is seen whole, with the width of the
// vertical scroll bar kept free: a full list brings the bar in over the last column, and a
// figure cut short ("1,161,23") reads as another figure. Never narrows the window. Not held to
// the screen's width either: on a screen narrower than the columns the maximised window's grid
// scrolls sideways. Call it with the window's layout in place (from its show event on).
void widenToColumns(QWidget* window, const QTableView* grid);

// A grid of whole rows (a list): Home and End, with or without Ctrl, go to the first and the
// last row and leave the column and the horizontal scroll as they are. A table's own Ctrl+End
// goes to the last column as well, scrolling the list to its right end and hiding the columns
// that tell the rows apart.
class RowListView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tolva
