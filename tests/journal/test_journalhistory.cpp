// Each command of the journal window that writes leaves its changes in the journal's history
// under its own name, one command id for all its rows.
#include "db/database.h"
#include "db/history.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "journal/tmaininput.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"
#include "ui/dbcontrols.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace tolva;
using tolva::testing::ScriptedPrompter;
using tolva::testing::TestDataFolder;

namespace {

void typeIntoBox(DbEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

struct WindowChange {
    QString operation;
    qint64 rowId;  // 0: the row the command wrote
};

} // namespace

TEST(JournalHistory, EveryCommandOfTheWindowIsRecordedUnderItsName)
{
    const struct {
        const char* name;
        std::function<void(TMainInput&, Tdm01Keiri&, ScriptedPrompter&)> run;
        QString command;
        std::vector<WindowChange> changes;
    } commands[] = {
        {"post of a new row",
         [](TMainInput& w, Tdm01Keiri&, ScriptedPrompter&) {
             w.controls().navigator->click(DbNavigator::Insert);
             typeIntoBox(w.controls().day, QStringLiteral("2010/06/01"));
             typeIntoBox(w.controls().debitAmount, QStringLiteral("5000"));
             typeIntoBox(w.controls().creditAmount, QStringLiteral("5000"));
             w.controls().navigator->click(DbNavigator::Post);
         },
         QStringLiteral("仕訳入力（保存）"),
         {{QStringLiteral("insert"), 0}}},
        {"post of a changed row",
         [](TMainInput& w, Tdm01Keiri& dm, ScriptedPrompter&) {
             ASSERT_TRUE(dm.t01keiri.locate(QStringLiteral("id"), 2));
             typeIntoBox(w.controls().memo, QStringLiteral("changed"));
             w.controls().navigator->click(DbNavigator::Post);
         },
         QStringLiteral("仕訳入力（保存）"),
         {{QStringLiteral("update"), 2}}},
        {"delete",
         [](TMainInput& w, Tdm01Keiri& dm, ScriptedPrompter& prompts) {
             ASSERT_TRUE(dm.t01keiri.locate(QStringLiteral("id"), 2));
             prompts.answers = {true};
             w.controls().navigator->click(DbNavigator::Delete);
         },
         QStringLiteral("仕訳削除"),
         {{QStringLiteral("delete"), 2}}},
        {"copy of a row being changed: the change and the copy are one command",
         [](TMainInput& w, Tdm01Keiri& dm, ScriptedPrompter& prompts) {
             ASSERT_TRUE(dm.t01keiri.locate(QStringLiteral("id"), 2));
             typeIntoBox(w.controls().memo, QStringLiteral("changed"));
             prompts.answers = {true};
             w.controls().copy->click();
         },
         QStringLiteral("複製"),
         {{QStringLiteral("update"), 2}, {QStringLiteral("insert"), 0}}},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        TestDataFolder folder;
        auto db = Database::forFolder(folder.path());
        db->exec(QStringLiteral(
            "INSERT INTO shiwake (id, sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori, Memo) VALUES "
            "(1, '2010-04-01', '15', '1501', 10000000, '11', '1111', 10000000, 10, '家賃'),"
            "(2, '2010-05-02', '04', '0411', 12000000, '11', '1111', 12000000, 10, 'スーパー')"));
        const qint64 earlier = history::read(*db, {}).size();
        programState().dataFolder = folder.path();
        Tdm01Keiri dm{programState()};
        dm.DataModuleCreate(folder.path());
        tolva::testing::prepareJournalQueries(dm);
        ScriptedPrompter prompts;
        {
            TMainInput window(dm);
            window.show();
            QApplication::setActiveWindow(&window);
            command.run(window, dm, prompts);
            EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty())
                << prompts.texts(ScriptedPrompter::Message::Error).join(u'\n').toStdString();
            window.reject();
        }
        const QVector<history::Entry> all = history::read(*db, {});
        const QVector<history::Entry> made = all.mid(earlier);
        ASSERT_EQ(made.size(), qsizetype(command.changes.size()));
        const qint64 newest = db->lastInsertRowId();
        for (size_t i = 0; i < command.changes.size(); ++i) {
            EXPECT_EQ(made[i].command, command.command);
            EXPECT_EQ(made[i].operation, command.changes[i].operation);
            EXPECT_EQ(made[i].rowId, command.changes[i].rowId ? command.changes[i].rowId : newest);
            EXPECT_EQ(made[i].commandId, all[earlier - 1].commandId + 1) << "a command of its own, after the rows written before";
        }
        EXPECT_EQ(history::findings(*db), QStringList());
        dm.closeAll();
        Database::closeAll();
    }
}
