#include "db/database.h"
#include "db/tdm01keiri.h"
#include "ledger/ledgerbook.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::addEntries;
using tolva::testing::Entry;
using tolva::testing::TestDataFolder;

namespace {

class LedgerBook : public ::testing::Test {
protected:
    void SetUp() override { dm.DataModuleCreate(folder.path()); }
    void TearDown() override { dm.closeAll(); }

    Ledger build(LedgerKind kind, const QString& code, bool debitType, QDate from = QDate(2010, 4, 1),
                 QDate to = QDate(2011, 3, 31))
    {
        return buildLedger(dm.q13motochou, LedgerRequest{kind, code, debitType, from, to});
    }

    static QList<QStringList> cells(const Ledger& ledger)
    {
        QList<QStringList> rows;
        for (const LedgerLine& line : ledger.lines)
            rows << ledgerCells(line);
        return rows;
    }
    static QList<qint64> ids(const Ledger& ledger)
    {
        QList<qint64> result;
        for (const LedgerLine& line : ledger.lines)
            result << line.id;
        return result;
    }
    static QStringList column(const Ledger& ledger, int column)
    {
        QStringList result;
        for (const LedgerLine& line : ledger.lines)
            result << ledgerCell(line, column);
        return result;
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
};

} // namespace

TEST_F(LedgerBook, ADebitTypeLedgerCrossesToTheCreditSideAndTheTotalsKeepTheSign)
{
    addEntries(folder.path(), {
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 1000, .rcode = "0211", .rgaku = 1000},
        {.day = "2010-04-02", .lcode = "0411", .lgaku = 1500, .rcode = "1111", .rgaku = 1500, .memo = "昼食",
         .kubun = "0101"},
    });
    const Ledger ledger = build(LedgerKind::Account, QStringLiteral("1111"), true);

    // The counter side without a sub-account ends in a blank; with a memo two blanks stand
    // before the parenthesis.
    const QList<QStringList> expected = {
        {"2010/04/01", "家計収入 給与収入 ", "", "1", "1,000", "", "借", "1,000"},
        {"2010/04/02", "家計費 食費  (昼食)", "日常", "2", "", "1,500", "貸", "500"},
    };
    EXPECT_EQ(cells(ledger), expected);
    EXPECT_EQ(ledger.totals.debit, Money::fromYen(1000));
    EXPECT_EQ(ledger.totals.credit, Money::fromYen(1500));
    EXPECT_EQ(ledger.totals.balance, Money::fromYen(-500));
    EXPECT_EQ(ledgerStatusText(ledger.totals), QStringLiteral("  借方 : ￥1,000,  貸方 : ￥1,500,  残高 : -￥500"));

    // The query is left open on its first row.
    EXPECT_TRUE(dm.q13motochou.isActive());
    EXPECT_EQ(dm.q13motochou.currentIndex(), 0);
}

TEST_F(LedgerBook, TheBalanceMarkFollowsTheLedgerTypeAndZeroStandsOnTheOtherSide)
{
    struct Case {
        const char* what;
        const char* code;
        bool debitType;
        std::vector<Entry> rows;
        QStringList marks;
        QStringList balances;
    };
    const Case cases[] = {
        {"a debit-type ledger that returns to 0 stands on the credit side", "1111", true,
         {{.lcode = "1111", .lgaku = 300, .rcode = "0211", .rgaku = 300},
          {.lcode = "0411", .lgaku = 300, .rcode = "1111", .rgaku = 300}},
         {"借", "貸"}, {"300", "0"}},
        {"a credit-type ledger whose first line is a debit stands on the debit side", "1313", false,
         {{.lcode = "1313", .lgaku = 200, .rcode = "1112", .rgaku = 200}},
         {"借"}, {"200"}},
        {"a credit-type ledger that returns to 0 stands on the debit side", "1312", false,
         {{.lcode = "0411", .lgaku = 700, .rcode = "1312", .rgaku = 700},
          {.lcode = "1312", .lgaku = 700, .rcode = "1112", .rgaku = 700}},
         {"貸", "借"}, {"700", "0"}},
    };
    for (const Case& c : cases) {
        for (const Entry& e : c.rows)
            tolva::testing::addEntry(folder.path(), e);
        const Ledger ledger = build(LedgerKind::Account, QString::fromLatin1(c.code), c.debitType);
        EXPECT_EQ(column(ledger, 6), c.marks) << c.what;
        EXPECT_EQ(column(ledger, 7), c.balances) << c.what;
    }
}

