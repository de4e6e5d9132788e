#pragma once

#include "closing/aggregation.h"
#include "db/fiscalperiod.h"

#include <QString>

#include <vector>

namespace tolva {

class Database;

// The key of a fiscal period's rows in shisanH: the last two digits of the year in which
// the period starts ("10" for a period from 2010/04/01).
[[nodiscard]] QString yearCode(const QDate& periodStart);

// What a year-end aggregation did.
struct YearEndAggregation {
    QString yearCode;
    int rowsReplaced = 0;            // rows of the year code there were before
    std::vector<CodeTotals> rows;    // the rows written, in code order
};

// The year-end aggregation ("決算の集計処理") of `period` into shisanH:
//  1. the accounts of the account list (q14kamokuBun), in code order;
//  2. for each, the four sums of the period (both ends included): debit and credit of the
//     modes up to 21 (Lgaku, Rgaku) and of mode 31 (LSgaku, RSgaku); 41 and 51 never count;
//  3. the rows of the year code are replaced by one row for every account with a sum above
//     zero; rows of other year codes stay as they are.
// One transaction: an error anywhere leaves shisanH as it was.
YearEndAggregation aggregateYearEnd(Database& db, const FiscalPeriod& period);

// The message the closing menu shows when the aggregation has ended.
[[nodiscard]] QString yearEndMessage(const YearEndAggregation& result);

} // namespace tolva
