#pragma once

#include "db/masterlookup.h"
#include "db/money.h"
#include "reports/csvwriter.h"

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

} // namespace tolva

// Lines move as bytes when a long ledger's list grows.
Q_DECLARE_TYPEINFO(tolva::LedgerLine, Q_RELOCATABLE_TYPE);

namespace tolva {

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

// The ledger of a code of the chart (by its level) over a range, debit-type when the
// category's LR is "1": the request the window makes from the same choice in its lists.
[[nodiscard]] LedgerRequest ledgerRequestFor(const ChartEntry& entry, const QDate& from, const QDate& to);

// The title line of the export, from the names of the chosen list entries: "元帳 (現金預金)",
// "元帳 (現金預金 現金)" or "元帳 (現金預金 普通預金 第一銀行)". The account is given for an
// account or a sub-account ledger, the sub-account for a sub-account ledger.
[[nodiscard]] QString ledgerExportTitle(const QString& category, const std::optional<QString>& account = std::nullopt,
                                        const std::optional<QString>& subAccount = std::nullopt);
[[nodiscard]] QString ledgerExportTitle(const ChartEntry& entry);
// The period line of the export: the range the ledger was built for,
// "期間：2009/ 04/ 01～2010/ 03/ 31".
[[nodiscard]] QString ledgerExportPeriodLine(const QDate& from, const QDate& to);

// Writes the comma-separated file at `path`: the title line, the period line, an empty line,
// the titles and every line of the ledger, each row quoted and joined as csv::writeRows does,
// one by one: the export of a ten-year ledger keeps a buffer, not a second copy of its lines.
// Throws StoreError naming the file.
csv::WriteOutcome writeLedgerExport(const QString& path, const QString& title, const QString& periodLine, const Ledger& ledger);
// The rows of the export that come before the first ledger line.
inline constexpr int kLedgerExportHeadRows = 4;
// For rows of the export (0-based, as the writer reports those holding "?"), the note that
// names the journal row of each ("NO 12"; empty for the head rows).
[[nodiscard]] QStringList ledgerExportNotes(const QList<int>& rows, const Ledger& ledger);

} // namespace tolva
