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
    QTest::keyClick(&w, Qt::Key_Delete);  // C
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
    QTest::mouseClick(c.close, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
}

// Backspace takes back one typed digit, as in any edit box; Delete and Escape clear, and
// Escape does not close the window under the user's hands.
TEST(TCalcul, BackspaceTakesBackADigitAndDeleteOrEscapeClear)
{
    ScriptedPrompter prompts;
    TCalcul w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QLineEdit* display = w.controls().display;

    QTest::keyClicks(&w, QStringLiteral("12345"));
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(display->text(), QStringLiteral("1,234"));
    QTest::keyClick(&w, Qt::Key_Backspace);
    QTest::keyClicks(&w, QStringLiteral("9"));
    EXPECT_EQ(display->text(), QStringLiteral("1,239"));
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(display->text(), QStringLiteral("0"));

    // A result was not typed: Backspace leaves it.
    QTest::keyClicks(&w, QStringLiteral("12*3="));
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(display->text(), QStringLiteral("36"));

    // Delete clears the display and keeps the running sum: 5 + Delete 3 = gives 8.
    QTest::keyClicks(&w, QStringLiteral("5+"));
    QTest::keyClick(&w, Qt::Key_Delete);
    EXPECT_EQ(display->text(), QStringLiteral("0"));
    QTest::keyClicks(&w, QStringLiteral("3="));
    EXPECT_EQ(display->text(), QStringLiteral("8"));

    // Escape clears the running sum too, and the window stays.
    QTest::keyClicks(&w, QStringLiteral("5+"));
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_EQ(display->text(), QStringLiteral("0"));
    EXPECT_TRUE(w.isVisible());
    QTest::keyClicks(&w, QStringLiteral("3="));
    EXPECT_EQ(display->text(), QStringLiteral("3"));
    EXPECT_TRUE(prompts.messages.empty());
}
