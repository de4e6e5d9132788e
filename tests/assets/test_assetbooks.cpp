#include "assets/depreciationlist.h"
#include "assets/yearrow.h"
#include "tests/assets/assetfixture.h"
#include "tests/support/amounts.h"

#include <QSignalSpy>

using namespace tolva;
using tolva::testing::AssetBooks;
using tolva::testing::yen;

namespace {

QString refusal(const std::function<void()>& action)
{
    try {
        action();
    } catch (const StoreError& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST_F(AssetBooks, TheYearlyRowShowsItsFiguresAsTheyAreTyped)
{
    const int item = addItem(addProperty(QStringLiteral("本社")), {QDate(2020, 4, 1)});
    addYearRow(item, {QDate(2024, 12, 31), 1'000'000, 0.167, 12, 60});
    Table& c = dm.t04koteiC;
    EXPECT_EQ(c.fieldByName(QStringLiteral("FutuuSyoukyaku")).asMoney(), yen(167'000));
    EXPECT_EQ(c.fieldByName(QStringLiteral("SyoukyakuGoukei")).asMoney(), yen(167'000));
    EXPECT_EQ(c.fieldByName(QStringLiteral("HonnenK")).asMoney(), yen(100'200));
    EXPECT_EQ(c.fieldByName(QStringLiteral("kimatuZan")).asMoney(), yen(833'000));

    // Typing follows at once, before the row is posted; read back after a reopen they agree.
    c.edit();
    c.fieldByName(QStringLiteral("warimashiS")).setMoney(yen(1'234));
    c.fieldByName(QStringLiteral("zandakaK")).setMoney(yen(123'456));
    c.fieldByName(QStringLiteral("kashitukeR")).setInteger(100);
    EXPECT_EQ(c.fieldByName(QStringLiteral("HonnenK")).asMoney(), yen(21'800));
    c.post();
    c.close();
    c.open();
    EXPECT_EQ(c.fieldByName(QStringLiteral("SyoukyakuGoukei")).asMoney(), yen(21'834));
    EXPECT_EQ(c.fieldByName(QStringLiteral("kimatuZan")).asMoney(), yen(101'622));
    // A rate of 0.3 read back from its FLOAT field still means three tenths.
    c.edit();
    c.fieldByName(QStringLiteral("zandakaK")).setMoney(yen(7'000));
    c.fieldByName(QStringLiteral("SRate")).setFloat(0.3);
    c.fieldByName(QStringLiteral("SMonth")).setInteger(4);
    c.fieldByName(QStringLiteral("warimashiS")).clear();
    c.post();
    c.close();
    c.open();
    EXPECT_EQ(c.fieldByName(QStringLiteral("FutuuSyoukyaku")).asMoney(), yen(700));
}

TEST_F(AssetBooks, RowsWithoutAnOwnerOrWithImpossibleInputsAreRefused)
{
    // An item appended while its property has no id yet would belong to nothing.
    state.currentPropertyId = 0;
    Table& b = dm.t03koteiB;
    b.open();
    b.append();
    b.fieldByName(QStringLiteral("gaku")).setMoney(yen(1'000));
    EXPECT_TRUE(refusal([&] { b.post(); }).contains(QStringLiteral("物件を先に保存してください。")));
    EXPECT_EQ(b.state(), Dataset::State::Insert);
    b.cancel();
    EXPECT_EQ(b.recordCount(), 0);

    const int item = addItem(addProperty(QStringLiteral("本社")), {QDate(2020, 4, 1)});
    state.currentItemId = 0;
    Table& c = dm.t04koteiC;
    c.open();
    c.append();
    c.fieldByName(QStringLiteral("dateB")).setDate(QDate(2024, 12, 31));
    EXPECT_TRUE(refusal([&] { c.post(); }).contains(QStringLiteral("物件内訳を先に保存してください。")));
    c.cancel();

    // Months beyond a year or a share beyond the whole would give more than the base.
    const int row = addYearRow(item, {QDate(2024, 12, 31), 1'000'000, 0.5});
    c.edit();
    c.fieldByName(QStringLiteral("SMonth")).setInteger(13);
    EXPECT_EQ(refusal([&] { c.post(); }), QStringLiteral("(ﾆ)月数は 0 から 12 の間で入力してください（入力された値：13）。"));
    c.fieldByName(QStringLiteral("SMonth")).setInteger(-1);
    EXPECT_TRUE(refusal([&] { c.post(); }).startsWith(QStringLiteral("(ﾆ)月数")));
    c.fieldByName(QStringLiteral("SMonth")).setInteger(12);
    c.fieldByName(QStringLiteral("kashitukeR")).setInteger(150);
    EXPECT_EQ(refusal([&] { c.post(); }),
              QStringLiteral("(ﾁ)貸付割合は 0 から 100 の間で入力してください（入力された値：150）。"));
    c.cancel();
    // Bounds are allowed; an untouched new row is left without a question.
    c.edit();
    c.fieldByName(QStringLiteral("SMonth")).setInteger(0);
    c.fieldByName(QStringLiteral("kashitukeR")).setInteger(100);
    EXPECT_NO_THROW(c.post());
    state.currentItemId = 0;
    c.append();
    EXPECT_NO_THROW(c.checkBrowseMode());
    EXPECT_EQ(c.recordCount(), 1);
    EXPECT_EQ(c.fieldByName(QStringLiteral("id")).asInteger(), row);
}

TEST_F(AssetBooks, TheItemShowsTheNamesOfItsCodesAndRefusesAnUnknownCategory)
{
    addItem(addProperty(QStringLiteral("本社")),
            {QDate(2020, 4, 1), QStringLiteral("03"), QStringLiteral("05"), 0, 0, QStringLiteral("02")});
    Table& b = dm.t03koteiB;
    EXPECT_EQ(b.fieldByName(QStringLiteral("KubunName")).asString(), QStringLiteral("貸付用"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("SyubetuName")).asString(), QStringLiteral("車両運搬具"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("shouhouname")).asString(), QStringLiteral("定率法"));

    b.edit();
    EXPECT_EQ(refusal([&] { b.fieldByName(QStringLiteral("KubunName")).setString(QStringLiteral("09")); }),
              QStringLiteral("区分が無効です"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("kubun")).asString(), QStringLiteral("03"));
    b.fieldByName(QStringLiteral("KubunName")).setString(QStringLiteral("01"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("kubun")).asString(), QStringLiteral("01"));
    EXPECT_EQ(b.fieldByName(QStringLiteral("KubunName")).asString(), QStringLiteral("事業用"));
}

TEST_F(AssetBooks, TheYearRowIsFoundOrCreatedWithWhatTheYearBeforeLeft)
{
    const DepreciationPeriods y2024 = depreciationPeriodsFor({QDate(2024, 1, 1), QDate(2024, 12, 31)});
    const int property = addProperty(QStringLiteral("本社"));
    const int building = addItem(property, {QDate(2020, 4, 1), "01", "01", 10'000'000, 22});
    const int other = addItem(property, {QDate(2020, 4, 1), "01", "01", 500'000, 5});
    addYearRow(other, {QDate(2023, 12, 31), 500'000, 0.2});
    addYearRow(building, {QDate(2023, 6, 30), 10'000'000, 0.046});     // overridden by the later row
    addYearRow(building, {QDate(2023, 12, 31), 9'540'000, 0.046, 12});  // ends at 9,101,200

    const YearRowStart first = prepareYearRow(db(), building, y2024);
    EXPECT_TRUE(first.created);
    EXPECT_EQ(first.previousRate.toText(), QStringLiteral("0.046"));
    EXPECT_EQ(first.previousEndBalance, yen(9'101'200));
    Statement row = db().prepare(QStringLiteral("SELECT Bid, dateB, zandakaK, SRate FROM KoteiC WHERE id = ?"));
    row.bind(1, QVariant(first.rowId));
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.column(0).toLongLong(), building);
    EXPECT_EQ(row.column(1).toString(), QStringLiteral("2024-12-31"));
    EXPECT_TRUE(row.column(2).isNull());
    EXPECT_TRUE(row.column(3).isNull());

    // A second run for the same year takes the row made the first time.
    const YearRowStart again = prepareYearRow(db(), building, y2024);
    EXPECT_FALSE(again.created);
    EXPECT_EQ(again.rowId, first.rowId);
    EXPECT_EQ(again.previousEndBalance, yen(9'101'200));

    // No row in the year before: nothing to chain, the base will be the price.
    const YearRowStart firstYear =
        prepareYearRow(db(), building, depreciationPeriodsForYear(y2024, 2020));
    EXPECT_TRUE(firstYear.created);
    EXPECT_TRUE(firstYear.previousRate.isZero());
    EXPECT_TRUE(firstYear.previousEndBalance.isZero());
}

TEST_F(AssetBooks, TheListHoldsTheRowsOfThePeriodWithKnownCodesByPropertyThenAcquisition)
{
    const int a = addProperty(QStringLiteral("本社"));
    const int b = addProperty(QStringLiteral("倉庫"));
    const int late = addItem(a, {QDate(2021, 7, 1), "01", "05", 3'000'000, 6, "02", 1});
    const int early = addItem(a, {QDate(2019, 4, 10), "01", "01", 10'000'000, 22, "01", 120.5});
    const int second = addItem(b, {QDate(2018, 1, 1), "03", "06", 400'000, 4, "01"});
    const int noMethod = addItem(a, {QDate(2019, 1, 1), "01", "01", 1, 1, "99"});
    const int noKind = addItem(a, {QDate(2019, 1, 1), "01", "99", 1, 1, "01"});
    const int noCategory = addItem(a, {QDate(2019, 1, 1), "99", "01", 1, 1, "01"});

    const FiscalPeriod period{QDate(2024, 4, 1), QDate(2025, 3, 31)};
    addYearRow(second, {QDate(2024, 4, 1), 400'000, 0.25});           // the first day
    addYearRow(late, {QDate(2025, 3, 31), 3'000'000, 0.333, 9, 60});  // the last day
    addYearRow(early, {QDate(2024, 12, 31), 10'000'000, 0.046});
    addYearRow(early, {QDate(2025, 4, 1), 9'540'000, 0.046});  // a day after
    addYearRow(late, {QDate(2024, 3, 31), 3'000'000, 0.333});   // a day before
    for (int unlisted : {noMethod, noKind, noCategory})
        addYearRow(unlisted, {QDate(2024, 12, 31), 100, 1.0});

    const std::vector<DepreciationListRow> rows = depreciationListRows(db(), period);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].acquired, QDate(2019, 4, 10));
    EXPECT_EQ(rows[0].kind, QStringLiteral("建物"));
    EXPECT_EQ(rows[0].quantity, 120.5);
    EXPECT_EQ(rows[0].figures.ordinary, yen(460'000));
    EXPECT_EQ(rows[1].acquired, QDate(2021, 7, 1));
    EXPECT_EQ(rows[1].method, QStringLiteral("定率法"));
    EXPECT_EQ(rows[1].figures.ordinary, yen(749'200));  // 0.333 × 3,000,000 × 9/12 = 749,250
    EXPECT_EQ(rows[1].figures.expense, yen(449'500));   // 60 % = 449,520
    EXPECT_EQ(rows[1].depreciationDate, QDate(2025, 3, 31));
    EXPECT_EQ(rows[2].property, QStringLiteral("倉庫"));
    EXPECT_EQ(rows[2].category, QStringLiteral("貸付用"));
    EXPECT_EQ(rows[2].figures.endBalance, yen(300'000));
}

TEST_F(AssetBooks, TheListHeaderIsWrittenOnlyIntoAnExistingRow)
{
    const QDate today(2025, 5, 2);
    ASSERT_TRUE(writeDepreciationListHeader(db(), {QDate(2024, 4, 1), QDate(2025, 3, 31)}, today));
    Statement header = db().prepare(QStringLiteral("SELECT Name01, Name02, Name03 FROM RepoJyoken WHERE no = 1"));
    ASSERT_TRUE(header.step());
    EXPECT_EQ(header.column(0).toString(), QStringLiteral("期間：2024/ 04/ 01～2025/ 03/ 31"));
    EXPECT_EQ(header.column(2).toString(), QStringLiteral("作成日：2025/ 05/ 02"));
    header.reset();
    EXPECT_EQ(depreciationListPeriodText({QDate(2024, 12, 31), QDate(2024, 12, 31)}),
              QStringLiteral("指定日：2024/ 12/ 31"));

    db().exec(QStringLiteral("UPDATE RepoJyoken SET no = 2"));
    EXPECT_FALSE(writeDepreciationListHeader(db(), {QDate(2026, 1, 1), QDate(2026, 12, 31)}, today));
    Statement kept = db().prepare(QStringLiteral("SELECT Name01 FROM RepoJyoken"));
    ASSERT_TRUE(kept.step());
    EXPECT_EQ(kept.column(0).toString(), QStringLiteral("期間：2024/ 04/ 01～2025/ 03/ 31"));
}
