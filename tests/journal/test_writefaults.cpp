// Every journal command that writes, run once to count its writes, syncs and truncates, then
// again failing at each of them in turn: the user is told, the books are exactly as before,
// sound, and the same command then goes through.
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "journal/tmaininput.h"
#include "tests/support/faultyvfs.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/dbcontrols.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <functional>

using namespace tolva;
using tolva::testing::Fault;
using tolva::testing::FaultyFileSystem;
using tolva::testing::ScriptedPrompter;
using tolva::testing::TestDataFolder;
using tolva::testing::booksState;
using tolva::testing::historyState;
using tolva::testing::integrityCheck;

namespace {

// One journal command: what is done before it (not counted) and the command itself, as the
// user gives it.
struct Command {
    const char* name;
    std::function<void(TMainInput&, Tdm01Keiri&)> prepare;
    std::function<void(TMainInput&, ScriptedPrompter&)> run;
};

// The journal window on books of three rows, with every write of SQLite going through the
// counting file system.
class FaultRound {
public:
    FaultRound()
    {
        auto db = Database::forFolder(folder.path());
        db->exec(QStringLiteral(
            "INSERT INTO shiwake (id, sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori, Memo) VALUES "
            "(1, '2010-04-01', '15', '1501', 10000000, '11', '1111', 10000000, 10, '家賃'),"
            "(2, '2010-05-02', '04', '0411', 12000000, '11', '1111', 12000000, 10, 'スーパー'),"
            "(3, '2010-04-15', '04', '0411', 10000000, '11', '1112', 10000000, 21, '')"));
        programState().dataFolder = folder.path();
        dm.DataModuleCreate(folder.path());
        tolva::testing::prepareJournalQueries(dm);
        window = std::make_unique<TMainInput>(dm);
        window->show();
        QApplication::setActiveWindow(window.get());
    }
    ~FaultRound()
    {
        window->reject();
        window.reset();
        dm.closeAll();
        Database::closeAll();
    }
    Database& db() { return *Database::forFolder(folder.path()); }

    FaultyFileSystem files{Fault::CountedWrites};  // before any connection is opened
    TestDataFolder folder;
    Tdm01Keiri dm{programState()};
    ScriptedPrompter prompts;
    std::unique_ptr<TMainInput> window;
};

void typeInto(DbEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

} // namespace

TEST(JournalWriteFaults, EveryFailedWriteLeavesTheBooksAsTheyWereAndTheCommandWorksAfterwards)
{
    const Command commands[] = {
        {"post of a changed row",
         [](TMainInput&, Tdm01Keiri& dm) { ASSERT_TRUE(dm.t01keiri.locate(QStringLiteral("id"), 2)); },
         [](TMainInput& w, ScriptedPrompter&) {
             typeInto(w.controls().memo, QStringLiteral("changed"));
             w.controls().navigator->click(DbNavigator::Post);
         }},
        {"post of a new row",
         [](TMainInput& w, Tdm01Keiri&) {
             w.controls().navigator->click(DbNavigator::Insert);
             typeInto(w.controls().day, QStringLiteral("2010/06/01"));
             typeInto(w.controls().debitAmount, QStringLiteral("5000"));
             typeInto(w.controls().creditAmount, QStringLiteral("5000"));
         },
         [](TMainInput& w, ScriptedPrompter&) { w.controls().navigator->click(DbNavigator::Post); }},
        {"delete",
         [](TMainInput&, Tdm01Keiri& dm) { ASSERT_TRUE(dm.t01keiri.locate(QStringLiteral("id"), 2)); },
         [](TMainInput& w, ScriptedPrompter& prompts) {
             prompts.answers = {true};
             w.controls().navigator->click(DbNavigator::Delete);
         }},
        {"copy of a row being changed",
         [](TMainInput& w, Tdm01Keiri& dm) {
             ASSERT_TRUE(dm.t01keiri.locate(QStringLiteral("id"), 2));
             typeInto(w.controls().memo, QStringLiteral("changed"));
         },
         [](TMainInput& w, ScriptedPrompter& prompts) {
             prompts.answers = {true};
             w.controls().copy->click();
         }},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        int writes = 0;
        QString after;
        QString historyAfter;
        {
            FaultRound round;
            command.prepare(*round.window, round.dm);
            FaultyFileSystem::countFromHere();
            command.run(*round.window, round.prompts);
            writes = FaultyFileSystem::counted();
            ASSERT_TRUE(round.prompts.texts(ScriptedPrompter::Message::Error).isEmpty());
            after = booksState(round.db());
            historyAfter = historyState(round.db());
        }
        ASSERT_GT(writes, 0);
        for (int point = 1; point <= writes; ++point) {
            for (int code : {SQLITE_IOERR_WRITE, SQLITE_FULL}) {
                SCOPED_TRACE(QStringLiteral("fault at write %1 of %2, code %3").arg(point).arg(writes).arg(code).toStdString());
                FaultRound round;
                command.prepare(*round.window, round.dm);
                const QString before = booksState(round.db());
                const QString historyBefore = historyState(round.db());
                FaultyFileSystem::countFromHere(point, code);
                command.run(*round.window, round.prompts);
                ASSERT_TRUE(FaultyFileSystem::failed());
                EXPECT_EQ(round.prompts.texts(ScriptedPrompter::Message::Error).size(), 1);
                EXPECT_EQ(booksState(round.db()), before);
                EXPECT_EQ(historyState(round.db()), historyBefore) << "the change's history went with it";
                EXPECT_EQ(integrityCheck(round.db()), QStringLiteral("ok"));

                // The program goes on: the same command, given again, does what it should.
                round.prompts.messages.clear();
                FaultyFileSystem::countFromHere();
                command.run(*round.window, round.prompts);
                EXPECT_TRUE(round.prompts.texts(ScriptedPrompter::Message::Error).isEmpty())
                    << round.prompts.texts(ScriptedPrompter::Message::Error).join(u'\n').toStdString();
                EXPECT_EQ(booksState(round.db()), after);
                EXPECT_EQ(historyState(round.db()), historyAfter);
            }
        }
        ::testing::Test::RecordProperty(std::string("fault points: ") + command.name, writes);
    }
}
