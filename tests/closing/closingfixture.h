#pragma once

#include "db/fiscalperiod.h"
#include "db/money.h"
#include "tests/support/amounts.h"

#include <QString>

#include <ostream>
#include <vector>

namespace tolva::testing {

// A row of shisanH in whole yen, as a test writes and compares it.
struct YearRow {
    QString nendo;
    QString kcode;
    qint64 l = 0;
    qint64 r = 0;
    qint64 ls = 0;
    qint64 rs = 0;
    bool operator==(const YearRow&) const = default;
};
std::ostream& operator<<(std::ostream& out, const YearRow& row);

// Every row of shisanH, by year code and account.
[[nodiscard]] std::vector<YearRow> yearRows(const QString& folder);
void addYearRows(const QString& folder, const std::vector<YearRow>& rows);

// The fiscal year 2010 closing in March: 2010/04/01 to 2011/03/31.
inline const FiscalPeriod kYear2010{QDate(2010, 4, 1), QDate(2011, 3, 31)};

} // namespace tolva::testing

// Texts in failure messages as text.
void PrintTo(const QString& text, std::ostream* out);
