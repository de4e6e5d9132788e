#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "journal/journallistmodel.h"
#include "journal/tmaininput.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/dbcontrols.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::ScriptedPrompter;
using tolva::testing::TestDataFolder;

namespace {

class JournalWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        programState().dataFolder = folder.path();
        programState().periodStart = QDate(2010, 4, 1);
        programState().periodEnd = QDate(2011, 3, 31);
        dm.DataModuleCreate(folder.path());
    }
    void TearDown() override
    {
        closeWindow();
        dm.closeAll();
        tolva::testing::expectNoWindowLeftOpen();
    }

    void addRows(const QString& values)
    {
        Database::forFolder(folder.path())->exec(QStringLiteral(
            "INSERT INTO shiwake (id, sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, yoto, kubun, syori, Memo) VALUES ")
            + values);
    }

    // What the main menu's "仕訳" button prepares, then the window itself.
    TMainInput& openWindow()
    {
        tolva::testing::prepareJournalQueries(dm);
        window = std::make_unique<TMainInput>(dm);
        window->show();
        QApplication::setActiveWindow(window.get());
        return *window;
    }
    void closeWindow()
    {
        if (!window)
            return;
        window->reject();
        window.reset();
        tolva::testing::releaseJournalQueries(dm);
    }

    const TMainInput::Controls& ui() const { return window->controls(); }
    Table& journal() { return dm.t01keiri; }
    QList<qint64> listedIds() const
    {
        QList<qint64> ids;
        for (int row = 0; row < window->listModel()->rowCount(); ++row)
            ids << window->listModel()->idAt(row);
        return ids;
    }
    int selectedRow() const
    {
        const auto rows = ui().list->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    void choose(QComboBox* box, const QString& codePrefix)
    {
        for (int i = 0; i < box->count(); ++i) {
            if (box->itemText(i).startsWith(codePrefix + u' ')) {
                box->setCurrentIndex(i);
                return;
            }
        }
        ADD_FAILURE() << "no item " << codePrefix.toStdString();
    }
    // A click into a box, as the user moves into it with the mouse.
    void clickInto(QWidget* box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        ASSERT_TRUE(box->hasFocus());
    }
    // Types into a box: real key presses for plain text, and as an input method would for
    // Japanese text.
    void type(DbEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            QTest::keyClicks(box, text);
        else
            box->setTypedText(text);
    }

    TestDataFolder folder;
    Tdm01Keiri dm{programState()};
    ScriptedPrompter prompts;
    std::unique_ptr<TMainInput> window;
};

const QString kThreeRows = QStringLiteral(
    "(1, '2010-04-01', '15', '1501', '', 10000000, '11', '1111', '', 10000000, '', '', 10, '家賃'),"
    "(2, '2010-05-02', '04', '0411', '041101', 12000000, '11', '1111', '', 12000000, '01', '0101', 10, 'スーパー'),"
    "(3, '2010-04-15', '04', '1501', '', 10000000, '11', '1112', '111201', 9000000, '', '', 21, '')");

} // namespace

TEST_F(JournalWindow, OpensOnAnEmptyJournalAndEntersARowWithTheKeyboardFlow)
{
    TMainInput& w = openWindow();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("仕訳処理"));
    EXPECT_EQ(programState().entryMode, 10);
    EXPECT_EQ(w.listModel()->rowCount(), 0);
    EXPECT_EQ(ui().calendar->date(), QDate::currentDate());

    // Both amount boxes empty: entering either starts nothing.
    w.DBEdit3Enter();
    w.DBEdit4Enter();
    EXPECT_EQ(journal().state(), Dataset::State::Browse);

    ui().navigator->click(DbNavigator::Insert);
    EXPECT_EQ(journal().state(), Dataset::State::Insert);
    EXPECT_EQ(ui().mode->currentText(), QStringLiteral("通常処理"));
    // Passing through the calendar, which shows today, gives the new row no date.
    clickInto(ui().day);
    QTest::keyClick(ui().day, Qt::Key_Tab);
    ASSERT_TRUE(ui().calendar->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(ui().day->text(), QString());
    EXPECT_FALSE(journal().isModified());
    ui().debitCategory->choose(QStringLiteral("04"));
    ui().debitAccount->choose(QStringLiteral("0411"));
    type(ui().debitAmount, QStringLiteral("1000"));
    clickInto(ui().creditAmount);  // the debit amount is copied over
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("1000"));
    type(ui().creditAmount, QStringLiteral("1200"));
    clickInto(ui().debitAmount);
    EXPECT_EQ(journal().fieldByName("Lgaku").asMoney(), Money::fromYen(1200));
    ui().creditCategory->choose(QStringLiteral("11"));
    ui().creditAccount->choose(QStringLiteral("1111"));
    type(ui().memo, QStringLiteral("米"));
    ui().navigator->click(DbNavigator::Post);

    EXPECT_EQ(journal().state(), Dataset::State::Browse);
    const qint64 id = journal().fieldByName("id").asInteger();
    EXPECT_GT(id, 0);
    EXPECT_EQ(ui().id->text(), QString::number(id));
    EXPECT_EQ(journal().fieldByName("Lcode").asString(), QStringLiteral("0411"));
    EXPECT_EQ(journal().fieldByName("Rgaku").asMoney(), Money::fromYen(1200));
    EXPECT_EQ(journal().fieldByName("Memo").asString(), QStringLiteral("米"));
    EXPECT_EQ(journal().fieldByName("syori").asInteger(), 10);
    // The list follows: the new row is listed and selected.
    EXPECT_EQ(listedIds(), QList<qint64>{id});
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(JournalWindow, AmountCopyReadsCurrencyTextAndRefusesGarbage)
{
    addRows(kThreeRows);
    openWindow();
    ASSERT_TRUE(journal().locate("id", 2));
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("￥1,200"));  // currency text without the focus
    // Empty the debit side, then enter it: it takes the credit amount.
    journal().edit();
    journal().fieldByName("Lgaku").clear();
    window->DBEdit3Enter();
    EXPECT_EQ(journal().fieldByName("Lgaku").asMoney(), Money::fromYen(1200));
    journal().cancel();

    ui().creditAmount->setText(QStringLiteral("\\1,234"));
    window->DBEdit3Enter();
    EXPECT_EQ(journal().fieldByName("Lgaku").asMoney(), Money::fromYen(1234));
    journal().cancel();

    ui().creditAmount->setText(QStringLiteral("12円"));
    window->DBEdit3Enter();
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Information), QStringList{"入力値が正しくありません"});
    EXPECT_EQ(journal().fieldByName("Lgaku").asMoney(), Money::fromYen(1200));
}

