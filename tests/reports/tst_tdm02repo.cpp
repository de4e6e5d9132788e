#include "db/storeerror.h"
#include "db/tdm01keiri.h"
#include "reports/reportdata.h"
#include "tests/reports/pdftext.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/tdm02repo.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::lineStartingWith;
using tolva::testing::pdfPages;

namespace {

struct TrialBalanceRow {
    QString kamoku;
    std::optional<qint64> l1, r1, l2, r2;
};

// A data folder with the shared datasets and the report module pointed at it, as start-up
// leaves them, and a prompter that renders the preview into a PDF.
class RunReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        keiri.DataModuleCreate(folder.path());
        repo.RvProject1Create(folder.path());
        prompter.reportPdfPath = pdfDir.filePath(QStringLiteral("report.pdf"));
    }

    // What the trial balance window writes before it runs the report.
    void writeHeader(const QString& name01, const QString& name02, const QString& name03)
    {
        Table& t = keiri.t06temp1;
        t.setTableName(QStringLiteral("RepoJyoken"));
        t.open();
        if (t.locate(QStringLiteral("no"), 1)) {
            t.edit();
        } else {
            t.append();
            t.fieldByName(QStringLiteral("no")).setInteger(1);
        }
        t.fieldByName(QStringLiteral("Name01")).setString(name01);
        t.fieldByName(QStringLiteral("Name02")).setString(name02);
        t.fieldByName(QStringLiteral("Name03")).setString(name03);
        t.post();
        t.close();
    }

    void writeTrialBalance(const std::vector<TrialBalanceRow>& rows)
    {
        Table& t = keiri.t06temp1;
        t.setTableName(QStringLiteral("Repo01"));
        t.open();
        for (const TrialBalanceRow& row : rows) {
            t.append();
            t.fieldByName(QStringLiteral("kamoku")).setString(row.kamoku);
            const std::pair<const char*, std::optional<qint64>> amounts[] = {
                {"L1", row.l1}, {"R1", row.r1}, {"L2", row.l2}, {"R2", row.r2}};
            for (const auto& [field, yen] : amounts)
                if (yen)
                    t.fieldByName(QString::fromLatin1(field)).setMoney(Money::fromYen(*yen));
            t.post();
        }
        t.close();
    }

    void openTrialBalanceQueries()
    {
        keiri.q19Repo.setSql(QStringLiteral("SELECT * FROM Repo01"));
        keiri.q19Repo.open();
        keiri.q23Jyouken.close();
        keiri.q23Jyouken.open();
    }

    void writeProject(const QByteArray& text)
    {
        QFile file(folder.file(QStringLiteral("TlRepo01.rav")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QString runError(const QString& name)
    {
        try {
            repo.RunReport(name);
        } catch (const StoreError& e) {
            return e.message();
        }
        return {};
    }

    tolva::testing::TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri keiri{state};
    Tdm02Repo repo{keiri};
    tolva::testing::ScriptedPrompter prompter;
    QTemporaryDir pdfDir;
};

} // namespace

TEST_F(RunReport, TrialBalancePrintsHeaderAccountsAmountsAndTotals)
{
    writeHeader(QStringLiteral("期間：2010/ 04/ 01～2011/ 03/ 31"), QStringLiteral("前の仕訳帳の条件"),
                QStringLiteral("作成日：2011/ 05/ 14"));
    writeTrialBalance({
        {QStringLiteral("現金"), 1'234'567, 234'567, 1'000'000, std::nullopt},
        {QStringLiteral("普通預金"), 2'000'000, 500'000, 1'500'000, std::nullopt},
        {QStringLiteral("資本金"), std::nullopt, 2'500'000, std::nullopt, 2'500'000},
        {QStringLiteral("雑収入"), 0, 300, -300, std::nullopt},
    });
    openTrialBalanceQueries();

    repo.RunReport(QStringLiteral("TlRepo01"));

    ASSERT_EQ(prompter.previewedReports, QStringList{QStringLiteral("TlRepo01")});
    ASSERT_EQ(prompter.pagesRendered, 1);
    const QStringList pages = pdfPages(prompter.reportPdfPath);
    ASSERT_EQ(pages.size(), 1);
    const QString& page = pages[0];

    // Japanese text coming back out of the PDF shows the CJK font was embedded with its
    // character map.
    for (const QString& text : {QStringLiteral("合計残高試算表"), QStringLiteral("期間：2010/ 04/ 01～2011/ 03/ 31"),
                                QStringLiteral("作成日：2011/ 05/ 14"), QStringLiteral("勘定科目"),
                                QStringLiteral("合計試算表"), QStringLiteral("残高試算表")})
        EXPECT_TRUE(page.contains(QString(text))) << text.toStdString() << " missing from\n" << page.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\s*1\s*/\s*1\s*$)"), QRegularExpression::MultilineOption)
                    .match(page)
                    .hasMatch())
        << "the page number";
    EXPECT_FALSE(page.contains(QString(QStringLiteral("前の仕訳帳の条件"))))
        << "Name02 is left over from other reports and has no place on the trial balance";

    // Each account's amounts stand in its own line, in the column order L1 R1 L2 R2; an
    // empty field prints nothing, a zero prints 0.
    struct Line {
        QString kamoku;
        QString pattern;
    };
    const Line lines[] = {
        {QStringLiteral("現金"), QStringLiteral(R"(現金\s+1,234,567\s+234,567\s+1,000,000\s*$)")},
        {QStringLiteral("普通預金"), QStringLiteral(R"(普通預金\s+2,000,000\s+500,000\s+1,500,000\s*$)")},
        {QStringLiteral("資本金"), QStringLiteral(R"(資本金\s+2,500,000\s+2,500,000\s*$)")},
        {QStringLiteral("雑収入"), QStringLiteral(R"(雑収入\s+0\s+300\s+-300\s*$)")},
        {QStringLiteral("計"), QStringLiteral(R"(計\s+3,234,567\s+3,234,867\s+2,499,700\s+2,500,000\s*$)")},
    };
    for (const Line& line : lines) {
        const QString text = lineStartingWith(page, line.kamoku);
        EXPECT_TRUE(QRegularExpression(line.pattern).match(text).hasMatch()) << "line: " << text.toStdString();
    }
    // 資本金 has no debit figures: its two amounts sit under the credit captions, to the
    // right of where 現金's debit totals stand.
    const QString cash = lineStartingWith(page, QStringLiteral("現金"));
    const QString capital = lineStartingWith(page, QStringLiteral("資本金"));
    EXPECT_GT(capital.indexOf(QStringLiteral("2,500,000")), cash.indexOf(QStringLiteral("1,234,567")));
}

TEST_F(RunReport, EmptyWorkTablePrintsCaptionsAndZeroTotals)
{
    writeHeader(QStringLiteral("期間：2010/ 04/ 01～2011/ 03/ 31"), QString(), QStringLiteral("作成日：2011/ 05/ 14"));
    openTrialBalanceQueries();

    repo.RunReport(QStringLiteral("TlRepo01"));

    ASSERT_EQ(prompter.pagesRendered, 1);
    const QString page = pdfPages(prompter.reportPdfPath).value(0);
    EXPECT_TRUE(page.contains(QString(QStringLiteral("勘定科目")))) << page.toStdString();
    const QString totals = lineStartingWith(page, QStringLiteral("計"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(計\s+0\s+0\s+0\s+0\s*$)")).match(totals).hasMatch())
        << totals.toStdString();
}

// The caller's open query is read from its first row and left there; a query the engine had
// to open is closed again.
TEST_F(RunReport, LeavesDatasetsAsItFoundThem)
{
    writeHeader(QStringLiteral("期間"), QString(), QStringLiteral("作成日"));
    writeTrialBalance({{QStringLiteral("現金"), 1, 1, 0, 0}, {QStringLiteral("普通預金"), 2, 2, 0, 0}});
    keiri.q19Repo.setSql(QStringLiteral("SELECT * FROM Repo01"));
    keiri.q19Repo.open();
    keiri.q19Repo.last();
    keiri.q23Jyouken.close();

    repo.RunReport(QStringLiteral("TlRepo01"));

    const QString page = pdfPages(prompter.reportPdfPath).value(0);
    EXPECT_TRUE(page.contains(QString(QStringLiteral("現金")))) << "the query was read from its first row, not from where it stood";
    ASSERT_TRUE(keiri.q19Repo.isActive());
    EXPECT_EQ(keiri.q19Repo.fieldByName(QStringLiteral("kamoku")).asString(), u"現金");
    EXPECT_FALSE(keiri.q23Jyouken.isActive());
}

TEST_F(RunReport, NameTheProjectLacksRunsNothing)
{
    openTrialBalanceQueries();
    keiri.q20Repo.close();
    repo.RunReport(QStringLiteral("TlRepo09"));
    EXPECT_TRUE(prompter.previewedReports.isEmpty());
    EXPECT_FALSE(keiri.q20Repo.isActive());
}

TEST_F(RunReport, MissingProjectFileIsAnErrorNamingIt)
{
    const QString project = folder.file(QStringLiteral("TlRepo01.rav"));
    ASSERT_TRUE(QFile::remove(project));
    openTrialBalanceQueries();

    const QString message = runError(QStringLiteral("TlRepo01"));
    EXPECT_TRUE(message.contains(project)) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("見つかりません"))) << message.toStdString();
    EXPECT_TRUE(prompter.previewedReports.isEmpty());
}

// A broken project is reported with its file and place, and is read again on the next run,
// so that mending the file needs no restart.
TEST_F(RunReport, MalformedProjectIsAnErrorAndIsReadAgainNextTime)
{
    QFile shipped(folder.file(QStringLiteral("TlRepo01.rav")));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray good = shipped.readAll();
    shipped.close();
    QByteArray broken = good;
    broken.replace("\"width\": 52", "\"width\": \"52\"");
    ASSERT_NE(broken, good);
    writeProject(broken);
    openTrialBalanceQueries();

    const QString message = runError(QStringLiteral("TlRepo01"));
    EXPECT_TRUE(message.contains(folder.file(QStringLiteral("TlRepo01.rav")))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("レポート「TlRepo01」.body.columns[0].width"))) << message.toStdString();
    EXPECT_TRUE(prompter.previewedReports.isEmpty());

    writeProject(good);
    repo.RunReport(QStringLiteral("TlRepo01"));
    EXPECT_EQ(prompter.previewedReports, QStringList{QStringLiteral("TlRepo01")});
}

