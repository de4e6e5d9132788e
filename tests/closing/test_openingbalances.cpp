// The opening balances of a year: read from the first day's rows against 前期繰越, saved as
// mode-21 rows with 元入金 as the balancing figure, and the notice of a 2111 that does not net
// to zero.
#include "closing/closingentries.h"
#include "closing/openingbalances.h"
#include "db/database.h"
#include "tests/closing/closingfixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class OpeningBalancesOnBooks : public ::testing::Test {
protected:
    Database& db() { return *Database::forFolder(folder.path()); }

    QStringList journal()
    {
        Statement s = db().prepare(QStringLiteral(
            "SELECT sDay, Lcode, Lbunrui, ifnull(LScode, '-'), Rcode, Rbunrui, ifnull(RScode, '-'), Lgaku / 10000, syori,"
            " ifnull(Memo, '') FROM shiwake ORDER BY id"));
        QStringList rows;
        while (s.step()) {
            QStringList cells;
            for (int i = 0; i < s.columnCount(); ++i)
                cells << s.column(i).toString();
            rows << cells.join(u' ');
        }
        return rows;
    }
    // Debit less credit of an account over every row, or the rows of one day, in yen.
    qint64 net(const char* code, const char* day = nullptr)
    {
        Statement s = db().prepare(QStringLiteral("SELECT (SELECT ifnull(sum(Lgaku), 0) FROM shiwake WHERE Lcode = ?1 AND ifnull(?2, sDay) = sDay)"
                                                  " - (SELECT ifnull(sum(Rgaku), 0) FROM shiwake WHERE Rcode = ?1 AND ifnull(?2, sDay) = sDay)"));
        s.bind(1, QString::fromLatin1(code));
        s.bind(2, day ? QVariant(QString::fromLatin1(day)) : QVariant());
        s.step();
        return s.column(0).toLongLong() / 10000;
    }
    // The balance of a line, in yen on the account's own side; -1 for a line not listed.
    static qint64 balanceOf(const OpeningBalances& b, const char* account, const char* sub = "")
    {
        for (const OpeningBalanceLine& line : b.lines)
            if (line.accountCode == QLatin1String(account) && line.subAccountCode == QLatin1String(sub))
                return line.balance.units() / 10000;
        return -1;
    }
    static void setBalance(OpeningBalances& b, const char* account, const char* sub, qint64 value)
    {
        for (OpeningBalanceLine& line : b.lines)
            if (line.accountCode == QLatin1String(account) && line.subAccountCode == QLatin1String(sub))
                line.balance = yen(value);
    }

    TestDataFolder folder;
    const QDate firstDay{2026, 1, 1};
};

} // namespace

TEST_F(OpeningBalancesOnBooks, RowsEnteredAgainst2111BecomeBalancesAndSavingBalancesThemWithTheCapital)
{
    // A new user's first day: cash and a bank's sub-account against 前期繰越, a card's debt,
    // all in the ordinary mode; besides them rows that are not opening balances.
    addEntries(folder.path(), {
        {.day = "2026-01-01", .lcode = "1111", .lgaku = 96880, .rcode = "2111", .rgaku = 96880},
        {.day = "2026-01-01", .lcode = "1112", .lgaku = 900000, .rcode = "2111", .rgaku = 900000, .lscode = "111201"},
        {.day = "2026-01-01", .lcode = "2111", .lgaku = 50000, .rcode = "1313", .rgaku = 50000},
        {.day = "2026-01-01", .lcode = "0411", .lgaku = 1200, .rcode = "1111", .rgaku = 1200, .memo = "昼食"},
        {.day = "2026-01-02", .lcode = "1111", .lgaku = 7, .rcode = "2111", .rgaku = 7},
    });
    OpeningBalances read = readOpeningBalances(db(), firstDay);
    EXPECT_EQ(read.journalRows, 3);
    EXPECT_EQ(balanceOf(read, "1111"), 96880);
    EXPECT_EQ(balanceOf(read, "1112", "111201"), 900000);
    EXPECT_EQ(balanceOf(read, "1112"), 0);
    EXPECT_EQ(balanceOf(read, "1313"), 50000) << "a liability stands on its credit side";
    // Neither the capital nor 2111 is a line: the capital is computed, 2111 is the counter-side.
    EXPECT_EQ(balanceOf(read, "1503"), -1);
    EXPECT_EQ(balanceOf(read, "2111"), -1);
    EXPECT_EQ(balanceOf(read, "1501"), 0);
    EXPECT_EQ(openingCapital(read.lines), yen(946880));

    EXPECT_EQ(writeOpeningBalances(db(), firstDay, read.lines), 4);
    const QStringList expected = {
        "2026-01-01 0411 04 - 1111 11 - 1200 10 昼食",
        "2026-01-02 1111 11 - 2111 21 - 7 10 ",
        "2026-01-01 1111 11 - 2111 21 - 96880 21 期首残高",
        "2026-01-01 1112 11 111201 2111 21 - 900000 21 期首残高",
        "2026-01-01 2111 21 - 1313 13 - 50000 21 期首残高",
        "2026-01-01 2111 21 - 1503 15 - 946880 21 期首残高",
    };
    EXPECT_EQ(journal(), expected);
    EXPECT_EQ(net("2111", "2026-01-01"), 0);

    // Shown again, changed and saved again: the earlier rows are replaced, not added to.
    OpeningBalances again = readOpeningBalances(db(), firstDay);
    EXPECT_EQ(again.journalRows, 4);
    EXPECT_EQ(balanceOf(again, "1112", "111201"), 900000);
    setBalance(again, "1111", "", 120000);
    setBalance(again, "1313", "", 0);
    EXPECT_EQ(writeOpeningBalances(db(), firstDay, again.lines), 3);
    EXPECT_EQ(journal().size(), 5);
    EXPECT_EQ(net("1503"), -1020000);
    EXPECT_EQ(net("1313"), 0);
    EXPECT_EQ(net("2111", "2026-01-01"), 0);
    EXPECT_EQ(net("2111"), -7) << "the next day's row against 2111 is the user's own";
}

