// The journal window's "印刷" menu: the export and the three printed journals, run from the
// real menu items, the reports read back from their PDF.
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "journal/journalexport.h"
#include "journal/journallistmodel.h"
#include "journal/tmaininput.h"
#include "reports/csvwriter.h"
#include "tests/reports/pdftext.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class JournalPrint : public ::testing::Test {
protected:
    void SetUp() override
    {
        programState().dataFolder = folder.path();
        programState().periodStart = QDate(2010, 4, 1);
        programState().periodEnd = QDate(2011, 3, 31);
        dm.DataModuleCreate(folder.path());
        prompts.reportPdfPath = pdfs.filePath(QStringLiteral("report.pdf"));
    }
    void TearDown() override
    {
        if (window) {
            window->reject();
            window.reset();
        }
        tolva::testing::releaseJournalQueries(dm);
        dm.closeAll();
        expectNoWindowLeftOpen();
    }
    // `count` rows on 2010-04-10 numbered from 1: food paid in cash, the n-th for n × 1,000 yen,
    // the first with a sub-account and a memo holding a quote and a comma.
    void addRows(int count)
    {
        Database& db = *Database::forFolder(folder.path());
        for (int n = 1; n <= count; ++n) {
            auto insert = db.prepare(QStringLiteral(
                "INSERT INTO shiwake (id, sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, yoto, kubun, syori, Memo) "
                "VALUES (?1, '2010-04-10', '04', '0411', ?2, ?3, '11', '1111', '', ?3, '01', '0101', 10, ?4)"));
            insert.bind(1, qint64(n));
            insert.bind(2, n == 1 ? QStringLiteral("041101") : QString());
            insert.bind(3, qint64(n) * 1000 * 10000);  // amounts are kept in ten-thousandths of a yen
            insert.bind(4, n == 1 ? QStringLiteral("八百屋 \"青果\", 朝市") : QStringLiteral("買物%1").arg(n));
            insert.step();
        }
    }
    TMainInput& open()
    {
        tolva::testing::prepareJournalQueries(dm);
        window = std::make_unique<TMainInput>(dm);
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }
    void run(const char* action)
    {
        QAction* item = window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(item, nullptr) << action;
        ASSERT_TRUE(item->isEnabled()) << action;
        item->trigger();
    }
    void tickPeriod(const QDate& from, const QDate& to)
    {
        const auto& c = window->controls();
        c.period->setChecked(true);
        c.periodFrom->setDate(from);
        c.periodTo->setDate(to);
    }
    static void choose(QComboBox* box, const QString& codePrefix)
    {
        for (int i = 0; i < box->count(); ++i)
            if (box->itemText(i).startsWith(codePrefix + u' ')) {
                box->setCurrentIndex(i);
                return;
            }
        ADD_FAILURE() << "no item " << codePrefix.toStdString();
    }
    QStringList header()
    {
        auto row = Database::forFolder(folder.path())->prepare(QStringLiteral("SELECT Name01, Name02, Name03 FROM RepoJyoken WHERE no=1"));
        EXPECT_TRUE(row.step());
        return {row.column(0).toString(), row.column(1).toString(), row.column(2).toString()};
    }
    QStringList messages() const
    {
        QStringList texts;
        for (const auto& m : prompts.messages)
            texts << m.text;
        return texts;
    }

    TestDataFolder folder;
    QTemporaryDir pdfs;
    Tdm01Keiri dm{programState()};
    ScriptedPrompter prompts;
    std::unique_ptr<TMainInput> window;
};

// The amount on the line of `page` that begins with `caption`.
QString amountAfter(const QString& page, const QString& caption)
{
    const QString line = lineStartingWith(page, QString(caption));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("([0-9][0-9,]*)")).match(line);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString yen(qint64 amount)
{
    return QLocale(QLocale::English).toString(amount);
}

} // namespace

TEST_F(JournalPrint, EachCommandSaysWhatItNeedsFirst)
{
    addRows(1);
    open();
    run("N3");
    run("N4");
    run("N8");
    run("CSV1");
    EXPECT_EQ(messages(), (QStringList{"出力対象期間条件を指定してください。", "出力条件を指定してください。",
                                       "出力条件を指定してください。", "出力条件を指定してください。"}));
    EXPECT_TRUE(prompts.previewedReports.isEmpty());
}

