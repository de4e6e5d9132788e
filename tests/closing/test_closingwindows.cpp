#include "app/tmenu.h"
#include "app/windows.h"
#include "closing/tfkessan.h"
#include "closing/tfkishu.h"
#include "closing/tfshisanh.h"
#include "closing/yearend.h"
#include "db/database.h"
#include "db/outputfile.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "reports/csvwriter.h"
#include "tests/closing/closingfixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/reports/pdftext.h"
#include "tests/support/helpshown.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "tests/support/gridview.h"
#include "ui/gridcells.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

// The worked year of the closing: cash 400,000 on the debit side, the capital 300,000 brought
// forward, sales 250,000 and food 150,000, a profit of 100,000.
void addYearOfJournal(const QString& folder)
{
    addEntries(folder, {
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 300000, .rcode = "2111", .rgaku = 300000, .syori = 21},
        {.day = "2010-04-01", .lcode = "2111", .lgaku = 300000, .rcode = "1503", .rgaku = 300000, .syori = 21},
        {.day = "2010-05-01", .lcode = "1111", .lgaku = 250000, .rcode = "0111", .rgaku = 250000},
        {.day = "2010-06-01", .lcode = "0411", .lgaku = 150000, .rcode = "1111", .rgaku = 150000},
    });
}

class ClosingWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.dataFolder = folder.path();
        state.periodStart = kYear2010.start;
        state.periodEnd = kYear2010.end;
        dm.DataModuleCreate(folder.path());
    }
    void TearDown() override
    {
        dm.closeAll();
        expectNoWindowLeftOpen();
    }

    Database& db() { return *Database::forFolder(folder.path()); }

    qint64 count(const QString& sql)
    {
        Statement s = db().prepare(sql);
        s.step();
        return s.columnInt(0);
    }

    // The texts of every cell of the grid, the two heading rows first.
    static QList<QStringList> shown(const TfShisanH& window)
    {
        const QAbstractItemModel* model = window.grid()->model();
        QList<QStringList> rows;
        QStringList titles;
        for (int column = 0; column < model->columnCount(); ++column)
            titles << model->headerData(column, Qt::Horizontal).toString();
        rows << window.header()->groups() << titles;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model->columnCount(); ++column)
                cells << model->index(row, column).data().toString();
            rows << cells;
        }
        return rows;
    }

    // A trial balance or worksheet window of the aggregated year, shown.
    std::unique_ptr<TfShisanH> shownView(const char* caption)
    {
        addYearOfJournal(folder.path());
        (void)aggregateYearEnd(db(), kYear2010);
        auto window = std::make_unique<TfShisanH>(dm);
        window->setWindowTitle(QString::fromUtf8(caption));
        window->show();
        return window;
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
    ScriptedPrompter prompts;
};

const QList<QStringList> kTrialBalance = {
    {"", "", "", "合計試算表", "合計試算表", "残高試算表", "残高試算表"},
    {"NO", "code", "勘定", "借方", "貸方", "借方", "貸方"},
    {"1", "0111", "売上高", "", "250,000", "", "250,000"},
    {"2", "0411", "食費", "150,000", "", "150,000", ""},
    {"3", "1111", "現金", "550,000", "150,000", "400,000", ""},
    {"4", "1503", "元入金", "", "300,000", "", "300,000"},
    {"", "", "計", "700,000", "700,000", "550,000", "550,000"},
};

const QList<QStringList> kWorksheet = {
    {"", "", "", "残高試算表", "残高試算表", "整理記入", "整理記入", "損益計算書", "損益計算書", "貸借対照表", "貸借対照表"},
    {"NO", "code", "勘定", "借方", "貸方", "借方", "貸方", "借方", "貸方", "借方", "貸方"},
    {"1", "0111", "売上高", "", "250,000", "", "", "", "250,000", "", ""},
    {"2", "0411", "食費", "150,000", "", "", "", "150,000", "", "", ""},
    {"3", "1111", "現金", "400,000", "", "", "", "", "", "400,000", ""},
    {"4", "1503", "元入金", "", "300,000", "", "", "", "", "", "300,000"},
    {"5", "", "利益", "", "", "", "", "100,000", "", "", "100,000"},
    {"", "", "計", "550,000", "550,000", "0", "0", "250,000", "250,000", "400,000", "400,000"},
};

} // namespace

