#include "aggregate/periodaggregation.h"
#include "db/database.h"
#include "tests/aggregate/aggregatefixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class PeriodAggregationRun : public ::testing::Test {
protected:
    Database& db() { return *Database::forFolder(folder.path()); }
    TestDataFolder folder;
};

const DateRange kMay2010{QDate(2010, 5, 1), QDate(2010, 5, 31)};
const QDateTime kRunTime(QDate(2010, 6, 2), QTime(21, 5, 9));

} // namespace

TEST(PeriodAggregationMonths, TheButtonsStepWholeMonthsFromTheStartDayAlone)
{
    struct Case {
        const char* what;
        QDate start;
        DateRange previous;
        DateRange next;
    };
    const Case cases[] = {
        {"January steps back into December of the year before", QDate(2011, 1, 15),
         {QDate(2010, 12, 1), QDate(2010, 12, 31)}, {QDate(2011, 2, 1), QDate(2011, 2, 28)}},
        {"December steps on into January of the next year", QDate(2010, 12, 1),
         {QDate(2010, 11, 1), QDate(2010, 11, 30)}, {QDate(2011, 1, 1), QDate(2011, 1, 31)}},
        {"November steps on to the whole of December", QDate(2010, 11, 30),
         {QDate(2010, 10, 1), QDate(2010, 10, 31)}, {QDate(2010, 12, 1), QDate(2010, 12, 31)}},
        {"the 31st of March gives April of 30 days", QDate(2010, 3, 31),
         {QDate(2010, 2, 1), QDate(2010, 2, 28)}, {QDate(2010, 4, 1), QDate(2010, 4, 30)}},
        {"a leap February", QDate(2012, 3, 10), {QDate(2012, 2, 1), QDate(2012, 2, 29)}, {QDate(2012, 4, 1), QDate(2012, 4, 30)}},
        {"from a range 10 May to 20 August only the start counts", QDate(2010, 5, 10),
         {QDate(2010, 4, 1), QDate(2010, 4, 30)}, {QDate(2010, 6, 1), QDate(2010, 6, 30)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(previousMonth(c.start), c.previous);
        EXPECT_EQ(nextMonth(c.start), c.next);
    }
    EXPECT_EQ(monthOf(QDate(2010, 2, 14)), (DateRange{QDate(2010, 2, 1), QDate(2010, 2, 28)}));
}

TEST(PeriodAggregationStatus, TheLabelsShowTheLastRunAndLeaveOutATimeOfMidnight)
{
    EXPECT_EQ(statusRunText(std::nullopt), QStringLiteral("集計状況："));
    EXPECT_EQ(statusRangeText(std::nullopt), QStringLiteral("集計条件："));
    AggregationStatus status{QDateTime(QDate(2010, 6, 2), QTime(9, 5, 7)), kMay2010};
    EXPECT_EQ(statusRunText(status), QStringLiteral("集計状況：2010/06/02 9:05:07"));
    EXPECT_EQ(statusRangeText(status), QStringLiteral("集計条件：2010/05/01～2010/05/31"));
    status.ranAt.setTime(QTime(0, 0));
    EXPECT_EQ(statusRunText(status), QStringLiteral("集計状況：2010/06/02"));
    status.ranAt.setTime(QTime(0, 0, 1));
    EXPECT_EQ(statusRunText(status), QStringLiteral("集計状況：2010/06/02 0:00:01"));
}

TEST_F(PeriodAggregationRun, SumsTheRangePerAccountAndSubAccountAsTheClosingCountsIt)
{
    db().exec(QStringLiteral("INSERT INTO Kamoku (code, kamoku, bunrui) VALUES ('9911', '区分なし', '99')"));
    addEntries(folder.path(), {
        // the days either side of the range
        {.day = "2010-04-30", .lcode = "0411", .lgaku = 500, .rcode = "1111", .rgaku = 500, .lscode = "041101"},
        {.day = "2010-06-01", .lcode = "0411", .lgaku = 700, .rcode = "1111", .rgaku = 700, .lscode = "041101"},
        // both ends of the range, on sub-accounts and beside them
        {.day = "2010-05-01", .lcode = "0411", .lgaku = 3000, .rcode = "1112", .rgaku = 3000, .lscode = "041101", .rscode = "111201"},
        {.day = "2010-05-31", .lcode = "0411", .lgaku = 1200, .rcode = "1111", .rgaku = 1200, .lscode = "041102"},
        {.day = "2010-05-20", .lcode = "0411", .lgaku = 800, .rcode = "1111", .rgaku = 800},
        // brought forward counts as a movement
        {.day = "2010-05-01", .lcode = "1112", .lgaku = 90000, .rcode = "2111", .rgaku = 90000, .lscode = "111201", .syori = 21},
        // only credited
        {.day = "2010-05-25", .lcode = "1111", .lgaku = 40000, .rcode = "0211", .rgaku = 40000},
        // closing adjustments only
        {.day = "2010-05-31", .lcode = "0322", .lgaku = 5000, .rcode = "1213", .rgaku = 5000, .syori = 31},
        // the closing's own rows count nowhere
        {.day = "2010-05-31", .lcode = "4111", .lgaku = 10, .rcode = "0411", .rgaku = 10, .rscode = "041101", .syori = 41},
        {.day = "2010-05-31", .lcode = "5111", .lgaku = 20, .rcode = "1112", .rgaku = 20, .rscode = "111201", .syori = 51},
        // codes the masters lack: an account, an account without its category, a sub-account
        {.day = "2010-05-10", .lcode = "0998", .lgaku = 10, .rcode = "9911", .rgaku = 10, .lscode = "099801"},
        // a negative amount alone gives no row
        {.day = "2010-05-10", .lcode = "0499", .lgaku = -300, .rcode = "1111", .rgaku = -300},
    });

    const PeriodAggregation result = aggregatePeriod(db(), kMay2010, kRunTime);

    const std::vector<YearRow> accounts = {
        {"", "0211", 0, 40000, 0, 0},
        {"", "0322", 0, 0, 5000, 0},
        {"", "0411", 5000, 0, 0, 0},
        {"", "1111", 40000, 1700, 0, 0},
        {"", "1112", 90000, 3000, 0, 0},
        {"", "1213", 0, 0, 0, 5000},
        {"", "2111", 0, 90000, 0, 0},
    };
    const std::vector<YearRow> subAccounts = {
        {"", "041101", 3000, 0, 0, 0},
        {"", "041102", 1200, 0, 0, 0},
        {"", "111201", 90000, 3000, 0, 0},
    };
    EXPECT_EQ(sumRows(db(), QStringLiteral("Sum01")), accounts);
    EXPECT_EQ(sumRows(db(), QStringLiteral("Sum02")), subAccounts);
    EXPECT_EQ(result.accounts.size(), accounts.size());
    EXPECT_EQ(result.subAccounts.size(), subAccounts.size());
    EXPECT_EQ(result.accounts[2], (CodeTotals{QStringLiteral("0411"), Money::fromYen(5000), {}, {}, {}}));

    // A second run over the same range replaces, it does not add.
    (void)aggregatePeriod(db(), kMay2010, kRunTime.addSecs(60));
    EXPECT_EQ(sumRows(db(), QStringLiteral("Sum01")), accounts);
    EXPECT_EQ(sumRows(db(), QStringLiteral("Sum02")), subAccounts);
}

TEST_F(PeriodAggregationRun, TheFirstRunAppendsTheStatusRowAndLaterRunsUpdateIt)
{
    EXPECT_FALSE(readAggregationStatus(db()));
    (void)aggregatePeriod(db(), kMay2010, QDateTime(QDate(2010, 6, 2), QTime(21, 5, 9, 750)));
    ASSERT_TRUE(readAggregationStatus(db()));
    EXPECT_EQ(readAggregationStatus(db())->ranAt, QDateTime(QDate(2010, 6, 2), QTime(21, 5, 9)));
    EXPECT_EQ(readAggregationStatus(db())->range, kMay2010);

    const DateRange june{QDate(2010, 6, 1), QDate(2010, 6, 30)};
    const PeriodAggregation second = aggregatePeriod(db(), june, kRunTime.addDays(40));
    Statement rows = db().prepare(QStringLiteral("SELECT code, jdate, sdate, edate FROM sjyoken"));
    ASSERT_TRUE(rows.step());
    EXPECT_EQ(rows.column(0).toString(), QStringLiteral("01"));
    EXPECT_EQ(rows.column(1).toString(), QStringLiteral("2010-07-12 21:05:09"));
    EXPECT_EQ(rows.column(2).toString(), QStringLiteral("2010-06-01"));
    EXPECT_EQ(rows.column(3).toString(), QStringLiteral("2010-06-30"));
    EXPECT_FALSE(rows.step());
    EXPECT_EQ(readAggregationStatus(db())->range, june);
    EXPECT_EQ(second.status.ranAt, readAggregationStatus(db())->ranAt);
}

TEST_F(PeriodAggregationRun, AStartAfterTheEndEmptiesTheTablesAndIsRecorded)
{
    addEntries(folder.path(), {{.day = "2010-05-10", .lcode = "0411", .lgaku = 800, .rcode = "1111", .rgaku = 800}});
    (void)aggregatePeriod(db(), kMay2010, kRunTime);
    ASSERT_FALSE(sumRows(db(), QStringLiteral("Sum01")).empty());

    const DateRange backwards{QDate(2010, 5, 31), QDate(2010, 5, 1)};
    EXPECT_TRUE(backwards.isEmpty());
    (void)aggregatePeriod(db(), backwards, kRunTime);
    EXPECT_TRUE(sumRows(db(), QStringLiteral("Sum01")).empty());
    EXPECT_TRUE(sumRows(db(), QStringLiteral("Sum02")).empty());
    EXPECT_EQ(readAggregationStatus(db())->range, backwards);
    EXPECT_EQ(emptyRangeNotice(backwards), QStringLiteral("開始日 2010/05/31 が終了日 2010/05/01 より後のため、集計した期間に日がありません。"));
}
