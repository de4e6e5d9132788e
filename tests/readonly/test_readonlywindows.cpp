// The program's windows on books on a read-only medium (tests/support/readonlyfs.cpp below this
// process): started as the program starts, driven by clicks and keys, with scripted answers.
#include "aggregate/tfsyukei2.h"
#include "app/startup.h"
#include "app/tmenu.h"
#include "app/windows.h"
#include "assets/tkoteisisan.h"
#include "closing/tfkessan.h"
#include "closing/tfshisanh.h"
#include "closing/yearend.h"
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "journal/tmaininput.h"
#include "masters/tfjigyounushi.h"
#include "masters/tftablek.h"
#include "tests/cli/clirun.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/readonlyfs.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/dbcontrols.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

using namespace tolva;
using namespace tolva::testing;

namespace {

// Runs `act` on the window of type W once it is shown modally, then closes it.
template <typename W>
void whenShown(std::function<void(W&)> act, bool* seen = nullptr)
{
    QTimer::singleShot(0, [act = std::move(act), seen] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<W*>(widget); window && window->isVisible()) {
                if (seen)
                    *seen = true;
                act(*window);
                window->close();
                return;
            }
        }
    });
}

bool enabled(const DbNavigator* navigator, DbNavigator::Button button)
{
    return navigator->button(button)->isEnabled();
}

void expectNoWritingButton(const DbNavigator* navigator, const char* where)
{
    for (const DbNavigator::Button button : {DbNavigator::Insert, DbNavigator::Delete, DbNavigator::Edit, DbNavigator::Post,
                                             DbNavigator::Cancel})
        EXPECT_FALSE(enabled(navigator, button)) << where << ": navigator button " << button;
}

} // namespace