TEST_F(ClosingWindows, TheMenuShowsThePeriodTheStepsAndItsCommands)
{
    TfKessan menu(dm);
    menu.show();
    EXPECT_EQ(menu.windowTitle(), QStringLiteral("決算処理ﾒﾆｭｰ"));
    EXPECT_EQ(menu.periodText(), QStringLiteral("2010/04/01～2011/03/31"));
    QStringList steps;
    for (int i = 1; i <= 6; ++i)
        steps << menu.findChild<QLabel*>(QStringLiteral("Step%1").arg(i))->text();
    EXPECT_EQ(steps, (QStringList{"①科目毎の集計を行う。-------------", "②試算表で誤りがないか確認する。---",
                                  "③決算整理を行う。", "④決算整理の確認を行う。-----------",
                                  "⑤貸借対象表・損益計算書等の作成", "⑥決算振替を行う。-----------------"}));
    EXPECT_EQ(menu.aggregationButton()->text(), QStringLiteral("決算の集計処理"));
    EXPECT_EQ(menu.trialBalanceButton()->text(), QStringLiteral("試算表の表示"));
    EXPECT_EQ(menu.worksheetButton()->text(), QStringLiteral("精算表の表示"));
    EXPECT_EQ(menu.transfersButton()->text(), QStringLiteral("決算振替処理"));
    // No period aggregation window is registered in this test.
    EXPECT_EQ(menu.periodAggregationButton()->text(), QStringLiteral("科目・細目集計"));
    EXPECT_FALSE(menu.periodAggregationButton()->isEnabled());

    // The page in the program's own help window, without a question.
    menu.helpAction()->trigger();
    EXPECT_TRUE(prompts.openedUrls.empty());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(tolva::testing::shownHelpPage(&menu).endsWith(QStringLiteral("help/TfKessan.html")));
    menu.close();
}

TEST_F(ClosingWindows, TheAggregationRunsOnlyOnYesAndSaysWhenItHasEnded)
{
    addYearOfJournal(folder.path());
    TfKessan menu(dm);
    menu.show();

    prompts.answers = {false};
    QTest::mouseClick(menu.aggregationButton(), Qt::LeftButton);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shisanH")), 0);
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Question), QStringList{"年度決算の集計処理をしますか？"});
    EXPECT_EQ(prompts.messages[0].questionKind, Prompter::QuestionKind::Warning);
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Information).isEmpty());

    prompts.answers = {true};
    QTest::mouseClick(menu.aggregationButton(), Qt::LeftButton);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shisanH WHERE nendo='10'")), 5);
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Information), QStringList{"集計が終了しました。"});
    menu.close();
}

TEST_F(ClosingWindows, TheMenuOpensEachViewWithItsCaptionAndWidthAfterAsking)
{
    addYearOfJournal(folder.path());
    (void)aggregateYearEnd(db(), kYear2010);
    TfKessan menu(dm);
    menu.show();

    struct Case {
        QPushButton* button;
        QString question;
        QString caption;
        int width;
        QList<QStringList> rows;
    };
    const Case cases[] = {
        {menu.trialBalanceButton(), "試算表を表示しますか？", "試算表", 528, kTrialBalance},
        {menu.worksheetButton(), "精算表を表示しますか？", "精算表", 812, kWorksheet},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        prompts.answers = {true};
        QString caption;
        int width = 0;
        QList<QStringList> rows;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* view = qobject_cast<TfShisanH*>(w); view && view->isVisible()) {
                    caption = view->windowTitle();
                    width = view->width();
                    rows = shown(*view);
                    view->close();
                }
            }
        });
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Question), QStringList{c.question});
        EXPECT_EQ(prompts.messages[0].questionKind, Prompter::QuestionKind::Warning);
        EXPECT_EQ(caption, c.caption);
        // The width asked for, or wider where the columns and the scroll bar need it.
        EXPECT_GE(width, c.width);
        EXPECT_LE(width, c.width + 40);
        EXPECT_EQ(rows, c.rows) << c.caption.toStdString();
    }

    // No opens nothing.
    prompts.answers = {false};
    bool opened = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* view = qobject_cast<TfShisanH*>(w); view && view->isVisible()) {
                opened = true;
                view->close();
            }
        }
    });
    QTest::mouseClick(menu.worksheetButton(), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty());
    menu.close();
}

