// The journal's change history as the books keep it: what the triggers record and under which
// command, that nothing changes it afterwards, that the check compares it with the journal, and
// that books of the layout before get it with every row they hold.
#include "db/database.h"
#include "db/history.h"
#include "db/storeerror.h"
#include "tests/support/testdata.h"

#include <QDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {

struct RecordedChange {
    qint64 commandId;
    QString command;
    QString operation;
    qint64 rowId;
};

std::vector<RecordedChange> recordedChanges(Database& db)
{
    std::vector<RecordedChange> rows;
    for (const history::Entry& e : history::read(db, {}))
        rows.push_back({e.commandId, e.command, e.operation, e.rowId});
    return rows;
}

QString refusalOf(Database& db, const QString& sql)
{
    try {
        db.exec(sql);
    } catch (const StoreError& e) {
        return e.message() + e.detail();
    }
    return {};
}

// A statement through a connection of its own, as another SQLite program writes.
void writeThroughAnotherConnection(const QString& folder, const char* sql)
{
    Database::closeAll();
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QDir(folder).filePath(QString::fromLatin1(Database::kFileName)).toUtf8().constData(), &handle,
                              SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    history::registerFunctions(handle);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(handle);
}

const char* kHistoryRows = "INSERT INTO shiwake (id, sDay, Lcode, Lgaku, Rcode, Rgaku, syori, Memo) VALUES "
                         "(1, '2010-04-01', '0411', 10000000, '1111', 10000000, 10, '八百屋'),"
                         "(2, '2010-04-02', '0411', 9223372036854775807, '1111', 9223372036854775807, 10, '最大'),"
                         "(3, '2010-04-03', '0412', 5000, '1111', 5000, 10, NULL)";

} // namespace

TEST(History, EachChangeIsRecordedWithTheRowBeforeAndAfterUnderItsCommand)
{
    TestDataFolder folder;
    auto db = Database::forFolder(folder.path());
    {
        history::CommandScope command(*db, QStringLiteral("仕訳入力（保存）"));
        db->exec(QString::fromUtf8(kHistoryRows));
    }
    {
        history::CommandScope command(*db, QStringLiteral("決算振替仕訳"));
        // The outer command names what the user did; an inner one joins it.
        history::CommandScope inner(*db, QStringLiteral("仕訳削除"));
        Transaction transaction(*db);
        db->exec(QStringLiteral("UPDATE shiwake SET Memo = '訂正', Lgaku = 20000000 WHERE id = 1"));
        db->exec(QStringLiteral("UPDATE shiwake SET Memo = Memo WHERE id = 2"));  // changes nothing: not recorded
        db->exec(QStringLiteral("DELETE FROM shiwake WHERE id = 3"));
        transaction.commit();
    }
    // Writes while no command is named: one command per transaction.
    db->exec(QStringLiteral("UPDATE shiwake SET id = 7 WHERE id = 2"));
    db->exec(QStringLiteral("INSERT OR REPLACE INTO shiwake (id, sDay, Memo) VALUES (1, '2010-05-01', '置換')"));

    const std::vector<RecordedChange> expected = {
        {1, QStringLiteral("仕訳入力（保存）"), QStringLiteral("insert"), 1},
        {1, QStringLiteral("仕訳入力（保存）"), QStringLiteral("insert"), 2},
        {1, QStringLiteral("仕訳入力（保存）"), QStringLiteral("insert"), 3},
        {2, QStringLiteral("決算振替仕訳"), QStringLiteral("update"), 1},
        {2, QStringLiteral("決算振替仕訳"), QStringLiteral("delete"), 3},
        {3, QStringLiteral("不明"), QStringLiteral("delete"), 2},  // a row given another id: gone, and written anew
        {3, QStringLiteral("不明"), QStringLiteral("insert"), 7},
        {4, QStringLiteral("不明"), QStringLiteral("delete"), 1},  // a replaced row: deleted, then written
        {4, QStringLiteral("不明"), QStringLiteral("insert"), 1},
    };
    const std::vector<RecordedChange> got = recordedChanges(*db);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].commandId, expected[i].commandId);
        EXPECT_EQ(got[i].command, expected[i].command);
        EXPECT_EQ(got[i].operation, expected[i].operation);
        EXPECT_EQ(got[i].rowId, expected[i].rowId);
    }

    // The values as stored: the largest amount exact, an empty memo empty, the change's both sides.
    const QVector<history::Entry> second = history::read(*db, {.rowId = 2});
    ASSERT_EQ(second.size(), 2);
    const int amount = int(history::journalColumns().indexOf(QStringLiteral("Lgaku")));
    const int memo = int(history::journalColumns().indexOf(QStringLiteral("Memo")));
    EXPECT_EQ(second[0].after[amount], QVariant(qint64(9223372036854775807)));
    EXPECT_TRUE(second[0].before.isEmpty());
    EXPECT_EQ(second[1].before[amount], QVariant(qint64(9223372036854775807)));
    EXPECT_TRUE(second[1].after.isEmpty());
    const history::Entry change = history::read(*db, {.rowId = 1})[1];
    EXPECT_EQ(change.before[memo], QVariant(QStringLiteral("八百屋")));
    EXPECT_EQ(change.after[memo], QVariant(QStringLiteral("訂正")));
    EXPECT_EQ(change.before[amount], QVariant(qint64(10000000)));
    EXPECT_EQ(change.after[amount], QVariant(qint64(20000000)));
    EXPECT_TRUE(QDateTime::fromString(change.changedAt, Qt::ISODateWithMs).isValid()) << change.changedAt.toStdString();
    EXPECT_TRUE(change.changedAt.endsWith(u'Z'));

    EXPECT_EQ(history::findings(*db), QStringList());
}

