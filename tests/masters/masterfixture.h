#pragma once

#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "tests/support/helpshown.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/dbcontrols.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tolva::testing {

// A fresh data folder, the data module over it, a scripted prompter, and what a user does in
// a master window: clicks on list items and navigator buttons, typing into boxes.
class MasterWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        programState().dataFolder = folder.path();
        dm.DataModuleCreate(folder.path());
    }
    void TearDown() override
    {
        closeWindow();
        dm.closeAll();
        expectNoWindowLeftOpen();
    }

    template <typename Window>
    Window& show(std::unique_ptr<Window> w)
    {
        Window& shown = *w;
        window = std::move(w);
        window->show();
        QApplication::setActiveWindow(window.get());
        return shown;
    }
    // Closes the window as its close button does. A record a test left in edit is asked about
    // ("保存しますか？"); unless the test scripted an answer, it is thrown away (いいえ).
    void closeWindow()
    {
        if (!window)
            return;
        if (prompts.choices.empty())
            prompts.choices = {Prompter::Answer::No};
        window->reject();
        prompts.choices.clear();
        window.reset();
    }

    void exec(const QString& sql) { Database::forFolder(folder.path())->exec(sql); }
    QString scalar(const QString& sql)
    {
        Statement s = Database::forFolder(folder.path())->prepare(sql);
        return s.step() ? s.column(0).toString() : QStringLiteral("<none>");
    }

    static QStringList items(const QListWidget* list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }
    // A mouse click on the first item beginning with `prefix`, as a user picks it.
    static void clickItem(QListWidget* list, const QString& prefix)
    {
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            if (item->text().startsWith(prefix)) {
                list->scrollToItem(item);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
                return;
            }
        }
        ADD_FAILURE() << "no item " << prefix.toStdString();
    }
    static void press(DbNavigator* navigator, DbNavigator::Button button)
    {
        ASSERT_TRUE(navigator->button(button)->isVisible());
        ASSERT_TRUE(navigator->button(button)->isEnabled()) << "button " << int(button);
        QTest::mouseClick(navigator->button(button), Qt::LeftButton);
    }
    // Types into a box: real key presses for plain text, and as an input method would for
    // Japanese text. An empty text clears the box.
    static void type(DbEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else if (ascii)
            QTest::keyClicks(box, text);
        else
            box->setTypedText(text);
    }
    QStringList messages() const { return prompts.texts(ScriptedPrompter::Message::Information); }
    QStringList errors() const { return prompts.texts(ScriptedPrompter::Message::Error); }
    QStringList questions() const { return prompts.texts(ScriptedPrompter::Message::Question); }

    TestDataFolder folder;
    Tdm01Keiri dm{programState()};
    ScriptedPrompter prompts;
    std::unique_ptr<QDialog> window;
};

} // namespace tolva::testing
