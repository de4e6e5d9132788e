#include "ui/updown.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace tolva {

HorizontalUpDown::HorizontalUpDown(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::LeftArrow);
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::RightArrow);
    for (QToolButton* button : {down_, up_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        row->addWidget(button);
    }
    connect(down_, &QToolButton::clicked, this, [this] { setValue(value_ - 1); });
    connect(up_, &QToolButton::clicked, this, [this] { setValue(value_ + 1); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateButtons();
}

void HorizontalUpDown::setValue(int value)
{
    value = qBound(minimum_, value, maximum_);
    if (value == value_)
        return;
    value_ = value;
    updateButtons();
    emit valueChanged(value_);
}

void HorizontalUpDown::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = qMax(minimum, maximum);
    const int kept = qBound(minimum_, value_, maximum_);
    if (kept != value_) {
        value_ = kept;
        emit valueChanged(value_);
    }
    updateButtons();
}

void HorizontalUpDown::updateButtons()
{
    down_->setEnabled(value_ > minimum_);
    up_->setEnabled(value_ < maximum_);
}

} // namespace tolva
