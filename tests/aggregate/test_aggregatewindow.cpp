#include "aggregate/tfsyukei2.h"
#include "app/windows.h"
#include "closing/tfkessan.h"
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "reports/csvwriter.h"
#include "tests/aggregate/aggregatefixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/reports/pdftext.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "tests/support/gridview.h"
#include "ui/gridcells.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class AggregateWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.dataFolder = folder.path();
        state.periodStart = kYear2010.start;
        state.periodEnd = kYear2010.end;
        dm.DataModuleCreate(folder.path());
        addEntries(folder.path(), {
            {.day = "2010-05-01", .lcode = "1111", .lgaku = 300000, .rcode = "2111", .rgaku = 300000, .syori = 21},
            {.day = "2010-05-10", .lcode = "0411", .lgaku = 1250000, .rcode = "1112", .rgaku = 1250000, .lscode = "041101", .rscode = "111201"},
            {.day = "2010-05-20", .lcode = "0411", .lgaku = 20000, .rcode = "1111", .rgaku = 20000},
            {.day = "2010-05-25", .lcode = "1112", .lgaku = 980000, .rcode = "0211", .rgaku = 980000, .lscode = "111201"},
        });
    }
    void TearDown() override
    {
        dm.closeAll();
        expectNoWindowLeftOpen();
    }

    Database& db() { return *Database::forFolder(folder.path()); }

    std::unique_ptr<TfSyukei2> shownWindow()
    {
        auto window = std::make_unique<TfSyukei2>(dm);
        window->show();
        return window;
    }

    // Sets the range through the pickers, as the user types it.
    static void typeRange(TfSyukei2& w, const QDate& start, const QDate& end)
    {
        w.startPicker()->setDate(start);
        w.endPicker()->setDate(end);
    }

    void runMay(TfSyukei2& w)
    {
        QTest::mouseClick(w.runMode(), Qt::LeftButton);
        typeRange(w, QDate(2010, 5, 1), QDate(2010, 5, 31));
        prompts.answers = {true};
        QTest::mouseClick(w.runButton(), Qt::LeftButton);
    }

    void showLevel(TfSyukei2& w, QRadioButton* level)
    {
        QTest::mouseClick(w.showMode(), Qt::LeftButton);
        QTest::mouseClick(level, Qt::LeftButton);
        QTest::mouseClick(w.refreshButton(), Qt::LeftButton);
    }

    static QStringList row(const TfSyukei2& w, int r)
    {
        QStringList cells;
        const QAbstractItemModel* model = w.grid()->model();
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        return cells;
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
    ScriptedPrompter prompts;
};

} // namespace

TEST_F(AggregateWindow, TheClosingMenuOpensItAsTheTableOfTotals)
{
    registerWindows();
    TfKessan menu(dm);
    menu.show();
    ASSERT_TRUE(menu.periodAggregationButton()->isEnabled());
    QString caption;
    int width = 0;
    bool showing = false, running = true;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<TfSyukei2*>(w); window && window->isVisible()) {
                caption = window->windowTitle();
                width = window->width();
                showing = window->viewPanel()->isVisible() && window->showMode()->isChecked();
                running = window->runPanel()->isVisible();
                window->close();
            }
        }
    });
    QTest::mouseClick(menu.periodAggregationButton(), Qt::LeftButton);
    EXPECT_EQ(caption, QStringLiteral("集計表"));
    EXPECT_EQ(width, 800);
    EXPECT_TRUE(showing);
    EXPECT_FALSE(running);
    EXPECT_TRUE(prompts.messages.empty());
    menu.close();
}