TEST(History, NoCommandChangesOrDeletesARecordedChange)
{
    TestDataFolder folder;
    auto db = Database::forFolder(folder.path());
    db->exec(QString::fromUtf8(kHistoryRows));
    const QString before = QString::number(history::read(*db, {}).size());
    const struct {
        const char* sql;
        const char* refusal;
    } attempts[] = {
        {"UPDATE shiwakeRireki SET new_Lgaku = 1 WHERE rowId = 1", "仕訳の変更履歴は書き換えられません。"},
        {"UPDATE shiwakeRireki SET command = 'x'", "仕訳の変更履歴は書き換えられません。"},
        {"DELETE FROM shiwakeRireki WHERE rowId = 2", "仕訳の変更履歴は削除できません。"},
        {"DELETE FROM shiwakeRireki", "仕訳の変更履歴は削除できません。"},
        {"INSERT OR REPLACE INTO shiwakeRireki (seq, changedAt, commandId, command, op, rowId) VALUES (1, 'x', 9, 'x', 'insert', 1)",
         "仕訳の変更履歴は削除できません。"},
    };
    for (const auto& attempt : attempts) {
        SCOPED_TRACE(attempt.sql);
        EXPECT_TRUE(refusalOf(*db, QString::fromUtf8(attempt.sql)).contains(QString::fromUtf8(attempt.refusal)));
    }
    EXPECT_EQ(QString::number(history::read(*db, {}).size()), before);
    EXPECT_EQ(history::findings(*db), QStringList());
}

