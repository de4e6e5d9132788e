#pragma once

#include "closing/openingbalances.h"

#include <QDialog>

class QAction;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tolva {

class Tdm01Keiri;

// "期首残高の入力": the balance-sheet accounts (and their sub-accounts) with their balances on
// the fiscal year's first day. 元入金 is not typed: it is assets less liabilities, shown as the
// figures change. Saving replaces the first day's opening rows with rows of mode 21 against
// 前期繰越 (2111) and 元入金, in one transaction, so that the trial balance balances. A year the
// closing transfers opened shows their balances, to be corrected here.
class TfKishu : public QDialog {
    Q_OBJECT
public:
    explicit TfKishu(Tdm01Keiri& dm, QWidget* parent = nullptr);

    // Reads the balances of the current period's first day.
    void FormShow();
    // "保存": asks, writes the rows; false when refused or declined.
    bool SaveClick();
    void HelpClick();

    [[nodiscard]] QTableWidget* grid() const { return grid_; }
    [[nodiscard]] QLabel* capitalLabel() const { return capital_; }
    [[nodiscard]] QPushButton* saveButton() const { return save_; }
    [[nodiscard]] QPushButton* closeButton() const { return close_; }
    [[nodiscard]] bool hasUnsavedChanges() const { return changed_; }

    static constexpr int kAmountColumn = 2;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void fill();
    void cellChanged(int row, int column);
    void showTotals();

    Tdm01Keiri& dm_;
    OpeningBalances balances_;
    QLabel* day_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QLabel* assets_ = nullptr;
    QLabel* liabilities_ = nullptr;
    QLabel* capital_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
    bool filling_ = false;
    bool changed_ = false;
    bool shown_ = false;
};

} // namespace tolva
