#include "db/tdm01keiri.h"
#include "journal/journallist.h"
#include "journal/journallistmodel.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {

QString conditionsOf(const JournalListSql& s)
{
    QString text = s.sql.mid(journallist::baseSql().size());
    return text;
}

JournalFilter::Side side(std::optional<QString> category, std::optional<QString> account = {}, std::optional<QString> sub = {},
                         bool accountTicked = false, bool subTicked = false)
{
    JournalFilter::Side s;
    s.ticked = true;
    s.category = std::move(category);
    s.account = std::move(account);
    s.subAccount = std::move(sub);
    s.accountTicked = accountTicked;
    s.subAccountTicked = subTicked;
    return s;
}

} // namespace

TEST(JournalListSql, ConditionsInTheirFixedOrderWithParametersByPosition)
{
    JournalFilter f;
    f.period = true;
    f.from = QDate(2010, 4, 1);
    f.to = QDate(2011, 3, 31);
    f.debit = side(QStringLiteral("15"));
    f.credit = side(QStringLiteral("11"), QStringLiteral("1112"), QStringLiteral("111201"), true, true);
    f.useCategory = true;
    f.useCategoryCode = QStringLiteral("0101");
    f.mode = true;
    f.modeCode = 31;

    const JournalListSql n = journallist::narrowed(f);
    ASSERT_TRUE(n.ok()) << n.problem.toStdString();
    EXPECT_EQ(conditionsOf(n), QStringLiteral(" where ( shiwake.sDay >=:pD1 and shiwake.sDay <=:pD2)  and shiwake.Lbunrui = :pL1"
                                              " and shiwake.RScode=:pR1 and shiwake.kubun=:pB1 and shiwake.syori=:pS1"
                                              " ORDER BY shiwake.sday DESC,shiwake.id DESC"));
    EXPECT_EQ(n.params, (QVariantList{QDate(2010, 4, 1), QDate(2011, 3, 31), "15", "111201", "0101", 31}));

    // The refresh ignores the sub-accounts, matches a category as an account prefix and
    // orders by number.
    const JournalListSql r = journallist::refreshed(f);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.hasConditions);
    EXPECT_EQ(conditionsOf(r), QStringLiteral(" where ( shiwake.sDay >=:pD1 and shiwake.sDay <=:pD2)  and shiwake.Lcode like :pL1"
                                              " and shiwake.Rcode=:pR1 and shiwake.kubun=:pB1 and shiwake.syori=:pS1"
                                              " ORDER BY shiwake.id DESC"));
    EXPECT_EQ(r.params, (QVariantList{QDate(2010, 4, 1), QDate(2011, 3, 31), "15%", "1112", "0101", 31}));
}

TEST(JournalListSql, TheFirstConditionBeginsWithWhere)
{
    struct Case {
        const char* what;
        std::function<void(JournalFilter&)> set;
        const char* narrowed;
        const char* refreshed;
    };
    const Case cases[] = {
        {"credit account only", [](JournalFilter& f) { f.credit = side("13", "1313", {}, true); },
         " where shiwake.Rcode=:pR1", " where shiwake.Rcode=:pR1"},
        {"debit category then mode",
         [](JournalFilter& f) {
             f.debit = side("04");
             f.mode = true;
             f.modeCode = 10;
         },
         " where shiwake.Lbunrui = :pL1 and shiwake.syori=:pS1", " where shiwake.Lcode like :pL1 and shiwake.syori=:pS1"},
        {"use category only", [](JournalFilter& f) { f.useCategory = true; f.useCategoryCode = "0302"; },
         " where shiwake.kubun=:pB1", " where shiwake.kubun=:pB1"},
        {"a sub-account box ticked without its account box counts for nothing",
         [](JournalFilter& f) { f.debit = side("11", {}, "111201", false, true); },
         " where shiwake.Lbunrui = :pL1", " where shiwake.Lcode like :pL1"},
    };
    for (const Case& c : cases) {
        JournalFilter f;
        c.set(f);
        const auto n = journallist::narrowed(f);
        const auto r = journallist::refreshed(f);
        ASSERT_TRUE(n.ok() && r.ok()) << c.what;
        EXPECT_TRUE(conditionsOf(n).startsWith(QString::fromUtf8(c.narrowed) + " ORDER BY")) << c.what << ": " << conditionsOf(n).toStdString();
        EXPECT_TRUE(conditionsOf(r).startsWith(QString::fromUtf8(c.refreshed) + " ORDER BY")) << c.what << ": " << conditionsOf(r).toStdString();
    }
}