TEST_F(JournalWindow, ListsNarrowToTheRowAndToTheChoice)
{
    addRows(kThreeRows);
    openWindow();
    // Opening shows the first journal row and the whole list newest date first, on that row.
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 1);
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 3, 1}));
    EXPECT_EQ(selectedRow(), 2);
    EXPECT_EQ(dm.q01kamokuL.sql(), QStringLiteral("select * from kamoku where bunrui=:pcode"));
    EXPECT_EQ(ui().debitAccount->currentText(), QStringLiteral("事業主貸"));
    const int capitalAccounts = ui().debitAccount->count();

    journal().locate("id", 2);
    EXPECT_EQ(ui().debitAccount->currentText(), QStringLiteral("食費"));
    EXPECT_NE(ui().debitAccount->count(), capitalAccounts);
    EXPECT_EQ(ui().debitSubAccount->currentText(), QStringLiteral("食料品"));
    EXPECT_EQ(ui().useCategory->currentText(), QStringLiteral("日常"));
    EXPECT_EQ(selectedRow(), 0);

    // Choosing a category narrows the accounts without clearing the stored one.
    ui().debitCategory->choose(QStringLiteral("11"));
    EXPECT_EQ(journal().fieldByName("Lcode").asString(), QStringLiteral("0411"));
    for (int i = 0; i < ui().debitAccount->count(); ++i)
        EXPECT_TRUE(ui().debitAccount->itemData(i).toString().startsWith(QStringLiteral("11")));
    journal().cancel();
}

TEST_F(JournalWindow, NarrowingRefreshingAndShowingAll)
{
    addRows(kThreeRows);
    TMainInput& w = openWindow();

    w.SpeedButton1Click();
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Information), QStringList{"条件が指定されていません"});
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 3, 1}));

    ui().debit.ticked->setChecked(true);
    w.SpeedButton1Click();  // ticked but nothing chosen: named, list kept
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("絞込条件「借方」の分類が選択されていません。"));
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 3, 1}));

    choose(ui().debit.category, QStringLiteral("15"));
    w.SpeedButton1Click();
    EXPECT_EQ(listedIds(), QList<qint64>{1});  // the stored category
    EXPECT_EQ(w.statusText(), QStringLiteral("  借方 : ￥1,000,  貸方 : ￥1,000"));

    // A row change refreshes by the account's prefix, newest number first.
    journal().locate("id", 3);
    EXPECT_EQ(listedIds(), (QList<qint64>{3, 1}));
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_EQ(w.statusText(), QStringLiteral("  借方 : ￥2,000,  貸方 : ￥1,900"));

    ui().period->setChecked(true);
    EXPECT_EQ(ui().periodFrom->date(), QDate(2010, 4, 1));
    EXPECT_EQ(ui().periodTo->date(), QDate(2011, 3, 31));
    ui().singleDay->setChecked(true);
    EXPECT_FALSE(ui().periodTo->isVisible());
    ui().periodFrom->setDate(QDate(2010, 4, 15));
    EXPECT_EQ(ui().periodTo->date(), QDate(2010, 4, 15));
    w.SpeedButton1Click();
    EXPECT_EQ(listedIds(), QList<qint64>{});  // 4/15 has no row filed under category 15

    w.SpeedButton2Click();
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 3, 1}));
    EXPECT_EQ(w.statusText(), QString());
    for (QCheckBox* box : {ui().period, ui().debit.ticked, ui().credit.ticked, ui().useCategoryTicked, ui().modeTicked})
        EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(ui().debit.category->isVisible());
    EXPECT_FALSE(ui().usePanel->isVisible());
}

TEST_F(JournalWindow, BalanceCheck)
{
    addRows(kThreeRows);
    TMainInput& w = openWindow();
    w.mnCheckClick();
    EXPECT_EQ(listedIds(), QList<qint64>{3});
    EXPECT_EQ(w.statusText(), QStringLiteral("  借方 : ￥1,000,  貸方 : ￥900"));
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("貸借の金額が一致しないデータがあります。確認してください。"));

    journal().locate("id", 3);
    journal().edit();
    journal().fieldByName("Rgaku").setMoney(Money::fromYen(1000));
    journal().post();
    w.mnCheckClick();
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("貸借の金額はすべて一致しています。"));
    // Nothing found: the list shows again what it showed before the check.
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 3, 1}));
}

TEST_F(JournalWindow, CopyKeepsTheModeOfTheRowAndModesApplyToNewRows)
{
    TMainInput& w = openWindow();
    w.SpeedButton4Click();
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("該当データが登録されていません。"));
    closeWindow();

    addRows(kThreeRows);
    openWindow();
    journal().locate("id", 3);
    prompts.answers = {false};
    window->SpeedButton4Click();
    EXPECT_EQ(journal().recordCount(), 3);
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("現在のデータをコピーして同一データを追加します。\n実行しますか？。"));

    programState().entryMode = 31;  // what "決算整理" of the mode menu does
    prompts.answers = {true};
    window->SpeedButton4Click();
    EXPECT_EQ(journal().recordCount(), 4);
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 4);
    EXPECT_EQ(journal().fieldByName("syori").asInteger(), 21);
    EXPECT_EQ(journal().fieldByName("RScode").asString(), QStringLiteral("111201"));
    EXPECT_EQ(journal().fieldByName("sDay").asDate(), QDate(2010, 4, 15));
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 4, 3, 1}));
    EXPECT_EQ(selectedRow(), 1);

    ui().navigator->click(DbNavigator::Insert);
    EXPECT_EQ(journal().fieldByName("syori").asInteger(), 31);
    ui().navigator->click(DbNavigator::Cancel);

    closeWindow();
    openWindow();
    EXPECT_EQ(programState().entryMode, 10);
}

