// tolva-cli history: the journal's changes, with the command that made each, for people and
// programs; the verbs that write are recorded as the windows are; check compares the history
// with the journal.
#include "db/database.h"
#include "db/history.h"
#include "tests/cli/clirun.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <QDate>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class CliHistory : public ::testing::Test {
protected:
    void SetUp() override
    {
        setOwner(folder.path(), 2010, 3);
        addEntries(folder.path(), {
            {.day = "2010-04-01", .lcode = "1111", .lgaku = 300000, .rcode = "1503", .rgaku = 300000, .syori = 21},
            {.day = "2010-05-10", .lcode = "0411", .lgaku = 150000, .rcode = "1111", .rgaku = 150000, .memo = "八百屋"},
            {.day = "2011-03-31", .lcode = "4111", .lgaku = 1, .rcode = "0411", .rgaku = 1, .syori = 41},
        });
        auto db = Database::forFolder(folder.path());
        {
            history::CommandScope command(*db, QStringLiteral("仕訳入力（保存）"));
            db->exec(QStringLiteral("UPDATE shiwake SET Lgaku = 1234567890, Rgaku = 1234567890, Memo = '八百屋（訂正）' WHERE id = 2"));
        }
        Database::closeAll();
    }
    [[nodiscard]] CliRun cli(QStringList arguments) const { return runCli(arguments, folder.path()); }

    TestDataFolder folder;
};

QJsonArray historyChanges(const CliRun& run)
{
    return QJsonDocument::fromJson(run.out).object()[QStringLiteral("changes")].toArray();
}

} // namespace

