#pragma once

#include "closing/aggregation.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace tolva {

class Database;

// A date range of the period aggregation, both ends included. Unlike a fiscal period it is
// whatever the user picks, a start after the end included (such a range holds no day).
struct DateRange {
    QDate start;
    QDate end;
    [[nodiscard]] bool isEmpty() const { return start > end; }
    bool operator==(const DateRange&) const = default;
};

// The month buttons. Only the year and month of `start` count: its day, and the end of the
// range shown, are never read.
[[nodiscard]] DateRange previousMonth(const QDate& start);  // "<<前月"
[[nodiscard]] DateRange nextMonth(const QDate& start);      // "翌月>>"
// The calendar month of `day`: the range the window opens with.
[[nodiscard]] DateRange monthOf(const QDate& day);

// The status row of the last run (sjyoken, code "01").
struct AggregationStatus {
    QDateTime ranAt;  // jdate
    DateRange range;  // sdate, edate
};
[[nodiscard]] std::optional<AggregationStatus> readAggregationStatus(Database& db);

// The two status labels: "集計状況：" with the date and time of the last run (the time left
// out when it is exactly midnight), "集計条件：" with its range; just the captions when no run
// is recorded.
[[nodiscard]] QString statusRunText(const std::optional<AggregationStatus>& status);
[[nodiscard]] QString statusRangeText(const std::optional<AggregationStatus>& status);

// What a period aggregation wrote.
struct PeriodAggregation {
    AggregationStatus status;
    std::vector<CodeTotals> accounts;     // the rows of Sum01, in code order
    std::vector<CodeTotals> subAccounts;  // the rows of Sum02, in code order
};

// The period aggregation ("集計実行") of `range`, run at `now`:
//  1. the status row sjyoken "01" records the run (made on the first run, updated after);
//  2. Sum02 is replaced by the totals of every sub-account of uqSai.sql with a sum above zero;
//  3. Sum01 likewise with the accounts of qUnionCode.sql.
// The sums are those of the year-end aggregation (modes up to 21 and mode 31 apart; 41 and
// 51 never), over the range instead of a fiscal year. One transaction: an error anywhere
// leaves the status row and both tables as the previous run left them. A start after the end
// is a range of no day: the tables are emptied.
PeriodAggregation aggregatePeriod(Database& db, const DateRange& range, const QDateTime& now);

// The question before a run, the message after it, and the note for a range of no day.
[[nodiscard]] QString periodAggregationQuestion();
[[nodiscard]] QString periodAggregationMessage();
[[nodiscard]] QString emptyRangeNotice(const DateRange& range);

} // namespace tolva
