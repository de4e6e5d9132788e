#include "bluereturn/bluereturn.h"
#include "bluereturn/bluereturnoutput.h"
#include "db/database.h"
#include "tests/bluereturn/smallyear.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/amounts.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

const FiscalPeriod k2024{QDate(2024, 1, 1), QDate(2024, 12, 31)};

const StatementRow& line(const std::vector<StatementRow>& rows, const QString& caption, int occurrence = 0)
{
    for (const StatementRow& row : rows)
        if (row.caption == caption && occurrence-- == 0)
            return row;
    static const StatementRow none;
    ADD_FAILURE() << "no line " << caption.toStdString();
    return none;
}

} // namespace

TEST(BlueReturn, ASmallYearComesOutOnTheFormsLines)
{
    TestDataFolder folder;
    smallRealisticYear(folder.path());
    const BlueReturn r = computeBlueReturn(*Database::forFolder(folder.path()), k2024, 650000);

    EXPECT_EQ(r.sales, yen(50000 + 800000 + 450000 + 12000 + 30000));
    EXPECT_EQ(r.openingInventory, yen(300000));
    EXPECT_EQ(r.purchases, yen(650000)) << "the inventory carried through 仕入高 is not a purchase";
    EXPECT_EQ(r.closingInventory, yen(350000));
    EXPECT_EQ(r.costOfSales, yen(600000));
    EXPECT_EQ(line(r.incomeStatement, QStringLiteral("減価償却費")).first, yen(260000));
    EXPECT_EQ(line(r.incomeStatement, QStringLiteral("支払手数料")).first, yen(3300)) << "a free line takes its account's name";
    EXPECT_EQ(r.expensesTotal, yen(36000 + 24000 + 260000 + 3300 + 1800));
    EXPECT_EQ(r.incomeBeforeDeduction, yen(1342000 - 600000 - 325100));
    EXPECT_EQ(r.deduction, yen(416900)) << "at most the income before it";
    EXPECT_EQ(r.income, Money());

    // Page 2: the months, then 家事消費等 and 雑収入 on their own lines.
    EXPECT_EQ(r.monthly[0].first, yen(850000));
    EXPECT_EQ(r.monthly[1].second, yen(400000));
    EXPECT_EQ(r.monthly[2].first, yen(450000)) << "雑収入 is not a month's sales";
    EXPECT_EQ(r.monthly[11].second, Money()) << "the inventory rows of December are not purchases";
    EXPECT_EQ(line(r.monthly, QStringLiteral("家事消費等")).first, yen(30000));
    EXPECT_EQ(line(r.monthly, QStringLiteral("雑収入")).first, yen(12000));
    EXPECT_EQ(r.monthly.back().first, r.sales);
    EXPECT_EQ(r.monthly.back().second, r.purchases);

    // Page 4: 期首 from the brought-forward rows only, 期末 before the closing transfers.
    const StatementRow& bank = line(r.balanceSheet, QStringLiteral("その他の預金"));
    EXPECT_EQ(bank.first, yen(1500000));
    EXPECT_EQ(bank.second, yen(1500000 + 50000 + 800000 + 12000 - 250000 - 36000 - 24000 - 3300 - 120000));
    EXPECT_EQ(line(r.balanceSheet, QStringLiteral("棚卸資産")).second, yen(350000));
    EXPECT_EQ(line(r.balanceSheet, QStringLiteral("事業主貸")).first, std::nullopt);
    EXPECT_EQ(line(r.balanceSheet, QStringLiteral("事業主貸")).second, yen(150000));
    EXPECT_EQ(line(r.balanceSheet, QStringLiteral("元入金")).first, yen(6500000));
    EXPECT_EQ(line(r.balanceSheet, QStringLiteral("元入金")).second, yen(6500000));
    EXPECT_EQ(r.assetsOpening, yen(7200000));
    EXPECT_EQ(r.assetsOpening, r.liabilitiesOpening);
    EXPECT_EQ(r.assetsClosing, r.liabilitiesClosing);
    EXPECT_TRUE(r.findings.size() == 1 && r.findings[0].kind == StatementFinding::Kind::DepreciationDiffers)
        << "no asset register rows: page 3 says 0 against the journal's 260,000";
}