TEST(ReadOnlyWindows, EveryWindowReadsAndNoneWrites)
{
    TestDataFolder folder;
    setOwner(folder.path(), 2010, 3);
    addEntries(folder.path(), {
                                  {"2010-04-01", "1112", 100000, "1503", 100000, "元入れ", "111201", nullptr, 21},
                                  {"2010-04-05", "0411", 1200, "1111", 1200, "八百屋", "041101", nullptr, 10, "0101"},
                                  {"2010-04-05", "1111", 30000, "1112", 30000, "引出し", nullptr, "111201"},
                              });
    (void)aggregateYearEnd(*Database::forFolder(folder.path()), {QDate(2010, 4, 1), QDate(2011, 3, 31)});
    Database::closeAll();
    const QMap<QString, QByteArray> before = folderState(folder.path());
    ScriptedPrompter prompts;
    {
        ReadOnlyMedium medium(folder.path());
        registerWindows();
        TMenu menu(folder.path());
        auto lock = startup::openBooks(programState().dataFolder, templateDir());
        ASSERT_NE(lock, nullptr) << (prompts.messages.empty() ? std::string() : prompts.messages.back().text.toStdString());
        ASSERT_TRUE(programState().readOnly);
        Tdm01Keiri dm(programState());
        dm.DataModuleCreate(programState().dataFolder);
        menu.setDataModule(dm);
        menu.show();
        EXPECT_EQ(menu.windowTitle(), QStringLiteral("メイン画面（読み取り専用）"));
        EXPECT_TRUE(menu.readOnlyNotice()->isVisible());
        EXPECT_TRUE(menu.readOnlyNotice()->text().contains(QDir::toNativeSeparators(folder.path())));
        EXPECT_EQ(menu.yearText(), QStringLiteral("2010"));
        // The year moves what is shown; nothing is stored.
        QTest::mouseClick(menu.upDown()->upButton(), Qt::LeftButton);
        EXPECT_EQ(menu.yearText(), QStringLiteral("2011"));
        QTest::mouseClick(menu.upDown()->downButton(), Qt::LeftButton);
        EXPECT_EQ(menu.periodText(), textformat::period(QDate(2010, 4, 1), QDate(2011, 3, 31)));

        // The journal: moved through, printed and exported, never changed.
        bool journalSeen = false;
        whenShown<TMainInput>(
            [&](TMainInput& window) {
                const TMainInput::Controls& c = window.controls();
                Table& journal = dm.t01keiri;
                EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("読み取り専用")));
                expectNoWritingButton(c.navigator, "journal");
                for (QWidget* control : std::initializer_list<QWidget*>{c.copy, c.memoButton, c.calendar, c.debitAccount, c.mode})
                    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
                const QString firstId = c.id->text();
                QTest::mouseClick(c.navigator->button(DbNavigator::Next), Qt::LeftButton);
                EXPECT_NE(c.id->text(), firstId) << "moving through the rows still works";
                // A click on delete and typing into the boxes reach nothing.
                QTest::mouseClick(c.navigator->button(DbNavigator::Delete), Qt::LeftButton);
                QTest::mouseClick(c.copy, Qt::LeftButton);
                const QString memo = c.memo->text();
                QTest::mouseClick(c.memo, Qt::LeftButton);
                QTest::keyClicks(c.memo, QStringLiteral("changed"));
                QTest::keyClick(c.memo, Qt::Key_Tab);
                QTest::mouseClick(c.debitAmount, Qt::LeftButton);
                QTest::keyClicks(c.debitAmount, QStringLiteral("999"));
                EXPECT_EQ(c.memo->text(), memo);
                EXPECT_EQ(journal.state(), Dataset::State::Browse);
                EXPECT_EQ(journal.recordCount(), 3);
                // The journal book prints: its header goes into the work table in memory.
                c.period->setChecked(true);
                c.periodFrom->setDate(QDate(2010, 4, 1));
                c.periodTo->setDate(QDate(2011, 3, 31));
                window.N3Click();
                EXPECT_TRUE(prompts.previewedReports.contains(QStringLiteral("rShiwake"))) << prompts.previewedReports.join(u' ').toStdString();
            },
            &journalSeen);
        QTest::mouseClick(menu.button(TMenu::Window::Journal), Qt::LeftButton);
        EXPECT_TRUE(journalSeen);

        bool accountsSeen = false;
        whenShown<TfTableK>(
            [&](TfTableK& window) {
                expectNoWritingButton(window.controls().navigator, "accounts");
                EXPECT_TRUE(window.controls().code->isReadOnly());
            },
            &accountsSeen);
        QTest::mouseClick(menu.button(TMenu::Window::Accounts), Qt::LeftButton);
        EXPECT_TRUE(accountsSeen);

        bool ownerSeen = false;
        whenShown<Tfjigyounushi>([&](Tfjigyounushi& window) { expectNoWritingButton(window.controls().navigator, "owner"); },
                                 &ownerSeen);
        QTest::mouseClick(menu.button(TMenu::Window::Owner), Qt::LeftButton);
        EXPECT_TRUE(ownerSeen);

        bool assetsSeen = false;
        whenShown<Tkoteisisan>(
            [&](Tkoteisisan& window) {
                const Tkoteisisan::Controls& c = window.controls();
                for (const DbNavigator* navigator : {c.properties, c.items, c.yearRows})
                    expectNoWritingButton(navigator, "assets");
                EXPECT_FALSE(c.individual->isEnabled());
                EXPECT_TRUE(c.list->isEnabled());
                const QAbstractItemModel* grid = c.propertyGrid->model();
                EXPECT_FALSE(grid->columnCount() > 0 && grid->flags(grid->index(0, 0)).testFlag(Qt::ItemIsEditable));
            },
            &assetsSeen);
        QTest::mouseClick(menu.button(TMenu::Window::FixedAssets), Qt::LeftButton);
        EXPECT_TRUE(assetsSeen);

        // The closing: the year's totals and the transfers are off; the trial balance is shown
        // and printed, and the period aggregation runs, in memory.
        bool closingSeen = false;
        whenShown<TfKessan>(
            [&](TfKessan& window) {
                EXPECT_FALSE(window.aggregationButton()->isEnabled());
                EXPECT_FALSE(window.transfersButton()->isEnabled());
                EXPECT_TRUE(window.trialBalanceButton()->isEnabled());
                prompts.answers = {true};
                whenShown<TfShisanH>([&](TfShisanH& view) { view.reportAction()->trigger(); });
                QTest::mouseClick(window.trialBalanceButton(), Qt::LeftButton);
                EXPECT_TRUE(prompts.previewedReports.contains(QStringLiteral("TlRepo01"))) << prompts.previewedReports.join(u' ').toStdString();

                whenShown<TfSyukei2>([&](TfSyukei2& dialog) {
                    TfSyukei2* aggregation = &dialog;
                    QTest::mouseClick(aggregation->runMode(), Qt::LeftButton);
                    aggregation->startPicker()->setDate(QDate(2010, 4, 1));
                    aggregation->endPicker()->setDate(QDate(2010, 4, 30));
                    prompts.answers = {true};
                    QTest::mouseClick(aggregation->runButton(), Qt::LeftButton);
                    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Information).last().contains(QStringLiteral("記録されません")));
                    QTest::mouseClick(aggregation->showMode(), Qt::LeftButton);
                    QTest::mouseClick(aggregation->refreshButton(), Qt::LeftButton);
                    EXPECT_GT(aggregation->gridModel().rowCount(), 0);
                });
                QTest::mouseClick(window.periodAggregationButton(), Qt::LeftButton);
            },
            &closingSeen);
        QTest::mouseClick(menu.button(TMenu::Window::Closing), Qt::LeftButton);
        EXPECT_TRUE(closingSeen);

        menu.close();
        EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Error), QStringList());
        dm.closeAll();
        Database::closeAll();
        lock.reset();
        programState().readOnly = false;
        EXPECT_EQ(ReadOnlyMedium::refusedChanges(), QString()) << "tried to write on the medium";
    }
    EXPECT_EQ(folderState(folder.path()), before);
    expectNoWindowLeftOpen();
}