TEST_F(JournalPrint, TheJournalBookCarriesItsSumsFromPageToPage)
{
    const int rows = 60;
    addRows(rows);
    Database::forFolder(folder.path())->exec(QStringLiteral("UPDATE RepoJyoken SET Name02='前の条件' WHERE no=1"));
    open();
    tickPeriod(QDate(2010, 4, 1), QDate(2010, 4, 30));
    run("N3");
    ASSERT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    ASSERT_EQ(prompts.previewedReports, QStringList{"rShiwake"});
    const QStringList h = header();
    EXPECT_EQ(h[0], QStringLiteral("期間：2010/ 04/ 01～2010/ 04/ 30"));
    EXPECT_EQ(h[1], QStringLiteral("前の条件"));  // left as the last conditional print left it
    EXPECT_TRUE(h[2].startsWith(QStringLiteral("作成日："))) << h[2].toStdString();

    const QStringList pages = pdfPages(prompts.reportPdfPath);
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("仕訳帳"))));
    EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("期間：2010/ 04/ 01～2010/ 04/ 30"))));
    // Rows are numbered 1, 2, … and the n-th is n × 1,000 yen: the sums of a page are known
    // from how many rows it shows.
    qint64 shown = 0;
    for (int p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE(p);
        const qint64 before = shown;
        shown += pages[p].count(QStringLiteral("2010/04/10"));
        const qint64 sum = 1000 * shown * (shown + 1) / 2;
        if (p > 0)
            EXPECT_EQ(amountAfter(pages[p], QStringLiteral("前頁より")), yen(1000 * before * (before + 1) / 2));
        else
            EXPECT_FALSE(pages[p].contains(QString(QStringLiteral("前頁より"))));
        if (p + 1 < pages.size())
            EXPECT_EQ(amountAfter(pages[p], QStringLiteral("次頁へ")), yen(sum));
        else
            EXPECT_EQ(amountAfter(pages[p], QStringLiteral("合計")), yen(sum));
    }
    EXPECT_EQ(shown, rows);

    // A period without a row still prints its book.
    prompts.previewedReports.clear();
    tickPeriod(QDate(2011, 1, 1), QDate(2011, 1, 1));
    run("N3");
    EXPECT_EQ(prompts.previewedReports, QStringList{"rShiwake"});
    EXPECT_EQ(header()[0], QStringLiteral("指定日：2011/ 01/ 01"));
}

