#include "aggregate/aggregategrid.h"
#include "aggregate/periodaggregation.h"
#include "db/database.h"
#include "tests/aggregate/aggregatefixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class AggregateViews : public ::testing::Test {
protected:
    Database& db() { return *Database::forFolder(folder.path()); }
    QList<QStringList> rows(AggregateView view) { return aggregateGridRows(readAggregateGrid(db(), view)); }
    TestDataFolder folder;
};

QStringList cells(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts)
        list << QString::fromUtf8(t);
    return list;
}

} // namespace

TEST_F(AggregateViews, EmptyTablesShowTheHeadingsAndZeroTotals)
{
    EXPECT_EQ(rows(AggregateView::Accounts),
              (QList<QStringList>{cells({"", "", "", "合計試算表", "", "残高試算表", ""}),
                                  cells({"NO", "code", "勘定", "借方", "貸方", "借方", "貸方"}),
                                  cells({"", "", "計", "0", "0", "0", "0"})}));
    EXPECT_EQ(rows(AggregateView::SubAccounts),
              (QList<QStringList>{
                  cells({"", "", "", "", "", "合計試算表", "", "", "合計試算表", "残高試算表", "", "", "残高試算表"}),
                  cells({"NO", "code", "科目", "code", "細目", "借方", "借方", "貸方", "貸方", "借方", "借方", "貸方", "貸方"}),
                  cells({"", "", "計", "", "", "0", "", "0", "", "0", "", "0", ""})}));
}

// Both views of one set of stored sums, cell by cell: balances on the side of their sign
// whatever the category's side, "その他" for what no sub-account holds, 2111 left out of the
// rows and the totals, accounts of closing adjustments only left out, numbers for accounts only,
// code order.
TEST_F(AggregateViews, BothViewsOfTheStoredSums)
{
    addSumRows(db(), QStringLiteral("Sum01"), {
        {"", "1111", 200000, 500000, 0, 0},   // a debit-side account with a credit balance
        {"", "0411", 100000, 0, 0, 0},        // two sub-accounts and the rest
        {"", "2111", 0, 777777, 0, 0},        // never shown
        {"", "0211", 0, 300000, 0, 0},        // credited only
        {"", "0322", 0, 0, 5000, 0},          // closing adjustments only
        {"", "1112", 40000, 40000, 0, 0},     // even: no balance; wholly on its sub-account
        {"", "0998", 10, 0, 0, 0},            // no account in the masters
    });
    addSumRows(db(), QStringLiteral("Sum02"), {
        {"", "041102", 50000, 0, 0, 0},
        {"", "041101", 30000, 0, 0, 0},
        {"", "111201", 40000, 40000, 0, 0},
        {"", "111202", 0, 0, 900, 0},         // adjustments only: no line, but a row of the account
        {"", "211101", 5, 0, 0, 0},
    });

    EXPECT_EQ(rows(AggregateView::Accounts).mid(kAggregateHeadingRows),
              (QList<QStringList>{
                  cells({"1", "0211", "給与収入", "", "300,000", "", "300,000"}),
                  cells({"2", "0411", "食費", "100,000", "", "100,000", ""}),
                  cells({"3", "1111", "現金", "200,000", "500,000", "", "300,000"}),
                  cells({"4", "1112", "普通預金", "40,000", "40,000", "", ""}),
                  cells({"", "", "計", "340,000", "840,000", "100,000", "600,000"}),
              }));
    EXPECT_EQ(rows(AggregateView::SubAccounts).mid(kAggregateHeadingRows),
              (QList<QStringList>{
                  cells({"1", "0211", "給与収入", "", "", "", "", "300,000", "", "", "", "300,000", ""}),
                  cells({"2", "0411", "食費", "", "", "100,000", "", "", "", "100,000", "", "", ""}),
                  cells({"", "", "", "041101", "食料品", "", "30,000", "", "", "", "30,000", "", ""}),
                  cells({"", "", "", "041102", "外食", "", "50,000", "", "", "", "50,000", "", ""}),
                  cells({"", "", "", "", "その他", "", "20,000", "", "", "", "20,000", "", ""}),
                  cells({"3", "1111", "現金", "", "", "200,000", "", "500,000", "", "", "", "300,000", ""}),
                  cells({"4", "1112", "普通預金", "", "", "40,000", "", "40,000", "", "", "", "", ""}),
                  cells({"", "", "", "111201", "メインバンク", "", "40,000", "", "40,000", "", "", "", ""}),
                  cells({"", "", "計", "", "", "340,000", "", "840,000", "", "100,000", "", "600,000", ""}),
              }));
}

