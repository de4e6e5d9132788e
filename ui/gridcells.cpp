#include "ui/gridcells.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QStyleOptionHeader>

namespace tolva {

void TopAlignedCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = opt.rect.adjusted(margin, 2, -margin, 0);
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const Qt::Alignment horizontal = opt.displayAlignment & Qt::AlignHorizontal_Mask;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(textRect, int(horizontal | Qt::AlignTop), opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

GroupedHeaderView::GroupedHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignCenter);
}

void GroupedHeaderView::setGroups(const QStringList& groups)
{
    groups_ = groups;
    updateGeometries();
    viewport()->update();
}

void GroupedHeaderView::setMergedTitles(bool merged)
{
    mergedTitles_ = merged;
    viewport()->update();
}

int GroupedHeaderView::rowHeight() const
{
    return fontMetrics().height() + 6;
}

QSize GroupedHeaderView::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(2 * rowHeight());
    return size;
}

QRect GroupedHeaderView::groupRect(int column) const
{
    const QString group = groups_.value(column);
    int first = column;
    int last = column;
    if (!group.isEmpty()) {
        while (first > 0 && groups_.value(first - 1) == group)
            --first;
        while (last + 1 < count() && groups_.value(last + 1) == group)
            ++last;
    }
    const int left = sectionViewportPosition(first);
    const int right = sectionViewportPosition(last) + sectionSize(last);
    return QRect(left, 0, right - left, qMax(rowHeight(), height() - rowHeight()));
}

void GroupedHeaderView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int top = height() - rowHeight();
    auto paintCell = [&](const QRect& rect, const QString& text, int flags) {
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.rect = rect;
        option.position = QStyleOptionHeader::Middle;
        style()->drawControl(QStyle::CE_HeaderSection, &option, &painter, this);
        painter.drawText(rect, flags, text);
    };
    for (int column = 0; column < count(); ++column) {
        if (isSectionHidden(column))
            continue;
        const int left = sectionViewportPosition(column);
        const int width = sectionSize(column);
        const QRect title(left, top, width, rowHeight());
        auto titleOf = [&](int c) { return model() ? model()->headerData(c, Qt::Horizontal).toString() : QString(); };
        const QString text = titleOf(column);
        if (mergedTitles_) {
            // Painted once, from the first of its run of equal titles.
            if (column > 0 && !text.isEmpty() && titleOf(column - 1) == text && !isSectionHidden(column - 1)) {
                // painted with the column before
            } else {
                int last = column;
                while (last + 1 < count() && !text.isEmpty() && titleOf(last + 1) == text && !isSectionHidden(last + 1))
                    ++last;
                const QRect span(left, top, sectionViewportPosition(last) + sectionSize(last) - left, rowHeight());
                paintCell(span, text, int(Qt::AlignCenter | Qt::TextSingleLine));
            }
        } else {
            paintCell(title, QString(), 0);
            painter.drawText(title.adjusted(1, 2, -1, 0), int(Qt::AlignHCenter | Qt::AlignTop), text);
        }
        // A group is painted once, from its first column.
        const QString group = groups_.value(column);
        if (!group.isEmpty() && column > 0 && groups_.value(column - 1) == group)
            continue;
        paintCell(groupRect(column), group, int(Qt::AlignCenter | Qt::TextSingleLine));
    }
}

void widenToColumns(QWidget* window, const QTableView* grid)
{
    int columns = 0;
    for (int column = 0; column < grid->model()->columnCount(); ++column) {
        if (!grid->isColumnHidden(column))
            columns += grid->columnWidth(column);
    }
    const int scrollBar = grid->verticalScrollBar()->sizeHint().width();
    const int around = window->width() - grid->width();  // the window's margins beside the grid
    const int needed = around + 2 * grid->frameWidth() + columns + scrollBar;
    if (needed > window->width())
        window->resize(needed, window->height());
}

// --- RowListView ----------------------------------------------------------------------

QModelIndex RowListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (selectionBehavior() != SelectRows || (action != MoveHome && action != MoveEnd) || model() == nullptr)
        return QTableView::moveCursor(action, modifiers);
    const int rows = model()->rowCount(rootIndex());
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    const int column = current.isValid() ? current.column() : columnAt(0);
    return model()->index(action == MoveHome ? 0 : rows - 1, qMax(column, 0), rootIndex());
}

void RowListView::keyPressEvent(QKeyEvent* event)
{
    const bool homeOrEnd = event->key() == Qt::Key_Home || event->key() == Qt::Key_End;
    if (!homeOrEnd || selectionBehavior() != SelectRows) {
        QTableView::keyPressEvent(event);
        return;
    }
    // Bringing the row into view may scroll sideways to the current cell; the user's view of
    // the columns stays.
    const int across = horizontalScrollBar()->value();
    QTableView::keyPressEvent(event);
    horizontalScrollBar()->setValue(across);
}

} // namespace tolva