TEST_F(AggregateWindow, TheMonthButtonsStepFromTheStartPickerAcrossTheYearEnd)
{
    auto w = shownWindow();
    EXPECT_EQ(w->startPicker()->date(), monthOf(QDate::currentDate()).start);
    EXPECT_EQ(w->endPicker()->date(), monthOf(QDate::currentDate()).end);
    QTest::mouseClick(w->runMode(), Qt::LeftButton);
    EXPECT_TRUE(w->runPanel()->isVisible());
    EXPECT_FALSE(w->viewPanel()->isVisible());
    // The run panel fits the window's width: it does not grow the window past 800 pixels.
    QApplication::processEvents();
    EXPECT_LE(w->width(), 800);
    EXPECT_LE(w->minimumSizeHint().width(), 800);

    struct Case {
        QDate start, end;
        QPushButton* button;
        QDate newStart, newEnd;
    };
    const Case cases[] = {
        {QDate(2011, 1, 15), QDate(2011, 3, 3), w->previousMonthButton(), QDate(2010, 12, 1), QDate(2010, 12, 31)},
        {QDate(2010, 12, 20), QDate(2010, 12, 1), w->nextMonthButton(), QDate(2011, 1, 1), QDate(2011, 1, 31)},
        {QDate(2010, 11, 5), QDate(2010, 11, 6), w->nextMonthButton(), QDate(2010, 12, 1), QDate(2010, 12, 31)},
        {QDate(2010, 3, 31), QDate(2010, 3, 31), w->nextMonthButton(), QDate(2010, 4, 1), QDate(2010, 4, 30)},
        {QDate(2010, 5, 10), QDate(2010, 8, 20), w->nextMonthButton(), QDate(2010, 6, 1), QDate(2010, 6, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start.toString(Qt::ISODate).toStdString());
        typeRange(*w, c.start, c.end);
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_EQ(w->startPicker()->date(), c.newStart);
        EXPECT_EQ(w->endPicker()->date(), c.newEnd);
    }
    QTest::mouseClick(w->showMode(), Qt::LeftButton);
    EXPECT_FALSE(w->runPanel()->isVisible());
    EXPECT_TRUE(w->viewPanel()->isVisible());
    w->close();
}

TEST_F(AggregateWindow, TheRunAsksRecordsAndSaysWhenItHasEnded)
{
    auto w = shownWindow();
    EXPECT_EQ(w->runLabel()->text(), QStringLiteral("集計状況："));
    EXPECT_EQ(w->rangeLabel()->text(), QStringLiteral("集計条件："));
    QTest::mouseClick(w->runMode(), Qt::LeftButton);
    typeRange(*w, QDate(2010, 5, 1), QDate(2010, 5, 31));

    prompts.answers = {false};
    QTest::mouseClick(w->runButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Question),
              QStringList{"指定期間について科目・細目毎の集計処理を行います。実行しますか？"});
    EXPECT_EQ(prompts.messages[0].questionKind, Prompter::QuestionKind::Warning);
    EXPECT_FALSE(readAggregationStatus(db()));
    EXPECT_TRUE(sumRows(db(), QStringLiteral("Sum01")).empty());

    // While the closing message is open the labels already show the new run.
    QString runWhileTold, rangeWhileTold;
    prompts.onMessage = [&](const ScriptedPrompter::Message& m) {
        if (m.kind == ScriptedPrompter::Message::Information) {
            runWhileTold = w->runLabel()->text();
            rangeWhileTold = w->rangeLabel()->text();
        }
    };
    prompts.answers = {true};
    QTest::mouseClick(w->runButton(), Qt::LeftButton);
    prompts.onMessage = nullptr;
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Information), QStringList{"集計が終了しました。"});
    EXPECT_EQ(rangeWhileTold, QStringLiteral("集計条件：2010/05/01～2010/05/31"));
    EXPECT_EQ(runWhileTold, w->runLabel()->text());
    EXPECT_EQ(w->rangeLabel()->text(), QStringLiteral("集計条件：2010/05/01～2010/05/31"));
    EXPECT_TRUE(w->runLabel()->text().startsWith(QStringLiteral("集計状況：") + textformat::shortDate(QDate::currentDate())));
    EXPECT_EQ(sumRows(db(), QStringLiteral("Sum01")).size(), 5u);
    EXPECT_EQ(sumRows(db(), QStringLiteral("Sum02")).size(), 2u);
    EXPECT_TRUE(w->statusBar()->currentMessage().isEmpty());

    // A start after the end is taken, and the status bar says the range held no day.
    typeRange(*w, QDate(2010, 5, 31), QDate(2010, 5, 1));
    prompts.answers = {true};
    QTest::mouseClick(w->runButton(), Qt::LeftButton);
    EXPECT_TRUE(sumRows(db(), QStringLiteral("Sum01")).empty());
    EXPECT_EQ(w->statusBar()->currentMessage(), emptyRangeNotice({QDate(2010, 5, 31), QDate(2010, 5, 1)}));
    EXPECT_EQ(w->rangeLabel()->text(), QStringLiteral("集計条件：2010/05/31～2010/05/01"));
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty());
    w->close();
}

