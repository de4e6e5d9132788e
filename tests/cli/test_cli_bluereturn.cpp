// tolva-cli blue-return: the statement's lines, the checks' findings and the choice of the
// special deduction, in each format.
#include "db/database.h"
#include "tests/bluereturn/smallyear.h"
#include "tests/cli/clirun.h"
#include "tests/support/testdata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class CliBlueReturn : public ::testing::Test {
protected:
    void SetUp() override
    {
        smallRealisticYear(folder.path());
        setOwner(folder.path(), 2024, 12);
        Database::closeAll();
    }
    [[nodiscard]] CliRun cli(QStringList arguments) const
    {
        return runCli(QStringList{QStringLiteral("blue-return"), QStringLiteral("--year"), QStringLiteral("2024")} + arguments,
                      folder.path());
    }
    TestDataFolder folder;
};

QJsonObject lineOf(const QJsonArray& lines, int page, const QString& number, const QString& caption)
{
    for (const QJsonValue& value : lines) {
        const QJsonObject line = value.toObject();
        if (line[QStringLiteral("page")].toInt() == page && line[QStringLiteral("number")].toString() == number
            && line[QStringLiteral("caption")].toString() == caption)
            return line;
    }
    ADD_FAILURE() << "no line " << caption.toStdString();
    return {};
}

} // namespace

TEST_F(CliBlueReturn, JsonListsEveryLineExactlyWithTheFindings)
{
    const CliRun run = cli({QStringLiteral("--deduction"), QStringLiteral("100000"), QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(run.exitCode, 1) << "a finding is a failed check";
    const QJsonObject statement = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(statement[QStringLiteral("chosenDeduction")].toString(), QStringLiteral("100000"));
    const QJsonArray lines = statement[QStringLiteral("lines")].toArray();
    EXPECT_EQ(lineOf(lines, 1, QStringLiteral("①"), QStringLiteral("売上（収入）金額（雑収入を含む）"))[QStringLiteral("amount")].toString(),
              QStringLiteral("1342000"));
    EXPECT_EQ(lineOf(lines, 1, QStringLiteral("㊷"), QStringLiteral("青色申告特別控除額"))[QStringLiteral("amount")].toString(),
              QStringLiteral("100000"));
    EXPECT_EQ(lineOf(lines, 1, QStringLiteral("㊸"), QStringLiteral("所得金額（㊶－㊷）"))[QStringLiteral("amount")].toString(),
              QStringLiteral("316900"));
    EXPECT_TRUE(lineOf(lines, 1, QStringLiteral("㉟"), QString())[QStringLiteral("amount")].isNull());
    const QJsonObject january = lineOf(lines, 2, QString(), QStringLiteral("1月"));
    EXPECT_EQ(january[QStringLiteral("sales")].toString(), QStringLiteral("850000"));
    const QJsonObject capital = lineOf(lines, 4, QString(), QStringLiteral("元入金"));
    EXPECT_EQ(capital[QStringLiteral("opening")].toString(), QStringLiteral("6500000"));
    EXPECT_EQ(capital[QStringLiteral("closing")].toString(), QStringLiteral("6500000"));
    EXPECT_EQ(capital[QStringLiteral("accounts")].toArray().first().toString(), QStringLiteral("1503"));
    EXPECT_TRUE(lineOf(lines, 4, QString(), QStringLiteral("事業主貸"))[QStringLiteral("opening")].isNull());

    const QJsonArray findings = statement[QStringLiteral("findings")].toArray();
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings[0].toObject()[QStringLiteral("kind")].toString(), QStringLiteral("depreciationDiffers"));
    EXPECT_EQ(statement[QStringLiteral("depreciation")].toObject()[QStringLiteral("journalDepreciation")].toString(),
              QStringLiteral("260000"));
}

TEST_F(CliBlueReturn, TextAndCommaSeparatedShowTheSameLines)
{
    const CliRun text = cli({});
    EXPECT_EQ(text.exitCode, 1);
    const QString out = text.outText();
    for (const char* expected : {"青色申告決算書（一般用）", "1頁 損益計算書", "2頁 月別売上（収入）金額及び仕入金額", "3頁 減価償却費の計算",
                                 "4頁 貸借対照表（資産負債調）", "1,342,000", "416,900"})
        EXPECT_TRUE(out.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_TRUE(text.errText().contains(QStringLiteral("減価償却費"))) << text.errText().toStdString();

    const CliRun csv = cli({QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--encoding"), QStringLiteral("utf-8")});
    const QList<QStringList> rows = parseCsv(csv.outText());
    const auto found = std::find_if(rows.begin(), rows.end(), [](const QStringList& row) {
        return row.value(0) == QStringLiteral("1") && row.value(2) == QStringLiteral("㊶");
    });
    ASSERT_NE(found, rows.end());
    EXPECT_EQ(found->value(4), QStringLiteral("416900"));
}

TEST_F(CliBlueReturn, AnotherDeductionThanTheFormsIsRefused)
{
    const CliRun run = cli({QStringLiteral("--deduction"), QStringLiteral("300000")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errText().contains(QStringLiteral("--deduction"))) << run.errText().toStdString();
}