TEST_F(LedgerBook, ARowWithTheCodeOnBothSidesIsOneDebitLine)
{
    addEntries(folder.path(), {
        {.lcode = "1111", .lgaku = 500, .rcode = "1111", .rgaku = 500, .memo = "両替"},
        {.lcode = "1112", .lgaku = 800, .rcode = "1112", .rgaku = 800, .lscode = "111201", .rscode = "111201"},
    });
    const Ledger account = build(LedgerKind::Account, QStringLiteral("1111"), true);
    EXPECT_EQ(cells(account), (QList<QStringList>{{"2010/04/01", "流動資産 現金  (両替)", "", "1", "500", "", "借", "500"}}));

    const Ledger subAccount = build(LedgerKind::SubAccount, QStringLiteral("111201"), true);
    EXPECT_EQ(cells(subAccount),
              (QList<QStringList>{{"2010/04/01", "流動資産 普通預金 メインバンク", "", "2", "800", "", "借", "800"}}));
}

TEST_F(LedgerBook, ACategoryRowWithBothSidesInTheCategoryIsOneLineWithBothAmounts)
{
    addEntries(folder.path(), {
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 1000, .rcode = "1112", .rgaku = 1000},
        {.day = "2010-04-02", .lcode = "1112", .lgaku = 1000, .rcode = "1111", .rgaku = 800},
        {.day = "2010-04-03", .lcode = "0411", .lgaku = 300, .rcode = "1111", .rgaku = 300},
    });
    const Ledger ledger = build(LedgerKind::Category, QStringLiteral("11"), true);
    // Both amounts, the debit side as the description, and the balance moved by their
    // difference: not at all when they are equal.
    const QList<QStringList> expected = {
        {"2010/04/01", "流動資産 現金 ", "", "1", "1,000", "1,000", "貸", "0"},
        {"2010/04/02", "流動資産 普通預金 ", "", "2", "1,000", "800", "借", "200"},
        {"2010/04/03", "家計費 食費 ", "", "3", "", "300", "貸", "100"},
    };
    EXPECT_EQ(cells(ledger), expected);
    EXPECT_EQ(ledger.totals.debit, Money::fromYen(2000));
    EXPECT_EQ(ledger.totals.credit, Money::fromYen(2100));
    EXPECT_EQ(ledger.totals.balance, Money::fromYen(-100));
}

TEST_F(LedgerBook, ASubAccountLedgerDescribesTheCounterSideDownToItsSubAccount)
{
    addEntries(folder.path(), {
        {.lcode = "1112", .lgaku = 250000, .rcode = "0211", .rgaku = 250000, .memo = "4月分", .lscode = "111201"},
        {.lcode = "0414", .lgaku = 5000, .rcode = "1112", .rgaku = 5000, .lscode = "041401", .rscode = "111201"},
        {.lcode = "1112", .lgaku = 9000, .rcode = "0211", .rgaku = 9000, .lscode = "111202"},
    });
    const Ledger ledger = build(LedgerKind::SubAccount, QStringLiteral("111201"), true);
    EXPECT_EQ(column(ledger, 1), (QStringList{"家計収入 給与収入  (4月分)", "家計費 水道光熱費（家計） 電気代"}));
    EXPECT_EQ(column(ledger, 7), (QStringList{"250,000", "245,000"}));
}

