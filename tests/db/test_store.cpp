#include "db/database.h"
#include "db/programstate.h"
#include "db/querymodel.h"
#include "db/tdm01keiri.h"
#include "tests/support/testdata.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <optional>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {

class Store : public ::testing::Test {
protected:
    void SetUp() override { dm.DataModuleCreate(folder.path()); }
    void TearDown() override { dm.closeAll(); }

    // Appends a journal row through the table dataset, the way the journal window does.
    qint64 addJournalRow(const QDate& day, const QString& debit, const QString& credit, qint64 yen,
                         const QString& memo = {})
    {
        Table& t = dm.t01keiri;
        t.open();
        t.append();
        t.fieldByName("sDay").setDate(day);
        t.fieldByName("Lbunrui").setString(debit.left(2));
        t.fieldByName("Lcode").setString(debit);
        t.fieldByName("Lgaku").setMoney(Money::fromYen(yen));
        t.fieldByName("Rbunrui").setString(credit.left(2));
        t.fieldByName("Rcode").setString(credit);
        t.fieldByName("Rgaku").setMoney(Money::fromYen(yen));
        if (!memo.isEmpty())
            t.fieldByName("Memo").setString(memo);
        t.post();
        return t.fieldByName("id").asInteger();
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
};

} // namespace

TEST_F(Store, NothingIsOpenedWhenTheModuleIsCreated)
{
    for (Dataset* ds : dm.datasets()) {
        EXPECT_FALSE(ds->isActive()) << ds->datasetName().toStdString();
        EXPECT_EQ(ds->databaseName(), folder.path());
    }
}

TEST_F(Store, ParametersByNumberAndByNameWithARepeatedName)
{
    Query& q = dm.q16temp1;
    q.setSql(QStringLiteral("select code from kamoku where (code=:pc or code=:other or code=:PC) order by code"));
    ASSERT_EQ(q.paramCount(), 3);
    // Occurrence 2 is the same name as occurrence 0: one value serves both.
    q.setParam(2, QStringLiteral("1111"));
    q.setParam(QStringLiteral("other"), QStringLiteral("1503"));
    q.open();
    QStringList codes;
    for (q.first(); !q.eof(); q.next())
        codes << q.fieldByName("code").asString();
    EXPECT_EQ(codes, (QStringList{"1111", "1503"}));

    q.setParam(0, QStringLiteral("0111"));
    q.close();
    q.open();
    EXPECT_EQ(q.field(0).asString(), QStringLiteral("0111"));

    EXPECT_THROW(q.setParam(3, 1), StoreError);
    EXPECT_THROW(q.setParam(QStringLiteral("nope"), 1), StoreError);
    q.setSql(QStringLiteral("select * from kamoku where code=:unset"));
    EXPECT_THROW(q.open(), StoreError);  // an unset parameter is an error, not a silent null
}

TEST_F(Store, RepeatedColumnNamesAreNumberedAndUnmatchedLeftJoinsGiveNulls)
{
    addJournalRow(QDate(2010, 5, 1), QStringLiteral("0411"), QStringLiteral("9999"), 1200);
    Query& q = dm.q16temp1;
    q.setSql(QStringLiteral(
        "SELECT shiwake.id, Kamoku.kamoku, Kamoku_1.kamoku, Kamoku02.kamoku, shiwake.Lgaku, Bunrui.Name AS bname "
        "FROM ((shiwake LEFT JOIN Kamoku ON shiwake.Lcode = Kamoku.code) "
        "LEFT JOIN Kamoku AS Kamoku_1 ON shiwake.Rcode = Kamoku_1.code) "
        "LEFT JOIN Kamoku02 ON shiwake.LScode = Kamoku02.code "
        "LEFT JOIN Bunrui ON shiwake.yoto = Bunrui.code"));
    q.open();
    QStringList names;
    for (const FieldDef& f : q.fieldDefs())
        names << f.name;
    EXPECT_EQ(names, (QStringList{"id", "kamoku", "kamoku_1", "kamoku_2", "Lgaku", "bname"}));
    EXPECT_EQ(q.fieldByName("kamoku").asString(), QStringLiteral("食費"));
    EXPECT_TRUE(q.fieldByName("kamoku_1").isNull());        // account 9999 is not in the masters
    EXPECT_EQ(q.fieldByName("kamoku_1").asString(), QString());
    EXPECT_EQ(q.fieldByName("kamoku_2").asString(), QString());
    EXPECT_EQ(q.fieldByName("Lgaku").type(), FieldType::Currency);
    EXPECT_EQ(q.fieldByName("Lgaku").asMoney(), Money::fromYen(1200));
    EXPECT_EQ(q.fieldByName("LGAKU").asString(), QStringLiteral("1200"));  // names are case-insensitive
}