TEST(JournalListSql, WithoutConditions)
{
    const JournalFilter none;
    EXPECT_EQ(journallist::narrowed(none).problem, QStringLiteral("条件が指定されていません"));
    const auto r = journallist::refreshed(none);
    EXPECT_TRUE(r.ok());
    EXPECT_FALSE(r.hasConditions);
    EXPECT_EQ(conditionsOf(r), QStringLiteral(" ORDER BY shiwake.sday DESC,shiwake.id DESC"));
    EXPECT_EQ(journallist::everything().sql, r.sql);
}

TEST(JournalListSql, ATickedConditionWithoutAChoiceIsNamed)
{
    struct Case {
        std::function<void(JournalFilter&)> set;
        const char* problem;
    };
    const Case cases[] = {
        {[](JournalFilter& f) { f.debit = side({}); }, "絞込条件「借方」の分類が選択されていません。"},
        {[](JournalFilter& f) { f.credit = side("11", {}, {}, true); }, "絞込条件「貸方 科目」の科目が選択されていません。"},
        {[](JournalFilter& f) { f.debit = side("11", "1112", {}, true, true); }, "絞込条件「借方 細目」の細目が選択されていません。"},
        {[](JournalFilter& f) { f.useCategory = true; }, "絞込条件「区分」の区分が選択されていません。"},
        {[](JournalFilter& f) { f.mode = true; }, "絞込条件「処理ﾓｰﾄﾞ」の処理が選択されていません。"},
    };
    for (const Case& c : cases) {
        JournalFilter f;
        c.set(f);
        EXPECT_EQ(journallist::narrowed(f).problem, QString::fromUtf8(c.problem));
    }
}

namespace {

class JournalListData : public ::testing::Test {
protected:
    void SetUp() override
    {
        dm.DataModuleCreate(folder.path());
        auto db = Database::forFolder(folder.path());
        db->exec(QStringLiteral(
            "INSERT INTO shiwake (id, sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, yoto, kubun, syori, Memo) VALUES "
            "(1, '2010-04-01', '15', '1501', '', 10000000, '11', '1111', '', 10000000, '', '', 10, 'a'),"
            "(2, '2010-04-02', '04', '0411', '041101', 12000000, '11', '1111', '', 12000000, '01', '0101', 10, 'b'),"
            "(3, '2010-04-02', '11', '1501', '', 10000000, '11', '1112', '111201', 9000000, '', '', 31, 'c'),"
            "(4, '2010-04-03', '04', '0411', '', 5000000, '13', '1313', '131301', 5000000, '', '', 10, 'd'),"
            "(5, '2010-04-03', '04', '9999', '', 1000000, '11', '1111', '', NULL, '', '', 10, 'e')"));
    }
    QList<qint64> ids(const JournalListSql& s)
    {
        journallist::open(dm.q05shiwakeView, s);
        QList<qint64> result;
        for (dm.q05shiwakeView.first(); !dm.q05shiwakeView.eof(); dm.q05shiwakeView.next())
            result << dm.q05shiwakeView.fieldByName("id").asInteger();
        return result;
    }
    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
};

} // namespace