TEST_F(JournalWindow, DeletingAndClosingWithAPendingRow)
{
    addRows(kThreeRows);
    openWindow();
    journal().locate("id", 3);
    prompts.answers = {false};
    ui().navigator->click(DbNavigator::Delete);
    EXPECT_EQ(journal().recordCount(), 3);
    prompts.answers = {true};
    ui().navigator->click(DbNavigator::Delete);
    EXPECT_EQ(prompts.messages.back().text,
              QStringLiteral("NO.3 2010/04/15 借方 1501 事業主貸 1,000円 / 貸方 1112 普通預金 900円\nレコードを削除してもよいですか？"));
    EXPECT_EQ(journal().recordCount(), 2);
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 2);  // the next row became current
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 1}));

    // Double-clicking a row of the list moves the entry panel there.
    window->DBGrid1DblClick(1);
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 1);

    ui().navigator->click(DbNavigator::Insert);
    type(ui().memo, QStringLiteral("書きかけ"));
    prompts.choices = {Prompter::Answer::No};  // 保存しますか？ いいえ
    closeWindow();
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("保存しますか？"));
    journal().open();
    EXPECT_EQ(journal().recordCount(), 2);
    EXPECT_FALSE(journal().locate("Memo", QStringLiteral("書きかけ")));
}

TEST_F(JournalWindow, TheCalendarPutsItsDateIntoTheRow)
{
    addRows(kThreeRows);
    TMainInput& w = openWindow();
    ui().calendar->setDate(QDate(2012, 2, 29));
    w.DateTimePicker1Exit();
    EXPECT_EQ(journal().state(), Dataset::State::Edit);
    EXPECT_EQ(ui().day->text(), QStringLiteral("2012/02/29"));
    ui().navigator->click(DbNavigator::Post);
    EXPECT_EQ(journal().fieldByName("sDay").asDate(), QDate(2012, 2, 29));
}

TEST_F(JournalWindow, EnterMovesOnFromTheAmountBoxes)
{
    addRows(kThreeRows);
    openWindow();
    ui().debitAmount->setFocus();
    QTest::keyClick(ui().debitAmount, Qt::Key_Return);
    EXPECT_TRUE(ui().creditCategory->hasFocus());
    ui().creditAmount->setFocus();
    QTest::keyClick(ui().creditAmount, Qt::Key_Enter);
    EXPECT_TRUE(ui().memo->hasFocus());
}

TEST_F(JournalWindow, NoOrderOfClicksBreaksIt)
{
    // Every command on an empty journal, on a new row not yet posted, and after the current
    // row was deleted: messages at most, never an error escaping.
    auto everything = [&] {
        for (int b = 0; b < DbNavigator::ButtonCount; ++b) {
            prompts.answers = {true};
            ui().navigator->click(DbNavigator::Button(b));
        }
        prompts.answers = {true};
        window->SpeedButton4Click();
        window->SpeedButton1Click();
        window->SpeedButton2Click();
        window->mnCheckClick();
        window->DBGrid1DblClick(0);
        window->DBGrid1DblClick(99);
        window->DBEdit3Enter();
        window->DBEdit4Enter();
        window->DateTimePicker1Exit();
        window->RefreshJournalList();
    };
    openWindow();
    everything();
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty()) << prompts.texts(ScriptedPrompter::Message::Error).join(u'\n').toStdString();

    ui().navigator->click(DbNavigator::Insert);
    everything();
    closeWindow();

    Database::forFolder(folder.path())->exec(QStringLiteral("DELETE FROM shiwake"));
    addRows(kThreeRows);
    openWindow();
    ui().navigator->click(DbNavigator::Insert);
    prompts.answers = {true};
    window->SpeedButton4Click();  // the row being typed is cancelled untouched, then copied
    EXPECT_EQ(journal().recordCount(), 4);
    prompts.answers = {true, true, true};
    ui().navigator->click(DbNavigator::Delete);
    ui().navigator->click(DbNavigator::Delete);
    ui().navigator->click(DbNavigator::Delete);
    everything();
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty()) << prompts.texts(ScriptedPrompter::Message::Error).join(u'\n').toStdString();
}

TEST_F(JournalWindow, NeitherEnterNorEscapeTriggerTheWindowsButtons)
{
    addRows(kThreeRows);
    openWindow();
    ui().navigator->click(DbNavigator::Insert);
    type(ui().memo, QStringLiteral("途中"));
    ui().narrow->setFocus();  // a button that had the focus must not become the Enter key's
    ui().memo->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(journal().state(), Dataset::State::Insert);
    // Enter in the memo posts the row, and runs no button of the window (絞込実行 would say
    // that no condition is ticked).
    QTest::keyClick(ui().memo, Qt::Key_Return);
    EXPECT_EQ(journal().state(), Dataset::State::Browse);
    EXPECT_EQ(journal().fieldByName("Memo").asString(), QStringLiteral("途中"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(JournalWindow, TheFirstKeyTypedIntoARowBeingBrowsedIsKept)
{
    addRows(kThreeRows);
    openWindow();
    ASSERT_EQ(journal().state(), Dataset::State::Browse);
    ui().memo->setFocus();
    ui().memo->selectAll();
    QTest::keyClicks(ui().memo, QStringLiteral("abc"));
    EXPECT_EQ(ui().memo->text(), QStringLiteral("abc"));
    EXPECT_EQ(journal().state(), Dataset::State::Edit);
    ui().navigator->click(DbNavigator::Post);
    EXPECT_EQ(journal().fieldByName("Memo").asString(), QStringLiteral("abc"));
}

TEST_F(JournalWindow, OpensTheSameWayWhenTheJournalTableWasLeftOpen)
{
    addRows(kThreeRows);
    journal().open();
    journal().last();
    openWindow();
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 1);
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 3, 1}));
    EXPECT_EQ(selectedRow(), 2);
}

