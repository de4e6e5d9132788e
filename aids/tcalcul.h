#pragma once

#include "aids/calculator.h"

#include <QDialog>
#include <QMap>

class QAction;
class QLineEdit;
class QPushButton;

namespace tolva {

// "電卓": the calculator's keys and its two displays, opened modally beside data entry. Its
// result reaches other windows only through the clipboard ("ｺﾋﾟｰ"). Each opening starts afresh.
class TCalcul : public QDialog {
    Q_OBJECT
public:
    explicit TCalcul(QWidget* owner = nullptr);

    // Presses the key of that caption ("7", "＋", "M+", "ｺﾋﾟｰ"…), as a click on it does.
    void press(const QString& key);
    void HelpClick();

    struct Controls {
        QLineEdit* display = nullptr;
        QLineEdit* memory = nullptr;
        QMap<QString, QPushButton*> keys;  // by caption
        QPushButton* close = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }
    [[nodiscard]] const Calculator& calculator() const { return calc_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showDisplays();

    Calculator calc_;
    Controls c_;
};

// Opens the calculator modally and frees it afterwards: what "電卓" and "電卓表示" do.
void showCalculator(QWidget* owner);

} // namespace tolva
