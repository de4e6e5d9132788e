#pragma once

#include "db/money.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

namespace tolva {

class Database;

// The journal's totals of one code (an account or a sub-account) over a date range, as the
// aggregations store them: the ordinary movements and brought-forward rows (modes up to 21)
// apart from the closing adjustments (mode 31); the closing's own rows (41, 51) never count.
struct CodeTotals {
    QString code;
    Money debit;             // Lgaku
    Money credit;            // Rgaku
    Money adjustmentDebit;   // LSgaku
    Money adjustmentCredit;  // RSgaku

    // A code is stored only when one of its sums is above zero: an account whose rows are
    // all negative gets no row, although its sums are not zero.
    [[nodiscard]] bool hasPositiveSum() const;
    bool operator==(const CodeTotals&) const = default;
};

enum class AggregationLevel {
    Account,     // Lcode / Rcode, the codes of qUnionCode.sql
    SubAccount,  // LScode / RScode, the codes of uqSai.sql
};

// Both sums of one side of one code over a range (?1 the code, ?2 and ?3 the dates): the
// movements and the closing adjustments. One range read of the side's covering index.
[[nodiscard]] QString sideSumsSql(const char* codeField, const char* amountField);

// The codes an aggregation covers, in code order, each once: those the level's stored query
// yields whose account exists in Kamoku with a category in Bunrui (for a sub-account, whose
// Kamoku02 row and its account do).
[[nodiscard]] QStringList codesToAggregate(Database& db, AggregationLevel level);

// The totals of each of `codes`, in the order given, over the journal rows dated `from` to
// `to`, both included. One pass per side over the covering index of the level (code, date,
// mode, amount): each code's range of the year is read once for both of its sums. Exact:
// amounts are read as stored, and a sum beyond the range of an amount is an error.
[[nodiscard]] std::vector<CodeTotals> totalsPerCode(Database& db, AggregationLevel level, const QStringList& codes,
                                                    const QDate& from, const QDate& to);

// The rows an aggregation stores: the totals of every code of the level over the range that
// have a sum above zero, in code order.
[[nodiscard]] std::vector<CodeTotals> aggregate(Database& db, AggregationLevel level, const QDate& from, const QDate& to);

// The tables that hold totals per code, all with the fields nendo, kcode, Lgaku, Rgaku,
// LSgaku, RSgaku.
enum class TotalsTable { YearEnd /* shisanH */, PeriodAccounts /* Sum01 */, PeriodSubAccounts /* Sum02 */ };

// Appends `rows` to `table` under `nendo`, in their order. Part of the caller's transaction.
void appendTotals(Database& db, TotalsTable table, const QString& nendo, const std::vector<CodeTotals>& rows);

} // namespace tolva
