// What every window gets when shown (fitting the screen, F1 for its help) and the help window.
#include "tests/support/scriptedprompter.h"
#include "ui/help.h"
#include "ui/windowsetup.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QScreen>
#include <QTextBrowser>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace tolva;

namespace {

// A window as large as the journal's at a scale of 1.5, with a grid that can give up rows and
// a row of buttons that cannot.
struct LargeWindow : QDialog {
    LargeWindow()
    {
        auto* layout = new QVBoxLayout(this);
        auto* grid = new QWidget(this);
        grid->setMinimumSize(200, 100);
        layout->addWidget(grid, 1);
        auto* buttons = new QWidget(this);
        buttons->setFixedHeight(40);
        layout->addWidget(buttons);
        resize(1560, 1080);
    }
};

} // namespace

TEST(WindowSetup, AWindowLargerThanTheScreenIsShrunkIntoIt)
{
    struct Case {
        QRect available;
        QSize before;
        bool shrinks;  // what it guards
    };
    const Case cases[] = {
        {QRect(0, 0, 1920, 1000), QSize(1560, 1080), true},   // too high for a 1,000-pixel screen
        {QRect(0, 0, 1280, 1040), QSize(1560, 700), true},    // too wide
        {QRect(100, 50, 1280, 1000), QSize(1560, 1080), true}, // a panel takes the top left
        {QRect(0, 0, 1920, 1080), QSize(800, 600), false},    // fits: left as it is
    };
    for (const Case& c : cases) {
        LargeWindow w;
        w.resize(c.before);
        w.move(c.available.topLeft() + QPoint(300, 300));
        fitWindowInto(w, c.available);
        if (!c.shrinks) {
            EXPECT_EQ(w.size(), c.before);
            continue;
        }
        // The frame, title bar included, lies inside the area; nothing of the layout is lost.
        const QRect frame(w.pos(), w.size() + QSize(8, w.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8));
        EXPECT_TRUE(c.available.contains(frame)) << c.available.height() << " " << frame.height();
        EXPECT_GE(w.height(), w.minimumSizeHint().height());
        EXPECT_GE(w.width(), w.minimumSizeHint().width());
    }
}

TEST(WindowSetup, WindowsFitTheScreenWhenShownAndF1RunsTheirHelpCommand)
{
    WindowSetup::install();
    LargeWindow w;
    auto* bar = new QMenuBar(&w);
    w.layout()->setMenuBar(bar);
    QAction* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"))->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    int helpRuns = 0;
    QObject::connect(help, &QAction::triggered, [&] { ++helpRuns; });
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QRect available = w.screen()->availableGeometry();
    EXPECT_LE(w.height(), available.height());
    EXPECT_LE(w.width(), available.width());
    EXPECT_EQ(help->shortcut(), QKeySequence(QKeySequence::HelpContents));
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(helpRuns, 1);
}

TEST(HelpWindow, ShowsTheLocalPageFollowsLinksAndGoesBackAndForward)
{
    tolva::testing::ScriptedPrompter prompts;
    QWidget owner;
    owner.show();
    HelpWindow* help = showHelp(&owner, QStringLiteral("Tfm04Motocho"));
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isModal());
    EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith(QStringLiteral("help/Tfm04Motocho.html")));
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("元帳")));
    EXPECT_EQ(help->windowTitle(), help->browser()->documentTitle());
    EXPECT_FALSE(help->backAction()->isEnabled());

    // A link to another page of the program opens it in the same window.
    emit help->browser()->anchorClicked(QUrl(QStringLiteral("TMenu.html")));
    EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith(QStringLiteral("help/TMenu.html")));
    ASSERT_TRUE(help->backAction()->isEnabled());
    help->backAction()->trigger();
    EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith(QStringLiteral("help/Tfm04Motocho.html")));
    ASSERT_TRUE(help->forwardAction()->isEnabled());
    help->forwardAction()->trigger();
    EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith(QStringLiteral("help/TMenu.html")));

    // Asked again, the same window shows the new page. No question, no browser.
    EXPECT_EQ(showHelp(&owner, QStringLiteral("TfKessan")), help);
    EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith(QStringLiteral("help/TfKessan.html")));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.openedUrls.empty());

    // A page that is not there is an error naming the file, not a silent nothing.
    try {
        showHelp(&owner, QStringLiteral("NoSuchWindow"));
        ADD_FAILURE() << "a missing page was not reported";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("NoSuchWindow.html")));
    }
}
