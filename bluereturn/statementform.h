#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace tolva {

class Database;

// The lines of the blue-return statement (青色申告決算書, 一般用) an account can be put on, and
// the setting of the books that says which line each account goes to.
//
// A line is named by a short key stored in KessanLine.line. Only the accounts the user moved
// away from their default have a row there: an account added to the chart later, or books
// brought from an older layout, follow the defaults without anything being written.

enum class LineKind {
    Revenue,        // page 1 ①, credit balance
    Purchases,      // page 1 ③, debit balance
    Inventory,      // page 1 ② and ⑤, page 4 棚卸資産: balances at both ends of the year
    Expense,        // page 1 ⑧–㉛, debit balance
    Reversal,       // page 1 ㉞ 貸倒引当金 (繰戻額), credit balance
    FamilySalary,   // page 1 ㊲ 専従者給与, debit balance
    Provision,      // page 1 ㊳ 貸倒引当金 (繰入額), debit balance
    Asset,          // page 4, left side, debit balance
    OwnerDrawings,  // page 4 事業主貸, 期末 only
    Liability,      // page 4, right side, credit balance
    OwnerContributions,  // page 4 事業主借, 期末 only
    Capital,        // page 4 元入金: the year's opening balance at both ends
    Off,            // not on the statement
};

struct StatementLineDef {
    QString key;
    LineKind kind;
    QString number;   // the form's line number ("⑧"), empty where the form prints none
    QString caption;  // the form's caption; empty for a free line, which takes its accounts' names
    bool freeLine = false;
};

// Every line an account can go to, in the form's order, ending with "not on the statement".
[[nodiscard]] const std::vector<StatementLineDef>& statementLines();
[[nodiscard]] const StatementLineDef* statementLine(const QString& key);
// The choice list's text of a line: "⑧ 租税公課", "㉕ (空欄1)", "決算書に載せない".
[[nodiscard]] QString statementLineChoiceText(const StatementLineDef& line);

inline const QString kOffStatementKey = QStringLiteral("off");
// The revenue lines that page 2 shows on lines of their own (both are part of ①).
inline const QString kSalesKey = QStringLiteral("sales");
inline const QString kHomeConsumptionKey = QStringLiteral("kaji");
inline const QString kMiscIncomeKey = QStringLiteral("zatsu");
inline const QString kDepreciationKey = QStringLiteral("e18");

// One account of the chart with its category's codes, as the statement reads it.
struct ChartAccount {
    QString code;
    QString name;
    QString category;       // Kamoku.bunrui
    QString statementText;  // Bunrui.BP
    QString sideText;       // Bunrui.LR
};

[[nodiscard]] std::vector<ChartAccount> readChart(Database& db);

// The default line of every account of `chart` (in code order): the business categories (01
// revenue, 03 expenses) by the account's name, the expense accounts without a line of their
// own on the free lines in code order and then on 雑費; balance-sheet accounts by name, those
// without a line of their own on the free lines of their side; the household categories, the
// mortgage and the closing's own accounts off the statement.
[[nodiscard]] std::map<QString, QString> defaultStatementLines(const std::vector<ChartAccount>& chart);

// The line of each account as set: the stored choice, or the default.
struct AccountLines {
    std::map<QString, QString> line;      // every account of the chart
    std::map<QString, QString> defaults;  // what each would have without a stored choice
};
[[nodiscard]] AccountLines readAccountLines(Database& db, const std::vector<ChartAccount>& chart);

// Stores `lines` (account code → key): a row for each account whose line differs from its
// default, none for the others. One transaction.
void saveAccountLines(Database& db, const std::vector<ChartAccount>& chart, const std::map<QString, QString>& lines);

// 青色申告特別控除: the amounts the user may choose, and the one stored for a year.
[[nodiscard]] const std::vector<qint64>& specialDeductionChoices();  // yen: 650000, 550000, 100000
inline constexpr qint64 kDefaultSpecialDeduction = 650000;
[[nodiscard]] qint64 readSpecialDeduction(Database& db, int year);
void saveSpecialDeduction(Database& db, int year, qint64 yen);

} // namespace tolva
