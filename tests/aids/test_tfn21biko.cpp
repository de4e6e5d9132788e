// The memo phrase book as a user works it, on its own and from the journal window.
#include "aids/tcalcul.h"
#include "aids/tfn21biko.h"
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "journal/tmaininput.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/dbcontrols.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::ScriptedPrompter;
using tolva::testing::TestDataFolder;

namespace {

class PhraseBook : public ::testing::Test {
protected:
    void SetUp() override
    {
        programState().dataFolder = folder.path();
        programState().periodStart = QDate(2010, 4, 1);
        programState().periodEnd = QDate(2011, 3, 31);
        dm.DataModuleCreate(folder.path());
        db().exec(QStringLiteral("DELETE FROM biko"));
        db().exec(QStringLiteral("INSERT INTO biko (Name) VALUES ('スーパー'), ('ATM引出し'), ('家賃')"));
    }
    void TearDown() override
    {
        dialog.reset();
        dm.closeAll();
        tolva::testing::expectNoWindowLeftOpen();
    }
    Database& db() { return *Database::forFolder(folder.path()); }

    Tfn21biko& open()
    {
        dm.t01keiri.open();
        dialog = std::make_unique<Tfn21biko>(dm);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return *dialog;
    }
    const Tfn21biko::Controls& ui() const { return dialog->controls(); }

