#include "app/tmenu.h"
#include "app/windows.h"
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "ledger/tfm04motocho.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/helpshown.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QStringDecoder>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::addEntries;
using tolva::testing::ScriptedPrompter;
using tolva::testing::TestDataFolder;

namespace {

class LedgerWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        programState().dataFolder = folder.path();
        programState().periodStart = QDate(2010, 4, 1);
        programState().periodEnd = QDate(2011, 3, 31);
        dm.DataModuleCreate(folder.path());
        window = std::make_unique<Tfm04Motocho>(dm);
    }
    void TearDown() override
    {
        window.reset();
        dm.closeAll();
        tolva::testing::expectNoWindowLeftOpen();
    }

    // Chooses the entry that begins with `code`, as a user picking it from the list.
    static void choose(QComboBox* list, const QString& code)
    {
        for (int i = 0; i < list->count(); ++i) {
            if (list->itemText(i).startsWith(code + u' ') || list->itemText(i).left(2) == code) {
                list->setCurrentIndex(i);
                return;
            }
        }
        FAIL() << "no entry " << code.toStdString();
    }
    static QStringList items(const QComboBox* list)
    {
        QStringList result;
        for (int i = 0; i < list->count(); ++i)
            result << list->itemText(i);
        return result;
    }
    QString cell(int column, int row) const
    {
        const QAbstractItemModel* model = window->grid()->model();
        return model->data(model->index(row, column)).toString();
    }
    QStringList gridColumn(int column) const
    {
        QStringList result;
        for (int row = 0; row < window->grid()->model()->rowCount(); ++row)
            result << cell(column, row);
        return result;
    }
    // Shows the ledger of a sub-account, an account or a category, as chosen by the codes.
    void showLedger(const QString& category, const QString& account = {}, const QString& subAccount = {})
    {
        choose(window->categoryList(), category);
        window->accountCheck()->setChecked(!account.isEmpty());
        if (!account.isEmpty())
            choose(window->accountList(), account);
        window->subAccountCheck()->setChecked(!subAccount.isEmpty());
        if (!subAccount.isEmpty())
            choose(window->subAccountList(), subAccount);
        window->showButton()->click();
    }
    void addSalaryAndBills()
    {
        addEntries(folder.path(), {
            {.day = "2010-04-01", .lcode = "1111", .lgaku = 30000, .rcode = "1112", .rgaku = 30000, .rscode = "111201"},
            {.day = "2010-04-25", .lcode = "1112", .lgaku = 250000, .rcode = "0211", .rgaku = 250000, .memo = "4月分",
             .lscode = "111201"},
            {.day = "2010-04-27", .lcode = "0414", .lgaku = 5200, .rcode = "1112", .rgaku = 5200, .memo = "電気 \"4月\"",
             .lscode = "041401", .rscode = "111201", .kubun = "0102"},
            {.day = "2010-05-10", .lcode = "1112", .lgaku = 1000, .rcode = "0214", .rgaku = 1000, .lscode = "111202"},
        });
    }

    TestDataFolder folder;
    Tdm01Keiri dm{programState()};
    ScriptedPrompter prompts;
    std::unique_ptr<Tfm04Motocho> window;
    QTemporaryDir out;
};

} // namespace