TEST_F(ClosingWindows, TheClosingTransfersWriteTheirOwnModesAndACopyOfTheBooksWithoutAWord)
{
    addYearOfJournal(folder.path());
    (void)aggregateYearEnd(db(), kYear2010);
    // The journal window was last left giving new rows the mode of closing adjustments.
    state.entryMode = code(ProcessingMode::ClosingAdjustment);
    TfKessan menu(dm);
    menu.show();

    QTest::mouseClick(menu.transfersButton(), Qt::LeftButton);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori=41 AND sDay='2011-03-31'")), 3);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori=51 AND sDay='2011-03-31'")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori=21 AND sDay='2011-04-01'")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori=31")), 0);
    const QDir backups(QDir(folder.path()).filePath(QStringLiteral("backup")));
    EXPECT_EQ(backups.entryList({QStringLiteral("tolva-*.sqlite")}, QDir::Files).size(), 1);

    // Again: the same rows, not twice as many.
    QTest::mouseClick(menu.transfersButton(), Qt::LeftButton);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake")), 4 + 7);
    EXPECT_GE(backups.entryList({QStringLiteral("tolva-*.sqlite")}, QDir::Files).size(), 1);

    // A chart without the profit-and-loss account: the user is told, the journal stays.
    db().exec(QStringLiteral("DELETE FROM Kamoku WHERE code='4111'"));
    QTest::mouseClick(menu.transfersButton(), Qt::LeftButton);
    const QStringList told = prompts.texts(ScriptedPrompter::Message::Information);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("科目 4111"))) << told[0].toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake")), 4 + 7);
    menu.close();
}

