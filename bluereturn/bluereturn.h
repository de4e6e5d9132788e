#pragma once

#include "assets/depreciationlist.h"
#include "bluereturn/statementform.h"
#include "db/fiscalperiod.h"
#include "db/money.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolva {

class Database;

// One printed line of a page of the statement. Page 1 has one amount; page 2 the month's
// sales (first) and purchases (second); page 4 期首 (first) and 期末 (second). No value: the
// form leaves the box empty.
struct StatementRow {
    int page = 1;
    QString section;  // the block of the page it belongs to ("経費", "資産の部", …)
    QString number;   // the form's line number, where it prints one
    QString caption;
    std::optional<Money> first;
    std::optional<Money> second;
    QStringList accounts;  // the codes whose balances make the line
};

// 専従者給与の内訳: the rows of the salary account per sub-account.
struct FamilySalaryRow {
    QString name;  // the sub-account's name, or "（細目なし）"
    int months = 0;  // months of the year with a payment
    Money amount;
};

// A finding of the checks, with its figures; the statement is shown with it, never instead.
struct StatementFinding {
    enum class Kind { DepreciationDiffers, OpeningUnbalanced, ClosingUnbalanced };
    Kind kind = Kind::DepreciationDiffers;
    QString message;
    QStringList accounts;  // the accounts it names
    // The difference (page 4: 資産の部 − 負債・資本の部; page 3: its total − ⑱) and, for page 4,
    // the sum of what the finding names as its causes, which make it up whole.
    Money difference;
    Money explained;
};

// The statement of one fiscal year, computed from the journal: nothing is written.
struct BlueReturn {
    FiscalPeriod period;
    qint64 chosenDeduction = kDefaultSpecialDeduction;  // yen

    // Page 1, the figures the identities tie together.
    Money sales;             // ① (家事消費等 and 雑収入 included)
    Money openingInventory;  // ②
    Money purchases;         // ③
    Money subtotal;          // ④
    Money closingInventory;  // ⑤
    Money costOfSales;       // ⑥
    Money grossProfit;       // ⑦
    Money expensesTotal;     // ㉜
    Money afterExpenses;     // ㉝
    Money reversals;         // ㊱
    Money provisions;        // ㊵ (専従者給与 included)
    Money familySalary;      // ㊲
    Money incomeBeforeDeduction;  // ㊶
    Money deduction;              // ㊷
    Money income;                 // ㊸

    std::vector<StatementRow> incomeStatement;  // page 1
    std::vector<StatementRow> monthly;          // page 2: the months, 家事消費等, 雑収入, 計
    std::vector<FamilySalaryRow> familySalaryRows;
    std::vector<DepreciationListRow> depreciation;  // page 3
    Money depreciationExpenseTotal;                 // page 3's total of 本年分の必要経費算入額
    Money journalDepreciation;                      // page 1 ⑱ from the journal
    std::vector<StatementRow> balanceSheet;         // page 4, assets then liabilities and capital
    Money assetsOpening, assetsClosing;
    Money liabilitiesOpening, liabilitiesClosing;
    std::vector<StatementFinding> findings;
};

// The statement of `period` with the special deduction `deduction` (yen; no value: the one
// stored for the year). Every figure is an exact sum of the journal's amounts:
//  - an account's year is its rows dated in the period, modes up to 21 and 31 (41 and 51,
//    the closing transfers, never count), through the closing's aggregation per code;
//  - 期首 is the balance at the start of the first day: the brought-forward rows (mode 21)
//    dated the period's first day; 期末 is the balance after the adjustments;
//  - an income-statement line takes its accounts' year without the brought-forward rows;
//  - ③ 仕入金額 leaves out the rows between a purchases account and an inventory account
//    (the inventory taken in and out at the ends of the year), which ② and ⑤ show;
//  - page 4's 元入金 is the capital's balance brought forward, at both ends.
// The checks: page 3's total against ⑱, and both ends of page 4, naming the accounts that
// make a difference.
[[nodiscard]] BlueReturn computeBlueReturn(Database& db, const FiscalPeriod& period, std::optional<qint64> deduction = std::nullopt);

// ㊷: the chosen deduction, at most ㊶, and nothing when ㊶ is not positive.
[[nodiscard]] Money cappedDeduction(Money incomeBeforeDeduction, qint64 chosenYen);

// The period's twelve months as page 2 names them ("1月"), in the period's order.
[[nodiscard]] QStringList monthCaptions(const FiscalPeriod& period);

} // namespace tolva
