#include "bluereturn/statementform.h"
#include "db/database.h"
#include "db/storeerror.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

// The chart of a new data folder goes onto the form's lines without the user doing anything.
TEST(StatementForm, TheNewFolderChartFollowsTheFormByDefault)
{
    TestDataFolder folder;
    Database& db = *Database::forFolder(folder.path());
    const AccountLines lines = readAccountLines(db, readChart(db));
    struct Case {
        const char* code;
        const char* key;
        const char* why;
    };
    const Case cases[] = {
        {"0111", "sales", "売上高 is ①"},
        {"0112", "zatsu", "雑収入 is in ① and has its own line on page 2"},
        {"0113", "kaji", "家事消費等 likewise"},
        {"0211", "off", "household income stays off"},
        {"0311", "purchases", "仕入高 is ③"},
        {"0312", "e08", "the template's expenses follow the form's order"},
        {"0322", "e18", "減価償却費"},
        {"0328", "e24", "貸倒金, the last printed expense line"},
        {"0329", "e25", "支払手数料 has no line: the first free line"},
        {"0331", "e27", "the free lines are taken in code order"},
        {"0332", "family", "専従者給与"},
        {"0399", "e31", "雑費"},
        {"0411", "off", "household spending stays off"},
        {"1111", "a01", "現金"},
        {"1112", "a04", "普通預金 is その他の預金"},
        {"1113", "a03", "定期預金 is not その他の預金"},
        {"1118", "inventory", "棚卸資産, pages 1 and 4"},
        {"1212", "a11", "建物附属設備 before 建物"},
        {"1211", "a10", "建物"},
        {"1115", "af1", "未収入金 has no line: the first free asset line"},
        {"1313", "l04", "a credit card is 未払金"},
        {"1315", "l03", "短期借入金 is 借入金"},
        {"1412", "off", "the mortgage is the household's"},
        {"1501", "owner-draw", "事業主貸"},
        {"1502", "owner-contrib", "事業主借"},
        {"1503", "capital", "元入金"},
        {"2111", "off", "the closing's own accounts"},
        {"4111", "off", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lines.line.at(QString::fromLatin1(c.code)).toStdString(), c.key) << c.code << ": " << c.why;
}

TEST(StatementForm, OnlyTheAccountsMovedFromTheirDefaultAreStoredAndTheyReadBack)
{
    TestDataFolder folder;
    Database& db = *Database::forFolder(folder.path());
    const std::vector<ChartAccount> chart = readChart(db);
    std::map<QString, QString> lines = readAccountLines(db, chart).line;
    lines[QStringLiteral("0411")] = QStringLiteral("e31");  // a household account onto 雑費
    lines[QStringLiteral("0329")] = QStringLiteral("e31");
    saveAccountLines(db, chart, lines);
    Statement count = db.prepare(QStringLiteral("SELECT count(*), group_concat(kcode || '=' || line) FROM KessanLine"));
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.columnInt(0), 2);
    EXPECT_EQ(readAccountLines(db, chart).line, lines);

    // Back to the default: the row goes.
    lines[QStringLiteral("0411")] = kOffStatementKey;
    saveAccountLines(db, chart, lines);
    EXPECT_EQ(readAccountLines(db, chart).line, lines);
    Statement rows = db.prepare(QStringLiteral("SELECT kcode FROM KessanLine"));
    ASSERT_TRUE(rows.step());
    EXPECT_EQ(rows.column(0).toString(), QStringLiteral("0329"));
    EXPECT_FALSE(rows.step());

    lines[QStringLiteral("0411")] = QStringLiteral("no-such-line");
    EXPECT_THROW(saveAccountLines(db, chart, lines), StoreError);
}

TEST(StatementForm, TheSpecialDeductionIsChosenPerYear)
{
    TestDataFolder folder;
    Database& db = *Database::forFolder(folder.path());
    EXPECT_EQ(readSpecialDeduction(db, 2024), kDefaultSpecialDeduction);
    saveSpecialDeduction(db, 2024, 100000);
    saveSpecialDeduction(db, 2024, 550000);
    saveSpecialDeduction(db, 2025, 100000);
    EXPECT_EQ(readSpecialDeduction(db, 2024), 550000);
    EXPECT_EQ(readSpecialDeduction(db, 2025), 100000);
    EXPECT_EQ(readSpecialDeduction(db, 2023), kDefaultSpecialDeduction);
    EXPECT_THROW(saveSpecialDeduction(db, 2024, 123), StoreError);
}
