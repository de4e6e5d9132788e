#pragma once

#include "db/fiscalperiod.h"

namespace tolva {

// The year an asset register depreciates and the year before it, whose yearly rows give the
// previous rate and end balance.
struct DepreciationPeriods {
    FiscalPeriod target;
    FiscalPeriod previous;
    bool operator==(const DepreciationPeriods&) const = default;
};

// The target year is the fiscal period; the previous one starts a year earlier on the same
// day and ends on the last day of the target end's month a year earlier (a period ending on
// 29 February has a previous one ending on 28 February).
[[nodiscard]] DepreciationPeriods depreciationPeriodsFor(const FiscalPeriod& fiscal);

// The target moved by whole years so that it begins in `year`, the previous year with it.
[[nodiscard]] DepreciationPeriods depreciationPeriodsForYear(const DepreciationPeriods& current, int year);

[[nodiscard]] inline bool periodContains(const FiscalPeriod& period, const QDate& day)
{
    return day.isValid() && period.start <= day && day <= period.end;
}

} // namespace tolva