TEST_F(ClosingWindows, TheGridDrawsTwoHeadingRowsLowRowsAndItsAlignments)
{
    auto window = shownView("精算表");
    EXPECT_EQ(window->view(), ClosingView::Worksheet);
    EXPECT_EQ(window->periodText(), QStringLiteral("対象期間：2010/04/01～2011/03/31"));

    // The group titles span their two columns: one cell over 借方 and 貸方.
    GroupedHeaderView* header = window->header();
    EXPECT_EQ(header->groupRect(3), header->groupRect(4));
    EXPECT_EQ(header->groupRect(3).width(), window->grid()->columnWidth(3) + window->grid()->columnWidth(4));
    EXPECT_NE(header->groupRect(4), header->groupRect(5));
    EXPECT_EQ(header->groupRect(0).width(), window->grid()->columnWidth(0));
    EXPECT_GE(header->height(), 2 * header->fontMetrics().height());

    // Rows at six tenths of the usual height, as long as the text fits.
    const int usual = QTableView().verticalHeader()->defaultSectionSize();
    const int expected = qMax(qRound(0.6 * usual), window->grid()->fontMetrics().height() + 3);
    EXPECT_EQ(window->grid()->rowHeight(0), expected);

    const QAbstractItemModel* model = window->grid()->model();
    const Qt::Alignment left = Qt::AlignLeft, right = Qt::AlignRight, centre = Qt::AlignHCenter;
    const Qt::Alignment alignments[] = {centre, centre, left, right, right, right, right, right, right, right, right};
    for (int column = 0; column < 11; ++column)
        EXPECT_EQ(Qt::Alignment(model->index(0, column).data(Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask,
                  alignments[column])
            << column;
    // The columns keep their design widths.
    EXPECT_EQ(window->grid()->columnWidth(2), 150);
    EXPECT_EQ(window->grid()->columnWidth(7), 70);
    window->close();
}

TEST_F(ClosingWindows, TheReportsPrintTheGridAsShown)
{
    db().exec(QStringLiteral("DELETE FROM RepoJyoken"));
    QTemporaryDir pdfs;
    struct Case {
        const char* caption;
        QString report;
        QString table;
        int rows;
        QString pageSize;
        QStringList lines;  // patterns of lines of the page
    };
    const Case cases[] = {
        {"試算表", "TlRepo01", "Repo01", 4, "595", {R"(^\s*合計残高試算表\s*$)", R"(売上高\s+250,000\s+250,000\s*$)",
                                                     R"(現金\s+550,000\s+150,000\s+400,000\s*$)",
                                                     R"(計\s+700,000\s+700,000\s+550,000\s+550,000\s*$)"}},
        {"精算表", "TlRepo02", "Repo02", 5, "842", {R"(^\s*精算表\s*$)", R"(現金\s+400,000\s+400,000\s*$)",
                                                   R"(利益\s+100,000\s+100,000\s*$)",
                                                   R"(計\s+550,000\s+550,000\s+0\s+0\s+250,000\s+250,000\s+400,000\s+400,000\s*$)"}},
    };
    bool first = true;
    for (const Case& c : cases) {
        auto window = first ? shownView(c.caption) : std::make_unique<TfShisanH>(dm);
        if (!first) {
            window->setWindowTitle(QString::fromUtf8(c.caption));
            window->show();
        }
        first = false;
        prompts.reportPdfPath = pdfs.filePath(c.report + QStringLiteral(".pdf"));
        window->reportAction()->trigger();
        window->reportAction()->trigger();
        ASSERT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty())
            << prompts.texts(ScriptedPrompter::Message::Error).join(u'\n').toStdString();
        EXPECT_EQ(prompts.previewedReports.last(), c.report);
        // Saved as a PDF, it is proposed in the documents folder under what it holds and its year.
        EXPECT_EQ(QFileInfo(prompts.proposedPdfPaths.last()).fileName(),
                  QString::fromUtf8(c.caption == std::string("試算表") ? "合計残高試算表_2010.pdf" : "精算表_2010.pdf"));
        EXPECT_EQ(QFileInfo(prompts.proposedPdfPaths.last()).absolutePath(), QFileInfo(outputfile::userFilesFolder()).absoluteFilePath());
        // Twice run, the work table holds the rows once; the header row is made once.
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM ") + c.table), c.rows);
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM RepoJyoken WHERE no=1")), 1);
        const QStringList pages = pdfPages(prompts.reportPdfPath);
        ASSERT_EQ(pages.size(), 1) << c.caption;
        EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("期間：2010/ 04/ 01～2011/ 03/ 31"))));
        EXPECT_TRUE(pages[0].contains(QString(QStringLiteral("作成日：") + textformat::reportDate(QDate::currentDate()))));
        for (const QString& pattern : c.lines)
            EXPECT_TRUE(QRegularExpression(pattern, QRegularExpression::MultilineOption).match(pages[0]).hasMatch())
                << pattern.toStdString() << " not in\n" << pages[0].toStdString();
        EXPECT_TRUE(pdfPageSize(prompts.reportPdfPath).startsWith(c.pageSize)) << pdfPageSize(prompts.reportPdfPath).toStdString();
        // The shared queries are left closed.
        EXPECT_FALSE(dm.q19Repo.isActive());
        EXPECT_FALSE(dm.q20Repo.isActive());
        EXPECT_FALSE(dm.q23Jyouken.isActive());
        window->close();
    }
    // An empty amount cell is an empty field, not 0; a shown 0 is 0.
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Repo02 WHERE kamoku='利益' AND L3=1000000000 AND R4=1000000000"
                                   " AND L1 IS NULL AND R1 IS NULL AND R3 IS NULL AND L4 IS NULL")),
              1);
}

// The printed totals line is the window's, cell for cell, also where an account carries a
// negative total (the capital credited back by last year's closing transfers).
TEST_F(ClosingWindows, EveryPrintedTotalIsTheTotalTheWindowShows)
{
    addYearRows(folder.path(), {
        {"10", "1111", 2135341, 1161234, 0, 0},
        {"10", "1503", 873423, -873423, 0, 0},
        {"10", "0111", 0, 1974107, 0, 0},
        {"10", "0411", 1161234, 0, 0, 12000},
        {"10", "1112", 0, 0, 12000, 0},
    });
    QTemporaryDir pdfs;
    for (const char* caption : {"試算表", "精算表"}) {
        SCOPED_TRACE(caption);
        TfShisanH window(dm);
        window.setWindowTitle(QString::fromUtf8(caption));
        window.show();
        prompts.reportPdfPath = pdfs.filePath(QString::fromUtf8(caption) + QStringLiteral(".pdf"));
        window.reportAction()->trigger();
        ASSERT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty());
        const QStringList pages = pdfPages(prompts.reportPdfPath);
        ASSERT_EQ(pages.size(), 1);
        const QString printed = lineStartingWith(pages[0], QStringLiteral("計")).simplified();
        EXPECT_EQ(printed, totalsLineShown(*window.grid()).join(u' ')) << pages[0].toStdString();
        window.close();
    }
}

