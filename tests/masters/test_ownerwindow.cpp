#include "app/tmenu.h"
#include "app/windows.h"
#include "masters/tfjigyounushi.h"
#include "tests/masters/masterfixture.h"

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

using namespace tolva;
using tolva::testing::MasterWindowTest;

namespace {

class OwnerWindow : public MasterWindowTest {
protected:
    // A new data folder has no owner row until the main window first shows.
    void setOwner(const QString& assignments)
    {
        exec(QStringLiteral("INSERT INTO Jigyounushi (name) SELECT NULL WHERE NOT EXISTS (SELECT 1 FROM Jigyounushi)"));
        exec(QStringLiteral("UPDATE Jigyounushi SET ") + assignments);
    }
    Tfjigyounushi& open() { return show(std::make_unique<Tfjigyounushi>(dm)); }
    // The window the main window is showing modally.
    template <typename Window>
    static Window* shownWindow()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<Window*>(w); found && found->isVisible())
                return found;
        return nullptr;
    }
};

} // namespace

TEST_F(OwnerWindow, EditsTheOwnerRowAndDropsWhatWasNotSaved)
{
    setOwner(QStringLiteral("name = '山田 太郎', shime = 12, Nendo = 2010"));
    Tfjigyounushi& w = open();
    const auto& ui = w.controls();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("事業主情報"));
    EXPECT_TRUE(dm.t07Jigyou.isActive());
    EXPECT_EQ(ui.name->text(), QStringLiteral("山田 太郎"));
    EXPECT_EQ(ui.closingMonth->currentText(), QStringLiteral("12"));
    for (int b = 0; b < DbNavigator::ButtonCount; ++b) {
        const bool shown = b == DbNavigator::Edit || b == DbNavigator::Post || b == DbNavigator::Cancel;
        EXPECT_EQ(ui.navigator->button(DbNavigator::Button(b))->isVisible(), shown) << b;
    }
    // Only the twelve months can be chosen; none can be typed.
    EXPECT_FALSE(ui.closingMonth->isEditable());
    ASSERT_EQ(ui.closingMonth->count(), 12);
    EXPECT_EQ(ui.closingMonth->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(ui.closingMonth->itemText(11), QStringLiteral("12"));

    type(ui.post, QStringLiteral("100-0001"));
    EXPECT_EQ(dm.t07Jigyou.state(), Dataset::State::Edit) << "typing begins the edit";
    type(ui.address1, QStringLiteral("東京都千代田区"));
    ui.closingMonth->setFocus();
    QTest::keyClick(ui.closingMonth, Qt::Key_Up);  // 12 → 11, as the keyboard chooses
    press(ui.navigator, DbNavigator::Post);
    EXPECT_TRUE(prompts.messages.empty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(scalar(QStringLiteral("SELECT post || ' ' || Address1 || ' ' || shime FROM Jigyounushi")),
              QStringLiteral("100-0001 東京都千代田区 11"));

    type(ui.tel, QStringLiteral("03-0000-0000"));
    prompts.choices = {Prompter::Answer::No};  // 保存しますか？ いいえ
    closeWindow();
    EXPECT_FALSE(dm.t07Jigyou.isActive());
    EXPECT_EQ(scalar(QStringLiteral("SELECT ifnull(Tel, '') FROM Jigyounushi")), QString());
}

TEST_F(OwnerWindow, ARowWithAClosingMonthThePeriodCannotBeComputedFromIsNotSaved)
{
    for (const char* stored : {"13", "0", "NULL"}) {
        setOwner(QStringLiteral("name = '山田', shime = %1").arg(QString::fromLatin1(stored)));
        Tfjigyounushi& w = open();
        const auto& ui = w.controls();
        EXPECT_EQ(ui.closingMonth->currentIndex(), -1) << stored;
        prompts.messages.clear();
        type(ui.name, QStringLiteral("山田 花子"));
        press(ui.navigator, DbNavigator::Post);
        ASSERT_EQ(messages().size(), 1) << stored;
        EXPECT_TRUE(messages().first().endsWith(QStringLiteral("1～12の中から選んでください。"))) << messages().first().toStdString();
        EXPECT_EQ(dm.t07Jigyou.state(), Dataset::State::Edit);
        ui.closingMonth->choose(3);
        press(ui.navigator, DbNavigator::Post);
        EXPECT_EQ(messages().size(), 1);
        EXPECT_EQ(scalar(QStringLiteral("SELECT name || ' ' || shime FROM Jigyounushi")), QStringLiteral("山田 花子 3"));
        closeWindow();
    }
}

TEST_F(OwnerWindow, ANewClosingMonthMovesTheMainWindowsPeriodWhenTheWindowReturns)
{
    setOwner(QStringLiteral("Nendo = 2010, shime = 12"));
    registerWindows();
    TMenu menu(folder.path());
    menu.setDataModule(dm);
    menu.show();
    EXPECT_EQ(menu.periodText(), QStringLiteral("2010/01/01～2010/12/31"));
    QPushButton* button = menu.button(TMenu::Window::Owner);
    ASSERT_TRUE(button->isEnabled());

    QString caption;
    QTimer::singleShot(0, [&] {
        Tfjigyounushi* w = shownWindow<Tfjigyounushi>();
        ASSERT_NE(w, nullptr);
        caption = w->windowTitle();
        w->controls().closingMonth->choose(3);
        QTest::mouseClick(w->controls().navigator->button(DbNavigator::Post), Qt::LeftButton);
        QTest::mouseClick(w->controls().close, Qt::LeftButton);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(caption, QStringLiteral("事業主情報"));
    EXPECT_EQ(menu.periodText(), QStringLiteral("2010/04/01～2011/03/31"));
    EXPECT_EQ(programState().periodStart, QDate(2010, 4, 1));
    EXPECT_EQ(programState().periodEnd, QDate(2011, 3, 31));
    EXPECT_EQ(menu.yearText(), QStringLiteral("2010"));
    EXPECT_FALSE(dm.t07Jigyou.isActive());

    // Closed while editing, answering いいえ to "保存しますか？": nothing stored, the period stays.
    QTimer::singleShot(0, [&] {
        Tfjigyounushi* w = shownWindow<Tfjigyounushi>();
        ASSERT_NE(w, nullptr);
        w->controls().closingMonth->choose(6);
        prompts.choices = {Prompter::Answer::No};
        w->close();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(menu.periodText(), QStringLiteral("2010/04/01～2011/03/31"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT shime FROM Jigyounushi")), QStringLiteral("3"));
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(questions(), QStringList{QStringLiteral("保存しますか？")});
    menu.close();
}

TEST_F(OwnerWindow, EveryMasterWindowOpensFromItsButtonAndMenuItemAndLeavesItsDatasetsClosed)
{
    registerWindows();
    TMenu menu(folder.path());
    menu.setDataModule(dm);
    menu.show();
    QMenu* settings = nullptr;
    for (QAction* action : menu.menuBar()->actions())
        if (action->text() == QStringLiteral("ﾃﾞｰﾀ設定"))
            settings = action->menu();
    ASSERT_NE(settings, nullptr);
    for (QAction* item : settings->actions())
        EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();

    struct Case {
        TMenu::Window window;
        const char* caption;
        const char* help;
    };
    const Case cases[] = {
        {TMenu::Window::AccountCategories, "勘定区分", "TfTableM"},
        {TMenu::Window::Accounts, "勘定科目", "TfTableK"},
        {TMenu::Window::SubAccounts, "詳細項目", "TfTableB"},
        {TMenu::Window::Uses, "区分項目編集", "TfTableK_T2"},
        {TMenu::Window::Owner, "事業主情報", "Tfjigyounushi"},
    };
    for (const Case& c : cases) {
        QPushButton* button = menu.button(c.window);
        ASSERT_TRUE(button->isEnabled()) << c.caption;
        QString caption;
        QString helpPage;
        QTimer::singleShot(0, [&] {
            QDialog* w = shownWindow<QDialog>();
            ASSERT_NE(w, nullptr);
            caption = w->windowTitle();
            for (QAction* action : w->findChildren<QAction*>()) {
                if (action->text() == QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ")) {
                    action->trigger();
                    helpPage = tolva::testing::shownHelpPage(w);
                }
            }
            w->close();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(caption, QString::fromUtf8(c.caption));
        EXPECT_TRUE(prompts.openedUrls.empty()) << c.caption;
        EXPECT_TRUE(helpPage.endsWith(QStringLiteral("help/%1.html").arg(QString::fromLatin1(c.help)))) << c.caption;
        EXPECT_TRUE(QFile::exists(helpPage)) << c.help;
        // What the button prepared is closed again; the lists' scratch queries are left to
        // their next user.
        for (Dataset* ds : {static_cast<Dataset*>(&dm.t05Kamoku), static_cast<Dataset*>(&dm.t06temp1),
                            static_cast<Dataset*>(&dm.t07Jigyou), static_cast<Dataset*>(&dm.q03bunruiL),
                            static_cast<Dataset*>(&dm.q24bunrui)})
            EXPECT_FALSE(ds->isActive()) << c.caption << " " << ds->datasetName().toStdString();
    }
    EXPECT_TRUE(errors().isEmpty()) << errors().join(u'\n').toStdString();
    menu.close();
}

TEST_F(OwnerWindow, ClosingWithTypedDetailsAsksWhetherToSave)
{
    using Answer = Prompter::Answer;
    struct Case {
        const char* closingMonth;  // stored before the window opens
        Answer answer;
        bool closes;
        const char* storedName;   // afterwards
    };
    const Case cases[] = {
        {"12", Answer::Yes, true, "Yamada Taro"},       // はい saves as "保存" would, then closes
        {"12", Answer::No, true, "old"},                // いいえ drops what was typed and closes
        {"12", Answer::Cancel, false, "old"},           // キャンセル stays, the text still there
        {"NULL", Answer::Yes, false, "old"},            // はい, but the row cannot be saved: stays
    };
    for (const Case& c : cases) {
        setOwner(QStringLiteral("name = 'old', Tel = NULL, shime = %1").arg(QString::fromLatin1(c.closingMonth)));
        Tfjigyounushi& w = open();
        const auto& ui = w.controls();
        type(ui.name, QStringLiteral("Yamada Taro"));
        type(ui.tel, QStringLiteral("03-1234-5678"));
        prompts.messages.clear();
        prompts.choices = {c.answer};
        QTest::mouseClick(ui.close, Qt::LeftButton);

        EXPECT_TRUE(prompts.choices.empty()) << int(c.answer);
        ASSERT_FALSE(questions().isEmpty());
        EXPECT_EQ(questions().first(), QStringLiteral("保存しますか？"));
        EXPECT_EQ(w.isVisible(), !c.closes) << int(c.answer);
        EXPECT_EQ(scalar(QStringLiteral("SELECT name FROM Jigyounushi")), QString::fromLatin1(c.storedName)) << int(c.answer);
        if (c.closes) {
            EXPECT_FALSE(dm.t07Jigyou.isActive());
        } else {
            EXPECT_EQ(ui.name->text(), QStringLiteral("Yamada Taro"));
            EXPECT_EQ(dm.t07Jigyou.state(), Dataset::State::Edit);
            prompts.choices = {Answer::No};
        }
        closeWindow();
    }

    // Nothing typed: the window closes without a question.
    setOwner(QStringLiteral("name = 'old', shime = 12"));
    Tfjigyounushi& w = open();
    prompts.messages.clear();
    QTest::mouseClick(w.controls().close, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(questions().isEmpty());
}
