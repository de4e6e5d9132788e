#pragma once

#include "closing/closinggrid.h"
#include "db/backup.h"
#include "db/codes.h"
#include "db/fiscalperiod.h"
#include "db/money.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolva {

class Database;

// The accounts and categories the closing entries name by code.
namespace closingcodes {
inline constexpr const char* kProfitAndLoss = "4111";     // takes the income statement, passes the result
inline constexpr const char* kOwnerDrawings = "1501";     // moved into the capital at the opening
inline constexpr const char* kOwnerContributions = "1502";
inline constexpr const char* kCapital = "1503";
inline constexpr const char* kCarriedForward = "5111";    // counter-account of the closing rows
inline constexpr const char* kBroughtForward = "2111";    // counter-account of the opening rows
inline constexpr const char* kRevenueCategory = "01";     // written for a revenue account
inline constexpr const char* kExpenseCategory = "03";     // written for an expense account
inline constexpr const char* kCapitalCategory = "15";
inline constexpr const char* kBroughtForwardCategory = "21";
inline constexpr const char* kProfitAndLossCategory = "41";
inline constexpr const char* kCarriedForwardCategory = "51";
} // namespace closingcodes

// A journal row the closing writes: both sides carry the same amount, no use or category of a
// use; a sub-account only on the opening balances a user enters.
struct ClosingEntry {
    QDate day;
    QString debitCode;
    QString debitCategory;
    QString creditCode;
    QString creditCategory;
    Money amount;
    ProcessingMode mode = ProcessingMode::ClosingTransfer;
    QString memo;
    QString debitSubAccount;   // empty: none
    QString creditSubAccount;
    bool operator==(const ClosingEntry&) const = default;
};

struct ClosingEntries {
    // Dated the last day of the period: the income statement into 4111 (mode 41), the result
    // into 1503 (mode 41), every balance-sheet account closed against 5111 (mode 51).
    std::vector<ClosingEntry> closing;
    // Dated the first day of the next period (mode 21): every balance-sheet account opened
    // against 2111, and 1501 and 1502 moved into 1503.
    std::vector<ClosingEntry> opening;
    // The income statement's credits less its debits: a profit above 0, a loss below.
    Money profitOrLoss;
};

// The closing entries of a year, computed from its totals and nothing else. Accounts take
// part by their category's BP: "2" income statement, "1" balance sheet, any other none; each
// by its balance after the adjustments, B = L + LS − R − RS, in the order given.
//  1. income statement: B > 0 debit 4111 / credit the account ("03", "損益振替（費用）"),
//     B < 0 debit the account ("01") / credit 4111 ("損益振替（収益）");
//  2. the result: a profit debit 4111 / credit 1503 ("当期利益振替"), a loss debit 1503 /
//     credit 4111 ("当期損失振替");
//  3. balance sheet, B ≠ 0: closed against 5111 ("資本振替処理（次期繰越）"); 1503 with
//     −B + result, so that it carries the year's result with it;
//  4. the next day, the same accounts opened against 2111 ("翌期振替処理 (前期振替）"), 1503
//     with −B + result; after the opening of 1502 its balance moves into 1503, after that of
//     1501 its balance out of 1503.
// 1503 is closed and opened also when it had no balance of its own but the year has a
// result: without that the result would vanish from the next year's capital.
[[nodiscard]] ClosingEntries computeClosingEntries(const std::vector<YearAccount>& year, const FiscalPeriod& period);

// The accounts and categories the entries need that the masters lack, as the user reads
// them ("科目 4111", "科目区分 41"); empty when everything is there.
[[nodiscard]] QStringList missingClosingCodes(Database& db);

// The four steps of the closing transfers, each part of the caller's transaction.
// Removes every mode-41 and mode-51 row of the period (the user's own included); returns how many.
int DeleteClosingEntries(Database& db, const FiscalPeriod& period);
// Removes every mode-21 row dated the first day of the next period; returns how many.
int DeleteOpeningEntries(Database& db, const FiscalPeriod& period);
void WriteClosingEntries(Database& db, const ClosingEntries& entries);
// Appends the rows to the journal, each with its own mode; part of the caller's transaction.
void writeJournalEntries(Database& db, const std::vector<ClosingEntry>& rows);
void WriteOpeningEntries(Database& db, const ClosingEntries& entries);

// What the closing transfers did.
struct ClosingTransfers {
    // Set when the command refused to run (the masters lack a code it writes); nothing was
    // written or removed then.
    std::optional<QString> refusal;
    QString yearCode;
    QString backupPath;          // empty when no backup was asked for
    int closingRowsRemoved = 0;
    int openingRowsRemoved = 0;
    ClosingEntries written;
};

// The closing transfers ("決算振替処理") of `period` from its year's rows in shisanH:
//  1. refuses, before anything else, when an account or category it writes is missing;
//  2. computes the entries (computeClosingEntries);
//  3. copies the books into the backup folder when `backup` is given (a failure stops here);
//  4. in one transaction: DeleteClosingEntries, DeleteOpeningEntries, WriteClosingEntries,
//     WriteOpeningEntries. An error leaves the journal as it was; a rerun replaces the rows
//     of the last run.
ClosingTransfers runClosingTransfers(Database& db, const FiscalPeriod& period, const std::optional<BackupRequest>& backup);

} // namespace tolva
