#pragma once

#include <QDateEdit>

namespace tolva {

// The date picker of every window: yyyy/MM/dd with the calendar drop-down, wide enough for the
// whole date. A click into a part of the date (year, month or day) selects that part, so the
// digits typed next replace it, as they do after an arrow key; without this the digits would
// go in beside the old ones and be refused. Tab leaves the date in one step, as it leaves any
// other box: the parts are reached by a click, the arrow keys or the separator typed.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tolva