TEST_F(LedgerBook, BothEndsOfTheRangeAndEveryModeAreIncludedInDateAndNumberOrder)
{
    addEntries(folder.path(), {
        {.day = "2010-03-31", .lcode = "1111", .lgaku = 1, .rcode = "0211", .rgaku = 1},
        {.day = "2010-04-05", .lcode = "1111", .lgaku = 10, .rcode = "0211", .rgaku = 10},
        {.day = "2011-03-31", .lcode = "5111", .lgaku = 20, .rcode = "1111", .rgaku = 20, .syori = 51},
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 30, .rcode = "2111", .rgaku = 30, .syori = 21},
        {.day = "2010-04-05", .lcode = "0411", .lgaku = 40, .rcode = "1111", .rgaku = 40, .syori = 41},
        {.day = "2011-04-01", .lcode = "1111", .lgaku = 50, .rcode = "0211", .rgaku = 50},
        {.day = "2010-04-05", .lcode = "1111", .lgaku = 60, .rcode = "0211", .rgaku = 60, .syori = 31},
    });
    const QList<qint64> expected = {4, 2, 5, 7, 3};
    EXPECT_EQ(ids(build(LedgerKind::Account, QStringLiteral("1111"), true)), expected);
    EXPECT_EQ(ids(build(LedgerKind::Category, QStringLiteral("11"), true)), expected);
    EXPECT_TRUE(build(LedgerKind::Account, QStringLiteral("1111"), true, QDate(2010, 4, 6), QDate(2010, 4, 2)).lines.isEmpty());
}

TEST_F(LedgerBook, AnEmptyCodeMatchesNoRow)
{
    // Rows without a sub-account, stored as empty text and as null, must not make up the
    // ledger of "no sub-account chosen".
    addEntries(folder.path(), {
        {.lcode = "1111", .lgaku = 100, .rcode = "0211", .rgaku = 100, .lscode = "", .rscode = ""},
        {.lcode = "1111", .lgaku = 100, .rcode = "0211", .rgaku = 100},
        {.lcode = "", .lgaku = 100, .rcode = "", .rgaku = 100, .lbunrui = "", .rbunrui = ""},
    });
    for (LedgerKind kind : {LedgerKind::Category, LedgerKind::Account, LedgerKind::SubAccount}) {
        const Ledger ledger = build(kind, QString(), false);
        EXPECT_TRUE(ledger.lines.isEmpty()) << int(kind);
        EXPECT_EQ(ledgerStatusText(ledger.totals), QStringLiteral("  借方 : ￥0,  貸方 : ￥0,  残高 : ￥0"));
    }
}

TEST_F(LedgerBook, CodesThatLeftTheMastersGiveEmptyNames)
{
    addEntries(folder.path(), {
        {.lcode = "1111", .lgaku = 100, .rcode = "9999", .rgaku = 100, .rscode = "999999", .kubun = "9999", .rbunrui = "99"},
    });
    const Ledger ledger = build(LedgerKind::Account, QStringLiteral("1111"), true);
    EXPECT_EQ(cells(ledger), (QList<QStringList>{{"2010/04/01", "  ", "", "1", "100", "", "借", "100"}}));
}