TEST_F(Store, NullsReadAsZeroAndEmptyText)
{
    Table& t = dm.t01keiri;
    t.open();
    t.append();
    t.post();
    EXPECT_EQ(t.fieldByName("Lgaku").asMoney(), Money());
    EXPECT_EQ(t.fieldByName("Lgaku").asInteger(), 0);
    EXPECT_EQ(t.fieldByName("Lgaku").asFloat(), 0.0);
    EXPECT_EQ(t.fieldByName("Memo").asString(), QString());
    EXPECT_FALSE(t.fieldByName("sDay").asDate().isValid());
    EXPECT_TRUE(t.fieldByName("Lgaku").isNumeric());
    EXPECT_FALSE(t.fieldByName("Memo").isNumeric());
}

TEST_F(Store, StoredQueryFileUsedAsATable)
{
    addJournalRow(QDate(2010, 5, 1), QStringLiteral("0411"), QStringLiteral("9999"), 1);
    Query& q = dm.q14kamokuBun;
    q.open();
    QStringList names;
    for (const FieldDef& f : q.fieldDefs())
        names << f.name;
    EXPECT_EQ(names, (QStringList{"code", "kamoku", "bcode", "Name", "BP", "LR"}));
    // Every account of the masters once, in code order; 9999 has no master row and drops out.
    QStringList codes;
    for (q.first(); !q.eof(); q.next())
        codes << q.fieldByName("code").asString();
    EXPECT_EQ(codes.size(), QSet<QString>(codes.begin(), codes.end()).size());
    EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
    EXPECT_TRUE(codes.contains("1503"));
    EXPECT_FALSE(codes.contains("9999"));
}

TEST_F(Store, TableNamesWithOrWithoutExtensionInAnyCase)
{
    for (const QString& name : {QStringLiteral("shiwake.DB"), QStringLiteral("SHIWAKE.db"), QStringLiteral("shiwake")}) {
        Table t(QStringLiteral("t"));
        t.setDatabaseName(folder.path());
        t.setTableName(name);
        EXPECT_NO_THROW(t.open()) << name.toStdString();
        EXPECT_EQ(t.fieldByName("syori").type(), FieldType::Integer);
    }
    Table missing(QStringLiteral("t"));
    missing.setDatabaseName(folder.path());
    missing.setTableName(QStringLiteral("nosuch.DB"));
    try {
        missing.open();
        FAIL() << "a missing table must be an error";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("nosuch"))) << e.message().toStdString();
    }
}

TEST_F(Store, AppendTakesTheEntryModeAndPostAssignsTheNumber)
{
    state.entryMode = 31;  // the module reads the state it was given, not a global
    Table& t = dm.t01keiri;
    t.open();
    EXPECT_TRUE(t.isEmpty());
    t.append();
    EXPECT_EQ(t.state(), Dataset::State::Insert);
    EXPECT_EQ(t.fieldByName("syori").asInteger(), 31);
    EXPECT_TRUE(t.fieldByName("id").isNull());
    t.fieldByName("Memo").setString(QStringLiteral("最初の行"));
    t.post();
    const qint64 first = t.fieldByName("id").asInteger();
    EXPECT_GT(first, 0);
    EXPECT_EQ(t.state(), Dataset::State::Browse);
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(programState().entryMode, 10);
}

