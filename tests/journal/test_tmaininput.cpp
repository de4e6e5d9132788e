#include "database.h"
#include "dbcontrols.h"
#include "journallistmodel.h"
#include "programstate.h"
#include "scriptedprompter.h"
#include "tdm01keiri.h"
#include "testdata.h"
#include "tmaininput.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
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
        for (auto [query, sql] : {std::pair{&dm.q25kamoku2, "select * from kamoku02"}, std::pair{&dm.q16temp1, "select * from kamoku02"},
                                  std::pair{&dm.q26temp, "select * from yoto"}}) {
            query->close();
            query->setSql(QString::fromLatin1(sql));
            query->open();
        }
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
        dm.q25kamoku2.close();
        dm.q16temp1.close();
        dm.q26temp.close();
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
    ui().debitCategory->choose(QStringLiteral("04"));
    ui().debitAccount->choose(QStringLiteral("0411"));
    type(ui().debitAmount, QStringLiteral("1000"));
    ui().creditAmount->setFocus();  // the debit amount is copied over
    EXPECT_EQ(ui().creditAmount->text(), QStringLiteral("1000"));
    type(ui().creditAmount, QStringLiteral("1200"));
    ui().debitAmount->setFocus();
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
    EXPECT_EQ(listedIds(), QList<qint64>{});
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
    EXPECT_EQ(prompts.messages.back().text, QStringLiteral("レコードを削除してもよいですか？"));
    EXPECT_EQ(journal().recordCount(), 2);
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 2);  // the next row became current
    EXPECT_EQ(listedIds(), (QList<qint64>{2, 1}));

    // Double-clicking a row of the list moves the entry panel there.
    window->DBGrid1DblClick(1);
    EXPECT_EQ(journal().fieldByName("id").asInteger(), 1);

    ui().navigator->click(DbNavigator::Insert);
    type(ui().memo, QStringLiteral("書きかけ"));
    closeWindow();
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
    QTest::keyClick(ui().memo, Qt::Key_Return);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(journal().state(), Dataset::State::Insert);
    EXPECT_TRUE(prompts.messages.empty());
    ui().navigator->click(DbNavigator::Cancel);
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