    QStringList listed() const
    {
        QStringList texts;
        for (int i = 0; i < ui().phrases->count(); ++i)
            texts << ui().phrases->item(i)->text();
        return texts;
    }
    QStringList stored()
    {
        QStringList texts;
        auto s = db().prepare(QStringLiteral("SELECT Name FROM biko ORDER BY no"));
        while (s.step())
            texts << s.column(0).toString();
        return texts;
    }
    // A click on the phrase, as the user picks it from the list.
    void pick(const QString& phrase)
    {
        const QList<QListWidgetItem*> found = ui().phrases->findItems(phrase, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << phrase.toStdString();
        const QRect rect = ui().phrases->visualItemRect(found.front());
        QTest::mouseClick(ui().phrases->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Opens the editing panel and types the text into its box.
    void typePhrase(const QString& text)
    {
        click(ui().edit);
        ui().text->setText(text);
    }
    QStringList messages() const
    {
        QStringList texts;
        for (const auto& m : prompts.messages)
            texts << m.text;
        return texts;
    }

    TestDataFolder folder;
    Tdm01Keiri dm{programState()};
    ScriptedPrompter prompts;
    std::unique_ptr<Tfn21biko> dialog;
};

} // namespace

TEST_F(PhraseBook, ListsThePhrasesInOrderAndAddsOnlyANewText)
{
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("備考入力支援"));
    EXPECT_FALSE(ui().editPanel->isVisible());
    EXPECT_EQ(listed(), (QStringList{"ATM引出し", "スーパー", "家賃"}));
    EXPECT_TRUE(ui().phrases->selectedItems().isEmpty());

    // A click copies the phrase into the edit box, also while the panel is hidden.
    pick(QStringLiteral("スーパー"));
    EXPECT_EQ(ui().text->text(), QStringLiteral("スーパー"));
    click(ui().edit);
    EXPECT_TRUE(ui().editPanel->isVisible());

    // Exactly the same text is refused; another width or a blank makes another phrase.
    struct Case {
        const char* text;
        bool refused;
    };
    for (const Case& c : {Case{"家賃", true}, Case{"ＡＴＭ引出し", false}, Case{"家賃 ", false}, Case{"駐車場", false}}) {
        SCOPED_TRACE(c.text);
        prompts.messages.clear();
        const qsizetype before = stored().size();
        typePhrase(QString::fromUtf8(c.text));
        click(ui().append);
        EXPECT_EQ(messages(), c.refused ? QStringList{Tfn21biko::kAlreadyThere} : QStringList{});
        EXPECT_EQ(stored().size(), before + (c.refused ? 0 : 1));
        EXPECT_TRUE(listed().contains(QString::fromUtf8(c.text)));
        EXPECT_FALSE(ui().editPanel->isVisible());  // reloaded and hidden either way
        EXPECT_TRUE(ui().phrases->selectedItems().isEmpty());
    }
    EXPECT_EQ(stored().count(QStringLiteral("家賃")), 1);

    click(ui().edit);
    click(ui().endEdit);
    EXPECT_FALSE(ui().editPanel->isVisible());
}

TEST_F(PhraseBook, OverwriteAsksAndDeleteTakesEveryRowOfThePhrase)
{
    open();
    pick(QStringLiteral("家賃"));
    typePhrase(QStringLiteral("地代家賃"));
    prompts.answers = {false};
    click(ui().overwrite);
    EXPECT_EQ(messages(), QStringList{Tfn21biko::kOverwrite});
    EXPECT_EQ(stored(), (QStringList{"スーパー", "ATM引出し", "家賃"}));
    EXPECT_FALSE(ui().editPanel->isVisible());

    pick(QStringLiteral("家賃"));
    typePhrase(QStringLiteral("地代家賃"));
    prompts.answers = {true};
    click(ui().overwrite);
    EXPECT_EQ(stored(), (QStringList{"スーパー", "ATM引出し", "地代家賃"}));

    // Overwriting does not look for the same text elsewhere: two rows of one phrase, side by
    // side. Deleting the phrase takes both.
    pick(QStringLiteral("ATM引出し"));
    typePhrase(QStringLiteral("スーパー"));
    prompts.answers = {true};
    click(ui().overwrite);
    EXPECT_EQ(stored(), (QStringList{"スーパー", "スーパー", "地代家賃"}));
    prompts.messages.clear();
    pick(QStringLiteral("スーパー"));
    click(ui().edit);
    click(ui().remove);
    EXPECT_TRUE(messages().isEmpty());  // no question before deleting
    EXPECT_EQ(stored(), QStringList{"地代家賃"});
    EXPECT_EQ(listed(), QStringList{"地代家賃"});
    EXPECT_FALSE(dm.t06temp1.isActive());
}

TEST_F(PhraseBook, APhraseGoesIntoTheMemoOfTheRowBeingEnteredWithoutPosting)
{
    open();
    ASSERT_TRUE(dm.t01keiri.isEmpty());
    pick(QStringLiteral("スーパー"));
    click(ui().addToMemo);
    pick(QStringLiteral("家賃"));
    click(ui().addToMemo);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(dm.t01keiri.state(), Dataset::State::Insert);  // an empty journal gets a new row
    EXPECT_EQ(dm.t01keiri.fieldByName(QStringLiteral("Memo")).asString(), QStringLiteral("家賃"));
    auto rows = db().prepare(QStringLiteral("SELECT count(*) FROM shiwake"));
    rows.step();
    EXPECT_EQ(rows.columnInt(0), 0);
    rows = {};
    dm.t01keiri.cancel();
}

TEST_F(PhraseBook, EveryCommandThatNeedsAPhraseSaysSoWithoutOne)
{
    db().exec(QStringLiteral("DELETE FROM biko"));
    open();
    EXPECT_EQ(ui().phrases->count(), 0);
    click(ui().addToMemo);
    click(ui().edit);
    click(ui().overwrite);
    click(ui().edit);
    click(ui().remove);
    EXPECT_EQ(messages(), (QStringList{Tfn21biko::kNothingToAdd, Tfn21biko::kNothingToOverwrite, Tfn21biko::kNothingToDelete}));
    EXPECT_EQ(dm.t01keiri.state(), Dataset::State::Browse);
    EXPECT_TRUE(stored().isEmpty());
}

// The journal window's memo button and its "電卓", as the user clicks them.
TEST_F(PhraseBook, TheJournalWindowOpensThePhraseBookAndTheCalculator)
{
    tolva::testing::prepareJournalQueries(dm);
    auto window = std::make_unique<TMainInput>(dm);
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const auto& c = window->controls();
    ASSERT_TRUE(c.memoButton->isEnabled());

    int books = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* book = qobject_cast<Tfn21biko*>(top); book && book->isVisible()) {
                ++books;
                QListWidget* list = book->controls().phrases;
                const QRect rect = list->visualItemRect(list->findItems(QStringLiteral("家賃"), Qt::MatchExactly).front());
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
                QTest::mouseClick(book->controls().addToMemo, Qt::LeftButton);
                QTest::mouseClick(book->controls().close, Qt::LeftButton);
            }
    });
    QTest::mouseClick(c.memoButton, Qt::LeftButton);
    EXPECT_EQ(books, 1);
    EXPECT_EQ(c.memo->text(), QStringLiteral("家賃"));

    int calculators = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* calc = qobject_cast<TCalcul*>(top); calc && calc->isVisible()) {
                ++calculators;
                calc->reject();
            }
    });
    QAction* calculator = window->findChild<QAction*>(QStringLiteral("N6"));
    ASSERT_NE(calculator, nullptr);
    ASSERT_TRUE(calculator->isEnabled());
    calculator->trigger();
    EXPECT_EQ(calculators, 1);

    dm.t01keiri.cancel();
    window->reject();
    window.reset();
    tolva::testing::releaseJournalQueries(dm);
}