// The statement reads each side through its own index; it must list exactly the rows, in
// exactly the order, of the plain statement that ORs the two sides.
TEST_F(LedgerBook, ListsTheSameRowsInTheSameOrderAsThePlainOrStatement)
{
    QRandomGenerator random(20100401);
    const char* accounts[] = {"1111", "1112", "1313", "0411", nullptr};
    const char* subAccounts[] = {"111201", "111202", "", nullptr};
    const char* categories[] = {"11", "13", "04", nullptr};
    auto pick = [&random](const auto& choices) { return choices[random.bounded(int(std::size(choices)))]; };
    for (int i = 0; i < 600; ++i) {
        const QByteArray day = QDate(2010, 3, 30).addDays(random.bounded(370)).toString(Qt::ISODate).toLatin1();
        Entry e{.day = day.constData(), .lcode = pick(accounts), .lgaku = random.bounded(1, 5000),
                .rcode = pick(accounts), .rgaku = random.bounded(1, 5000), .lscode = pick(subAccounts),
                .rscode = pick(subAccounts), .syori = 10};
        // Now and then a category that does not follow the account's code.
        if (random.bounded(8) == 0)
            e.lbunrui = pick(categories);
        if (random.bounded(8) == 0)
            e.rbunrui = pick(categories);
        tolva::testing::addEntry(folder.path(), e);
    }

    auto plain = [this](const QString& debitField, const QString& creditField, const QString& code) {
        Query& q = dm.q16temp1;
        q.setSql(QStringLiteral(
            "SELECT shiwake.id FROM shiwake WHERE (((shiwake.sDay)>=:pD1 And (shiwake.sDay)<=:pD2) AND "
            "((%1)=:pC03)) OR (((shiwake.sDay)>=:pD1 And (shiwake.sDay)<=:pD2) AND ((%2)=:pC03)) "
            "ORDER BY shiwake.sday,shiwake.id").arg(debitField, creditField));
        q.setParam(QStringLiteral("pD1"), QDate(2010, 4, 1));
        q.setParam(QStringLiteral("pD2"), QDate(2011, 3, 31));
        q.setParam(QStringLiteral("pC03"), code);
        QList<qint64> result;
        q.open();
        for (q.first(); !q.eof(); q.next())
            result << q.field(0).asInteger();
        q.close();
        return result;
    };

    struct Case {
        LedgerKind kind;
        const char* code;
        const char* debitField;
        const char* creditField;
    };
    const Case cases[] = {
        {LedgerKind::Account, "1111", "shiwake.Lcode", "shiwake.Rcode"},
        {LedgerKind::Account, "1313", "shiwake.Lcode", "shiwake.Rcode"},
        {LedgerKind::SubAccount, "111201", "shiwake.LScode", "shiwake.RScode"},
        {LedgerKind::Category, "11", "Lbunrui", "Rbunrui"},
        {LedgerKind::Category, "04", "Lbunrui", "Rbunrui"},
    };
    QList<QList<QStringList>> shown;
    for (const Case& c : cases) {
        const QList<qint64> expected = plain(QString::fromLatin1(c.debitField), QString::fromLatin1(c.creditField),
                                             QString::fromLatin1(c.code));
        ASSERT_GT(expected.size(), 50) << c.code;
        const Ledger ledger = build(c.kind, QString::fromLatin1(c.code), true);
        EXPECT_EQ(ids(ledger), expected) << c.code;
        shown << cells(ledger);
    }

    // An amount stored as text with separators, as another program may leave it: the lines
    // are read through the dataset layer instead, and read the same.
    Database& db = *Database::forFolder(folder.path());
    // (The file holds ten-thousandths of a yen; text is read as yen.)
    db.exec(QStringLiteral("UPDATE shiwake SET Lgaku = printf('%,d', Lgaku / 10000) WHERE id = (SELECT min(id) FROM shiwake"
                           " WHERE Lcode = '1111' AND Lgaku >= 10000000 AND sDay BETWEEN '2010-04-01' AND '2011-03-31')"));
    ASSERT_EQ(db.changes(), 1);
    for (qsizetype i = 0; i < std::ssize(cases); ++i) {
        const QList<QStringList> again = cells(build(cases[i].kind, QString::fromLatin1(cases[i].code), true));
        ASSERT_EQ(again.size(), shown[i].size()) << cases[i].code;
        for (qsizetype line = 0; line < again.size(); ++line)
            EXPECT_EQ(again[line].join(u'|').toStdString(), shown[i][line].join(u'|').toStdString()) << cases[i].code;
    }
}

// A sub-account ledger reads each side through that side's sub-account index, though those
// leave out the rows without a sub-account.
TEST_F(LedgerBook, ASubAccountLedgerIsServedByTheSubAccountIndexes)
{
    Database& db = *Database::forFolder(folder.path());
    Statement explain = db.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + db.translation(motochouSql(LedgerKind::SubAccount)).sql);
    QStringList details;
    while (explain.step())
        details << explain.column(3).toString();
    const QString plan = details.join(u'\n');
    EXPECT_TRUE(plan.contains(QStringLiteral("INDEX shiwake_LScode (LScode=?")) && plan.contains(QStringLiteral("INDEX shiwake_RScode (RScode=?")))
        << plan.toStdString();
}
