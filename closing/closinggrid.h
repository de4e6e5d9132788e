#pragma once

#include "db/codes.h"
#include "db/money.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolva {

class Database;

// One account of the year as the trial balance, the worksheet and the closing transfers read
// it: its shisanH row with the account's name and its category's codes.
struct YearAccount {
    QString code;
    QString name;
    Money debit;             // L = Lgaku
    Money credit;            // R = Rgaku
    Money adjustmentDebit;   // LS = LSgaku
    Money adjustmentCredit;  // RS = RSgaku
    QString statementText;   // Bunrui.BP as stored
    QString sideText;        // Bunrui.LR as stored

    [[nodiscard]] std::optional<StatementCode> statement() const { return codeFromText<StatementCode>(statementText); }
    [[nodiscard]] std::optional<SideCode> side() const { return codeFromText<SideCode>(sideText); }
    // The balance after the closing adjustments, debit positive: L + LS − R − RS.
    [[nodiscard]] Money adjustedBalance() const { return debit + adjustmentDebit - credit - adjustmentCredit; }
};

// The accounts of the year code in shisanH whose account and category exist, in account code
// order.
[[nodiscard]] std::vector<YearAccount> readYearAccounts(Database& db, const QString& yearCode);

// The account that the trial balance and the worksheet never show: the counter-account of
// the opening rows, whose debit and credit only mirror the balances brought forward.
inline constexpr const char* kBroughtForwardAccount = "2111";

enum class ClosingView {
    TrialBalance,  // "試算表": totals and balances, 7 columns
    Worksheet,     // "精算表": balances, adjustments, income statement and balance sheet, 11 columns
};

// The caption that opens a view, and the view a caption selects.
[[nodiscard]] QString viewCaption(ClosingView view);
[[nodiscard]] std::optional<ClosingView> viewFromCaption(const QString& caption);

// A line of the grid below its two heading rows.
struct GridLine {
    enum class Kind { Account, Result, Totals };
    Kind kind = Kind::Account;
    QString number;  // column 0, "NO"
    QString code;    // column 1
    QString name;    // column 2: the account's name, "利益" / "損失", or "計"
    // Columns 3 onwards; no value: the cell is empty.
    std::vector<std::optional<Money>> amounts;
};

// The figures of a view: what the screen, the report work tables and the comma-separated
// file each render.
struct ClosingGrid {
    ClosingView view = ClosingView::TrialBalance;
    std::vector<GridLine> lines;  // the account lines, the worksheet's result line, the totals

    [[nodiscard]] int columnCount() const;
    [[nodiscard]] const GridLine& totals() const { return lines.back(); }
};

inline constexpr int kFirstAmountColumn = 3;

// The trial balance: accounts with a debit or credit total above zero, their totals and the
// balance on the account's own side (a debit-side category shows L − R, every other R − L,
// so a balance on the other side is negative), and the totals line "計".
[[nodiscard]] ClosingGrid trialBalanceGrid(const std::vector<YearAccount>& accounts);

// The worksheet: the balance before adjustments on the side of its sign, the positive
// adjustments, the adjusted balance M = L + LS − R − RS in the income statement (BP "2") or
// the balance sheet (BP "1") on the side of its sign; then the result line ("利益" P or
// "損失" −P, where P is the income statement's credits less its debits) and the totals line,
// where both pairs of statement columns include the result.
[[nodiscard]] ClosingGrid worksheetGrid(const std::vector<YearAccount>& accounts);

[[nodiscard]] ClosingGrid closingGrid(ClosingView view, const std::vector<YearAccount>& accounts);

// The view of the year code as stored in shisanH: the one routine behind the window, the
// report and the file.
[[nodiscard]] ClosingGrid readClosingGrid(Database& db, const QString& yearCode, ClosingView view);

// The texts of the grid as the screen shows them and the file writes them: the group titles
// (row 0), the column titles (row 1), and the cells of a line.
[[nodiscard]] QStringList groupTitles(ClosingView view);
[[nodiscard]] QStringList columnTitles(ClosingView view);
[[nodiscard]] QStringList lineCells(const GridLine& line);
// Every row of the grid from the group titles to the totals.
[[nodiscard]] QList<QStringList> gridRows(const ClosingGrid& grid);
inline constexpr int kHeadingRows = 2;

} // namespace tolva