TEST_F(JournalPrint, TheConditionalJournalsNameTheirConditionsAndSkipAnEmptySelection)
{
    addRows(3);
    open();
    const auto& c = window->controls();
    c.debit.ticked->setChecked(true);
    choose(c.debit.category, QStringLiteral("04"));
    run("N4");
    ASSERT_EQ(prompts.previewedReports, QStringList{"rShiwakesum"});
    EXPECT_EQ(header()[1], QStringLiteral("借方区分：家計費"));
    QStringList pages = pdfPages(prompts.reportPdfPath);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("抽出条件：借方区分：家計費"))));
    EXPECT_EQ(amountAfter(pages[0], QStringLiteral("合計")), QStringLiteral("6,000"));
    EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("日常"))));

    c.debit.accountTicked->setChecked(true);
    choose(c.debit.account, QStringLiteral("0411"));
    c.debit.subAccountTicked->setChecked(true);
    choose(c.debit.subAccount, QStringLiteral("041101"));
    run("N8");
    ASSERT_EQ(prompts.previewedReports, (QStringList{"rShiwakesum", "rSaimoku"}));
    EXPECT_EQ(header()[1], QStringLiteral("借方細目：食料品"));
    pages = pdfPages(prompts.reportPdfPath);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("食料品"))));
    EXPECT_EQ(amountAfter(pages[0], QStringLiteral("合計")), QStringLiteral("1,000"));
    EXPECT_TRUE(pdfPageSize(prompts.reportPdfPath).startsWith(QStringLiteral("842 x 595")));

    // Nothing chosen by the conditions: nothing printed, nothing said.
    tickPeriod(QDate(2011, 1, 1), QDate(2011, 1, 31));
    run("N4");
    run("N8");
    EXPECT_EQ(prompts.previewedReports.size(), 2);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(JournalPrint, TheExportWritesTheSelectionAndTheListShowsIt)
{
    addRows(3);
    open();
    tickPeriod(QDate(2010, 4, 10), QDate(2010, 4, 10));
    const QString path = pdfs.filePath(QStringLiteral("仕訳帳.csv"));
    prompts.fileNames = {path};
    run("CSV1");
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString expected = QStringLiteral(
        "仕訳帳（条件抽出）\r\n"
        "指定日：2010/ 04/ 10\r\n"
        "\r\n"
        "\"ID\",\"月日\",\"借方科目\",\"借方金額\",\"貸方科目\",\"貸方金額\",\"備考\",\"区分\"\r\n"
        // Read as a spreadsheet would: the memo with a quote and a comma is one field.
        "1,\"2010/04/10\",\"食費\",1000,\"現金\",1000,\"八百屋 \"\"青果\"\", 朝市\",\"日常\"\r\n"
        "2,\"2010/04/10\",\"食費\",2000,\"現金\",2000,\"買物2\",\"日常\"\r\n"
        "3,\"2010/04/10\",\"食費\",3000,\"現金\",3000,\"買物3\",\"日常\"\r\n");
    EXPECT_EQ(bytes, csv::toCodePage932(expected).bytes);
    EXPECT_EQ(window->listModel()->rowCount(), 3);
    EXPECT_EQ(window->listModel()->idAt(0), 1);  // oldest first

    // A cancelled save writes nothing; the list keeps the selection.
    prompts.fileNames = {std::nullopt};
    run("CSV1");
    EXPECT_EQ(window->listModel()->rowCount(), 3);
}

TEST_F(JournalPrint, AStoppedExportLeavesTheOldFileWhole)
{
    addRows(5000);
    const QString path = pdfs.filePath(QStringLiteral("old.csv"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old\r\n");
    }
    JournalFilter filter;
    filter.period = true;
    filter.from = QDate(2010, 4, 1);
    filter.to = QDate(2010, 4, 30);
    qint64 told = 0;
    EXPECT_THROW(journalexport::write(dm.q05shiwakeView, filter, {}, path,
                                      [&](qint64 rows) {
                                          told = rows;
                                          return false;
                                      }),
                 journalexport::ExportCancelled);
    EXPECT_GT(told, 0);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old\r\n"));
    EXPECT_EQ(QDir(pdfs.path()).entryList(QDir::Files), QStringList{"old.csv"});
}

// Values stored as another program might store them read as the list query reads them: the
// export starts over through a query and gives the same lines as for usual values.
TEST_F(JournalPrint, UnusualStorageIsExportedAsTheQueryReadsIt)
{
    addRows(2);
    Database& db = *Database::forFolder(folder.path());
    const QString path = pdfs.filePath(QStringLiteral("usual.csv"));
    JournalFilter filter;
    filter.period = true;
    filter.from = QDate(2010, 4, 1);
    filter.to = QDate(2010, 4, 30);
    journalexport::write(dm.q05shiwakeView, filter, {}, path);
    QFile usual(path);
    ASSERT_TRUE(usual.open(QIODevice::ReadOnly));
    const QByteArray expected = usual.readAll();

    db.exec(QStringLiteral("UPDATE shiwake SET Lgaku = '2,000', Memo = 'x' WHERE id = 2"));
    const QString unusualPath = pdfs.filePath(QStringLiteral("unusual.csv"));
    journalexport::write(dm.q05shiwakeView, filter, {}, unusualPath);
    QFile unusual(unusualPath);
    ASSERT_TRUE(unusual.open(QIODevice::ReadOnly));
    QByteArray written = unusual.readAll();
    EXPECT_EQ(written, QByteArray(expected).replace(csv::toCodePage932(QStringLiteral("\"買物2\"")).bytes, "\"x\""));
}