namespace {

// Another application's window: taking the focus away and giving it back is what a user
// switching programs does.
void switchAwayAndBack(QWidget* window)
{
    QWidget other;
    other.resize(200, 100);
    other.show();
    QApplication::setActiveWindow(&other);
    QApplication::setActiveWindow(window);
}

// Opens a menu of the window's menu bar and closes it again, as a user looking at it would.
void openAndCloseMenu(QWidget* window, const QString& title)
{
    for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
        for (QAction* action : bar->actions()) {
            if (action->text() == title && action->menu()) {
                action->menu()->popup(window->mapToGlobal(QPoint(10, 10)));
                QApplication::processEvents();
                action->menu()->hide();
                QApplication::processEvents();
                // The offscreen platform leaves the popup active; a desktop gives the window
                // back, as here.
                QApplication::setActiveWindow(window);
                return;
            }
        }
    }
    ADD_FAILURE() << "no menu " << title.toStdString();
}

} // namespace

TEST_F(JournalWindow, OnlyTheUserMovingIntoAnAmountBoxCopiesTheOtherSide)
{
    addRows(kThreeRows);
    TMainInput& w = openWindow();
    ui().navigator->click(DbNavigator::Insert);

    // Debit 1000, into the credit box: copied. Credit corrected to 1200, then the focus goes
    // to another application and comes back, and a menu opens and closes: still 1200.
    clickInto(ui().debitAmount);
    QTest::keyClicks(ui().debitAmount, QStringLiteral("1000"));
    clickInto(ui().creditAmount);
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("1000"));
    ui().creditAmount->selectAll();
    QTest::keyClicks(ui().creditAmount, QStringLiteral("1200"));
    switchAwayAndBack(&w);
    ASSERT_TRUE(ui().creditAmount->hasFocus());
    openAndCloseMenu(&w, QStringLiteral("処理ﾓｰﾄﾞ"));
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("1200"));

    // The debit corrected from 1000 to 1500, and the same again: still 1500.
    clickInto(ui().debitAmount);
    EXPECT_EQ(ui().debitAmount->text(), QStringLiteral("1200"));  // a real move in copies
    ui().debitAmount->selectAll();
    QTest::keyClicks(ui().debitAmount, QStringLiteral("1500"));
    openAndCloseMenu(&w, QStringLiteral("処理ﾓｰﾄﾞ"));
    switchAwayAndBack(&w);
    EXPECT_EQ(ui().debitAmount->text(), QStringLiteral("1500"));
    prompts.answers = {true};  // the sides differ: asked, and written as typed
    ui().navigator->click(DbNavigator::Post);
    EXPECT_EQ(journal().fieldByName("Lgaku").asMoney(), Money::fromYen(1500));
    EXPECT_EQ(journal().fieldByName("Rgaku").asMoney(), Money::fromYen(1200));
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Question).size(), 1);
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(JournalWindow, AnAmountThatIsNoNumberIsReportedOnceAndNeverAgainOnReturningFocus)
{
    addRows(kThreeRows);
    TMainInput& w = openWindow();
    ui().navigator->click(DbNavigator::Insert);
    clickInto(ui().debitAmount);
    QTest::keyClicks(ui().debitAmount, QStringLiteral("abc"));
    clickInto(ui().creditAmount);
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Error) + prompts.texts(ScriptedPrompter::Message::Information),
              QStringList{QStringLiteral("入力値が正しくありません")});
    // The message box closing gives the focus back; so do other windows and menus.
    switchAwayAndBack(&w);
    openAndCloseMenu(&w, QStringLiteral("表示(&V)"));
    switchAwayAndBack(&w);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(journal().state(), Dataset::State::Insert);  // the row being typed is still there
    EXPECT_EQ(ui().debitAmount->text(), QStringLiteral("abc"));

    // Corrected, it goes through.
    clickInto(ui().debitAmount);
    ui().debitAmount->selectAll();
    QTest::keyClicks(ui().debitAmount, QStringLiteral("800"));
    clickInto(ui().creditAmount);
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("800"));
    EXPECT_EQ(prompts.messages.size(), 1u);
    ui().navigator->click(DbNavigator::Cancel);
}

// A user glancing at a menu of the menu bar (a click on it, Escape) has not left the box: the
// menu bar keeps the focus for the keyboard afterwards, and the text is judged only when the
// user goes on to another box.
TEST_F(JournalWindow, AnAmountIsJudgedOnlyWhenTheUserGoesOnToAnotherBox)
{
    addRows(kThreeRows);
    TMainInput& w = openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    ui().navigator->click(DbNavigator::Insert);
    clickInto(ui().debitAmount);
    QTest::keyClicks(ui().debitAmount, QStringLiteral("abc"));

    QMenuBar* bar = w.findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QAction* print = nullptr;
    for (QAction* action : bar->actions()) {
        if (action->text() == QStringLiteral("印刷"))
            print = action;
    }
    ASSERT_NE(print, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(print).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return print->menu()->isVisible(); }));
    QTest::keyClick(print->menu(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !print->menu()->isVisible(); }));
    QApplication::processEvents();
    // The offscreen platform leaves the closed menu active; a desktop gives the window back,
    // and the focus to the menu bar.
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(qobject_cast<QMenuBar*>(QApplication::focusWidget()));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(ui().debitAmount->text(), QStringLiteral("abc"));

    // Straight from the menu bar into the other box: now it is judged, once.
    clickInto(ui().creditAmount);
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Error) + prompts.texts(ScriptedPrompter::Message::Information),
              QStringList{QStringLiteral("入力値が正しくありません")});
    ui().navigator->click(DbNavigator::Cancel);
}

TEST_F(JournalWindow, TheBalanceCheckResultStaysWhenTheFocusComesBack)
{
    addRows(kThreeRows);
    TMainInput& w = openWindow();
    clickInto(ui().creditAmount);
    QTest::keyClick(&w, Qt::Key_K, Qt::ControlModifier);
    ASSERT_EQ(listedIds(), QList<qint64>{3});
    switchAwayAndBack(&w);  // as when the check's message closes
    EXPECT_EQ(listedIds(), QList<qint64>{3});
}