TEST_F(Store, EditOnAnEmptyTableAppends)
{
    Table& t = dm.t07Jigyou;
    t.open();
    ASSERT_TRUE(t.isEmpty());
    t.edit();
    EXPECT_EQ(t.state(), Dataset::State::Insert);
    t.fieldByName("Nendo").setInteger(2010);
    t.post();
    t.close();
    t.open();
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(t.fieldByName("Nendo").asInteger(), 2010);
}

TEST_F(Store, NavigationLocateAndDelete)
{
    const qint64 a = addJournalRow(QDate(2010, 1, 1), "1111", "0111", 100, "a");
    const qint64 b = addJournalRow(QDate(2010, 1, 2), "1111", "0111", 200, "b");
    const qint64 c = addJournalRow(QDate(2010, 1, 3), "1111", "0111", 300, "c");
    Table& t = dm.t01keiri;
    t.first();
    EXPECT_TRUE(t.bof());
    EXPECT_EQ(t.fieldByName("id").asInteger(), a);
    t.next();
    t.next();
    EXPECT_EQ(t.fieldByName("id").asInteger(), c);
    EXPECT_FALSE(t.eof());
    t.next();
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.fieldByName("id").asInteger(), c);  // stays on the last row
    t.prior();
    EXPECT_EQ(t.fieldByName("id").asInteger(), b);

    EXPECT_TRUE(t.locate("Memo", QStringLiteral("a")));
    EXPECT_EQ(t.fieldByName("id").asInteger(), a);
    EXPECT_FALSE(t.locate("Memo", QStringLiteral("zzz")));
    EXPECT_EQ(t.fieldByName("id").asInteger(), a);

    t.locate("id", b);
    t.remove();  // the next row becomes current
    EXPECT_EQ(t.fieldByName("id").asInteger(), c);
    t.remove();  // the last row went: the one before it
    EXPECT_EQ(t.fieldByName("id").asInteger(), a);
    t.remove();
    EXPECT_TRUE(t.isEmpty());
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_THROW(t.remove(), StoreError);
}

TEST_F(Store, AFilteredTableMovesAndCountsOnlyThePassingRowsButKeepsARowJustPosted)
{
    const qint64 a = addJournalRow(QDate(2010, 1, 1), "1111", "0111", 100, "a");
    addJournalRow(QDate(2010, 1, 2), "1111", "0111", 200, "b");
    const qint64 c = addJournalRow(QDate(2010, 1, 3), "1111", "0111", 300, "c");
    Table& t = dm.t01keiri;
    t.last();
    t.setFilter(QStringLiteral("Memo<>'b'"));
    EXPECT_EQ(t.fieldByName("id").asInteger(), a);  // to the first passing row
    EXPECT_EQ(t.recordCount(), 2);
    t.next();
    EXPECT_EQ(t.fieldByName("id").asInteger(), c);
    t.next();
    EXPECT_TRUE(t.eof());
    t.prior();
    EXPECT_EQ(t.fieldByName("id").asInteger(), a);
    EXPECT_FALSE(t.locate("Memo", QStringLiteral("b")));

    t.next();
    t.edit();
    t.fieldByName("Memo").setString(QStringLiteral("b"));
    t.post();
    EXPECT_EQ(t.fieldByName("id").asInteger(), c);
    EXPECT_EQ(t.fieldByName("Memo").asString(), QStringLiteral("b"));
    t.refresh();
    EXPECT_EQ(t.fieldByName("id").asInteger(), c);

    // The filter outlives closing; none again lists everything.
    t.close();
    t.open();
    EXPECT_EQ(t.recordCount(), 1);
    t.setFilter({});
    EXPECT_EQ(t.recordCount(), 3);
    EXPECT_EQ(t.fieldByName("id").asInteger(), a);
}