// With every account of the chart listed the grid scrolls, and its bar covers none of the last
// column: the window is as wide as its columns and the bar need, at the width the menu gives
// it or wider.
TEST_F(ClosingWindows, TheLastColumnShowsWholeBesideTheScrollBar)
{
    std::vector<YearRow> year;
    {
        Statement accounts = db().prepare(QStringLiteral("SELECT code FROM Kamoku WHERE code <> '2111' ORDER BY code"));
        while (accounts.step())
            year.push_back({"10", accounts.column(0).toString(), 12345678, 1161234, 2000000, 0});
    }
    ASSERT_GT(year.size(), 60u);
    addYearRows(folder.path(), year);
    struct Case {
        const char* caption;
        int width;  // as the closing menu opens the view
    };
    for (const Case& c : {Case{"試算表", 528}, Case{"精算表", 812}}) {
        SCOPED_TRACE(c.caption);
        TfShisanH window(dm);
        window.setWindowTitle(QString::fromUtf8(c.caption));
        window.resize(c.width, window.height());
        window.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.grid()->verticalScrollBar()->isVisible(); }));
        EXPECT_GE(window.width(), c.width);
        EXPECT_EQ(pixelsOfColumnsCut(*window.grid()), 0) << window.width();
        EXPECT_FALSE(window.grid()->horizontalScrollBar()->isVisible());
        window.close();
    }
}

TEST_F(ClosingWindows, AReportWhoseWorkTableCannotBeWrittenIsNotRunAndLeavesTheLastOne)
{
    auto window = shownView("精算表");
    window->reportAction()->trigger();
    ASSERT_EQ(prompts.previewedReports.size(), 1);
    const qint64 rows = count(QStringLiteral("SELECT count(*) FROM Repo02"));
    db().exec(QStringLiteral("UPDATE RepoJyoken SET Name01='前の条件' WHERE no=1"));
    // The store refuses the result line, after the table was emptied and the accounts written.
    db().exec(QStringLiteral("CREATE TEMP TRIGGER refuse AFTER INSERT ON main.Repo02 WHEN NEW.kamoku='利益'"
                             " BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    window->reportAction()->trigger();
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Error).size(), 1);
    EXPECT_EQ(prompts.previewedReports.size(), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM Repo02")), rows);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM RepoJyoken WHERE Name01='前の条件'")), 1);
    db().exec(QStringLiteral("DROP TRIGGER temp.refuse"));
    window->close();
}

