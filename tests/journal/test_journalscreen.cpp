// The journal window on a screen smaller than the window is laid out for, as a 1,000-pixel
// screen is at a scale of 1.5.
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "journal/tmaininput.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolva;

TEST(JournalWindowOnASmallScreen, OpensWithinTheScreensAvailableArea)
{
    tolva::testing::TestDataFolder folder;
    tolva::testing::ScriptedPrompter prompts;
    ProgramState& state = programState();
    state.dataFolder = folder.path();
    state.periodStart = QDate(2010, 4, 1);
    state.periodEnd = QDate(2011, 3, 31);
    Tdm01Keiri dm(state);
    dm.DataModuleCreate(folder.path());
    tolva::testing::prepareJournalQueries(dm);
    WindowSetup::install();
    {
        TMainInput window(dm);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        // The virtual screen is smaller than the window's own size: what the test is about.
        ASSERT_TRUE(window.height() > available.height() || window.width() > available.width())
            << window.width() << "x" << window.height() << " on " << available.width() << "x" << available.height();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_LE(window.width(), available.width());
        EXPECT_LE(window.height(), available.height());
        EXPECT_TRUE(available.contains(window.geometry())) << window.geometry().x() << "," << window.geometry().y();
        // The list and its totals are inside the window, not cut off below it.
        EXPECT_LE(window.controls().list->geometry().bottom(), window.height());
        window.reject();
    }
    tolva::testing::releaseJournalQueries(dm);
    dm.closeAll();
}
