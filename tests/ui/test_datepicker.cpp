// The date picker as a user types into it: a click into a part of the date, then digits.
#include "ui/datepicker.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolva;

namespace {

// The place of the n-th character of the shown date, where a click puts the cursor before it.
QPoint characterAt(QDateEdit& picker, int n)
{
    QLineEdit* edit = picker.findChild<QLineEdit*>();
    const QString text = edit->text();
    const QFontMetrics metrics(edit->font());
    const QRect contents = edit->contentsRect();
    // The text starts at the edit's left margin; half a character in lands inside it.
    const int x = contents.left() + 2 + metrics.horizontalAdvance(text.left(n)) + metrics.horizontalAdvance(text.at(n)) / 2;
    return QPoint(x, contents.center().y());
}

} // namespace

TEST(DatePicker, DigitsTypedAfterAClickReplaceThePartClickedOn)
{
    struct Case {
        int character;    // where the user clicks in "2010/04/15"
        const char* typed;
        QDate expected;
    };
    const Case cases[] = {
        {2, "2011", QDate(2011, 4, 15)},   // into the year, without an arrow key first
        {0, "1999", QDate(1999, 4, 15)},   // at the very start of the year
        {6, "09", QDate(2010, 9, 15)},     // the month
        {9, "28", QDate(2010, 4, 28)},     // the day
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        QWidget window;
        auto* other = new QLineEdit(&window);
        auto* picker = new DatePicker(&window);
        picker->move(0, 40);
        picker->setDate(QDate(2010, 4, 15));
        window.resize(300, 100);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        EXPECT_EQ(picker->displayFormat(), QStringLiteral("yyyy/MM/dd"));
        EXPECT_TRUE(picker->calendarPopup());

        QLineEdit* edit = picker->findChild<QLineEdit*>();
        QTest::mouseClick(edit, Qt::LeftButton, {}, characterAt(*picker, c.character));
        ASSERT_TRUE(picker->hasFocus());
        QTest::keyClicks(edit, QString::fromLatin1(c.typed));
        QTest::keyClick(edit, Qt::Key_Tab);
        EXPECT_EQ(picker->date(), c.expected);
    }
}

TEST(DatePicker, TabLeavesTheDateInOneStepFromAnyPart)
{
    struct Case {
        int character;  // where the user clicks in "2010/04/15"
        bool backwards;
    };
    const Case cases[] = {{0, false}, {6, false}, {9, false}, {9, true}, {0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.character);
        QWidget window;
        auto* before = new QLineEdit(&window);
        auto* picker = new DatePicker(&window);
        auto* after = new QLineEdit(&window);
        picker->move(0, 40);
        after->move(0, 80);
        picker->setDate(QDate(2010, 4, 15));
        window.resize(300, 120);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

        QLineEdit* edit = picker->findChild<QLineEdit*>();
        QTest::mouseClick(edit, Qt::LeftButton, {}, characterAt(*picker, c.character));
        ASSERT_TRUE(picker->hasFocus());
        QTest::keyClick(edit, Qt::Key_Tab, c.backwards ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_TRUE((c.backwards ? before : after)->hasFocus());
        EXPECT_EQ(picker->date(), QDate(2010, 4, 15));
    }
}