TEST_F(ClosingWindows, TheFilesHoldTheGridInCodePage932WithCrLf)
{
    QTemporaryDir dir;
    struct Case {
        const char* caption;
        QString proposed;
        QStringList lines;
    };
    const Case cases[] = {
        {"試算表", "合計残高試算表.csv",
         {"合計残高試算表", "\"期間：2010/ 04/ 01～2011/ 03/ 31\"", "", ",,,合計試算表,合計試算表,残高試算表,残高試算表",
          "NO,code,勘定,借方,貸方,借方,貸方", "1,0111,売上高,,\"250,000\",,\"250,000\"",
          "2,0411,食費,\"150,000\",,\"150,000\",", "3,1111,現金,\"550,000\",\"150,000\",\"400,000\",",
          "4,1503,元入金,,\"300,000\",,\"300,000\"", ",,計,\"700,000\",\"700,000\",\"550,000\",\"550,000\""}},
        {"精算表", "精算表.csv",
         {"精算表", "\"期間：2010/ 04/ 01～2011/ 03/ 31\"", "",
          ",,,残高試算表,残高試算表,整理記入,整理記入,損益計算書,損益計算書,貸借対照表,貸借対照表",
          "NO,code,勘定,借方,貸方,借方,貸方,借方,貸方,借方,貸方", "1,0111,売上高,,\"250,000\",,,,\"250,000\",,",
          "2,0411,食費,\"150,000\",,,,\"150,000\",,,", "3,1111,現金,\"400,000\",,,,,,\"400,000\",",
          "4,1503,元入金,,\"300,000\",,,,,,\"300,000\"", "5,,利益,,,,,\"100,000\",,,\"100,000\"",
          ",,計,\"550,000\",\"550,000\",0,0,\"250,000\",\"250,000\",\"400,000\",\"400,000\""}},
    };
    bool first = true;
    for (const Case& c : cases) {
        auto window = first ? shownView(c.caption) : std::make_unique<TfShisanH>(dm);
        if (!first) {
            window->setWindowTitle(QString::fromUtf8(c.caption));
            window->show();
        }
        first = false;
        const QString path = dir.filePath(c.proposed);
        prompts.fileNames = {path};
        window->exportAction()->trigger();
        // Proposed in the documents folder, never beside the books, named with the year.
        EXPECT_EQ(prompts.proposedPaths.last(),
                  QDir(outputfile::userFilesFolder()).filePath(QFileInfo(c.proposed).completeBaseName() + QStringLiteral("_2010.csv")));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.caption;
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(bytes, csv::toCodePage932(c.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).bytes) << c.caption;
        // Code page 932 itself, not a conversion of the test's making: the title and the wave
        // dash. The period line holds blanks, so the writer quotes it as it quotes any cell.
        EXPECT_TRUE(bytes.startsWith(c.proposed.startsWith(u'精') ? QByteArray("\x90\xb8\x8e\x5a\x95\x5c\r\n")
                                                                 : QByteArray("\x8d\x87\x8c\x76\x8e\x63")));
        EXPECT_TRUE(bytes.contains(QByteArray("01\x81\x60" "2011")));
        window->close();
    }
    // Cancelling the dialog writes nothing.
    auto window = std::make_unique<TfShisanH>(dm);
    window->setWindowTitle(QStringLiteral("試算表"));
    window->show();
    prompts.fileNames = {std::nullopt};
    window->exportAction()->trigger();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    // A name that is the books' own file: refused before anything is written.
    const QString books = folder.file(QString::fromLatin1(Database::kFileName));
    const QString state = integrityCheck(db()) + QString::number(count(QStringLiteral("SELECT count(*) FROM shiwake")));
    QFile original(books);
    const qint64 size = original.size();
    prompts.messages.clear();
    prompts.fileNames = {books};
    window->exportAction()->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("帳簿を守るため"))) << prompts.messages[0].text.toStdString();
    EXPECT_EQ(original.size(), size);
    EXPECT_EQ(integrityCheck(db()) + QString::number(count(QStringLiteral("SELECT count(*) FROM shiwake"))), state);
    window->close();
}

TEST_F(ClosingWindows, EachViewHasItsOwnHelpPage)
{
    QStringList pages;
    for (const char* caption : {"試算表", "精算表"}) {
        TfShisanH window(dm);
        window.setWindowTitle(QString::fromUtf8(caption));
        window.show();
        window.helpAction()->trigger();
        pages << tolva::testing::shownHelpPage(&window);
        window.close();
    }
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[0].endsWith(QStringLiteral("help/TfShisanH_TrialBalance.html")));
    EXPECT_TRUE(pages[1].endsWith(QStringLiteral("help/TfShisanH_Worksheet.html")));
    EXPECT_TRUE(prompts.openedUrls.empty());
}

TEST(ClosingMenuFromMainWindow, TheButtonOpensTheClosingMenu)
{
    TestDataFolder folder;
    ScriptedPrompter prompts;
    registerWindows();
    TMenu menu(folder.path());
    Tdm01Keiri dm(programState());
    dm.DataModuleCreate(folder.path());
    menu.setDataModule(dm);
    menu.show();
    QPushButton* button = menu.button(TMenu::Window::Closing);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    QString caption;
    QString period;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* kessan = qobject_cast<TfKessan*>(w); kessan && kessan->isVisible()) {
                caption = kessan->windowTitle();
                period = kessan->periodText();
                kessan->close();
            }
        }
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(caption, QStringLiteral("決算処理ﾒﾆｭｰ"));
    EXPECT_EQ(period, menu.periodText());
    EXPECT_TRUE(prompts.messages.empty());
    menu.close();
    dm.closeAll();
    expectNoWindowLeftOpen();
}