TEST_F(JournalWindow, WhatTheBoxesRefuseIsNamedAsTheUserSeesIt)
{
    addRows(kThreeRows);
    openWindow();
    struct Case {
        DbEdit* box;
        const char* typed;
        const char* message;  // part of the one message shown
    };
    const Case cases[] = {
        {ui().debitAmount, "999999999999999", "999,999,999,999 円まで"},  // once stored as a negative amount
        {ui().debitAmount, "12.5", "1円単位"},                          // once stored, and shown as ￥13
        {ui().day, "2024/02/30", "年月日"},
        {ui().day, "2024/02/29 junk", "年月日"},
        {ui().day, "0001/01/01", "1900年から2999年"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        prompts.messages.clear();
        ASSERT_TRUE(journal().locate("id", 2));
        type(c.box, QString::fromUtf8(c.typed));
        ui().navigator->click(DbNavigator::Post);
        const QStringList shown = prompts.texts(ScriptedPrompter::Message::Error);
        ASSERT_EQ(shown.size(), 1) << shown.join(u'\n').toStdString();
        EXPECT_TRUE(shown.first().contains(QString::fromUtf8(c.message))) << shown.first().toStdString();
        EXPECT_FALSE(shown.first().contains(QStringLiteral("sDay")) || shown.first().contains(QStringLiteral("gaku")));
        ui().navigator->click(DbNavigator::Cancel);
    }
    auto db = Database::forFolder(folder.path());
    Statement row = db->prepare(QStringLiteral("SELECT sDay, Lgaku FROM shiwake WHERE id = 2"));
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.column(0).toString(), QStringLiteral("2010-05-02"));
    EXPECT_EQ(row.column(1).toLongLong(), 12000000);
}

TEST_F(JournalWindow, PastedTextIsStoredAsSeenAndAMemoCutIsSaid)
{
    addRows(kThreeRows);
    openWindow();
    ASSERT_TRUE(journal().locate("id", 2));
    clickInto(ui().memo);
    ui().memo->selectAll();
    ui().memo->insert(QString::fromUtf8("4月分\t家賃\r\n振込\0\x1b", 28));
    EXPECT_EQ(ui().memo->text(), QStringLiteral("4月分 家賃  振込"));
    ui().navigator->click(DbNavigator::Post);
    EXPECT_EQ(journal().fieldByName("Memo").asString(), QStringLiteral("4月分 家賃  振込"));
    EXPECT_TRUE(prompts.messages.empty());

    ui().memo->selectAll();
    ui().memo->insert(QString(100000, u'あ'));
    EXPECT_EQ(ui().memo->text().size(), 255);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages.front().text.contains(QStringLiteral("備考は 255 文字まで")));
    ui().navigator->click(DbNavigator::Post);
    EXPECT_EQ(journal().fieldByName("Memo").asString(), QString(255, u'あ'));
}

TEST_F(JournalWindow, AmountsAndNumbersAreNeverCutInTheList)
{
    addRows(QStringLiteral("(8881234, '2010-04-01', '15', '1501', '', -9999999999990000, '11', '1111', '', 9999999999990000, '', '', 10, '')"));
    openWindow();
    ASSERT_EQ(window->listModel()->rowCount(), 1);
    const QFontMetrics metrics = ui().list->fontMetrics();
    for (int column : {0, 4, 7}) {
        const QString text = window->listModel()->data(window->listModel()->index(0, column)).toString();
        EXPECT_GT(ui().list->columnWidth(column), metrics.horizontalAdvance(text)) << text.toStdString();
    }
}

// In a list narrower than its columns, Ctrl+End and Ctrl+Home go to the last and the first
// row; the NO column the user reads the rows by stays in view.
TEST_F(JournalWindow, CtrlEndGoesToTheLastRowWithoutScrollingSideways)
{
    QStringList rows;
    for (int id = 1; id <= 60; ++id)
        rows << QStringLiteral("(%1, '2010-04-%2', '15', '1501', '', 10000000, '11', '1111', '', 10000000, '', '', 10, '')")
                    .arg(id)
                    .arg(id % 28 + 1, 2, 10, QLatin1Char('0'));
    addRows(rows.join(u','));
    TMainInput& w = openWindow();
    w.resize(520, 720);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTableView* list = ui().list;
    ASSERT_GT(list->horizontalScrollBar()->maximum(), 0) << "the list must be narrower than its columns";

    const QModelIndex shown = list->indexAt(QPoint(list->columnViewportPosition(1) + 4, 4));
    ASSERT_TRUE(shown.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(shown).center());
    ASSERT_TRUE(list->hasFocus());
    for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers()}) {
        QTest::keyClick(list, Qt::Key_End, modifiers);
        EXPECT_EQ(list->currentIndex().row(), 59);
        EXPECT_EQ(list->currentIndex().column(), 1);
        EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
        EXPECT_GE(list->columnViewportPosition(0), 0);
        EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(list->currentIndex())));
        QTest::keyClick(list, Qt::Key_Home, modifiers);
        EXPECT_EQ(list->currentIndex().row(), 0);
        EXPECT_EQ(list->horizontalScrollBar()->value(), 0);
    }
}

TEST_F(JournalWindow, ACopyThatFailsKeepsTheBooksAndTheRowBeingTyped)
{
    addRows(kThreeRows);
    // The books refuse the copy's new row, as a full disk would, after the edit was written.
    Database::forFolder(folder.path())->exec(QStringLiteral(
        "CREATE TRIGGER refuse_copies BEFORE INSERT ON shiwake BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    openWindow();
    ASSERT_TRUE(journal().locate("id", 2));
    type(ui().memo, QStringLiteral("changed"));
    prompts.answers = {true};
    window->controls().copy->click();
    ASSERT_EQ(prompts.texts(ScriptedPrompter::Message::Error).size(), 1);

    // Not the edit without its copy: the books hold neither.
    Statement check = Database::forFolder(folder.path())->prepare(QStringLiteral("SELECT count(*), (SELECT Memo FROM shiwake WHERE id = 2) FROM shiwake"));
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.column(0).toLongLong(), 3);
    EXPECT_EQ(check.column(1).toString(), QStringLiteral("スーパー"));
    // And what the user typed is still there, to post or to copy again.
    EXPECT_EQ(journal().state(), Dataset::State::Edit);
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 2);
    EXPECT_EQ(ui().memo->text(), QStringLiteral("changed"));
    Database::forFolder(folder.path())->exec(QStringLiteral("DROP TRIGGER refuse_copies"));
    ui().navigator->click(DbNavigator::Post);
    EXPECT_EQ(journal().fieldByName("Memo").asString(), QStringLiteral("changed"));
}