TEST_F(LedgerWindow, OpensOnThePeriodWithTheCategoriesAndAnEmptyGrid)
{
    window->show();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("元帳"));
    EXPECT_EQ(window->startPicker()->date(), QDate(2010, 4, 1));
    EXPECT_EQ(window->endPicker()->date(), QDate(2011, 3, 31));

    // The category's own code, a blank and the name, never the code of an account ("1111"
    // with its BP and LR behind it); nothing chosen.
    const QStringList categories = items(window->categoryList());
    ASSERT_EQ(categories.size(), 12);
    EXPECT_EQ(categories[0], QStringLiteral("01 収益"));
    EXPECT_EQ(categories[4], QStringLiteral("11 流動資産"));
    EXPECT_EQ(categories[9], QStringLiteral("21 前期繰越"));
    EXPECT_EQ(window->categoryList()->currentIndex(), -1);
    EXPECT_FALSE(window->accountCheck()->isChecked());
    EXPECT_FALSE(window->accountList()->isVisible());
    EXPECT_FALSE(window->subAccountCheck()->isVisible());
    EXPECT_FALSE(window->subAccountList()->isVisible());

    // The heading row and one empty row, with the titles, widths and alignments of the grid.
    QTableView* grid = window->grid();
    ASSERT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(gridColumn(0), QStringList{QString()});
    const QStringList titles = {"日付", "摘要", "区分", "NO", "借方", "貸方", "BS", "残高"};
    const int widths[] = {70, 350, 40, 40, 70, 70, 30, 70};
    const Qt::Alignment horizontal[] = {Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter,
                                        Qt::AlignRight,   Qt::AlignRight, Qt::AlignHCenter, Qt::AlignRight};
    ASSERT_EQ(grid->model()->columnCount(), 8);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(grid->model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
        EXPECT_EQ(LedgerGridModel::alignment(c) & Qt::AlignHorizontal_Mask, horizontal[c]) << c;
    }
    QTableView plain;
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), qRound(0.7 * plain.verticalHeader()->defaultSectionSize()));
    EXPECT_TRUE(prompts.messages.empty());
    window->close();
}

TEST_F(LedgerWindow, TheListsFollowTheChoicesAndTheCheckBoxes)
{
    window->show();
    choose(window->categoryList(), QStringLiteral("11"));
    EXPECT_EQ(items(window->accountList()).mid(0, 2), (QStringList{"1111 現金", "1112 普通預金"}));
    EXPECT_EQ(window->accountList()->currentIndex(), -1);

    window->accountCheck()->click();
    EXPECT_TRUE(window->accountList()->isVisible());
    EXPECT_TRUE(window->subAccountCheck()->isVisible());
    EXPECT_FALSE(window->subAccountList()->isVisible());

    choose(window->accountList(), QStringLiteral("1112"));
    EXPECT_EQ(items(window->subAccountList()), (QStringList{"111201 メインバンク", "111202 給与振込口座", "111203 ゆうちょ銀行"}));
    EXPECT_EQ(window->subAccountList()->currentIndex(), -1);
    window->subAccountCheck()->click();
    EXPECT_TRUE(window->subAccountList()->isVisible());
    choose(window->subAccountList(), QStringLiteral("111202"));

    // Another category empties the accounts but leaves the sub-accounts and their choice.
    choose(window->categoryList(), QStringLiteral("13"));
    EXPECT_EQ(items(window->accountList()).first(), QStringLiteral("1311 買掛金"));
    EXPECT_EQ(window->accountList()->currentIndex(), -1);
    EXPECT_EQ(window->subAccountList()->currentText(), QStringLiteral("111202 給与振込口座"));

    // Unticking "科目" hides everything below it; "細目" keeps its tick, and its list comes
    // back with "科目".
    window->accountCheck()->click();
    EXPECT_FALSE(window->accountList()->isVisible());
    EXPECT_FALSE(window->subAccountCheck()->isVisible());
    EXPECT_FALSE(window->subAccountList()->isVisible());
    EXPECT_TRUE(window->subAccountCheck()->isChecked());
    window->accountCheck()->click();
    EXPECT_TRUE(window->subAccountList()->isVisible());
    window->subAccountCheck()->click();
    EXPECT_FALSE(window->subAccountList()->isVisible());
    EXPECT_TRUE(prompts.messages.empty());
    window->close();
}

TEST_F(LedgerWindow, TheCheckBoxesDecideTheKindOfLedger)
{
    addSalaryAndBills();
    window->show();
    choose(window->categoryList(), QStringLiteral("11"));
    choose(window->accountList(), QStringLiteral("1112"));
    choose(window->subAccountList(), QStringLiteral("111202"));

    struct Case {
        bool account;
        bool subAccount;
        QStringList numbers;
    };
    const Case cases[] = {
        {false, false, {"1", "2", "3", "4"}},  // category 11: row 1 has both sides in it
        {false, true, {"1", "2", "3", "4"}},   // still the category: "科目" is unticked
        {true, false, {"1", "2", "3", "4"}},   // account 1112
        {true, true, {"4"}},                   // sub-account 111202
    };
    for (const Case& c : cases) {
        window->accountCheck()->setChecked(c.account);
        window->subAccountCheck()->setChecked(c.subAccount);
        window->showButton()->click();
        EXPECT_EQ(gridColumn(3), c.numbers) << c.account << c.subAccount;
    }
    // A selection changed without "表示" leaves the grid as it was.
    choose(window->subAccountList(), QStringLiteral("111201"));
    EXPECT_EQ(gridColumn(3), QStringList{"4"});
    EXPECT_TRUE(prompts.messages.empty());
    window->close();
}