TEST_F(ClosingWindows, OpeningBalancesTypedInTheirWindowBalanceTheTrialBalance)
{
    // A new user's first day: cash and the bank entered against 前期繰越, as the lists offer.
    addEntries(folder.path(), {
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 96880, .rcode = "2111", .rgaku = 96880},
        {.day = "2010-04-01", .lcode = "1112", .lgaku = 900000, .rcode = "2111", .rgaku = 900000},
        {.day = "2010-04-02", .lcode = "0411", .lgaku = 1000, .rcode = "1111", .rgaku = 1000},
    });
    auto trialBalance = [&] {
        (void)aggregateYearEnd(db(), kYear2010);
        auto window = std::make_unique<TfShisanH>(dm);
        window->setWindowTitle(QStringLiteral("試算表"));
        window->show();
        return window;
    };
    {
        auto view = trialBalance();
        // 2111 is not shown, so the columns differ; the window says why and what to do.
        ASSERT_TRUE(view->notice()->isVisible());
        EXPECT_TRUE(view->notice()->text().contains(QStringLiteral("996,880 円")));
        EXPECT_TRUE(view->notice()->text().contains(QStringLiteral("「期首残高の入力」")));
        view->close();
    }

    TfKishu window(dm);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTableWidget* grid = window.grid();
    auto rowOf = [&](const QString& code) {
        for (int row = 0; row < grid->rowCount(); ++row)
            if (grid->item(row, 0)->text() == code)
                return row;
        return -1;
    };
    ASSERT_GE(rowOf(QStringLiteral("1111")), 0);
    EXPECT_EQ(grid->item(rowOf(QStringLiteral("1111")), TfKishu::kAmountColumn)->text(), QStringLiteral("96,880"));
    EXPECT_EQ(grid->item(rowOf(QStringLiteral("1112")), TfKishu::kAmountColumn)->text(), QStringLiteral("900,000"));
    EXPECT_EQ(rowOf(QStringLiteral("1503")), -1) << "the capital is computed, never typed";
    EXPECT_EQ(rowOf(QStringLiteral("2111")), -1);
    EXPECT_EQ(window.capitalLabel()->text(), QStringLiteral("元入金 996,880"));

    // The card's debt typed into its cell as a user does: a click, the digits, Enter.
    const int card = rowOf(QStringLiteral("1313"));
    ASSERT_GE(card, 0);
    const QModelIndex cell = grid->model()->index(card, TfKishu::kAmountColumn);
    grid->scrollTo(cell);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("50000"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    // The view takes what was typed once the key has been handled.
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->item(card, TfKishu::kAmountColumn)->text() == QStringLiteral("50,000"); }));
    EXPECT_EQ(window.capitalLabel()->text(), QStringLiteral("元入金 946,880"));

    // Closing with it unsaved asks; キャンセル stays.
    prompts.choices = {Prompter::Answer::Cancel};
    QTest::mouseClick(window.closeButton(), Qt::LeftButton);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Question).last(), QStringLiteral("保存しますか？"));

    prompts.answers = {true};
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Question).last().contains(QStringLiteral("2 件")));
    EXPECT_FALSE(window.hasUnsavedChanges());
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake WHERE sDay = '2010-04-01' AND syori = 21")), 4);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shiwake WHERE sDay = '2010-04-01' AND syori = 10")), 0);
    // Nothing unsaved: closing asks nothing.
    const std::size_t asked = prompts.messages.size();
    QTest::mouseClick(window.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(prompts.messages.size(), asked);

    auto view = trialBalance();
    EXPECT_FALSE(view->notice()->isVisible());
    const QAbstractItemModel* model = view->grid()->model();
    const int totals = model->rowCount() - 1;
    EXPECT_EQ(model->index(totals, 3).data().toString(), model->index(totals, 4).data().toString());
    EXPECT_EQ(model->index(totals, 5).data().toString(), model->index(totals, 6).data().toString());
    view->close();
}
