// tolva-cli depreciation: the depreciation list's rows and totals, from the same routine as the
// printed list.
#include "tests/assets/assetfixture.h"
#include "tests/cli/clirun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tolva;
using namespace tolva::testing;

namespace {

class CliDepreciation : public AssetBooks {
protected:
    void SetUp() override
    {
        AssetBooks::SetUp();
        const int home = addProperty(QStringLiteral("本社"));
        const int building = addItem(home, {QDate(2019, 4, 10), "01", "01", 10'000'000, 22, "01", 120.5});
        const int car = addItem(home, {QDate(2021, 7, 1), "03", "05", 3'000'000, 6, "02", 1});
        addYearRow(building, {QDate(2024, 12, 31), 10'000'000, 0.046});
        addYearRow(car, {QDate(2024, 12, 31), 3'000'000, 0.333, 9, 60, 5'000});
        addYearRow(car, {QDate(2025, 12, 31), 2'245'800, 0.333});  // another year
        // The program's datasets hold on to the books while they know their folder; tolva-cli
        // wants them to itself.
        for (Dataset* dataset : dm.datasets())
            dataset->setDatabaseName(QString());
        Database::closeAll();
    }
    [[nodiscard]] CliRun cli(const QStringList& arguments) const { return runCli(arguments, folder.path()); }
};

} // namespace

TEST_F(CliDepreciation, TheYearsListIsTheScheduleWithItsTotals)
{
    const CliRun run = cli({QStringLiteral("depreciation"), QStringLiteral("--year"), QStringLiteral("2024"),
                            QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(run.exitCode, 0) << run.errText().toStdString();
    const QJsonObject list = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(list[QStringLiteral("from")].toString(), QStringLiteral("2024-01-01"));
    const QJsonArray rows = list[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 2);
    // building: 460,000 a year at 100 %; car: 749,200 + 5,000 extra, 60 % = 452,520 → 452,500.
    const QJsonObject car = rows[1].toObject();
    EXPECT_EQ(car[QStringLiteral("kind")].toString(), QStringLiteral("車両運搬具"));
    EXPECT_EQ(car[QStringLiteral("ordinary")].toString(), QStringLiteral("749200"));
    EXPECT_EQ(car[QStringLiteral("expense")].toString(), QStringLiteral("452500"));
    EXPECT_EQ(car[QStringLiteral("endBalance")].toString(), QStringLiteral("2245800"));
    const QJsonObject totals = list[QStringLiteral("totals")].toObject();
    EXPECT_EQ(totals[QStringLiteral("total")].toString(), QStringLiteral("1214200"));
    EXPECT_EQ(totals[QStringLiteral("expense")].toString(), QStringLiteral("912500"));
    EXPECT_EQ(totals[QStringLiteral("endBalance")].toString(), QStringLiteral("11785800"));

    // For people: the schedule's columns in their order and the totals row.
    const CliRun text = cli({QStringLiteral("depreciation"), QStringLiteral("--year"), QStringLiteral("2024")});
    ASSERT_EQ(text.exitCode, 0) << text.errText().toStdString();
    const QString out = text.outText();
    EXPECT_TRUE(out.contains(QStringLiteral("期間：2024/ 01/ 01～2024/ 12/ 31"))) << out.toStdString();
    qsizetype at = 0;
    for (const char* title : {"名称", "取得年月", "(ｲ)取得価額", "(ﾛ)償却の基礎", "(ﾊ)償却率", "(ﾆ)償却期間",
                              "(ﾎ)普通償却費", "(ﾍ)割増償却費", "(ﾄ)償却費合計", "(ﾁ)貸付割合", "(ﾘ)必要経費算入額",
                              "(ﾇ)未償却残高", "摘要"}) {
        const qsizetype found = out.indexOf(QString::fromUtf8(title), at);
        EXPECT_GT(found, at - 1) << title;
        at = std::max(at, found);
    }
    EXPECT_TRUE(out.contains(QStringLiteral("9/12"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("11,785,800"))) << out.toStdString();

    const CliRun nextYear = cli({QStringLiteral("depreciation"), QStringLiteral("--year"), QStringLiteral("2025"),
                                 QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(nextYear.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(nextYear.out).object()[QStringLiteral("rows")].toArray().size(), 1);
}
