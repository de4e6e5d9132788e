#include "db/fiscalperiod.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {
QString text(const FiscalPeriod& p)
{
    return textformat::period(p.start, p.end);
}
} // namespace

TEST(FiscalPeriod, FromYearAndClosingMonth)
{
    struct Case {
        int year, month;
        const char* expected;
    };
    const Case cases[] = {
        {2010, 12, "2010/01/01～2010/12/31"},
        {2010, 3, "2010/04/01～2011/03/31"},
        {2011, 1, "2011/02/01～2012/01/31"},
        {2011, 2, "2011/03/01～2012/02/29"},  // 2012 is a leap year
        {2012, 2, "2012/03/01～2013/02/28"},
        {2010, 11, "2010/12/01～2011/11/30"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(periodForFiscalYear(c.year, c.month)), QString::fromUtf8(c.expected)) << c.year << "/" << c.month;
}

TEST(FiscalPeriod, MovingTheYearKeepsTheMonthsAndFollowsFebruary)
{
    struct Case {
        int year, month, newYear;
        const char* expected;
    };
    const Case cases[] = {
        {2011, 2, 2012, "2012/03/01～2013/02/28"},
        {2012, 2, 2015, "2015/03/01～2016/02/29"},
        {2010, 12, 2009, "2009/01/01～2009/12/31"},
        {2010, 3, 2011, "2011/04/01～2012/03/31"},
        {2011, 1, 2010, "2010/02/01～2011/01/31"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(periodMovedToYear(periodForFiscalYear(c.year, c.month), c.newYear)), QString::fromUtf8(c.expected))
            << c.year << "/" << c.month << " -> " << c.newYear;
}

namespace {

struct OwnerRow {
    std::optional<int> nendo;
    std::optional<int> shime;
};

class LoadPeriod : public ::testing::Test {
protected:
    void SetUp() override { dm.DataModuleCreate(folder.path()); }

    void writeOwner(const OwnerRow& row)
    {
        Table& t = dm.t07Jigyou;
        t.open();
        t.edit();
        if (row.nendo)
            t.fieldByName("Nendo").setInteger(*row.nendo);
        if (row.shime)
            t.fieldByName("shime").setInteger(*row.shime);
        t.fieldByName("name").setString(QStringLiteral("山田太郎"));
        t.post();
        t.close();
    }

    OwnerRow readOwner()
    {
        Table& t = dm.t07Jigyou;
        t.open();
        EXPECT_EQ(t.recordCount(), 1);
        OwnerRow row{int(t.fieldByName("Nendo").asInteger()), int(t.fieldByName("shime").asInteger())};
        t.close();
        return row;
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
    const QDate today{2026, 12, 10};
};

} // namespace

TEST_F(LoadPeriod, AnEmptyOwnerTableGetsItsRowOnTheFirstStart)
{
    const FiscalSettings s = loadFiscalPeriod(dm, today);
    EXPECT_EQ(s.year, 2026);
    EXPECT_EQ(text(s.period), QStringLiteral("2026/01/01～2026/12/31"));
    const OwnerRow stored = readOwner();
    EXPECT_EQ(stored.nendo, 2026);
    EXPECT_EQ(stored.shime, 12);
    EXPECT_FALSE(dm.t07Jigyou.isActive());
}

TEST_F(LoadPeriod, EmptyYearOrMonthIsFilledAndTheRestKept)
{
    writeOwner({std::nullopt, 6});
    FiscalSettings s = loadFiscalPeriod(dm, today);
    EXPECT_EQ(text(s.period), QStringLiteral("2026/07/01～2027/06/30"));
    EXPECT_EQ(readOwner().nendo, 2026);

    Table& t = dm.t07Jigyou;
    t.open();
    t.edit();
    t.fieldByName("Nendo").setInteger(2010);
    t.fieldByName("shime").clear();
    t.post();
    t.close();
    s = loadFiscalPeriod(dm, today);
    EXPECT_EQ(text(s.period), QStringLiteral("2010/01/01～2010/12/31"));
    EXPECT_EQ(readOwner().shime, 12);
    t.open();
    EXPECT_EQ(t.fieldByName("name").asString(), QStringLiteral("山田太郎"));
}

TEST_F(LoadPeriod, AnImpossibleClosingMonthIsTreatedAsEmpty)
{
    writeOwner({2010, 13});
    const FiscalSettings s = loadFiscalPeriod(dm, today);
    EXPECT_EQ(text(s.period), QStringLiteral("2010/01/01～2010/12/31"));
    EXPECT_EQ(readOwner().shime, 12);
}

TEST_F(LoadPeriod, ReadingThePeriodWritesNothingAndReadsAsLoadingWouldStore)
{
    struct Case {
        const char* what;
        std::optional<OwnerRow> row;
        const char* expected;
    };
    const Case cases[] = {
        {"no owner row: this year to December", std::nullopt, "2026/01/01～2026/12/31"},
        {"a year and a month", OwnerRow{2010, 3}, "2010/04/01～2011/03/31"},
        {"no year", OwnerRow{std::nullopt, 6}, "2026/07/01～2027/06/30"},
        {"an impossible month", OwnerRow{2011, 13}, "2011/01/01～2011/12/31"},
    };
    for (const Case& c : cases) {
        Table& t = dm.t07Jigyou;
        t.open();
        while (!t.isEmpty())
            t.remove();
        t.close();
        if (c.row)
            writeOwner(*c.row);
        const FiscalSettings s = readFiscalPeriod(dm, today);
        EXPECT_EQ(text(s.period), QString::fromUtf8(c.expected)) << c.what;
        EXPECT_FALSE(t.isActive()) << c.what;
        t.open();
        EXPECT_EQ(t.recordCount(), c.row ? 1 : 0) << c.what;
        if (c.row) {
            EXPECT_EQ(t.fieldByName("Nendo").isNull(), !c.row->nendo) << c.what;
            EXPECT_EQ(t.fieldByName("shime").asInteger(), c.row->shime.value_or(0)) << c.what;
        }
        t.close();
        // What loading would store gives the same period.
        if (c.row) {
            EXPECT_EQ(text(loadFiscalPeriod(dm, today).period), QString::fromUtf8(c.expected)) << c.what;
        }
    }
}