TEST_F(LedgerWindow, AnAmountTooWideForItsColumnWidensItUntilTheNextSmallerLedger)
{
    addEntries(folder.path(), {
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 999'999'999'999, .rcode = "0211", .rgaku = 999'999'999'999},
        {.day = "2010-04-02", .lcode = "1112", .lgaku = 1000, .rcode = "0211", .rgaku = 1000},
    });
    window->show();
    showLedger(QStringLiteral("11"), QStringLiteral("1111"));
    const QFontMetrics metrics(window->grid()->font());
    const int needed = metrics.horizontalAdvance(QStringLiteral("999,999,999,999"));
    EXPECT_GT(window->grid()->columnWidth(4), needed);
    EXPECT_GT(window->grid()->columnWidth(7), needed);
    EXPECT_EQ(window->grid()->columnWidth(5), 70);

    showLedger(QStringLiteral("11"), QStringLiteral("1112"));
    for (int c : {4, 5, 7})
        EXPECT_EQ(window->grid()->columnWidth(c), 70) << c;
    window->close();
}

TEST_F(LedgerWindow, EntryNumbersOfRealSizedBooksAreShownWhole)
{
    Database::forFolder(folder.path())->exec(QStringLiteral(
        "INSERT INTO shiwake (id, sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori) VALUES "
        "(88812, '2010-04-01', '11', '1111', 10000000, '02', '0211', 10000000, 10),"
        "(1234567, '2010-04-02', '11', '1111', 10000000, '02', '0211', 10000000, 10)"));
    window->show();
    showLedger(QStringLiteral("11"), QStringLiteral("1111"));
    ASSERT_EQ(gridColumn(3), (QStringList{"88812", "1234567"}));
    const QFontMetrics metrics(window->grid()->font());
    EXPECT_GT(window->grid()->columnWidth(3), metrics.horizontalAdvance(QStringLiteral("1234567")));
    window->close();
}

TEST_F(LedgerWindow, ANewLedgerStartsAtItsFirstLine)
{
    auto db = Database::forFolder(folder.path());
    {
        Transaction transaction(*db);
        for (int i = 0; i < 300; ++i)
            db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori) VALUES "
                                    "('2010-04-01', '11', '1111', 10000, '02', '0211', 10000, 10)"));
        transaction.commit();
    }
    window->resize(820, 400);
    window->show();
    showLedger(QStringLiteral("11"), QStringLiteral("1111"));
    QScrollBar* scroll = window->grid()->verticalScrollBar();
    window->grid()->scrollToBottom();
    ASSERT_GT(scroll->value(), 0);
    showLedger(QStringLiteral("02"), QStringLiteral("0211"));
    EXPECT_EQ(scroll->value(), 0);
    window->close();
}