namespace {

// January's books: the opening cash and bank against 前期繰越, and two purchases.
const QString kJanuary = QStringLiteral(
    "(1, '2026-01-01', '11', '1111', '', 500000000, '21', '2111', '', 500000000, '', '', 21, '開始残高'),"
    "(2, '2026-01-05', '04', '0411', '041101', 32000000, '11', '1111', '', 32000000, '01', '0101', 10, 'スーパー'),"
    "(3, '2026-01-10', '11', '1112', '111201', 1000000000, '21', '2111', '', 1000000000, '', '', 21, ''),"
    "(9, '2026-01-15', '04', '0411', '', 88000000, '11', '1111', '', 88000000, '', '', 10, '文具')");

// The key goes where the focus is, as a user's key press does.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

void typeKeys(const QString& text)
{
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClicks(target, text);
}

} // namespace

TEST_F(JournalWindow, TabbingThroughTheRowChangesNothingAndTheDateTypedStays)
{
    addRows(kJanuary);
    TMainInput& w = openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    ASSERT_EQ(journal().fieldByName("id").asInteger(), 1);
    // The calendar shows the row's date, not today's.
    EXPECT_EQ(ui().calendar->date(), QDate(2026, 1, 1));
    const QString before = tolva::testing::booksState(*Database::forFolder(folder.path()));

    // From the date through every box of the row to the memo: one Tab leaves the calendar,
    // and nothing goes into editing on the way.
    clickInto(ui().day);
    press(Qt::Key_Tab);
    EXPECT_TRUE(ui().calendar->hasFocus());
    press(Qt::Key_Tab);
    EXPECT_TRUE(ui().mode->hasFocus());
    for (int step = 0; step < 20 && !ui().memo->hasFocus(); ++step) {
        press(Qt::Key_Tab);
        ASSERT_EQ(journal().state(), Dataset::State::Browse) << "after Tab " << step;
    }
    ASSERT_TRUE(ui().memo->hasFocus());
    EXPECT_EQ(ui().day->text(), QStringLiteral("2026/01/01"));
    EXPECT_EQ(tolva::testing::booksState(*Database::forFolder(folder.path())), before);
    EXPECT_TRUE(prompts.messages.empty());

    // A date typed, then Tab through the calendar: the typed date stays and is written.
    clickInto(ui().day);
    ui().day->selectAll();
    typeKeys(QStringLiteral("2026/01/02"));
    press(Qt::Key_Tab);
    EXPECT_EQ(ui().calendar->date(), QDate(2026, 1, 2));
    press(Qt::Key_Tab);
    EXPECT_EQ(journal().fieldByName("sDay").asDate(), QDate(2026, 1, 2));
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(journal().state(), Dataset::State::Browse);
    EXPECT_EQ(journal().fieldByName("sDay").asDate(), QDate(2026, 1, 2));

    // A day typed into the calendar is the user's choice: it goes into the row.
    QLineEdit* calendarText = ui().calendar->findChild<QLineEdit*>();
    QTest::mouseClick(calendarText, Qt::LeftButton, {}, QPoint(calendarText->width() - 30, calendarText->height() / 2));
    ASSERT_TRUE(ui().calendar->hasFocus());
    ui().calendar->setSelectedSection(QDateTimeEdit::DaySection);
    typeKeys(QStringLiteral("03"));
    press(Qt::Key_Tab);
    EXPECT_EQ(journal().state(), Dataset::State::Edit);
    EXPECT_EQ(ui().day->text(), QStringLiteral("2026/01/03"));
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(journal().fieldByName("sDay").asDate(), QDate(2026, 1, 3));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(JournalWindow, TheRowClickedInTheListIsThePanelsRowAndTheOneDeleted)
{
    addRows(kJanuary);
    TMainInput& w = openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTableView* list = ui().list;
    const auto clickRowOf = [&](qint64 id) {
        const std::optional<int> row = w.listModel()->rowOfId(id);
        ASSERT_TRUE(row.has_value()) << id;
        list->scrollTo(w.listModel()->index(*row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(w.listModel()->index(*row, 1)).center());
    };
    const auto panelId = [&] { return journal().fieldByName("id").asInteger(); };
    const auto highlightedId = [&] { return selectedRow() < 0 ? -1 : w.listModel()->idAt(selectedRow()); };
    const auto storedIds = [&] {
        QList<qint64> ids;
        Statement rows = Database::forFolder(folder.path())->prepare(QStringLiteral("SELECT id FROM shiwake ORDER BY id"));
        while (rows.step())
            ids << rows.columnInt(0);
        return ids;
    };
    ASSERT_EQ(listedIds(), (QList<qint64>{9, 3, 2, 1}));
    EXPECT_EQ(highlightedId(), 1);

    // One click: the panel shows the row, and − asks about it by name and deletes it.
    clickRowOf(3);
    EXPECT_EQ(panelId(), 3);
    EXPECT_EQ(highlightedId(), 3);
    prompts.answers = {true};
    QTest::mouseClick(ui().navigator->button(DbNavigator::Delete), Qt::LeftButton);
    EXPECT_EQ(prompts.messages.back().text,
              QStringLiteral("NO.3 2026/01/10 借方 1112 普通預金 / 貸方 2111 前期繰越 100,000円\nレコードを削除してもよいですか？"));
    EXPECT_EQ(storedIds(), (QList<qint64>{1, 2, 9}));
    EXPECT_EQ(highlightedId(), panelId());

    // After 絞込実行 the list's first row is the panel's; a click keeps the narrowed list.
    ui().debit.ticked->setChecked(true);
    choose(ui().debit.category, QStringLiteral("04"));
    QTest::mouseClick(ui().narrow, Qt::LeftButton);
    ASSERT_EQ(listedIds(), (QList<qint64>{9, 2}));
    EXPECT_EQ(panelId(), 9);
    EXPECT_EQ(highlightedId(), 9);
    clickRowOf(2);
    EXPECT_EQ(panelId(), 2);
    EXPECT_EQ(listedIds(), (QList<qint64>{9, 2}));
    prompts.answers = {false};
    QTest::mouseClick(ui().navigator->button(DbNavigator::Delete), Qt::LeftButton);
    EXPECT_EQ(prompts.messages.back().text,
              QStringLiteral("NO.2 2026/01/05 借方 0411 食費 / 貸方 1111 現金 3,200円\nレコードを削除してもよいですか？"));
    EXPECT_EQ(storedIds(), (QList<qint64>{1, 2, 9}));

    // A row being typed is written before the panel goes to the row clicked.
    clickInto(ui().memo);
    ui().memo->selectAll();
    QTest::keyClicks(ui().memo, QStringLiteral("edited"));
    clickRowOf(9);
    EXPECT_EQ(panelId(), 9);
    EXPECT_EQ(highlightedId(), 9);
    ASSERT_TRUE(journal().locate("id", 2));
    EXPECT_EQ(journal().fieldByName("Memo").asString(), QStringLiteral("edited"));

    // After 全件表示 too.
    QTest::mouseClick(ui().showAll, Qt::LeftButton);
    ASSERT_EQ(listedIds(), (QList<qint64>{9, 2, 1}));
    EXPECT_EQ(panelId(), 9);
    EXPECT_EQ(highlightedId(), 9);
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty());
}

TEST_F(JournalWindow, AOneSidedCorrectionIsAskedAboutAndTheBalanceCheckLeadsToTheRow)
{
    addRows(kJanuary);
    TMainInput& w = openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const auto stored = [&](const char* column) {
        Statement row = Database::forFolder(folder.path())->prepare(
            QStringLiteral("SELECT %1 FROM shiwake WHERE id = 9").arg(QString::fromLatin1(column)));
        EXPECT_TRUE(row.step());
        return Money::fromUnits(row.columnInt(0));
    };
    ASSERT_TRUE(journal().locate("id", 9));

    // 8,800 → 9,350 on the debit side only, then ✓: asked, with both amounts, as a warning.
    clickInto(ui().debitAmount);
    ui().debitAmount->selectAll();
    typeKeys(QStringLiteral("9350"));
    prompts.answers = {false};
    QTest::mouseClick(ui().navigator->button(DbNavigator::Post), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages.back().questionKind, Prompter::QuestionKind::Warning);
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("￥9,350")));
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("￥8,800")));
    // いいえ: back in the amounts, nothing written.
    EXPECT_EQ(journal().state(), Dataset::State::Edit);
    EXPECT_TRUE(ui().creditAmount->hasFocus());
    EXPECT_EQ(stored("Lgaku"), Money::fromYen(8800));
    // はい writes what the user asked for.
    prompts.answers = {true};
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(journal().state(), Dataset::State::Browse);
    EXPECT_EQ(stored("Lgaku"), Money::fromYen(9350));
    EXPECT_EQ(stored("Rgaku"), Money::fromYen(8800));

    // Elsewhere, with the focus in the credit box: the balance check brings the row, and the
    // first click into the box copies the debit amount.
    ASSERT_TRUE(journal().locate("id", 1));
    clickInto(ui().creditAmount);
    prompts.messages.clear();
    press(Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Information),
              QStringList{QStringLiteral("貸借の金額が一致しないデータがあります。確認してください。")});
    EXPECT_EQ(listedIds(), QList<qint64>{9});
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 9);
    ASSERT_TRUE(ui().creditAmount->hasFocus());
    QTest::mouseClick(ui().creditAmount, Qt::LeftButton, {}, ui().creditAmount->rect().center());
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("9350"));
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(stored("Rgaku"), Money::fromYen(9350));
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Question), QStringList{});

    // Nothing left to find: the list shows what it showed, narrowed, on the same row.
    ui().debit.ticked->setChecked(true);
    choose(ui().debit.category, QStringLiteral("04"));
    QTest::mouseClick(ui().narrow, Qt::LeftButton);
    ASSERT_EQ(listedIds(), (QList<qint64>{9, 2}));
    QTest::mouseClick(ui().list->viewport(), Qt::LeftButton, {},
                      ui().list->visualRect(w.listModel()->index(1, 1)).center());
    ASSERT_EQ(journal().fieldByName("id").asInteger(), 2);
    const QString totals = w.statusText();
    press(Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("貸借の金額はすべて一致しています。"));
    EXPECT_EQ(listedIds(), (QList<qint64>{9, 2}));
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 2);
    EXPECT_EQ(w.statusText(), totals);
}