// A negative total (a credit the closing transfers wrote back into the capital) is counted by
// the totals line, so both views show it: the account columns add up to "計", on the screen and
// in the report that sums them.
TEST_F(AggregateViews, ANegativeTotalIsShownWhereTheTotalsCountIt)
{
    addSumRows(db(), QStringLiteral("Sum01"), {
        {"", "1503", 100000, -30000, 0, 0},
        {"", "1111", 30000, 100000, 0, 0},
    });
    EXPECT_EQ(rows(AggregateView::Accounts).mid(kAggregateHeadingRows),
              (QList<QStringList>{
                  cells({"1", "1111", "現金", "30,000", "100,000", "", "70,000"}),
                  cells({"2", "1503", "元入金", "100,000", "-30,000", "130,000", ""}),
                  cells({"", "", "計", "130,000", "70,000", "130,000", "70,000"}),
              }));
    EXPECT_EQ(rows(AggregateView::SubAccounts).mid(kAggregateHeadingRows),
              (QList<QStringList>{
                  cells({"1", "1111", "現金", "", "", "30,000", "", "100,000", "", "", "", "70,000", ""}),
                  cells({"2", "1503", "元入金", "", "", "100,000", "", "-30,000", "", "130,000", "", "", ""}),
                  cells({"", "", "計", "", "", "130,000", "", "70,000", "", "130,000", "", "70,000", ""}),
              }));
}

TEST_F(AggregateViews, TheOtherLineTakesTheSideOfItsSign)
{
    struct Case {
        const char* what;
        std::vector<YearRow> subAccounts;
        QStringList otherLine;  // empty: no "その他" line
    };
    const Case cases[] = {
        {"the sub-accounts hold less than the account", {{"", "041101", 30000, 10000, 0, 0}},
         cells({"", "", "", "", "その他", "", "70,000", "", "", "", "80,000", "", ""})},
        {"the sub-accounts hold more credit than the account", {{"", "041101", 100000, 25000, 0, 0}},
         cells({"", "", "", "", "その他", "", "", "", "", "", "25,000", "", ""})},
        {"the sub-accounts hold it all", {{"", "041101", 60000, 0, 0, 0}, {"", "041102", 40000, 0, 0, 0}}, {}},
        {"no sub-account row at all", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        db().exec(QStringLiteral("DELETE FROM Sum01"));
        db().exec(QStringLiteral("DELETE FROM Sum02"));
        addSumRows(db(), QStringLiteral("Sum01"), {{"", "0411", 100000, 0, 0, 0}});
        addSumRows(db(), QStringLiteral("Sum02"), c.subAccounts);
        const QList<QStringList> lines = rows(AggregateView::SubAccounts);
        const bool hasOther = std::any_of(lines.begin(), lines.end(), [](const QStringList& l) { return l[4] == QStringLiteral("その他"); });
        EXPECT_EQ(hasOther, !c.otherLine.isEmpty());
        if (!c.otherLine.isEmpty()) {
            EXPECT_EQ(lines[lines.size() - 2], c.otherLine);
        }
    }
}

// An account code holding a quote is bound, not written into a statement: its sub-accounts
// are found like any other's.
TEST_F(AggregateViews, AnAccountCodeWithAQuote)
{
    db().exec(QStringLiteral("INSERT INTO Kamoku (code, kamoku, bunrui) VALUES ('04''1', '引用', '04')"));
    db().exec(QStringLiteral("INSERT INTO Kamoku02 (code, kamoku, bunrui, kubun) VALUES ('04''101', '引用の細目', '04''1', '04')"));
    addEntries(folder.path(), {{.day = "2010-05-10", .lcode = "04'1", .lgaku = 800, .rcode = "1111", .rgaku = 800, .lscode = "04'101"}});
    (void)aggregatePeriod(db(), {QDate(2010, 5, 1), QDate(2010, 5, 31)}, QDateTime(QDate(2010, 6, 1), QTime(9, 0)));

    const QList<QStringList> lines = rows(AggregateView::SubAccounts);
    ASSERT_EQ(lines.size(), kAggregateHeadingRows + 4);
    EXPECT_EQ(lines[2].mid(0, 6), cells({"1", "04'1", "引用", "", "", "800"}));
    EXPECT_EQ(lines[3].mid(3, 4), cells({"04'101", "引用の細目", "", "800"}));
}