TEST_F(LedgerWindow, ShowsASubAccountLedgerAndExportsItAsShiftJis)
{
    addSalaryAndBills();
    window->show();
    window->startPicker()->setDate(QDate(2010, 4, 1));
    window->endPicker()->setDate(QDate(2010, 4, 30));
    showLedger(QStringLiteral("11"), QStringLiteral("1112"), QStringLiteral("111201"));
    EXPECT_EQ(window->statusText(), QStringLiteral("  借方 : ￥250,000,  貸方 : ￥35,200,  残高 : ￥214,800"));

    // An existing file is replaced whole, and a name without extension keeps none.
    const QString path = QDir(out.path()).filePath(QStringLiteral("ledger"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x'));
    }
    prompts.fileNames = {path};
    window->exportAction()->trigger();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".csv")));
    // Proposed by what it holds and its period (the month shown), in the documents folder
    // rather than beside the books.
    EXPECT_EQ(QFileInfo(prompts.proposedPaths.last()).fileName(), QStringLiteral("元帳_111201_201004.csv"));
    EXPECT_NE(QFileInfo(prompts.proposedPaths.last()).absolutePath(), QFileInfo(folder.path()).absoluteFilePath());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // Title and period name what the grid shows: the sub-account and the range it was built for.
    const QString expected = QStringLiteral(
        "\"元帳 (流動資産 普通預金 メインバンク)\"\r\n"
        "\"期間：2010/ 04/ 01～2010/ 04/ 30\"\r\n"
        "\r\n"
        "日付,摘要,区分,NO,借方,貸方,BS,残高\r\n"
        "2010/04/01,\"流動資産 現金 \",,1,,\"30,000\",貸,\"30,000\"\r\n"
        "2010/04/25,\"家計収入 給与収入  (4月分)\",,2,\"250,000\",,借,\"220,000\"\r\n"
        "2010/04/27,\"家計費 水道光熱費（家計） 電気代 (電気 \"\"4月\"\")\",住まい,3,,\"5,200\",借,\"214,800\"\r\n");
    QStringDecoder decoder("windows-31j");
    EXPECT_EQ(QString(decoder.decode(bytes)), expected);
    EXPECT_FALSE(decoder.hasError());
    // Code page 932 bytes: 元帳 at the start, ～ as 0x8160, and every line ended by CR LF.
    EXPECT_TRUE(bytes.startsWith(QByteArray("\"\x8c\xb3\x92\xa0 (")));
    EXPECT_TRUE(bytes.contains(QByteArray("01\x81\x60" "2010")));
    EXPECT_EQ(bytes.count("\r\n"), 7);
    EXPECT_EQ(bytes.count('\n'), 7);
    window->close();
}

TEST_F(LedgerWindow, TheExportIsRefusedWhenThereIsNothingToNameOrWrite)
{
    addSalaryAndBills();
    window->show();
    const QString nothingShown = QStringLiteral(
        "出力対象が表示されていません。条件を指定して表示ﾎﾞﾀﾝで出力対象を表示してください。");
    struct Case {
        const char* what;
        std::function<void()> setUp;
        QString message;
    };
    const Case cases[] = {
        {"no ledger shown", [] {}, nothingShown},
        {"a range without rows",
         [&] {
             window->startPicker()->setDate(QDate(2012, 1, 1));
             window->endPicker()->setDate(QDate(2012, 12, 31));
             showLedger(QStringLiteral("11"), QStringLiteral("1112"));
             window->startPicker()->setDate(QDate(2010, 4, 1));
             window->endPicker()->setDate(QDate(2011, 3, 31));
         },
         nothingShown},
        {"the account list emptied by another category",
         [&] {
             showLedger(QStringLiteral("11"), QStringLiteral("1112"));
             choose(window->categoryList(), QStringLiteral("13"));
         },
         QStringLiteral("科目条件が指定されていません")},
        {"the sub-account list refilled by another account",
         [&] {
             showLedger(QStringLiteral("11"), QStringLiteral("1112"), QStringLiteral("111201"));
             choose(window->accountList(), QStringLiteral("1111"));
         },
         QStringLiteral("細目条件が指定されていません")},
        {"another account chosen after the ledger was shown",
         [&] {
             showLedger(QStringLiteral("11"), QStringLiteral("1112"));
             choose(window->accountList(), QStringLiteral("1111"));
         },
         QStringLiteral("表示されている元帳と条件が異なります。表示ﾎﾞﾀﾝで表示し直してから出力してください。")},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        c.setUp();
        // No file dialog is scripted: asking for a file name would fail the case.
        window->exportAction()->trigger();
        ASSERT_EQ(prompts.messages.size(), 1u) << c.what;
        EXPECT_EQ(prompts.messages[0].kind, ScriptedPrompter::Message::Information) << c.what;
        EXPECT_EQ(prompts.messages[0].text, c.message) << c.what;
    }

    // Cancelling the file dialog writes nothing and says nothing.
    prompts.messages.clear();
    showLedger(QStringLiteral("11"), QStringLiteral("1112"));
    prompts.fileNames = {std::nullopt};
    window->exportAction()->trigger();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    window->close();
}