TEST_F(Store, MovingOffAModifiedRowPostsItAndCancelRestores)
{
    addJournalRow(QDate(2010, 1, 1), "1111", "0111", 100, "a");
    addJournalRow(QDate(2010, 1, 2), "1111", "0111", 200, "b");
    Table& t = dm.t01keiri;
    t.first();
    t.edit();
    t.fieldByName("Memo").setString(QStringLiteral("changed"));
    t.cancel();
    EXPECT_EQ(t.fieldByName("Memo").asString(), QStringLiteral("a"));
    t.edit();
    t.fieldByName("Memo").setString(QStringLiteral("changed"));
    t.next();
    t.first();
    EXPECT_EQ(t.fieldByName("Memo").asString(), QStringLiteral("changed"));
    EXPECT_THROW(t.fieldByName("Memo").setString("x"), StoreError);  // not in edit state
}

TEST_F(Store, BadValuesAreRefusedWhenSet)
{
    Table& t = dm.t01keiri;
    t.open();
    t.append();
    EXPECT_THROW(t.fieldByName("Lgaku").setString(QStringLiteral("12円")), StoreError);
    EXPECT_THROW(t.fieldByName("sDay").setString(QStringLiteral("2011/02/29")), StoreError);
    EXPECT_THROW(t.fieldByName("syori").setString(QStringLiteral("x")), StoreError);
    t.fieldByName("Lgaku").setString(QStringLiteral("￥1,234"));
    EXPECT_EQ(t.fieldByName("Lgaku").asMoney(), Money::fromYen(1234));
    t.cancel();
}

TEST_F(Store, DatesCompareAsWholeDaysAndSumsStayExact)
{
    // Three tenths of a yen three times: exact in ten-thousandths, never 0.8999…
    for (int i = 0; i < 3; ++i) {
        Table& t = dm.t01keiri;
        t.open();
        t.append();
        t.fieldByName("sDay").setDate(QDate(2010, 3, 31));
        t.fieldByName("Lcode").setString("0411");
        t.fieldByName("Lgaku").setString(QStringLiteral("0.3"));
        t.fieldByName("syori").setInteger(10);
        t.post();
    }
    addJournalRow(QDate(2010, 4, 1), "0411", "1111", 1000);
    Query& q = dm.q13motochou;
    q.setSql(QStringLiteral("SELECT SUM(Lgaku) as sLG FROM shiwake  WHERE ((shiwake.sDay)>=:pD1) And ((shiwake.sDay)<=:pD2) "
                            "AND ((shiwake.Lcode)=:pC03) AND ((shiwake.syori)<=21)"));
    q.setParam(QStringLiteral("pD1"), QDate(2010, 1, 1));
    q.setParam(QStringLiteral("pD2"), QDate(2010, 3, 31));
    q.setParam(QStringLiteral("pC03"), QStringLiteral("0411"));
    q.open();
    EXPECT_EQ(q.fieldByName("sLG").type(), FieldType::Currency);
    EXPECT_EQ(q.fieldByName("sLG").asMoney(), Money::fromUnits(9000));
    EXPECT_EQ(q.fieldByName("sLG").asString(), QStringLiteral("0.9"));

    q.close();
    q.setParam(QStringLiteral("pD2"), QDate(2010, 4, 1));
    q.open();
    EXPECT_EQ(q.fieldByName("sLG").asMoney(), Money::fromUnits(9000) + Money::fromYen(1000));
}

TEST_F(Store, DeleteWithParameters)
{
    addJournalRow(QDate(2010, 12, 31), "1111", "0111", 1);
    addJournalRow(QDate(2011, 1, 1), "1111", "0111", 2);
    Query& q = dm.q16temp1;
    q.setSql(QStringLiteral("DELETE FROM shiwake  WHERE ((shiwake.sDay)=:pD2)  AND ((shiwake.syori)=10)"));
    q.setParam(QStringLiteral("pD2"), QDate(2011, 1, 1));
    EXPECT_EQ(q.execSql(), 1);
    dm.t01keiri.close();
    dm.t01keiri.open();
    EXPECT_EQ(dm.t01keiri.recordCount(), 1);
}