TEST_F(AggregateWindow, OnlyRefreshingChangesTheGridAndTheSubAccountViewHidesItsCodes)
{
    auto w = shownWindow();
    runMay(*w);
    EXPECT_EQ(w->grid()->model()->columnCount(), kUnfilledColumns);

    showLevel(*w, w->accountLevel());
    ASSERT_EQ(w->grid()->model()->columnCount(), 7);
    EXPECT_EQ(row(*w, 0), (QStringList{"1", "0211", "給与収入", "", "980,000", "", "980,000"}));
    EXPECT_EQ(w->grid()->currentIndex().row(), 0);
    EXPECT_EQ(w->grid()->currentIndex().column(), 0);
    EXPECT_EQ(w->header()->groups().mid(3), (QStringList{"合計試算表", "合計試算表", "残高試算表", "残高試算表"}));

    // Choosing the level alone leaves the grid as it is.
    QTest::mouseClick(w->subAccountLevel(), Qt::LeftButton);
    EXPECT_EQ(w->grid()->model()->columnCount(), 7);

    QTest::mouseClick(w->refreshButton(), Qt::LeftButton);
    ASSERT_EQ(w->grid()->model()->columnCount(), 13);
    EXPECT_TRUE(w->grid()->isColumnHidden(1));
    EXPECT_TRUE(w->grid()->isColumnHidden(3));
    EXPECT_FALSE(w->grid()->isColumnHidden(4));
    EXPECT_EQ(row(*w, 1), (QStringList{"2", "0411", "食費", "", "", "1,270,000", "", "", "", "1,270,000", "", "", ""}));
    EXPECT_EQ(row(*w, 2), (QStringList{"", "", "", "041101", "食料品", "", "1,250,000", "", "", "", "1,250,000", "", ""}));
    EXPECT_EQ(row(*w, 3), (QStringList{"", "", "", "", "その他", "", "20,000", "", "", "", "20,000", "", ""}));
    w->close();
}

TEST_F(AggregateWindow, BothReportsPrintTheGridAndBothFilesHoldIt)
{
    auto w = shownWindow();
    runMay(*w);
    QTemporaryDir out;

    // Before the first view: the header row only, no report.
    prompts.reportPdfPath = out.filePath(QStringLiteral("none.pdf"));
    w->reportAction()->trigger();
    EXPECT_TRUE(prompts.previewedReports.empty());

    struct Case {
        QRadioButton* level;
        const char* report;
        const char* file;
        std::vector<const char*> lines;
    };
    const Case cases[] = {
        {w->accountLevel(), "TlRepo01", "科目集計試算表.csv",
         {R"(^\s*合計残高試算表\s*$)", R"(食費\s+1,270,000\s+1,270,000\s*$)",
          R"(計\s+2,550,000\s+2,250,000\s+1,550,000\s+1,250,000\s*$)"}},
        {w->subAccountLevel(), "TlRepo03", "細目集計試算表.csv",
         {R"(^\s*細目集計試算表\s*$)", R"(^\s*食費\s+1,270,000\s+1,270,000\s*$)", R"(食料品\s+1,250,000\s+1,250,000\s*$)",
          R"(その他\s+20,000\s+20,000\s*$)", R"(計\s+2,550,000\s+2,250,000\s+1,550,000\s+1,250,000\s*$)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        showLevel(*w, c.level);
        prompts.reportPdfPath = out.filePath(QLatin1String(c.report) + QStringLiteral(".pdf"));
        w->reportAction()->trigger();
        ASSERT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty())
            << prompts.texts(ScriptedPrompter::Message::Error).join(u'\n').toStdString();
        ASSERT_FALSE(prompts.previewedReports.empty());
        EXPECT_EQ(prompts.previewedReports.back(), QLatin1String(c.report));
        const QStringList pages = pdfPages(prompts.reportPdfPath);
        ASSERT_EQ(pages.size(), 1);
        EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("集計条件：2010/05/01～2010/05/31"))));
        EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("作成日：") + textformat::reportDate(QDate::currentDate()))));
        for (const char* pattern : c.lines)
            EXPECT_TRUE(QRegularExpression(QString(QString::fromUtf8(pattern)), QRegularExpression::MultilineOption).match(pages[0]).hasMatch())
                << pattern << " not in\n" << pages[0].toStdString();
        EXPECT_FALSE(dm.q19Repo.isActive());
        EXPECT_FALSE(dm.q20Repo.isActive());
        EXPECT_FALSE(dm.q23Jyouken.isActive());

        const QString path = out.filePath(QString::fromUtf8(c.file));
        prompts.fileNames = {path};
        w->exportAction()->trigger();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        // The title, the range of the last run, an empty line, the heading rows, the lines.
        const QList<QByteArray> lines = file.readAll().split('\n');
        const int expectedLines = c.level == w->accountLevel() ? 3 + 2 + 5 : 3 + 2 + 8;
        EXPECT_EQ(lines.size(), expectedLines + 1);
        EXPECT_EQ(lines[0], csv::toCodePage932(QString::fromUtf8(c.file).chopped(4)).bytes + "\r");
        EXPECT_EQ(lines[1], csv::toCodePage932(QStringLiteral("集計条件：2010/05/01～2010/05/31")).bytes + "\r");
    }
    w->close();
}

