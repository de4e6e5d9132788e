#include "closing/aggregation.h"
#include "closing/yearend.h"
#include "db/database.h"
#include "tests/closing/closingfixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class YearEnd : public ::testing::Test {
protected:
    Database& db() { return *Database::forFolder(folder.path()); }

    TestDataFolder folder;
};

} // namespace

TEST_F(YearEnd, SumsThePeriodPerAccountAsTheClosingCountsIt)
{
    addYearRows(folder.path(), {{"09", "1111", 1, 2, 3, 4}, {"10", "0412", 9, 9, 9, 9}});
    db().exec(QStringLiteral("INSERT INTO Kamoku (code, kamoku, bunrui) VALUES ('9911', '区分なし', '99')"));
    addEntries(folder.path(), {
        // the day before the period and the day after it
        {.day = "2010-03-31", .lcode = "0411", .lgaku = 500, .rcode = "1111", .rgaku = 500},
        {.day = "2011-04-01", .lcode = "1111", .lgaku = 999, .rcode = "2111", .rgaku = 999, .syori = 21},
        // the first day, brought forward
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 100000, .rcode = "2111", .rgaku = 100000, .syori = 21},
        {.day = "2010-05-10", .lcode = "0411", .lgaku = 3000, .rcode = "1111", .rgaku = 3000},
        // the last day
        {.day = "2011-03-31", .lcode = "0411", .lgaku = 2000, .rcode = "1313", .rgaku = 2000},
        // an account with nothing but negative amounts
        {.day = "2010-06-01", .lcode = "0499", .lgaku = -700, .rcode = "1111", .rgaku = -700},
        // closing adjustments only
        {.day = "2011-03-31", .lcode = "0322", .lgaku = 50000, .rcode = "1213", .rgaku = 50000, .syori = 31},
        // the closing's own rows
        {.day = "2011-03-31", .lcode = "4111", .lgaku = 5000, .rcode = "0411", .rgaku = 5000, .syori = 41},
        {.day = "2011-03-31", .lcode = "5111", .lgaku = 97700, .rcode = "1111", .rgaku = 97700, .syori = 51},
        // codes the masters lack: an account, and an account whose category is gone
        {.day = "2010-07-01", .lcode = "0998", .lgaku = 10, .rcode = "9911", .rgaku = 10},
    });

    const YearEndAggregation result = aggregateYearEnd(db(), kYear2010);

    EXPECT_EQ(result.yearCode, QStringLiteral("10"));
    EXPECT_EQ(result.rowsReplaced, 1);
    EXPECT_EQ(yearEndMessage(result), QStringLiteral("集計が終了しました。"));
    const std::vector<YearRow> expected = {
        {"09", "1111", 1, 2, 3, 4},       // another year: untouched
        {"10", "0322", 0, 0, 50000, 0},   // adjustments only
        {"10", "0411", 5000, 0, 0, 0},    // both ends of the period; the transfer not counted
        {"10", "1111", 100000, 2300, 0, 0},
        {"10", "1213", 0, 0, 0, 50000},
        {"10", "1313", 0, 2000, 0, 0},
        {"10", "2111", 0, 100000, 0, 0},  // the opening of the next year not counted
    };
    EXPECT_EQ(yearRows(folder.path()), expected);
    ASSERT_EQ(result.rows.size(), 6u);
    EXPECT_EQ(result.rows[2].credit, yen(2300));

    // A second run over the same journal leaves the same rows, not twice as many.
    const YearEndAggregation again = aggregateYearEnd(db(), kYear2010);
    EXPECT_EQ(again.rowsReplaced, 6);
    EXPECT_EQ(yearRows(folder.path()), expected);
}

TEST_F(YearEnd, APeriodWithoutRowsEmptiesItsYearAndNoOther)
{
    addYearRows(folder.path(), {{"09", "1111", 1, 0, 0, 0}, {"10", "1111", 5, 0, 0, 0}, {"11", "1111", 7, 0, 0, 0}});
    const YearEndAggregation result = aggregateYearEnd(db(), kYear2010);
    EXPECT_TRUE(result.rows.empty());
    const std::vector<YearRow> expected = {{"09", "1111", 1, 0, 0, 0}, {"11", "1111", 7, 0, 0, 0}};
    EXPECT_EQ(yearRows(folder.path()), expected);
}

