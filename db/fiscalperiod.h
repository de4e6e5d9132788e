#pragma once

#include <QDate>

namespace tolva {

class Tdm01Keiri;

struct FiscalPeriod {
    QDate start;
    QDate end;
    bool operator==(const FiscalPeriod&) const = default;
};

// The fiscal period of year `year` (the calendar year in which it starts) with closing month
// `closingMonth`: the calendar year for 12, otherwise from the 1st of the month after the
// closing month to the last day of the closing month a year later.
[[nodiscard]] FiscalPeriod periodForFiscalYear(int year, int closingMonth);

// The period moved to start in `year`, keeping its months: the end is the last day of the
// same month, so the length of February follows the new year.
[[nodiscard]] FiscalPeriod periodMovedToYear(const FiscalPeriod& current, int year);

struct FiscalSettings {
    int year = 0;
    int closingMonth = 12;
    FiscalPeriod period;
};

// Reads the fiscal year and closing month from the owner row, creating the row on the first
// start and filling an empty year with the year of `today` and an empty (or impossible)
// closing month with 12. Opens and closes the owner table.
[[nodiscard]] FiscalSettings loadFiscalPeriod(Tdm01Keiri& dm, const QDate& today);
// The same settings without writing anything: a missing row, an empty year or an impossible
// month read as loadFiscalPeriod would store them. For whoever only reads the books.
[[nodiscard]] FiscalSettings readFiscalPeriod(Tdm01Keiri& dm, const QDate& today);

// Stores the fiscal year in the owner row at once; the table is left open.
void storeFiscalYear(Tdm01Keiri& dm, int year);

inline constexpr int kFirstFiscalYear = 1980;
inline constexpr int kLastFiscalYear = 2100;

} // namespace tolva