TEST_F(LedgerWindow, ACharacterShiftJisCannotHoldIsWrittenAsAQuestionMarkAndTheLineIsNamed)
{
    addEntries(folder.path(), {
        {.day = "2010-04-02", .lcode = "0411", .lgaku = 800, .rcode = "1111", .rgaku = 800, .memo = "ランチ"},
        {.day = "2010-04-03", .lcode = "0411", .lgaku = 1200, .rcode = "1111", .rgaku = 1200, .memo = "ケーキ🎂"},
        {.day = "2010-04-04", .lcode = "0411", .lgaku = 300, .rcode = "1111", .rgaku = 300, .memo = "お茶〜"},
    });
    window->show();
    showLedger(QStringLiteral("11"), QStringLiteral("1111"));
    const QString path = QDir(out.path()).filePath(QStringLiteral("元帳.csv"));
    prompts.fileNames = {path};
    window->exportAction()->trigger();

    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("6 行目 (NO 2)"))) << prompts.messages[0].text.toStdString();
    EXPECT_FALSE(prompts.messages[0].text.contains(QStringLiteral("7 行目")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QStringDecoder("windows-31j").decode(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("(ケーキ?)")));
    // The wave dash of an input method is kept as the code page's own.
    EXPECT_TRUE(text.contains(QStringLiteral("(お茶～)")));
    window->close();
}

TEST_F(LedgerWindow, AFileThatCannotBeWrittenIsReportedAndNothingIsLeft)
{
    addSalaryAndBills();
    window->show();
    showLedger(QStringLiteral("11"), QStringLiteral("1112"));
    // A path beneath a regular file cannot be created, also by root.
    const QString regular = QDir(out.path()).filePath(QStringLiteral("notafolder"));
    {
        QFile f(regular);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    const QString path = regular + QStringLiteral("/元帳.csv");
    prompts.fileNames = {path};
    window->exportAction()->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, ScriptedPrompter::Message::Error);
    EXPECT_TRUE(prompts.messages[0].text.contains(path)) << prompts.messages[0].text.toStdString();
    EXPECT_EQ(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"notafolder"});
    window->close();
}

TEST_F(LedgerWindow, AStoreErrorPartWayKeepsTheLinesReadAndTheirTotals)
{
    addEntries(folder.path(), {
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 1000, .rcode = "0211", .rgaku = 1000},
        {.day = "2010-04-03x", .lcode = "1111", .lgaku = 2000, .rcode = "0211", .rgaku = 2000},
        {.day = "2010-04-05", .lcode = "1111", .lgaku = 4000, .rcode = "0211", .rgaku = 4000},
    });
    window->show();
    showLedger(QStringLiteral("11"), QStringLiteral("1111"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, ScriptedPrompter::Message::Error);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("2010-04-03x")));
    EXPECT_EQ(gridColumn(3), QStringList{"1"});
    EXPECT_EQ(window->statusText(), QStringLiteral("  借方 : ￥1,000,  貸方 : ￥0,  残高 : ￥1,000"));
    window->close();
}

TEST_F(LedgerWindow, HelpShowsTheWindowsOwnPageWithoutAsking)
{
    window->show();
    window->helpAction()->trigger();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.openedUrls.empty());
    const QString page = tolva::testing::shownHelpPage(window.get());
    EXPECT_TRUE(page.endsWith(QStringLiteral("help/Tfm04Motocho.html")));
    EXPECT_TRUE(QFile::exists(page));
    window->close();
}

TEST_F(LedgerWindow, TheMainWindowOpensTheLedgerAndItsStatementIsClosedWithIt)
{
    addSalaryAndBills();
    window.reset();
    registerWindows();
    TMenu menu(folder.path());
    menu.setDataModule(dm);
    menu.show();
    QPushButton* button = menu.button(TMenu::Window::Ledger);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());

    QString caption;
    int categories = -1;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* ledger = qobject_cast<Tfm04Motocho*>(w); ledger && ledger->isVisible()) {
                caption = ledger->windowTitle();
                categories = ledger->categoryList()->count();
                ledger->categoryList()->setCurrentIndex(4);
                ledger->showButton()->click();
                ledger->close();
            }
        }
    });
    button->click();
    EXPECT_EQ(caption, QStringLiteral("元帳"));
    EXPECT_EQ(categories, 12);
    for (Dataset* ds : dm.datasets())
        EXPECT_FALSE(ds->isActive() && ds != &dm.t07Jigyou) << ds->datasetName().toStdString();
    EXPECT_TRUE(prompts.messages.empty());
    menu.close();
}