TEST_F(CliHistory, ListsEveryChangeForPeopleAndPrograms)
{
    const CliRun all = cli({QStringLiteral("history"), QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(all.exitCode, 0) << all.errText().toStdString();
    ASSERT_EQ(historyChanges(all).size(), 4);

    const CliRun one = cli({QStringLiteral("history"), QStringLiteral("--id"), QStringLiteral("2"), QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(one.exitCode, 0);
    const QJsonArray rows = historyChanges(one);
    ASSERT_EQ(rows.size(), 2);
    const QJsonObject change = rows[1].toObject();
    EXPECT_EQ(change[QStringLiteral("operation")].toString(), QStringLiteral("update"));
    EXPECT_EQ(change[QStringLiteral("command")].toString(), QStringLiteral("仕訳入力（保存）"));
    EXPECT_EQ(change[QStringLiteral("id")].toInt(), 2);
    EXPECT_GT(change[QStringLiteral("commandId")].toInt(), rows[0].toObject()[QStringLiteral("commandId")].toInt());
    // Amounts as exact decimal strings, dates as stored, both sides of the change.
    EXPECT_EQ(change[QStringLiteral("before")].toObject()[QStringLiteral("Lgaku")].toString(), QStringLiteral("150000"));
    EXPECT_EQ(change[QStringLiteral("after")].toObject()[QStringLiteral("Lgaku")].toString(), QStringLiteral("123456.789"));
    EXPECT_EQ(change[QStringLiteral("after")].toObject()[QStringLiteral("sDay")].toString(), QStringLiteral("2010-05-10"));
    EXPECT_TRUE(rows[0].toObject()[QStringLiteral("before")].isNull());

    // For people: the fields that changed, old and new.
    const CliRun text = cli({QStringLiteral("history"), QStringLiteral("--id"), QStringLiteral("2")});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.outText().contains(QStringLiteral("Lgaku: 150000 → 123456.789"))) << text.outText().toStdString();
    EXPECT_TRUE(text.outText().contains(QStringLiteral("Memo: 八百屋 → 八百屋（訂正）")));
    EXPECT_FALSE(text.outText().contains(QStringLiteral("sDay:"))) << "an unchanged field is not listed";

    const CliRun csv = cli({QStringLiteral("history"), QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--encoding"),
                            QStringLiteral("utf-8")});
    ASSERT_EQ(csv.exitCode, 0);
    const QList<QStringList> lines = parseCsv(csv.outText());
    ASSERT_EQ(lines.size(), 1 + 4);
    const qsizetype columns = 6 + 2 * history::journalColumns().size();
    for (const QStringList& line : lines)
        EXPECT_EQ(line.size(), columns);
    EXPECT_EQ(lines[4][4], QStringLiteral("update"));
    EXPECT_EQ(lines[4].indexOf(QStringLiteral("123456.789")), 6 + history::journalColumns().size() + 4);

    // The days of the changes: today's hold them all, yesterday's none.
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QString yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
    EXPECT_EQ(historyChanges(cli({QStringLiteral("history"), QStringLiteral("--from"), today, QStringLiteral("--to"), today, QStringLiteral("--format"),
                           QStringLiteral("json")}))
                  .size(),
              4);
    EXPECT_EQ(historyChanges(cli({QStringLiteral("history"), QStringLiteral("--to"), yesterday, QStringLiteral("--format"), QStringLiteral("json")}))
                  .size(),
              0);

    const struct {
        QStringList arguments;
        const char* why;
    } mistaken[] = {
        {{QStringLiteral("history"), QStringLiteral("--id"), QStringLiteral("x")}, "an id that is not a number"},
        {{QStringLiteral("history"), QStringLiteral("--id"), QStringLiteral("2"), QStringLiteral("--from"), today}, "a row and days together"},
        {{QStringLiteral("history"), QStringLiteral("--from"), today, QStringLiteral("--to"), yesterday}, "days the wrong way round"},
    };
    for (const auto& m : mistaken) {
        const CliRun run = cli(m.arguments);
        EXPECT_EQ(run.exitCode, 2) << m.why;
        EXPECT_TRUE(run.out.isEmpty()) << m.why;
    }
}

TEST_F(CliHistory, TheClosingTransfersAreRecordedAndCheckFindsATamperedHistory)
{
    const CliRun transfers = cli({QStringLiteral("closing-transfers"), QStringLiteral("--year"), QStringLiteral("2010")});
    ASSERT_EQ(transfers.exitCode, 0) << transfers.errText().toStdString();
    const QJsonArray rows = historyChanges(cli({QStringLiteral("history"), QStringLiteral("--format"), QStringLiteral("json")}));
    QStringList closing;
    for (const QJsonValue& row : rows) {
        if (row.toObject()[QStringLiteral("command")].toString() == QStringLiteral("決算振替仕訳"))
            closing << row.toObject()[QStringLiteral("operation")].toString();
    }
    ASSERT_FALSE(closing.isEmpty());
    EXPECT_EQ(closing.first(), QStringLiteral("delete")) << "the mode-41 row typed by the user, kept in the history";
    EXPECT_EQ(closing.count(QStringLiteral("delete")), 1);

    const CliRun sound = cli({QStringLiteral("check")});
    EXPECT_EQ(sound.exitCode, 0) << sound.outText().toStdString();
    EXPECT_TRUE(sound.outText().contains(QStringLiteral("OK  仕訳の変更履歴")));

    {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open_v2(QDir(folder.path()).filePath(QString::fromLatin1(Database::kFileName)).toUtf8().constData(), &handle,
                                  SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(handle, "DROP TRIGGER shiwakeRireki_unchanged; UPDATE shiwakeRireki SET new_Memo = '改ざん' WHERE rowId = 1",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(handle);
    }
    const CliRun tampered = cli({QStringLiteral("check")});
    EXPECT_EQ(tampered.exitCode, 1);
    EXPECT_TRUE(tampered.outText().contains(QStringLiteral("NG  仕訳の変更履歴"))) << tampered.outText().toStdString();
    EXPECT_TRUE(tampered.outText().contains(QStringLiteral("仕訳番号 1）"))) << tampered.outText().toStdString();
}