TEST_F(OpeningBalancesOnBooks, AYearOpenedByTheClosingTransfersShowsTheirBalancesAndKeepsThemWhenSaved)
{
    addYearRows(folder.path(), {
        {"10", "1111", 400000, 0, 0, 0},
        {"10", "1313", 0, 30000, 0, 0},
        {"10", "1501", 50000, 0, 0, 0},
        {"10", "1503", 0, 300000, 0, 0},
        {"10", "0411", 150000, 0, 0, 0},
        {"10", "0111", 0, 270000, 0, 0},
    });
    ASSERT_FALSE(runClosingTransfers(db(), kYear2010, std::nullopt).refusal);
    const QDate nextYear = kYear2010.end.addDays(1);
    OpeningBalances read = readOpeningBalances(db(), nextYear);
    EXPECT_EQ(balanceOf(read, "1111"), 400000);
    EXPECT_EQ(balanceOf(read, "1313"), 30000);
    EXPECT_EQ(balanceOf(read, "1501"), 0) << "moved into the capital by the closing";
    // The capital the closing carried forward: 300,000 + the profit 120,000 − drawings 50,000.
    EXPECT_EQ(openingCapital(read.lines), yen(370000));

    const qint64 capitalBefore = net("1503");
    writeOpeningBalances(db(), nextYear, read.lines);
    EXPECT_EQ(net("1503"), capitalBefore);
    EXPECT_EQ(net("1111", "2011-04-01"), 400000);
    EXPECT_EQ(net("1501", "2011-04-01"), 0);
    EXPECT_EQ(net("2111", "2011-04-01"), 0);
    Statement rows = db().prepare(QStringLiteral("SELECT count(*) FROM shiwake WHERE sDay = '2011-04-01' AND syori = 21"));
    rows.step();
    EXPECT_EQ(rows.column(0).toInt(), 3);  // 1111, 1313 and the capital

    // The closing run again replaces them as before: both recognise the same rows.
    ASSERT_FALSE(runClosingTransfers(db(), kYear2010, std::nullopt).refusal);
    EXPECT_EQ(readOpeningBalances(db(), nextYear).journalRows, 5);
    EXPECT_EQ(net("2111"), 0);
}

TEST(OpeningBalanceEntries, EveryBalanceStandsOnItsSideAndTheCapitalBalancesThem)
{
    auto line = [](const char* code, const char* category, bool debitSide, qint64 balance) {
        OpeningBalanceLine l;
        l.accountCode = QString::fromLatin1(code);
        l.category = QString::fromLatin1(category);
        l.debitSide = debitSide;
        l.balance = yen(balance);
        return l;
    };
    struct Case {
        std::vector<OpeningBalanceLine> lines;
        QStringList rows;  // debit/credit amount
        const char* what;
    };
    const Case cases[] = {
        {{line("1111", "11", true, 100), line("1315", "13", false, 30)},
         {"1111/2111 100", "2111/1315 30", "2111/1503 70"},
         "an asset on the debit side, a liability on the credit side, the capital the rest"},
        {{line("1111", "11", true, 100), line("1411", "14", false, 400)},
         {"1111/2111 100", "2111/1411 400", "1503/2111 300"},
         "liabilities above the assets: the capital stands on the debit side"},
        {{line("1112", "11", true, -20)}, {"2111/1112 20", "1503/2111 20"}, "an overdrawn account: no negative amount"},
        {{line("1111", "11", true, 0)}, {}, "nothing at all: no rows"},
    };
    for (const Case& c : cases) {
        QStringList rows;
        for (const ClosingEntry& e : openingBalanceEntries(c.lines, QDate(2026, 1, 1))) {
            rows << QStringLiteral("%1/%2 %3").arg(e.debitCode, e.creditCode).arg(e.amount.units() / 10000);
            EXPECT_EQ(e.mode, ProcessingMode::BroughtForward) << c.what;
            EXPECT_EQ(e.day, QDate(2026, 1, 1)) << c.what;
        }
        EXPECT_EQ(rows, c.rows) << c.what;
    }
}

TEST(BroughtForwardNotice, NamesTheDifferenceAndWhereToEnterTheBalances)
{
    EXPECT_TRUE(broughtForwardNotice(Money()).isEmpty());
    for (qint64 imbalance : {-1250000, 1250000}) {
        const QString notice = broughtForwardNotice(yen(imbalance));
        EXPECT_TRUE(notice.contains(QStringLiteral("1,250,000 円"))) << notice.toStdString();
        EXPECT_TRUE(notice.contains(QStringLiteral("「期首残高の入力」")));
        EXPECT_TRUE(notice.contains(QStringLiteral("2111")));
    }
    YearAccount broughtForward;
    broughtForward.code = QStringLiteral("2111");
    broughtForward.debit = yen(50000);
    broughtForward.credit = yen(1300000);
    YearAccount cash;
    cash.code = QStringLiteral("1111");
    cash.debit = yen(1);
    EXPECT_EQ(broughtForwardImbalance({cash, broughtForward}), yen(-1250000));
}
