#include "closing/closinggrid.h"
#include "db/database.h"
#include "tests/closing/closingfixture.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

// An account of the year in whole yen with its category's BP and LR.
YearAccount account(const char* code, const char* name, qint64 l, qint64 r, qint64 ls, qint64 rs, const char* bp,
                    const char* lr)
{
    return {QString::fromLatin1(code), QString::fromUtf8(name), yen(l), yen(r), yen(ls), yen(rs),
            QString::fromLatin1(bp), QString::fromLatin1(lr)};
}

// A year that shows most of what the two views do with an account.
const std::vector<YearAccount> kYear = {
    account("0111", "売上高", 0, 750000, 0, 0, "2", "2"),
    account("0322", "減価償却費", 0, 0, 50000, 0, "2", "1"),  // closing adjustments only
    account("0411", "食費", 550000, 0, 0, 0, "2", "1"),
    account("1111", "現金", 100, 400, 0, 0, "1", "1"),        // a debit-side account on the credit side
    account("1112", "普通預金", 1000, 1000, 0, 0, "1", "1"),  // moved, but no balance
    account("1213", "車両運搬具", 900000, 0, 0, 50000, "1", "1"),
    account("1313", "クレジットカード", 5000, 2000, 0, 0, "1", "2"),  // a credit-side account on the debit side
    account("1503", "元入金", 0, 1000000, 0, 0, "1", "2"),
    account("2111", "前期繰越", 0, 100000, 0, 0, "3", "3"),   // never shown
    account("4111", "損益", 10, 0, 5, 0, "3", "3"),           // in neither statement
};

QList<QStringList> rows(std::initializer_list<QStringList> list)
{
    return QList<QStringList>(list);
}

} // namespace

TEST(ClosingGrid, TheTrialBalanceOfAYear)
{
    const QList<QStringList> expected = rows({
        {"", "", "", "合計試算表", "合計試算表", "残高試算表", "残高試算表"},
        {"NO", "code", "勘定", "借方", "貸方", "借方", "貸方"},
        {"1", "0111", "売上高", "", "750,000", "", "750,000"},
        {"2", "0411", "食費", "550,000", "", "550,000", ""},
        {"3", "1111", "現金", "100", "400", "-300", ""},
        {"4", "1112", "普通預金", "1,000", "1,000", "", ""},
        {"5", "1213", "車両運搬具", "900,000", "", "900,000", ""},
        {"6", "1313", "クレジットカード", "5,000", "2,000", "", "-3,000"},
        {"7", "1503", "元入金", "", "1,000,000", "", "1,000,000"},
        {"8", "4111", "損益", "10", "", "", "-10"},
        {"", "", "計", "1,456,110", "1,753,400", "1,449,700", "1,746,990"},
    });
    EXPECT_EQ(gridRows(trialBalanceGrid(kYear)), expected);
}

TEST(ClosingGrid, TheWorksheetOfAYear)
{
    const QList<QStringList> expected = rows({
        {"", "", "", "残高試算表", "残高試算表", "整理記入", "整理記入", "損益計算書", "損益計算書", "貸借対照表", "貸借対照表"},
        {"NO", "code", "勘定", "借方", "貸方", "借方", "貸方", "借方", "貸方", "借方", "貸方"},
        {"1", "0111", "売上高", "", "750,000", "", "", "", "750,000", "", ""},
        {"2", "0322", "減価償却費", "", "", "50,000", "", "50,000", "", "", ""},
        {"3", "0411", "食費", "550,000", "", "", "", "550,000", "", "", ""},
        {"4", "1111", "現金", "", "300", "", "", "", "", "", "300"},
        {"5", "1213", "車両運搬具", "900,000", "", "", "50,000", "", "", "850,000", ""},
        {"6", "1313", "クレジットカード", "3,000", "", "", "", "", "", "3,000", ""},
        {"7", "1503", "元入金", "", "1,000,000", "", "", "", "", "", "1,000,000"},
        {"8", "4111", "損益", "10", "", "5", "", "", "", "", ""},
        {"9", "", "利益", "", "", "", "", "150,000", "", "", "150,000"},
        {"", "", "計", "1,453,010", "1,750,300", "50,005", "50,000", "750,000", "750,000", "853,000", "1,150,300"},
    });
    EXPECT_EQ(gridRows(worksheetGrid(kYear)), expected);
}

