#include "assets/depreciationperiod.h"
#include "assets/yearrow.h"
#include "db/depreciation.h"
#include "tests/support/amounts.h"

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::yen;

namespace {

Rate rate(const char* text)
{
    return *Rate::fromText(QString::fromLatin1(text));
}

struct FiguresCase {
    const char* what;
    DepreciationInputs in;
    DepreciationFigures expected;
};

} // namespace

TEST(DepreciationFigures, TheScheduleRules)
{
    const FiguresCase cases[] = {
        {"a full year at 100 %", {yen(1'000'000), rate("0.167"), 12, yen(0), 100},
         {yen(167'000), yen(167'000), yen(167'000), yen(833'000)}},
        {"ordinary truncated to hundreds: 20,617.152 → 20,600", {yen(123'456), rate("0.167"), 12, yen(0), 100},
         {yen(20'600), yen(20'600), yen(20'600), yen(102'856)}},
        {"half a year", {yen(1'000'000), rate("0.1"), 6, yen(0), 100},
         {yen(50'000), yen(50'000), yen(50'000), yen(950'000)}},
        {"extra depreciation joins the total; the expense is truncated to hundreds",
         {yen(123'456), rate("0.167"), 12, yen(1'234), 100},
         {yen(20'600), yen(21'834), yen(21'800), yen(101'622)}},
        {"60 % of the total is the expense", {yen(1'000'000), rate("0.167"), 12, yen(0), 60},
         {yen(167'000), yen(167'000), yen(100'200), yen(833'000)}},
        {"ordinary depreciation leaves 1 yen", {yen(100), rate("1.0"), 12, yen(0), 100},
         {yen(99), yen(99), yen(0), yen(1)}},
        {"a rate beyond the base leaves 1 yen too", {yen(50'000), rate("0.5"), 36, yen(0), 100},
         {yen(49'999), yen(49'999), yen(49'900), yen(1)}},
        // 0.3 × 7,000 × 4 ÷ 12 is exactly 700; the double nearest 0.3 lies below it, and a
        // floating-point product truncates to 600.
        {"a rate held as a double below its decimal value", {yen(7'000), rate("0.3"), 4, yen(0), 100},
         {yen(700), yen(700), yen(700), yen(6'300)}},
        {"no months, no share: nothing is depreciated or spent", {yen(1'000'000), rate("0.1"), 0, yen(0), 0},
         {yen(0), yen(0), yen(0), yen(1'000'000)}},
        // A row just created for the year holds no base yet: it shows no depreciation instead
        // of −1 yen and an end balance of 1 yen.
        {"an empty row", {}, {yen(0), yen(0), yen(0), yen(0)}},
    };
    for (const FiguresCase& c : cases)
        EXPECT_EQ(depreciationFigures(c.in), c.expected) << c.what;
}

TEST(DepreciationFigures, AStoredRateIsReadByItsDecimalValue)
{
    // The yearly row keeps its rate in a FLOAT field: 0.3 comes back as the double nearest
    // to it, and must still mean three tenths.
    DepreciationInputs in{yen(7'000), *Rate::fromStoredDouble(0.3), 4, yen(0), 100};
    EXPECT_EQ(depreciationFigures(in).ordinary, yen(700));
    in.base = yen(4'000);
    in.months = 7;
    EXPECT_EQ(depreciationFigures(in).ordinary, yen(700));
}

TEST(StraightLineRate, RoundedUpFromApril2007DownBefore)
{
    struct Case {
        int life;
        QDate acquired;
        const char* expected;
    };
    const Case cases[] = {
        {6, QDate(2007, 4, 1), "0.167"}, {6, QDate(2007, 3, 31), "0.166"},
        {3, QDate(2007, 4, 1), "0.334"}, {3, QDate(2007, 3, 31), "0.333"},
        {8, QDate(2007, 4, 1), "0.125"}, {8, QDate(2007, 3, 31), "0.125"},
        {22, QDate(2020, 1, 10), "0.046"}, {1, QDate(2020, 1, 10), "1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(straightLineRate(c.life, c.acquired).toText(), QString::fromLatin1(c.expected))
            << c.life << " years from " << c.acquired.toString(Qt::ISODate).toStdString();
    EXPECT_THROW((void)straightLineRate(0, QDate(2020, 1, 1)), StoreError);
}

TEST(Recalculation, FillsMonthsShareBaseAndTheStraightLineRate)
{
    const ItemTerms building{yen(10'000'000), kStraightLineMethod, 22, QDate(2020, 4, 1)};
    const ItemTerms car{yen(3'000'000), QStringLiteral("02"), 6, QDate(2020, 4, 1)};
    const YearRowInputs typed{yen(5), rate("0.333"), 0, 0};

    // First year: no previous balance, so the price is the base; months and share 0 → 12, 100.
    EXPECT_EQ(recalculatedInputs(typed, building, Money()), (YearRowInputs{yen(10'000'000), rate("0.046"), 12, 100}));
    // Later years chain the previous end balance; what was typed as months and share stays.
    EXPECT_EQ(recalculatedInputs({yen(5), rate("0.1"), 9, 60}, building, yen(9'540'000)),
              (YearRowInputs{yen(9'540'000), rate("0.046"), 9, 60}));
    // Any other method keeps the rate the user typed.
    EXPECT_EQ(recalculatedInputs(typed, car, Money()), (YearRowInputs{yen(3'000'000), rate("0.333"), 12, 100}));
    // A straight-line item without a useful life keeps it too, with no division.
    ItemTerms noLife = building;
    noLife.usefulLife = 0;
    EXPECT_EQ(recalculatedInputs(typed, noLife, Money()).rate, rate("0.333"));
}

TEST(DepreciationPeriods, TheTargetYearAndTheYearBefore)
{
    struct Case {
        const char* what;
        FiscalPeriod fiscal;
        int year;  // 0: as opened
        DepreciationPeriods expected;
    };
    const Case cases[] = {
        {"opened on a calendar year", {QDate(2024, 1, 1), QDate(2024, 12, 31)}, 0,
         {{QDate(2024, 1, 1), QDate(2024, 12, 31)}, {QDate(2023, 1, 1), QDate(2023, 12, 31)}}},
        {"moved two years on", {QDate(2024, 4, 1), QDate(2025, 3, 31)}, 2026,
         {{QDate(2026, 4, 1), QDate(2027, 3, 31)}, {QDate(2025, 4, 1), QDate(2026, 3, 31)}}},
        {"a period ending on 29 February", {QDate(2023, 3, 1), QDate(2024, 2, 29)}, 0,
         {{QDate(2023, 3, 1), QDate(2024, 2, 29)}, {QDate(2022, 3, 1), QDate(2023, 2, 28)}}},
        {"moved into a leap year's February", {QDate(2022, 3, 1), QDate(2023, 2, 28)}, 2023,
         {{QDate(2023, 3, 1), QDate(2024, 2, 29)}, {QDate(2022, 3, 1), QDate(2023, 2, 28)}}},
        {"moved back to the first year", {QDate(2024, 4, 1), QDate(2025, 3, 31)}, 1980,
         {{QDate(1980, 4, 1), QDate(1981, 3, 31)}, {QDate(1979, 4, 1), QDate(1980, 3, 31)}}},
    };
    for (const Case& c : cases) {
        DepreciationPeriods periods = depreciationPeriodsFor(c.fiscal);
        if (c.year != 0)
            periods = depreciationPeriodsForYear(periods, c.year);
        EXPECT_EQ(periods, c.expected) << c.what;
    }
}
