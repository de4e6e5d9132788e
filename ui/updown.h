#pragma once

#include <QWidget>

class QToolButton;

namespace tolva {

// A horizontal up-down control: two arrow buttons side by side that step a whole number
// within a range, the left one down and the right one up. It shows no number of its own; the
// window shows the value where it belongs.
class HorizontalUpDown : public QWidget {
    Q_OBJECT
public:
    explicit HorizontalUpDown(QWidget* parent = nullptr);

    [[nodiscard]] int value() const { return value_; }
    // Kept within the range; valueChanged only when the value does change.
    void setValue(int value);
    void setRange(int minimum, int maximum);
    [[nodiscard]] QToolButton* downButton() const { return down_; }
    [[nodiscard]] QToolButton* upButton() const { return up_; }

signals:
    void valueChanged(int value);

private:
    void updateButtons();

    QToolButton* down_ = nullptr;
    QToolButton* up_ = nullptr;
    int minimum_ = 0;
    int maximum_ = 99;
    int value_ = 0;
};

} // namespace tolva