// The printed totals line is the window's, cell for cell, in both views: also where an account
// carries a negative total, as the capital does after the closing transfers wrote it back.
TEST_F(AggregateWindow, EveryPrintedTotalIsTheTotalTheWindowShows)
{
    addSumRows(db(), QStringLiteral("Sum01"), {
        {"", "1111", 1000000, 300000, 0, 0},
        {"", "1503", 100000, -873423, 0, 0},
        {"", "0111", 0, 1700000, 0, 0},
        {"", "0411", 1000000, 0, 0, 0},
    });
    addSumRows(db(), QStringLiteral("Sum02"), {{"", "041101", 600000, 0, 0, 0}});
    auto w = shownWindow();
    QTemporaryDir out;
    for (QRadioButton* level : {w->accountLevel(), w->subAccountLevel()}) {
        SCOPED_TRACE(level->text().toStdString());
        showLevel(*w, level);
        prompts.reportPdfPath = out.filePath(level->text() + QStringLiteral(".pdf"));
        w->reportAction()->trigger();
        ASSERT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty());
        const QStringList pages = pdfPages(prompts.reportPdfPath);
        ASSERT_EQ(pages.size(), 1);
        const QStringList shownTotals = totalsLineShown(*w->grid());
        EXPECT_EQ(shownTotals, (QStringList{"計", "2,100,000", "1,126,577", "2,673,423", "1,700,000"}));
        EXPECT_EQ(lineStartingWith(pages[0], QStringLiteral("計")).simplified(), shownTotals.join(u' ')) << pages[0].toStdString();
    }
    w->close();
}

// Ten years of a whole chart: eight-digit totals widen the amount columns, and the window
// grows with them so that the last column shows whole beside the scroll bar in both views.
TEST_F(AggregateWindow, TheLastColumnShowsWholeBesideTheScrollBar)
{
    std::vector<YearRow> accounts, subAccounts;
    {
        Statement codes = db().prepare(QStringLiteral("SELECT code FROM Kamoku WHERE code <> '2111' ORDER BY code"));
        while (codes.step())
            accounts.push_back({"", codes.column(0).toString(), 98765432, 12345678, 0, 0});
        Statement subCodes = db().prepare(QStringLiteral("SELECT code FROM Kamoku02 ORDER BY code"));
        while (subCodes.step())
            subAccounts.push_back({"", subCodes.column(0).toString(), 1234567, 87654321, 0, 0});
    }
    ASSERT_GT(accounts.size(), 60u);
    addSumRows(db(), QStringLiteral("Sum01"), accounts);
    addSumRows(db(), QStringLiteral("Sum02"), subAccounts);

    auto w = shownWindow();
    w->resize(800, w->height());  // as the closing menu opens it
    for (QRadioButton* level : {w->accountLevel(), w->subAccountLevel()}) {
        SCOPED_TRACE(level->text().toStdString());
        showLevel(*w, level);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->grid()->verticalScrollBar()->isVisible(); }));
        EXPECT_GE(w->width(), 800);
        EXPECT_EQ(pixelsOfColumnsCut(*w->grid()), 0) << w->width();
        EXPECT_FALSE(w->grid()->horizontalScrollBar()->isVisible());
    }
    w->close();
}