TEST_F(Store, AFailedMultiRowWriteLeavesNothingBehind)
{
    auto db = Database::forFolder(folder.path());
    try {
        Transaction transaction(*db);
        addJournalRow(QDate(2010, 1, 1), "1111", "0111", 100);
        addJournalRow(QDate(2010, 1, 2), "1111", "0111", 200);
        Table& k = dm.t05Kamoku;
        k.open();
        k.append();
        k.fieldByName("code").setString("1111");  // a key that exists: the store refuses it
        k.post();
        transaction.commit();
        FAIL() << "the duplicate key must be refused";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("重複"))) << e.message().toStdString();
    }
    dm.t05Kamoku.cancel();
    dm.t01keiri.close();
    dm.t01keiri.open();
    EXPECT_EQ(dm.t01keiri.recordCount(), 0);
}

TEST_F(Store, QueryReadsRowsOnlyAsTheyAreNeeded)
{
    auto db = Database::forFolder(folder.path());
    {
        Transaction transaction(*db);
        Statement insert = db->prepare(QStringLiteral("INSERT INTO shiwake (sDay, Lcode, Lgaku, syori) VALUES (?, '1111', ?, 10)"));
        for (int i = 0; i < 5000; ++i) {
            insert.bind(1, QStringLiteral("2010-01-01"));
            insert.bind(2, qint64(i) * 10000);
            insert.step();
            insert.reset();
        }
        transaction.commit();
    }
    Query& q = dm.q05shiwakeView;
    q.setSql(QStringLiteral("select * from shiwake order by sDay desc, id desc"));
    q.open();
    EXPECT_EQ(q.rowsRead(), 1);
    for (int i = 0; i < 199; ++i)
        q.next();
    EXPECT_EQ(q.rowsRead(), 200);
    EXPECT_EQ(q.recordCount(), 5000);  // counted without reading the rest
    EXPECT_EQ(q.rowsRead(), 200);
    EXPECT_TRUE(q.locate("Lgaku", QVariant::fromValue(Money::fromYen(10))));
    EXPECT_EQ(q.fieldByName("Lgaku").asMoney(), Money::fromYen(10));
    q.last();
    EXPECT_TRUE(q.allRowsRead());
    EXPECT_EQ(q.recordCount(), 5000);
}

TEST_F(Store, AOneWayQueryKeepsOnlyTheCurrentRowAndRefusesToGoBack)
{
    for (int day = 1; day <= 3; ++day)
        addJournalRow(QDate(2010, 4, day), QStringLiteral("1111"), QStringLiteral("0111"), day * 100);
    Query& q = dm.q05shiwakeView;
    q.setUniDirectional(true);
    q.setSql(QStringLiteral("select * from shiwake order by sDay"));
    q.open();
    q.first();  // still on the first row: allowed
    QList<Money> amounts;
    for (; !q.eof(); q.next()) {
        amounts << q.fieldByName("Lgaku").asMoney();
        EXPECT_LE(q.rowsRead(), 1);
    }
    EXPECT_EQ(amounts, (QList<Money>{Money::fromYen(100), Money::fromYen(200), Money::fromYen(300)}));
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_THROW(q.first(), StoreError);
    EXPECT_THROW(q.prior(), StoreError);
    EXPECT_THROW((void)q.locate("Lgaku", QVariant::fromValue(Money::fromYen(100))), StoreError);
    // Opened again, it starts over.
    q.close();
    q.open();
    EXPECT_EQ(q.fieldByName("Lgaku").asMoney(), Money::fromYen(100));
    q.close();
    q.setUniDirectional(false);
}