TEST_F(YearEnd, SumsStayExactBeyondWhatAFloatingPointNumberHolds)
{
    // Three of the largest entries and a ten-thousandth of a yen: 29,999,999,999,970,001 units,
    // more than a double holds exactly.
    addEntries(folder.path(), {
        {.day = "2010-04-02", .lcode = "1111", .lgaku = 999'999'999'999, .rcode = "0111", .rgaku = 999'999'999'999},
        {.day = "2010-04-03", .lcode = "1111", .lgaku = 999'999'999'999, .rcode = "0111", .rgaku = 999'999'999'999},
        {.day = "2010-04-04", .lcode = "1111", .lgaku = 999'999'999'999, .rcode = "0111", .rgaku = 999'999'999'999},
    });
    db().exec(QStringLiteral("INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori)"
                             " VALUES ('2010-04-05', '11', '1111', 1, '01', '0111', 1, 10)"));
    const YearEndAggregation result = aggregateYearEnd(db(), kYear2010);
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[1].code, QStringLiteral("1111"));
    EXPECT_EQ(result.rows[1].debit, Money::fromUnits(29'999'999'999'970'001));
    Statement stored = db().prepare(QStringLiteral("SELECT Lgaku, typeof(Lgaku) FROM shisanH WHERE kcode='1111'"));
    ASSERT_TRUE(stored.step());
    EXPECT_EQ(stored.columnInt(0), 29'999'999'999'970'001);
    EXPECT_EQ(stored.column(1).toString(), QStringLiteral("integer"));
}

TEST_F(YearEnd, AFailurePartWayLeavesTheYearAsItWas)
{
    addYearRows(folder.path(), {{"10", "1111", 5, 0, 0, 0}});
    addEntries(folder.path(), {
        {.day = "2010-05-10", .lcode = "0411", .lgaku = 3000, .rcode = "1111", .rgaku = 3000},
        {.day = "2010-05-11", .lcode = "1112", .lgaku = 3000, .rcode = "1111", .rgaku = 3000},
    });
    // The store refuses the third row written, after the year was emptied and two rows added.
    db().exec(QStringLiteral("CREATE TEMP TRIGGER refuse_third AFTER INSERT ON main.shisanH"
                             " WHEN (SELECT count(*) FROM main.shisanH) >= 3 BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    EXPECT_THROW((void)aggregateYearEnd(db(), kYear2010), StoreError);
    const std::vector<YearRow> unchanged = {{"10", "1111", 5, 0, 0, 0}};
    EXPECT_EQ(yearRows(folder.path()), unchanged);
    EXPECT_FALSE(db().inTransaction());
}

TEST_F(YearEnd, TheSubAccountLevelSumsTheSubAccountSides)
{
    addEntries(folder.path(), {
        {.day = "2010-05-10", .lcode = "1112", .lgaku = 3000, .rcode = "1111", .rgaku = 3000, .lscode = "111201"},
        {.day = "2010-05-11", .lcode = "0411", .lgaku = 800, .rcode = "1112", .rgaku = 800, .rscode = "111201"},
        {.day = "2010-05-12", .lcode = "0411", .lgaku = 40, .rcode = "1112", .rgaku = 40, .rscode = "111201", .syori = 31},
        {.day = "2011-05-12", .lcode = "1112", .lgaku = 1, .rcode = "1111", .rgaku = 1, .lscode = "111201"},
    });
    const QStringList codes = codesToAggregate(db(), AggregationLevel::SubAccount);
    ASSERT_TRUE(codes.contains(QStringLiteral("111201")));
    const std::vector<CodeTotals> totals =
        totalsPerCode(db(), AggregationLevel::SubAccount, {QStringLiteral("111201")}, kYear2010.start, kYear2010.end);
    const std::vector<CodeTotals> expected = {{QStringLiteral("111201"), yen(3000), yen(800), Money(), yen(40)}};
    EXPECT_EQ(totals, expected);
}

// The sums of a sub-account and the list of sub-account codes read only the sub-account
// indexes, which leave out the rows without one.
TEST_F(YearEnd, SubAccountSumsAndCodesAreServedByThePartialIndexes)
{
    const auto plan = [this](const QString& sql) {
        Statement explain = db().prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        QStringList details;
        while (explain.step())
            details << explain.column(3).toString();
        return details.join(u'\n');
    };
    EXPECT_TRUE(plan(sideSumsSql("LScode", "Lgaku")).contains(QStringLiteral("COVERING INDEX shiwake_LScode"))) << plan(sideSumsSql("LScode", "Lgaku")).toStdString();
    EXPECT_TRUE(plan(sideSumsSql("RScode", "Rgaku")).contains(QStringLiteral("COVERING INDEX shiwake_RScode")));
    const QString codes = plan(db().storedQueryText(QStringLiteral("uqSai")));
    EXPECT_TRUE(codes.contains(QStringLiteral("shiwake_LScode")) && codes.contains(QStringLiteral("shiwake_RScode"))) << codes.toStdString();
    EXPECT_FALSE(codes.contains(QStringLiteral("SCAN shiwake"))) << codes.toStdString();
}