// A typical row by the keyboard alone: date, debit account with a sub-account, amount, credit
// account, memo, post. Eleven keys beyond its data: Ctrl+I, Enter from the date, three Tabs
// on the debit side, Enter from its amount, three Tabs on the credit side, Enter from its
// amount and Enter from the memo.
TEST_F(JournalWindow, ARowIsAddedAndPostedFromTheKeyboard)
{
    addRows(kJanuary);
    TMainInput& w = openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    clickInto(ui().memo);
    int navigation = 0;
    const auto key = [&](int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        ++navigation;
        press(k, modifiers);
    };
    const auto pick = [&](DbLookupCombo* box, const char* code) {
        ASSERT_TRUE(box->hasFocus());
        box->choose(QString::fromLatin1(code));
    };

    key(Qt::Key_I, Qt::ControlModifier);
    ASSERT_EQ(journal().state(), Dataset::State::Insert);
    ASSERT_TRUE(ui().day->hasFocus());
    EXPECT_EQ(ui().day->text(), QStringLiteral("2026/01/15"));  // the date of the row entered last
    EXPECT_EQ(selectedRow(), -1);  // a new row is none of the list's
    typeKeys(QStringLiteral("2026/01/16"));
    key(Qt::Key_Return);
    pick(ui().debitCategory, "04");
    key(Qt::Key_Tab);
    pick(ui().debitAccount, "0411");
    key(Qt::Key_Tab);
    pick(ui().debitSubAccount, "041101");
    key(Qt::Key_Tab);
    ASSERT_TRUE(ui().debitAmount->hasFocus());
    typeKeys(QStringLiteral("1200"));
    key(Qt::Key_Return);
    pick(ui().creditCategory, "11");
    key(Qt::Key_Tab);
    pick(ui().creditAccount, "1111");
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    ASSERT_TRUE(ui().creditAmount->hasFocus());
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("1200"));
    key(Qt::Key_Return);
    ASSERT_TRUE(ui().memo->hasFocus());
    typeKeys(QStringLiteral("lunch"));
    key(Qt::Key_Return);
    EXPECT_EQ(navigation, 11);

    ASSERT_EQ(journal().state(), Dataset::State::Browse);
    EXPECT_TRUE(prompts.messages.empty());
    Statement row = Database::forFolder(folder.path())->prepare(QStringLiteral(
        "SELECT sDay, Lcode, LScode, Lgaku, Rcode, Rgaku, Memo, syori FROM shiwake ORDER BY id DESC LIMIT 1"));
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.column(0).toString(), QStringLiteral("2026-01-16"));
    EXPECT_EQ(row.column(1).toString(), QStringLiteral("0411"));
    EXPECT_EQ(row.column(2).toString(), QStringLiteral("041101"));
    EXPECT_EQ(row.columnInt(3), 12000000);
    EXPECT_EQ(row.column(4).toString(), QStringLiteral("1111"));
    EXPECT_EQ(row.columnInt(5), 12000000);
    EXPECT_EQ(row.column(6).toString(), QStringLiteral("lunch"));
    EXPECT_EQ(row.columnInt(7), 10);

    // The next row starts on the date just posted; an untouched new row is dropped on leaving.
    press(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(ui().day->text(), QStringLiteral("2026/01/16"));
    EXPECT_FALSE(journal().isModified());
    ui().navigator->click(DbNavigator::Cancel);

    // The shortcuts are told where the user looks for them.
    EXPECT_TRUE(ui().navigator->button(DbNavigator::Insert)->toolTip().contains(QStringLiteral("Ctrl+I")));
    EXPECT_TRUE(ui().navigator->button(DbNavigator::Post)->toolTip().contains(QStringLiteral("Ctrl+Enter")));

    // From the memo of a row being typed, Tab reaches ✓ without passing −.
    clickInto(ui().memo);
    typeKeys(QStringLiteral("!"));
    ASSERT_EQ(journal().state(), Dataset::State::Edit);
    for (int step = 0; step < 4 && !ui().navigator->button(DbNavigator::Post)->hasFocus(); ++step) {
        press(Qt::Key_Tab);
        ASSERT_FALSE(ui().navigator->button(DbNavigator::Delete)->hasFocus());
    }
    EXPECT_TRUE(ui().navigator->button(DbNavigator::Post)->hasFocus());
    ui().navigator->click(DbNavigator::Cancel);
}

