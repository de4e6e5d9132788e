#pragma once

#include "closing/closinggrid.h"
#include "db/money.h"

#include <QDate>
#include <QList>
#include <QString>

#include <vector>

namespace tolva {

class Database;
struct ClosingEntry;

// One balance-sheet account, or one of its sub-accounts, with its balance on the fiscal year's
// first day.
struct OpeningBalanceLine {
    QString accountCode;     // Kamoku.code
    QString subAccountCode;  // Kamoku02.code; empty for the account itself
    QString name;            // the account's or the sub-account's name
    QString category;        // the account's category (Kamoku.bunrui)
    bool debitSide = true;   // the category's LR is "1": the balance grows with debits
    // On the account's own side: an asset's debit balance, a liability's credit balance.
    Money balance;

    // The balance as a debit: positive for a debit balance, negative for a credit one.
    [[nodiscard]] Money debitBalance() const { return debitSide ? balance : -balance; }
};

// The opening balances of a fiscal year as the journal holds them on its first day.
//
// The rows that make them up are the rows of that day of mode 21 (the opening rows the
// closing transfers write for the next year) or naming the brought-forward account 2111 (what
// a user enters against 前期繰越), whose both sides are 2111 or balance-sheet accounts. The
// closing transfers' opening rows are such rows, so a year opened by them shows their
// balances here; 1501 and 1502, moved into the capital by them, show 0.
struct OpeningBalances {
    QDate firstDay;
    // Every balance-sheet account (BP "1") but the capital 1503, each followed by its
    // sub-accounts, in code order.
    std::vector<OpeningBalanceLine> lines;
    // The journal rows of the first day that saving replaces.
    int journalRows = 0;
};

[[nodiscard]] OpeningBalances readOpeningBalances(Database& db, const QDate& firstDay);

// 元入金 (the capital 1503) as the balancing figure: assets less liabilities, a credit balance.
[[nodiscard]] Money openingCapital(const std::vector<OpeningBalanceLine>& lines);

// The rows that state the balances, all of mode 21 dated `firstDay`: each line with a balance
// against 2111 (debit the account for a debit balance, credit it for a credit balance), then
// 2111 against 1503 with the capital, so that 2111 nets to zero. Amounts are never negative.
[[nodiscard]] std::vector<ClosingEntry> openingBalanceEntries(const std::vector<OpeningBalanceLine>& lines,
                                                              const QDate& firstDay);

// Saves the balances in one transaction: removes the rows readOpeningBalances counts and
// writes openingBalanceEntries. Returns the number of rows written.
int writeOpeningBalances(Database& db, const QDate& firstDay, const std::vector<OpeningBalanceLine>& lines);

// What the trial balance and the worksheet say when 2111 does not net to zero in a year:
// the opening balances were entered against 前期繰越 without the capital that balances them.
// Empty when the debit and credit of 2111 agree. `imbalance` is its debit less its credit.
[[nodiscard]] QString broughtForwardNotice(Money imbalance);
// The debit less the credit of 2111 in a year's totals, adjustments included.
[[nodiscard]] Money broughtForwardImbalance(const std::vector<YearAccount>& year);

} // namespace tolva
