#include "assets/depreciationperiod.h"

namespace tolva {

namespace {

QDate lastDayOfMonth(int year, int month)
{
    return QDate(year, month, 1).addMonths(1).addDays(-1);
}

FiscalPeriod yearBefore(const FiscalPeriod& target)
{
    return {target.start.addYears(-1), lastDayOfMonth(target.end.year() - 1, target.end.month())};
}

} // namespace

DepreciationPeriods depreciationPeriodsFor(const FiscalPeriod& fiscal)
{
    return {fiscal, yearBefore(fiscal)};
}

DepreciationPeriods depreciationPeriodsForYear(const DepreciationPeriods& current, int year)
{
    const FiscalPeriod target = periodMovedToYear(current.target, year);
    return {target, yearBefore(target)};
}

} // namespace tolva