TEST_F(JournalWindow, ClosingWithARowBeingTypedAsksWhetherToSaveIt)
{
    using Answer = Prompter::Answer;
    struct Case {
        const char* guards;
        std::vector<Answer> choices;
        std::deque<bool> amountsAnswers;  // the question about differing amounts, when asked
        bool closes;
        const char* storedMemo;
    };
    const Case cases[] = {
        {"キャンセル stays with the row as typed", {Answer::Cancel}, {}, false, "文具"},
        {"いいえ throws the edit away and closes", {Answer::No}, {}, true, "文具"},
        {"はい posts and closes", {Answer::Yes}, {true}, true, "changed"},
        {"はい, then いいえ to the differing amounts: stays, nothing written", {Answer::Yes}, {false}, false, "文具"},
    };
    addRows(kJanuary);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.guards);
        TMainInput& w = openWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        ASSERT_TRUE(journal().locate("id", 9));
        clickInto(ui().memo);
        ui().memo->selectAll();
        QTest::keyClicks(ui().memo, QStringLiteral("changed"));
        clickInto(ui().debitAmount);
        ui().debitAmount->selectAll();
        QTest::keyClicks(ui().debitAmount, QStringLiteral("9350"));
        prompts.messages.clear();
        prompts.choices.assign(c.choices.begin(), c.choices.end());
        prompts.answers = c.amountsAnswers;
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
        ASSERT_FALSE(prompts.messages.empty());
        EXPECT_EQ(prompts.messages.front().text, QStringLiteral("保存しますか？"));
        EXPECT_EQ(w.isVisible(), !c.closes);
        if (!c.closes) {
            EXPECT_EQ(journal().state(), Dataset::State::Edit);
            EXPECT_EQ(ui().memo->text(), QStringLiteral("changed"));
            // The title bar's close asks too; いいえ then closes.
            prompts.choices = {Answer::No};
            w.close();
            EXPECT_FALSE(w.isVisible());
        }
        closeWindow();
        Statement memo = Database::forFolder(folder.path())->prepare(QStringLiteral("SELECT Memo FROM shiwake WHERE id = 9"));
        ASSERT_TRUE(memo.step());
        EXPECT_EQ(memo.column(0).toString(), QString::fromUtf8(c.storedMemo));
        EXPECT_TRUE(prompts.choices.empty());
        EXPECT_TRUE(prompts.answers.empty());
        Database::forFolder(folder.path())->exec(QStringLiteral("UPDATE shiwake SET Memo = '文具', Lgaku = 88000000 WHERE id = 9"));
    }

    // A new row left untouched closes without a question.
    TMainInput& w = openWindow();
    clickInto(ui().memo);
    press(Qt::Key_I, Qt::ControlModifier);
    prompts.messages.clear();
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(prompts.messages.empty());
}
