#include "ui/datepicker.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace tolva {

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    // Room for the date and the drop-down button.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 44);
    lineEdit()->installEventFilter(this);
}

bool DatePicker::focusNextPrevChild(bool next)
{
    // Not the date's own stepping from part to part: the next control of the window.
    return QWidget::focusNextPrevChild(next);
}

bool DatePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // The press has placed the cursor where the user clicked; a selection the user
        // dragged is theirs to keep.
        if (!lineEdit()->hasSelectedText() && currentSection() != NoSection)
            setSelectedSection(currentSection());
    }
    return QDateEdit::eventFilter(watched, event);
}

} // namespace tolva