TEST_F(Store, BoundControlsAreToldOnceWhenResumed)
{
    addJournalRow(QDate(2010, 1, 1), "1111", "0111", 100);
    addJournalRow(QDate(2010, 1, 2), "1111", "0111", 200);
    Table& t = dm.t01keiri;
    t.first();
    QList<int> seen;
    QObject listener;
    QObject::connect(&t, &Dataset::dataChanged, &listener, [&](int field) { seen << field; });
    t.disableControls();
    t.next();
    t.prior();
    EXPECT_TRUE(seen.isEmpty());
    t.enableControls();
    EXPECT_EQ(seen, QList<int>{-1});
    seen.clear();
    t.edit();
    seen.clear();
    t.fieldByName("Memo").setString("m");
    EXPECT_EQ(seen, QList<int>{t.fieldIndex("Memo")});
    t.cancel();
}

TEST_F(Store, ReadOnlyQueriesRefuseEdits)
{
    Query& q = dm.q03bunruiL;
    q.open();
    EXPECT_THROW(q.edit(), StoreError);
    EXPECT_THROW(q.append(), StoreError);
}

TEST_F(Store, AGridReadsTheListAsItScrolls)
{
    auto db = Database::forFolder(folder.path());
    {
        Transaction transaction(*db);
        Statement insert = db->prepare(QStringLiteral("INSERT INTO shiwake (sDay, Lcode, Lgaku, syori) VALUES (?, '0411', ?, 10)"));
        for (int i = 0; i < 1000; ++i) {
            insert.bind(1, QDate(2010, 1, 1).addDays(i % 365).toString(Qt::ISODate));
            insert.bind(2, qint64(1234567) * 10000);
            insert.step();
            insert.reset();
        }
        transaction.commit();
    }
    Query& q = dm.q05shiwakeView;
    q.setSql(QStringLiteral("select shiwake.sDay, Kamoku.kamoku, shiwake.Lgaku from shiwake left join kamoku on "
                            "shiwake.Lcode = kamoku.code order by sDay desc, id desc"));
    QueryModel model(q);
    model.setColumns({{"sDay", QStringLiteral("年月日")}, {"kamoku", QStringLiteral("借方科目")}, {"Lgaku", QStringLiteral("借方金額")}});
    EXPECT_EQ(model.rowCount(), 0);
    q.open();
    EXPECT_EQ(model.rowCount(), QueryModel::kBatch);
    EXPECT_EQ(q.rowsRead(), QueryModel::kBatch);
    EXPECT_TRUE(model.canFetchMore({}));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("借方科目"));
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("2010/12/31"));
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("食費"));
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("1,234,567"));
    EXPECT_EQ(model.data(model.index(0, 2), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    while (model.canFetchMore({}))
        model.fetchMore({});
    EXPECT_EQ(model.rowCount(), 1000);
    q.close();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(Store, ComputedFieldsFollowTheRowAndMayCheckWhatIsAssigned)
{
    // A name looked up by a code, with an assignment that must name an existing code: the
    // shape the asset register's category field takes.
    Table& t = dm.t05Kamoku;
    t.addComputedField({QStringLiteral("BunruiName"), FieldType::Text,
                        [](Dataset& ds) -> QVariant {
                            const QString code = ds.fieldByName("bunrui").asString();
                            return code == u"11" ? QStringLiteral("流動資産") : code == u"15" ? QStringLiteral("資本") : QString();
                        },
                        [](Dataset& ds, const QVariant& value) {
                            if (value.toString() != u"11" && value.toString() != u"15")
                                throw StoreError(QStringLiteral("区分が無効です"));
                            ds.fieldByName("bunrui").setString(value.toString());
                        }});
    t.open();
    ASSERT_TRUE(t.locate("code", QStringLiteral("1111")));
    EXPECT_EQ(t.fieldByName("BunruiName").asString(), QStringLiteral("流動資産"));
    EXPECT_TRUE(t.locate("code", QStringLiteral("1503")));
    EXPECT_EQ(t.fieldByName("BunruiName").asString(), QStringLiteral("資本"));
    t.edit();
    EXPECT_THROW(t.fieldByName("BunruiName").setString("99"), StoreError);
    t.fieldByName("BunruiName").setString("11");
    EXPECT_EQ(t.fieldByName("bunrui").asString(), QStringLiteral("11"));
    EXPECT_EQ(t.fieldByName("BunruiName").asString(), QStringLiteral("流動資産"));
    t.post();  // the computed field is not written
    t.close();
    t.open();
    EXPECT_TRUE(t.locate("code", QStringLiteral("1503")));
    EXPECT_EQ(t.fieldByName("bunrui").asString(), QStringLiteral("11"));
}

TEST_F(Store, AnAmountIsReadInItsOwnUnitWhateverShapeTheSqlTakes)
{
    // One journal row of 1,000 yen, stored as 10,000,000 ten-thousandths. Every shape reads
    // 1,000 yen, or refuses with the column's name until the column is declared an amount:
    // a guess would read 10,000,000 yen.
    addJournalRow(QDate(2010, 1, 1), "1111", "0111", 1000);
    struct Case {
        const char* sql;
        bool typedBySqlite;  // a table's currency column, or SUM(column) AS name
    };
    const Case cases[] = {
        {"SELECT Lgaku AS s FROM shiwake", true},
        {"SELECT SUM(Lgaku) AS s FROM shiwake", true},
        {"SELECT x.s FROM (SELECT SUM(shiwake.Lgaku) AS s FROM shiwake) AS x", true},
        {"SELECT sum(Lgaku) FROM shiwake", false},
        {"SELECT IFNULL(SUM(Lgaku),0) AS s FROM shiwake", false},
        {"SELECT TOTAL(Lgaku) AS s FROM shiwake", false},
        {"SELECT MAX(Lgaku) AS s FROM shiwake", false},
        {"SELECT AVG(Lgaku) AS s FROM shiwake", false},
        {"SELECT CASE WHEN syori <= 21 THEN Lgaku ELSE 0 END AS s FROM shiwake", false},
        {"SELECT Lgaku*1 AS s FROM shiwake", false},
        {"SELECT SUM(Lgaku) + SUM(Rgaku) - SUM(Rgaku) AS s FROM shiwake", false},
    };
    Query& q = dm.q26temp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        q.setSql(QString::fromUtf8(c.sql));
        q.open();
        Field amount = q.field(0);
        if (c.typedBySqlite) {
            EXPECT_EQ(amount.asMoney(), Money::fromYen(1000));
        } else {
            try {
                (void)amount.asMoney();
                ADD_FAILURE() << "read without a declared type";
            } catch (const StoreError& e) {
                EXPECT_TRUE(e.message().contains(amount.name())) << e.message().toStdString();
            }
            q.setCurrencyColumns({amount.name()});
            q.open();
            EXPECT_EQ(q.field(0).asMoney(), Money::fromYen(1000));
            EXPECT_EQ(q.field(0).asString(), QStringLiteral("1000"));
        }
        q.close();
    }
}

TEST_F(Store, WhatIsNotAnAmountIsNeverReadOrDeclaredAsOne)
{
    Query& q = dm.q26temp;
    // An empty result fails the same way a full one does, so a test on empty books cannot
    // hide the fault.
    q.setSql(QStringLiteral("SELECT MAX(Lgaku) AS s, syori FROM shiwake WHERE 0"));
    q.open();
    EXPECT_THROW((void)q.fieldByName("s").asMoney(), StoreError);
    EXPECT_THROW((void)q.fieldByName("syori").asMoney(), StoreError);  // an integer column
    addJournalRow(QDate(2010, 1, 1), "1111", "0111", 1000);

    // Declarations are checked when the query opens and forgotten with its SQL.
    q.setSql(QStringLiteral("SELECT MAX(Lgaku) AS s FROM shiwake"), {QStringLiteral("total")});
    EXPECT_THROW(q.open(), StoreError);
    q.setSql(QStringLiteral("SELECT Memo FROM shiwake"), {QStringLiteral("Memo")});
    EXPECT_THROW(q.open(), StoreError);
    q.setSql(QStringLiteral("SELECT MAX(Lgaku) AS s FROM shiwake"), {QStringLiteral("s")});
    q.open();
    EXPECT_EQ(q.fieldByName("s").asMoney(), Money::fromYen(1000));
    q.setSql(QStringLiteral("SELECT MAX(Lgaku) AS s FROM shiwake"));
    q.open();
    EXPECT_THROW((void)q.fieldByName("s").asMoney(), StoreError);

    // An average that is not a whole number of units has no exact amount.
    Table& t = dm.t01keiri;
    t.open();
    t.append();
    t.fieldByName("Lgaku").setMoney(Money::fromUnits(1));
    t.post();
    q.setSql(QStringLiteral("SELECT AVG(Lgaku) AS s FROM shiwake"), {QStringLiteral("s")});
    EXPECT_THROW(q.open(), StoreError);
}

TEST_F(Store, ANumberSetIntoAnAmountIsTakenExactlyOrRefused)
{
    Table& t = dm.t01keiri;
    t.open();
    t.append();
    Field amount = t.fieldByName("Lgaku");
    struct Case {
        QVariant value;
        std::optional<qint64> units;  // no value: refused
    };
    const Case cases[] = {
        {QVariant(1234.5), 12345000},
        {QVariant(0.1), 1000},                      // not 999 or 1001 from the binary neighbour of 0.1
        {QVariant(-0.0003), -3},
        {QVariant(1234.56789), std::nullopt},       // a fifth decimal is not rounded away
        {QVariant(1e300), std::nullopt},
        {QVariant(qint64(1500)), 15000000},         // a plain integer is whole yen
        {QVariant(qint64(1) << 60), std::nullopt},  // beyond the range of amounts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        if (c.units) {
            amount.setValue(c.value);
            EXPECT_EQ(amount.asMoney(), Money::fromUnits(*c.units));
        } else {
            EXPECT_THROW(amount.setValue(c.value), StoreError);
        }
    }
    // An amount never goes into a number column by way of floating point or rounding.
    EXPECT_THROW(t.fieldByName("syori").setMoney(Money::fromUnits(15000)), StoreError);
    t.fieldByName("syori").setMoney(Money::fromYen(21));
    EXPECT_EQ(t.fieldByName("syori").asInteger(), 21);
    t.cancel();
    Table& items = dm.t03koteiB;
    items.open();
    items.append();
    EXPECT_THROW(items.fieldByName("Quantity").setMoney(Money::fromYen(1)), StoreError);
    items.cancel();
}