TEST_F(JournalListData, TheListShowsNamesAndOrdersAsAsked)
{
    EXPECT_EQ(ids(journallist::everything()), (QList<qint64>{5, 4, 3, 2, 1}));
    Query& q = dm.q05shiwakeView;
    journallist::open(q, journallist::everything());
    QStringList names;
    for (const FieldDef& f : q.fieldDefs())
        names << f.name;
    EXPECT_EQ(names, (QStringList{"id", "sDay", "kamoku", "Lgaku", "kamoku_1", "Rgaku", "Memo", "Name", "Name_1", "Name_2",
                                  "kamoku_2", "kamoku_3"}));
    ASSERT_TRUE(q.locate("id", 2));
    EXPECT_EQ(q.fieldByName("kamoku").asString(), QStringLiteral("食費"));
    EXPECT_EQ(q.fieldByName("kamoku_2").asString(), QStringLiteral("食料品"));
    EXPECT_EQ(q.fieldByName("Name_2").asString(), QStringLiteral("日常"));
    ASSERT_TRUE(q.locate("id", 5));
    EXPECT_EQ(q.fieldByName("kamoku").asString(), QString());  // a code that left the masters

    // A stored category and the account's prefix may disagree: row 3 is filed under 11 but
    // its account is 1501.
    JournalFilter f;
    f.debit = side("15");
    EXPECT_EQ(ids(journallist::narrowed(f)), (QList<qint64>{1}));
    EXPECT_EQ(ids(journallist::refreshed(f)), (QList<qint64>{3, 1}));

    JournalFilter day;
    day.period = true;
    day.from = day.to = QDate(2010, 4, 2);
    EXPECT_EQ(ids(journallist::narrowed(day)), (QList<qint64>{3, 2}));
}

TEST_F(JournalListData, TotalsAndTheBalanceCheck)
{
    JournalFilter f;
    f.credit = side("11");
    const auto s = journallist::narrowed(f);
    JournalListModel list;
    list.show(folder.path(), s);
    const auto t = list.totals();
    EXPECT_EQ(t.debit, Money::fromYen(1000 + 1200 + 1000 + 100));
    EXPECT_EQ(t.credit, Money::fromYen(1000 + 1200 + 900));
    EXPECT_EQ(journallist::totalsText(t), QStringLiteral("  借方 : ￥3,300,  貸方 : ￥3,100"));

    // An empty amount is not "different" under the rules of SQL: row 5 is not listed.
    EXPECT_EQ(ids(journallist::unbalanced()), (QList<qint64>{3}));
}

TEST(JournalEntryText, NamesTheRowAsTheUserSeesIt)
{
    const auto yen = [](qint64 amount) { return std::optional<Money>(Money::fromYen(amount)); };
    struct Case {
        const char* guards;
        journallist::EntryFacts entry;
        const char* expected;
    };
    const Case cases[] = {
        {"a posted row: one amount for both sides",
         {9, QDate(2026, 1, 15), "0411", "食費", "1111", "現金", yen(8800), yen(8800)},
         "NO.9 2026/01/15 借方 0411 食費 / 貸方 1111 現金 8,800円"},
        {"sides that differ: each its own amount",
         {9, QDate(2026, 1, 15), "0411", "食費", "1111", "現金", yen(9350), yen(8800)},
         "NO.9 2026/01/15 借方 0411 食費 9,350円 / 貸方 1111 現金 8,800円"},
        {"an empty credit amount is not shown as the debit's",
         {12, QDate(2026, 1, 15), "0411", "食費", "1111", "現金", yen(500), std::nullopt},
         "NO.12 2026/01/15 借方 0411 食費 500円 / 貸方 1111 現金"},
        {"a row not yet posted, without date, account or amounts",
         {std::nullopt, QDate(), "", "", "1111", "現金", std::nullopt, std::nullopt},
         "NO.（未登録） 借方 / 貸方 1111 現金"},
        {"a code the masters lack keeps its code",
         {4, QDate(2026, 2, 1), "9999", "", "1111", "現金", yen(1), yen(1)},
         "NO.4 2026/02/01 借方 9999 / 貸方 1111 現金 1円"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.guards);
        EXPECT_EQ(journallist::entryText(c.entry), QString::fromUtf8(c.expected));
    }
}
