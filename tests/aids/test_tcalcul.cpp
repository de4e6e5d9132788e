// The calculator window as a user works it: keys on the keyboard and clicks on its keys, and
// the windows that open it.
#include "aids/tcalcul.h"
#include "tests/support/scriptedprompter.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::ScriptedPrompter;

TEST(TCalcul, TheKeyboardAndTheKeysWorkTheDisplays)
{
    ScriptedPrompter prompts;
    TCalcul w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto& c = w.controls();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("電卓"));
    EXPECT_EQ(c.display->text(), QStringLiteral("0"));
    EXPECT_EQ(c.memory->text(), QStringLiteral("0"));
    EXPECT_TRUE(c.display->alignment() & Qt::AlignRight);

    QTest::keyClicks(&w, QStringLiteral("1234*3"));
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_EQ(c.display->text(), QStringLiteral("3,702"));
    QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(prompts.clipboard, QStringLiteral("3702"));

    QTest::mouseClick(c.keys.value(QStringLiteral("M+")), Qt::LeftButton);
    EXPECT_EQ(c.memory->text(), QStringLiteral("3,702"));
    QTest::keyClick(&w, Qt::Key_Delete);  // CE
    QTest::keyClicks(&w, QStringLiteral("7/0="));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("「0」で割ることはできません！"));
    EXPECT_EQ(c.display->text(), QStringLiteral("7"));
    QTest::mouseClick(c.keys.value(QStringLiteral("MR")), Qt::LeftButton);
    EXPECT_EQ(c.display->text(), QStringLiteral("3,702"));
    QTest::mouseClick(c.keys.value(QStringLiteral("ｺﾋﾟｰ")), Qt::LeftButton);
    EXPECT_EQ(prompts.clipboard, QStringLiteral("3702"));
    QTest::mouseClick(c.keys.value(QStringLiteral("MC")), Qt::LeftButton);
    EXPECT_EQ(c.memory->text(), QStringLiteral("0"));

    // Every key of the calculator is there, and none takes the keyboard from the window.
    for (const char* key : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "＋", "－", "×", "÷", "＝", "C", "CE",
                            "M+", "M-", "MR", "MC", "ｺﾋﾟｰ"}) {
        QPushButton* button = c.keys.value(QString::fromUtf8(key));
        ASSERT_NE(button, nullptr) << key;
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << key;
    }
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
}