TEST(StoreAtExit, BooksLeftOpenWithAStatementRunningAreClosedWithTheirLogFoldedIn)
{
    // What a dataset holds while a window is open: a statement stepped and not finalized, and
    // a write in the log. A process ended by exit() never destroys them.
    TestDataFolder folder;
    const QString wal = folder.file(QStringLiteral("tolva.sqlite-wal"));
    {
        auto db = Database::forFolder(folder.path());
        db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Lcode, Lgaku, Rcode, Rgaku, syori) VALUES ('2026-01-01', '1111', 10000, '2111', 10000, 10)"));
        Statement cursor = db->prepare(QStringLiteral("SELECT id FROM shiwake"));
        ASSERT_TRUE(cursor.step());
        (void)cursor.release();  // left running, as by a dataset that is never destroyed
        ASSERT_TRUE(QFileInfo::exists(wal));
    }
    Database::closeAllForExit();
    EXPECT_FALSE(QFileInfo::exists(wal));
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("tolva.sqlite-shm"))));
    // The row is in the file itself.
    auto reopened = Database::forFolder(folder.path());
    Statement rows = reopened->prepare(QStringLiteral("SELECT count(*) FROM shiwake"));
    ASSERT_TRUE(rows.step());
    EXPECT_EQ(rows.column(0).toInt(), 1);
}