TEST(ClosingGrid, TheResultLineAndTheTotalsOfTheStatements)
{
    struct Case {
        const char* what;
        std::vector<YearAccount> accounts;
        QStringList resultLine;
        QStringList totalsLine;
    };
    const Case cases[] = {
        {"no accounts: a profit of 0", {},
         {"1", "", "利益", "", "", "", "", "0", "", "", "0"},
         {"", "", "計", "0", "0", "0", "0", "0", "0", "0", "0"}},
        {"a profit: the statements' columns meet in the totals",
         {account("0411", "食費", 600000, 0, 0, 0, "2", "1"), account("0111", "売上高", 0, 750000, 0, 0, "2", "2"),
          account("1111", "現金", 150000, 0, 0, 0, "1", "1")},
         {"4", "", "利益", "", "", "", "", "150,000", "", "", "150,000"},
         {"", "", "計", "750,000", "750,000", "0", "0", "750,000", "750,000", "150,000", "150,000"}},
        {"a loss", {account("0411", "食費", 800000, 0, 0, 0, "2", "1"), account("0111", "売上高", 0, 750000, 0, 0, "2", "2"),
                    account("1111", "現金", 0, 50000, 0, 0, "1", "1")},
         {"4", "", "損失", "", "", "", "", "", "50,000", "50,000", ""},
         {"", "", "計", "800,000", "800,000", "0", "0", "800,000", "800,000", "50,000", "50,000"}},
        {"revenue equal to expenses", {account("0411", "食費", 1000, 0, 0, 0, "2", "1"), account("0111", "売上高", 0, 1000, 0, 0, "2", "2")},
         {"3", "", "利益", "", "", "", "", "0", "", "", "0"},
         {"", "", "計", "1,000", "1,000", "0", "0", "1,000", "1,000", "0", "0"}},
    };
    for (const Case& c : cases) {
        const QList<QStringList> all = gridRows(worksheetGrid(c.accounts));
        ASSERT_GE(all.size(), 4) << c.what;
        EXPECT_EQ(all[all.size() - 2], c.resultLine) << c.what;
        EXPECT_EQ(all.back(), c.totalsLine) << c.what;
    }

    // An empty trial balance is its headings and the totals line.
    const QList<QStringList> empty = gridRows(trialBalanceGrid({}));
    ASSERT_EQ(empty.size(), 3);
    EXPECT_EQ(empty.back(), (QStringList{"", "", "計", "0", "0", "0", "0"}));
}

TEST(ClosingGrid, TwelveAccountsAreNumberedOneToTwelveAndTheResultThirteen)
{
    std::vector<YearAccount> accounts;
    for (int i = 0; i < 12; ++i)
        accounts.push_back(account(qPrintable(QStringLiteral("04%1").arg(11 + i)), "費用", 100 + i, 0, 0, 0, "2", "1"));
    const ClosingGrid grid = worksheetGrid(accounts);
    ASSERT_EQ(grid.lines.size(), 14u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(grid.lines[size_t(i)].number, QString::number(i + 1));
    EXPECT_EQ(grid.lines[12].number, QStringLiteral("13"));
    EXPECT_EQ(grid.lines[12].name, QStringLiteral("損失"));
}

TEST(ClosingGrid, ViewsAreChosenByCaption)
{
    EXPECT_EQ(viewFromCaption(QStringLiteral("試算表")), ClosingView::TrialBalance);
    EXPECT_EQ(viewFromCaption(QStringLiteral("精算表")), ClosingView::Worksheet);
    EXPECT_EQ(viewFromCaption(QStringLiteral("集計表")), std::nullopt);
}

TEST(ClosingGrid, TheYearIsReadInCodeOrderWithTheMastersItHas)
{
    TestDataFolder folder;
    addYearRows(folder.path(), {
        {"10", "1111", 100, 0, 0, 0},
        {"10", "0411", 200, 0, 0, 0},
        {"10", "0998", 300, 0, 0, 0},  // no such account
        {"09", "0412", 400, 0, 0, 0},  // another year
    });
    auto db = Database::forFolder(folder.path());
    db->exec(QStringLiteral("INSERT INTO shisanH (nendo, kcode, Lgaku) VALUES ('10', '1112', 1)"));  // a fraction of a yen
    const std::vector<YearAccount> year = readYearAccounts(*db, QStringLiteral("10"));
    ASSERT_EQ(year.size(), 3u);
    EXPECT_EQ(year[0].code, QStringLiteral("0411"));
    EXPECT_EQ(year[0].name, QStringLiteral("食費"));
    EXPECT_EQ(year[0].statement(), StatementCode::ProfitAndLoss);
    EXPECT_EQ(year[0].side(), SideCode::Debit);
    EXPECT_EQ(year[1].code, QStringLiteral("1111"));
    EXPECT_EQ(year[2].debit, Money::fromUnits(1));
    EXPECT_EQ(year[2].credit, Money());
    EXPECT_EQ(lineCells(readClosingGrid(*db, QStringLiteral("10"), ClosingView::TrialBalance).lines[1]),
              (QStringList{"2", "1111", "現金", "100", "", "100", ""}));
}
