#include "assets/depreciationreport.h"
#include "tests/assets/assetfixture.h"
#include "tests/reports/pdftext.h"
#include "tests/support/scriptedprompter.h"
#include "ui/prompter.h"

#include <QRegularExpression>
#include <QTemporaryDir>

using namespace tolva;
using namespace tolva::testing;

namespace {

class DepreciationPrint : public AssetBooks {
protected:
    void SetUp() override
    {
        AssetBooks::SetUp();
        setPrompter(&prompts);
    }
    void TearDown() override
    {
        setPrompter(nullptr);
        AssetBooks::TearDown();
    }
    ScriptedPrompter prompts;
};

} // namespace

TEST_F(DepreciationPrint, TheListPrintsTheScheduleWithItsTotals)
{
    const int home = addProperty(QStringLiteral("本社"));
    const int building = addItem(home, {QDate(2019, 4, 10), "01", "01", 10'000'000, 22, "01", 120.5});
    const int car = addItem(home, {QDate(2021, 7, 1), "03", "05", 3'000'000, 6, "02", 1});
    addYearRow(building, {QDate(2024, 12, 31), 10'000'000, 0.046});
    addYearRow(car, {QDate(2024, 12, 31), 3'000'000, 0.333, 9, 60, 5'000});
    dm.t02koteiA.close();
    dm.t03koteiB.close();
    dm.t04koteiC.close();

    QTemporaryDir pdfs;
    prompts.reportPdfPath = pdfs.filePath(QStringLiteral("rGSlist.pdf"));
    printDepreciationList(dm, {QDate(2024, 1, 1), QDate(2024, 12, 31)}, QDate(2025, 2, 10), nullptr);
    ASSERT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty())
        << prompts.texts(ScriptedPrompter::Message::Error).join(u'\n').toStdString();
    ASSERT_EQ(prompts.previewedReports, QStringList{QStringLiteral("rGSlist")});
    EXPECT_TRUE(pdfPageSize(prompts.reportPdfPath).startsWith(QStringLiteral("842 x 595")))
        << pdfPageSize(prompts.reportPdfPath).toStdString();  // A4 landscape

    const QStringList pages = pdfPages(prompts.reportPdfPath);
    ASSERT_EQ(pages.size(), 1);
    const QString& page = pages[0];
    EXPECT_TRUE(page.contains(QString(QStringLiteral("期間：2024/ 01/ 01～2024/ 12/ 31")))) << page.toStdString();
    EXPECT_TRUE(page.contains(QString(QStringLiteral("作成日：2025/ 02/ 10"))));
    // The schedule's columns, left to right: the first line of each caption.
    qsizetype at = 0;
    for (const char* caption : {"減価償却資産の名称等", "面積又は", "(ｲ)", "(ﾛ)償却の基礎", "耐用", "(ﾊ)",
                                "(ﾆ)本年中の", "(ﾎ)本年分の", "(ﾍ)割増(特別)", "(ﾄ)本年分の", "(ﾁ)貸付",
                                "(ﾘ)本年分の必要", "(ﾇ)", "摘要"}) {
        const qsizetype found = page.indexOf(QString(QString::fromUtf8(caption)), at);
        EXPECT_GT(found, -1) << caption << " not after the column before it in\n" << page.toStdString();
        at = std::max(at, found);
    }
    // building: 460,000 a year at 100 %; car: 749,200 + 5,000 extra, 60 % = 452,520 → 452,500.
    const QStringList lines = {
        R"(本社\s+建物\s+120.5\s+2019\s+4\s+10,000,000\s+10,000,000\s+定額法\s+22\s+0.046\s+12\s+460,000\s+0\s+460,000\s+100\s+460,000\s+9,540,000\s+事業用)",
        R"(本社\s+車両運搬具\s+1\s+2021\s+7\s+3,000,000\s+3,000,000\s+定率法\s+6\s+0.333\s+9\s+749,200\s+5,000\s+754,200\s+60\s+452,500\s+2,245,800\s+貸付用)",
        R"(計\s+13,000,000\s+13,000,000\s+1,209,200\s+5,000\s+1,214,200\s+912,500\s+11,785,800\s*$)",
    };
    for (const QString& pattern : lines)
        EXPECT_TRUE(QRegularExpression(pattern, QRegularExpression::MultilineOption).match(page).hasMatch())
            << pattern.toStdString() << " not in\n"
            << page.toStdString();
}