// ㊷ is the chosen amount, at most ㊶, and nothing when ㊶ is not positive.
TEST(BlueReturn, TheSpecialDeductionIsCappedByTheIncome)
{
    struct Case {
        qint64 income;
        qint64 chosen;
        qint64 deducted;
    };
    const Case cases[] = {
        {2000000, 650000, 650000}, {2000000, 550000, 550000}, {2000000, 100000, 100000},
        {400000, 650000, 400000},  {650000, 650000, 650000},  {80000, 100000, 80000},
        {0, 650000, 0},            {-250000, 650000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cappedDeduction(yen(c.income), c.chosen), yen(c.deducted)) << c.income << " " << c.chosen;

    // Through the statement: a loss deducts nothing and the stored choice is used.
    TestDataFolder folder;
    addEntries(folder.path(), {{"2024-05-01", "0314", 90000, "1112", 90000}, {"2024-05-02", "1112", 40000, "0111", 40000}});
    Database& db = *Database::forFolder(folder.path());
    saveSpecialDeduction(db, 2024, 100000);
    const BlueReturn loss = computeBlueReturn(db, k2024);
    EXPECT_EQ(loss.chosenDeduction, 100000);
    EXPECT_EQ(loss.incomeBeforeDeduction, yen(-50000));
    EXPECT_EQ(loss.deduction, Money());
    EXPECT_EQ(loss.income, yen(-50000));
}

// A household account put onto the form moves page 4 out of balance, and the finding says
// which accounts do it.
TEST(BlueReturn, AnUnbalancedBalanceSheetNamesTheAccountsThatMakeTheDifference)
{
    TestDataFolder folder;
    smallRealisticYear(folder.path());
    Database& db = *Database::forFolder(folder.path());
    const std::vector<ChartAccount> chart = readChart(db);
    std::map<QString, QString> lines = readAccountLines(db, chart).line;
    lines[QStringLiteral("0411")] = QStringLiteral("e31");  // 食費 onto 雑費
    saveAccountLines(db, chart, lines);
    const BlueReturn r = computeBlueReturn(db, k2024, 650000);
    EXPECT_EQ(r.assetsOpening, r.liabilitiesOpening);
    EXPECT_EQ(r.assetsClosing - r.liabilitiesClosing, yen(120000));
    const auto finding = std::find_if(r.findings.begin(), r.findings.end(),
                                      [](const StatementFinding& f) { return f.kind == StatementFinding::Kind::ClosingUnbalanced; });
    ASSERT_NE(finding, r.findings.end());
    EXPECT_TRUE(finding->message.contains(QStringLiteral("0411 食費（雑費）"))) << finding->message.toStdString();
    EXPECT_TRUE(finding->message.contains(QStringLiteral("0215 その他収入（決算書に載せない）"))) << finding->message.toStdString();
    EXPECT_TRUE(finding->message.contains(QStringLiteral("120,000円"))) << finding->message.toStdString();
    EXPECT_TRUE(finding->accounts.contains(QStringLiteral("0411")));
    EXPECT_EQ(finding->explained, finding->difference);

    // A business account left off the statement: its opening balance is named at 期首.
    lines[QStringLiteral("0411")] = kOffStatementKey;
    lines[QStringLiteral("1213")] = kOffStatementKey;
    saveAccountLines(db, chart, lines);
    const BlueReturn off = computeBlueReturn(db, k2024, 650000);
    ASSERT_FALSE(off.findings.empty());
    const auto opening = std::find_if(off.findings.begin(), off.findings.end(),
                                      [](const StatementFinding& f) { return f.kind == StatementFinding::Kind::OpeningUnbalanced; });
    ASSERT_NE(opening, off.findings.end());
    EXPECT_TRUE(opening->message.contains(QStringLiteral("1213 車両運搬具（決算書に載せない） 1,200,000円"))) << opening->message.toStdString();
    EXPECT_EQ(opening->difference, -yen(1200000));
    EXPECT_EQ(opening->explained, opening->difference);
}

// Page 3 against ⑱: the schedule's expense total and the journal's depreciation.
TEST(BlueReturn, TheDepreciationScheduleIsCheckedAgainstTheJournal)
{
    TestDataFolder folder;
    Database& db = *Database::forFolder(folder.path());
    db.exec(QStringLiteral("INSERT INTO KoteiA (id, name) VALUES (1, '店舗')"));
    db.exec(QStringLiteral("INSERT INTO KoteiB (id, name, dateB, AID, gaku, Tnen, kubun, syubetu, syukyakuH) VALUES"
                           " (1, '店舗', '2020-04-01', 1, 40000000000, 22, '01', '01', '01'),"
                           " (2, '軽トラック', '2023-01-10', 1, 12000000000, 4, '01', '05', '01')"));
    db.exec(QStringLiteral("INSERT INTO KoteiC (Bid, dateB, zandakaK, SRate, SMonth, warimashiS, kashitukeR) VALUES"
                           " (1, '2024-12-31', 36000000000, 0.046, 12, 0, 100),"
                           " (2, '2024-12-31', 9000000000, 0.25, 12, 0, 80),"
                           " (2, '2023-12-31', 12000000000, 0.25, 12, 0, 80)"));
    // 3,600,000 × 0.046 = 165,600; 900,000 × 0.25 = 225,000 at 80 % = 180,000.
    BlueReturn r = computeBlueReturn(db, k2024, 650000);
    ASSERT_EQ(r.depreciation.size(), 2u);
    EXPECT_EQ(r.depreciationExpenseTotal, yen(345600));
    ASSERT_EQ(r.findings.size(), 1u);
    EXPECT_EQ(r.findings[0].kind, StatementFinding::Kind::DepreciationDiffers);
    EXPECT_TRUE(r.findings[0].message.contains(QStringLiteral("345,600円"))) << r.findings[0].message.toStdString();
    EXPECT_TRUE(r.findings[0].message.contains(QStringLiteral("（⑱）0円"))) << r.findings[0].message.toStdString();

    addEntries(folder.path(), {{"2024-12-31", "0322", 165600, "1211", 165600, nullptr, nullptr, nullptr, 31},
                               {"2024-12-31", "0322", 180000, "1213", 180000, nullptr, nullptr, nullptr, 31}});
    r = computeBlueReturn(db, k2024, 650000);
    EXPECT_TRUE(r.findings.empty()) << r.findings[0].message.toStdString();
    EXPECT_EQ(depreciationTotalCells(r).value(13), QStringLiteral("345,600"));
}

TEST(BlueReturn, TheFileListsEveryLineWithExactAmounts)
{
    TestDataFolder folder;
    smallRealisticYear(folder.path());
    const BlueReturn r = computeBlueReturn(*Database::forFolder(folder.path()), k2024, 650000);
    const QList<QStringList> rows = blueReturnCsvRows(r);
    const auto find = [&](const QString& page, const QString& number, const QString& caption) {
        for (const QStringList& row : rows)
            if (row.value(0) == page && row.value(2) == number && row.value(3) == caption)
                return row;
        return QStringList();
    };
    EXPECT_EQ(find(QStringLiteral("1"), QStringLiteral("①"), QStringLiteral("売上（収入）金額（雑収入を含む）")).value(4), QStringLiteral("1342000"));
    EXPECT_EQ(find(QStringLiteral("1"), QStringLiteral("㊷"), QStringLiteral("青色申告特別控除額")).value(4), QStringLiteral("416900"));
    EXPECT_EQ(find(QStringLiteral("2"), QString(), QStringLiteral("1月")).value(4), QStringLiteral("850000"));
    const QStringList capital = find(QStringLiteral("4"), QString(), QStringLiteral("元入金"));
    EXPECT_EQ(capital.value(4), QStringLiteral("6500000"));
    EXPECT_EQ(capital.value(5), QStringLiteral("6500000"));
    EXPECT_EQ(rows.back().value(0), QStringLiteral("確認"));
}