TEST_F(RunReport, FieldTheDatasetLacksIsAnErrorNamingReportConnectionAndField)
{
    writeProject(R"({"reports": [{"name": "TlRepo01", "body": {"connection": "RvDataSetConnection3",
        "columns": [{"field": "Saimoku", "width": 40}]}}]})");
    openTrialBalanceQueries();

    const QString message = runError(QStringLiteral("TlRepo01"));
    for (const QString& part : {QStringLiteral("TlRepo01"), QStringLiteral("RvDataSetConnection3"),
                                QStringLiteral("q19Repo"), QStringLiteral("Saimoku")})
        EXPECT_TRUE(message.contains(part)) << part.toStdString() << " missing from " << message.toStdString();
    EXPECT_TRUE(prompter.previewedReports.isEmpty());
}

// A long read tells how far it got and stops when told to, with nothing half read kept.
TEST_F(RunReport, ALongReadTellsTheRowsReadAndStopsWhenTold)
{
    writeHeader(QStringLiteral("期間"), QString(), QStringLiteral("作成日"));
    keiri.q19Repo.database()->exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
        "INSERT INTO Repo01 (kamoku, L1, R1, L2, R2) SELECT '科目' || i, i, i, 0, 0 FROM n"));
    openTrialBalanceQueries();
    const reports::ReportProject project = reports::readReportProject(repo.projectFileName());
    const reports::ReportLayout& layout = *project.find(QStringLiteral("TlRepo01"));

    std::vector<int> told;
    const reports::ReportData data = reports::readReportData(layout, reports::dataModuleConnections(keiri), [&](int read) {
        told.push_back(read);
        return true;
    });
    EXPECT_EQ(data.rows.size(), 2500u);
    EXPECT_EQ(told, (std::vector<int>{1000, 2000}));

    EXPECT_THROW((void)reports::readReportData(layout, reports::dataModuleConnections(keiri), [](int read) { return read < 2000; }),
                 reports::ReportStopped);
    EXPECT_TRUE(keiri.q19Repo.isActive()) << "the caller's open query is left open";
}