TEST(History, TheCheckNamesEveryRowWhoseHistoryDisagreesWithTheJournal)
{
    const struct {
        const char* name;
        const char* tamper;  // through another connection, the history's own triggers set aside
        const char* found;
    } cases[] = {
        {"a recorded amount changed",
         "DROP TRIGGER shiwakeRireki_unchanged; UPDATE shiwakeRireki SET new_Lgaku = 1 WHERE rowId = 2",
         "最後の記録が仕訳帳と合わない行が 1 行あります（仕訳番号 2）"},
        {"the last change of a row removed",
         "UPDATE shiwake SET Memo = '訂正' WHERE id = 3; DROP TRIGGER shiwakeRireki_kept; DELETE FROM shiwakeRireki WHERE seq = (SELECT max(seq) FROM shiwakeRireki)",
         "最後の記録が仕訳帳と合わない行が 1 行あります（仕訳番号 3）"},
        {"a delete recorded for a row that is there",
         "INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId) VALUES ('2020-01-01T00:00:00.000Z', 9, 'x', 'delete', 1)",
         "（仕訳番号 1）"},
        {"a row changed with the journal's triggers set aside",
         "DROP TRIGGER shiwake_recorded_update; UPDATE shiwake SET Rgaku = 1 WHERE id IN (1, 3)",
         "最後の記録が仕訳帳と合わない行が 2 行あります（仕訳番号 1、3）"},
        {"a row written without history",
         "DROP TRIGGER shiwake_recorded_insert; INSERT INTO shiwake (id, sDay) VALUES (9, '2010-06-01')",
         "変更履歴のない仕訳が 1 行あります（仕訳番号 9）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDataFolder folder;
        Database::forFolder(folder.path())->exec(QString::fromUtf8(kHistoryRows));
        writeThroughAnotherConnection(folder.path(), c.tamper);
        const QStringList found = history::findings(*Database::forFolder(folder.path()));
        ASSERT_EQ(found.size(), 1) << found.join(u'\n').toStdString();
        EXPECT_TRUE(found.first().contains(QString::fromUtf8(c.found))) << found.first().toStdString();
        Database::closeAll();
    }
}

TEST(History, BooksOfTheLayoutBeforeStartTheirHistoryWithEveryRowTheyHold)
{
    TestDataFolder current;
    QStringList expectedSchema;
    {
        auto db = Database::forFolder(current.path());
        Statement rows = db->prepare(QStringLiteral("SELECT type, name, sql FROM sqlite_schema ORDER BY type, name"));
        while (rows.step())
            expectedSchema << rows.column(0).toString() + u' ' + rows.column(1).toString() + u' ' + rows.column(2).toString();
    }
    Database::closeAll();

    TestDataFolder folder;
    Database::forFolder(folder.path())->exec(QString::fromUtf8(kHistoryRows));
    // Books as the program before kept them: no history, layout 3.
    writeThroughAnotherConnection(folder.path(),
               "DROP TRIGGER shiwake_recorded_insert; DROP TRIGGER shiwake_recorded_update; DROP TRIGGER shiwake_recorded_delete;"
               "DROP TABLE shiwakeRireki; DELETE FROM shiwake WHERE id = 3; PRAGMA user_version = 3");
    auto db = Database::forFolder(folder.path());
    EXPECT_TRUE(history::read(*db, {}).isEmpty());
    EXPECT_EQ(history::findings(*db), QStringList()) << "books without a history have nothing to disagree with";
    db->makeReadyForWriting();
    EXPECT_EQ(db->schemaVersion(), Database::kSchemaVersion);

    const QVector<history::Entry> baseline = history::read(*db, {});
    ASSERT_EQ(baseline.size(), 2);
    for (const history::Entry& e : baseline) {
        EXPECT_EQ(e.commandId, 0);
        EXPECT_EQ(e.operation, QLatin1String(history::kBaselineOperation));
        EXPECT_EQ(e.command, QString::fromUtf8(history::kBaselineCommand));
    }
    EXPECT_EQ(baseline[0].rowId, 1);
    EXPECT_EQ(baseline[1].rowId, 2);
    EXPECT_EQ(history::findings(*db), QStringList());

    QStringList schema;
    Statement rows = db->prepare(QStringLiteral("SELECT type, name, sql FROM sqlite_schema ORDER BY type, name"));
    while (rows.step())
        schema << rows.column(0).toString() + u' ' + rows.column(1).toString() + u' ' + rows.column(2).toString();
    EXPECT_EQ(schema.join(u'\n').toStdString(), expectedSchema.join(u'\n').toStdString());

    // The first command after the upgrade is command 1, and the history holds.
    db->exec(QStringLiteral("DELETE FROM shiwake WHERE id = 1"));
    EXPECT_EQ(history::read(*db, {.rowId = 1}).last().commandId, 1);
    EXPECT_EQ(history::findings(*db), QStringList());
}
