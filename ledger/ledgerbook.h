#pragma once

#include "money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolva {

class Query;

// Which journal fields a ledger compares with its code.
enum class LedgerKind {
    Category,    // Lbunrui / Rbunrui, a 2-character category code
    Account,     // Lcode / Rcode, a 4-character account code
    SubAccount,  // LScode / RScode, a 6-character sub-account code
};

struct LedgerRequest {
    LedgerKind kind = LedgerKind::Category;
    // An empty code (no list entry chosen) matches no journal row.
    QString code;
    // The category's LR is "1": the balance grows with debits. Otherwise it grows with credits.
    bool debitType = false;
    QDate from;  // both bounds inclusive
    QDate to;
};

enum class BalanceSide { Debit, Credit };

struct LedgerLine {
    qint64 id = 0;
    QDate date;
    // The counter side: category, account and sub-account names, then " (memo)".
    QString description;
    QString kubunName;
    // Set when the row is a debit or a credit on this ledger (a category ledger may have both).
    std::optional<Money> debit;
    std::optional<Money> credit;
    // The running balance after this row, positive on the ledger's own side.
    Money balance;
    // The side the balance stands on; a balance of 0 stands on the side opposite to the
    // ledger's type.
    BalanceSide side = BalanceSide::Debit;
};

struct LedgerTotals {
    Money debit;
    Money credit;
    Money balance;  // positive on the ledger's own side
};

struct Ledger {
    QList<LedgerLine> lines;
    LedgerTotals totals;
};

// The statement the ledger of `kind` runs, with the parameters pD1, pD2 (the range) and pC03
// (the code).
[[nodiscard]] QString motochouSql(LedgerKind kind);

// Builds the ledger on `query` (the data module's q13motochou), in three steps:
//  1. sets the statement of the request's kind and its parameters, and opens it;
//  2. takes the rows in date and entry-number order, each a debit line, a credit line or (in
//     a category ledger) both, with the counter side as the description, adding to the
//     debit and credit totals and moving the running balance;
//  3. moves the query back to its first row and leaves it open.
// Lines are added to `ledger` as they are read, so an error of the store part way through
// (which is thrown) leaves the lines and totals read so far.
void buildLedger(Query& query, const LedgerRequest& request, Ledger& ledger);
[[nodiscard]] Ledger buildLedger(Query& query, const LedgerRequest& request);

// The text of the grid and of the export, which are the same.
inline constexpr int kLedgerColumns = 8;
[[nodiscard]] QStringList ledgerTitles();
[[nodiscard]] QString ledgerCell(const LedgerLine& line, int column);
[[nodiscard]] QStringList ledgerCells(const LedgerLine& line);
// "  借方 : ￥1,000,  貸方 : ￥1,500,  残高 : -￥500"
[[nodiscard]] QString ledgerStatusText(const LedgerTotals& totals);

// The rows of the comma-separated file: the title line, the period line, an empty line, the
// titles and every line of the ledger.
[[nodiscard]] QList<QStringList> ledgerExportRows(const QString& title, const QString& periodLine, const Ledger& ledger);
// The rows of the export that come before the first ledger line.
inline constexpr int kLedgerExportHeadRows = 4;

} // namespace tolva
