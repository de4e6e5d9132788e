// tolva-cli's check, backup and restore, and what reading verbs leave untouched.
#include "db/database.h"
#include "db/history.h"
#include "tests/cli/clirun.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdio>

#include <sys/stat.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

qint64 count(const QString& folder, const QString& sql)
{
    auto db = Database::forFolder(folder);
    Statement s = db->prepare(sql);
    const qint64 n = s.step() ? s.columnInt(0) : -1;
    s = Statement();
    Database::closeAll();
    return n;
}

// Counts in a database file by itself, read only and whatever lies beside it ignored.
qint64 countInFile(const QString& file, const char* sql)
{
    sqlite3* handle = nullptr;
    const QByteArray uri = "file:" + QUrl::toPercentEncoding(file, "/") + "?immutable=1";
    if (sqlite3_open_v2(uri.constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
        return -1;
    sqlite3_stmt* stmt = nullptr;
    qint64 n = -1;
    if (sqlite3_prepare_v2(handle, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return n;
}

// A row written the way a program that was killed leaves it: in the log only.
void writeKeepingTheLog(const QString& dbFile, const char* sql)
{
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(dbFile.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    EXPECT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
    sqlite3_close(handle);
}

class CliBooks : public ::testing::Test {
protected:
    void SetUp() override
    {
        setOwner(folder.path(), 2010, 3);
        addEntries(folder.path(), {
                                      {"2010-04-05", "0411", 1200, "1111", 1200, "八百屋", "041101", nullptr, 10, "0101"},
                                      {"2010-04-06", "1111", 30000, "1112", 30000, nullptr, nullptr, "111201"},
                                  });
        Database::closeAll();
    }
    [[nodiscard]] QString books() const { return folder.file(QString::fromLatin1(Database::kFileName)); }
    [[nodiscard]] CliRun cli(const QStringList& arguments) const { return runCli(arguments, folder.path()); }

    TestDataFolder folder;
};

TEST_F(CliBooks, CheckPassesSoundBooksAndNamesEveryRowThatBreaksTheirRules)
{
    const CliRun clean = cli({QStringLiteral("check"), QStringLiteral("--full")});
    EXPECT_EQ(clean.exitCode, 0) << clean.outText().toStdString() << clean.errText().toStdString();
    EXPECT_FALSE(clean.outText().contains(QStringLiteral("NG")));
    EXPECT_TRUE(clean.outText().contains(QStringLiteral("OK  PRAGMA integrity_check")));

    // NO 3: sides differ; NO 4: a sub-account, a credit account with its category and a use
    // category that the masters lack; NO 5: a mode the books do not know; NO 6: an empty
    // credit amount.
    addEntries(folder.path(), {
                                  {"2010-05-01", "0411", 1000, "1111", 900},
                                  {"2010-05-02", "0499", 10, "0999", 10, nullptr, "049901", nullptr, 10, "0909"},
                                  {"2010-05-03", "0411", 10, "1111", 10, nullptr, nullptr, nullptr, 99},
                              });
    Database::forFolder(folder.path())->exec(QStringLiteral(
        "INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, syori) VALUES ('2010-05-04', '04', '0411', 500000000, '11', '1111', 10)"));
    Database::closeAll();

    const CliRun text = cli({QStringLiteral("check")});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_TRUE(text.errText().contains(QStringLiteral("問題が見つかりました"))) << text.errText().toStdString();
    const QStringList expected = {
        QStringLiteral("NG  仕訳ごとの借方金額と貸方金額"),
        QStringLiteral("NO 3 (2010/05/01): 借方金額 1,000 と貸方金額 900 が一致しません（差額 100）"),
        QStringLiteral("NO 4 (2010/05/02): 借方細目「049901」は細目にありません"),
        QStringLiteral("NO 4 (2010/05/02): 貸方分類「09」は分類にありません"),
        QStringLiteral("NO 4 (2010/05/02): 貸方科目「0999」は勘定科目にありません"),
        QStringLiteral("NO 4 (2010/05/02): 区分「0909」は用途区分にありません"),
        QStringLiteral("NO 5 (2010/05/03): 処理ﾓｰﾄﾞ「99」は処理ﾓｰﾄﾞにありません"),
        QStringLiteral("NO 6 (2010/05/04): 借方金額 50,000 と貸方金額 0 が一致しません（差額 50,000）"),
    };
    for (const QString& line : expected)
        EXPECT_TRUE(text.outText().contains(line)) << line.toStdString() << "\n" << text.outText().toStdString();
    // Rows 1 and 2 keep the rules; the account 0499 is in the chart.
    EXPECT_FALSE(text.outText().contains(QStringLiteral("NO 1 ")));
    EXPECT_FALSE(text.outText().contains(QStringLiteral("「0499」")));

    const CliRun json = cli({QStringLiteral("check"), QStringLiteral("--format"), QStringLiteral("json")});
    EXPECT_EQ(json.exitCode, 1);
    const QJsonObject report = QJsonDocument::fromJson(json.out).object();
    EXPECT_FALSE(report.value(QStringLiteral("ok")).toBool());
    QStringList faults;
    for (const QJsonValue& fault : report.value(QStringLiteral("faults")).toArray()) {
        const QJsonObject f = fault.toObject();
        faults << QStringLiteral("%1 %2 %3 %4 %5")
                      .arg(f.value(QStringLiteral("id")).toInteger())
                      .arg(f.value(QStringLiteral("kind")).toString(), f.value(QStringLiteral("value")).toString(),
                           f.value(QStringLiteral("debit")).toString(), f.value(QStringLiteral("credit")).toString());
    }
    EXPECT_EQ(faults, (QStringList{"3 unequalSides  1000 900", "4 unknownSubAccount 049901 10 10",
                                   "4 unknownCategory 09 10 10", "4 unknownAccount 0999 10 10",
                                   "4 unknownUseCategory 0909 10 10", "5 unknownMode 99 10 10", "6 unequalSides  50000 0"}));
}

TEST_F(CliBooks, CheckReportsBooksThatDoNotOpen)
{
    writeFile(books(), QByteArray("SQLite format 3") + QByteArray(4096, '\x5a'));
    const CliRun run = cli({QStringLiteral("check")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.outText().contains(QStringLiteral("NG  開く時の検査"))) << run.outText().toStdString();
}

// The files beside the database that the program reads later: a stored query that is no longer
// one SELECT of the codes, a report project without a report it runs. The check names each,
// and a command that uses the query says which file is wrong (not its whole text) and writes
// nothing.
TEST_F(CliBooks, CheckFindsStoredQueriesAndAReportProjectThatWouldFailLater)
{
    const QString query = folder.file(QStringLiteral("qUnionCode.sql"));
    const QString project = folder.file(QStringLiteral("TlRepo01.rav"));
    const QByteArray goodQuery = bytesOf(query);
    const QByteArray goodProject = bytesOf(project);
    struct Case {
        const char* what;
        QString file;
        QByteArray content;
        const char* found;
    };
    const QList<Case> cases{
        {"an empty stored query", query, "", "が空です"},
        {"a stored query that deletes", query, "DELETE FROM shiwake", "帳簿を書き換える文"},
        {"two statements", query, "SELECT code FROM Kamoku; DELETE FROM shiwake", "文が二つ以上"},
        {"no column code", query, "SELECT bunrui FROM Kamoku", "列「code」がありません"},
        {"not SQL", query, "SELEKT code", "正しいSQLではありません"},
        {"a report project cut short", project, goodProject.left(goodProject.size() / 2), "TlRepo01.rav"},
        {"a report project without the journal book", project,
         QByteArray(goodProject).replace("\"rShiwake\"", "\"rShiwakeX\""), "レポート「rShiwake」がありません"},
    };
    for (const Case& c : cases) {
        writeFile(c.file, c.content);
        const CliRun check = cli({QStringLiteral("check")});
        EXPECT_EQ(check.exitCode, 1) << c.what;
        EXPECT_TRUE(check.outText().contains(QString::fromUtf8(c.found))) << c.what << ": " << check.outText().toStdString();
        if (c.file == query) {
            const QByteArray before = bytesOf(books());
            const CliRun totals = cli({QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("2010")});
            EXPECT_EQ(totals.exitCode, 1) << c.what;
            EXPECT_TRUE(totals.errText().contains(QStringLiteral("qUnionCode.sql"))) << c.what << ": " << totals.errText().toStdString();
            EXPECT_FALSE(totals.errText().contains(QStringLiteral("FROM"))) << c.what << ": " << totals.errText().toStdString();
            EXPECT_EQ(countInFile(books(), "SELECT count(*) FROM shiwake"), 2) << c.what;
        }
        writeFile(query, goodQuery);
        writeFile(project, goodProject);
    }
    const CliRun sound = cli({QStringLiteral("check")});
    EXPECT_EQ(sound.exitCode, 0) << sound.outText().toStdString();
}

// The journal's kept counts drift when another program writes without our triggers' settings
// (its INSERT OR REPLACE deletes without telling the count) or sets them by hand. The check
// finds it and counts again; after an unclean end the next program to write does the same.
TEST_F(CliBooks, DriftedRowCountsAreFoundAndCountedAgain)
{
    const auto kept = [&] {
        return QStringLiteral("%1/%2/%3")
            .arg(countInFile(books(), "SELECT n FROM RowCount WHERE tableName = 'shiwake'"))
            .arg(countInFile(books(), "SELECT count(*) FROM shiwake"))
            .arg(countInFile(books(), "SELECT count(*) FROM (SELECT sDay, count(*) AS n FROM shiwake GROUP BY sDay"
                                      " EXCEPT SELECT sDay, n FROM DayCount)"));
    };
    ASSERT_EQ(kept(), QStringLiteral("2/2/0"));
    {
        // Another program, with SQLite's default settings: the replaced row counts twice.
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open_v2(books().toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        tolva::history::registerFunctions(handle);
        EXPECT_EQ(sqlite3_exec(handle,
                               "INSERT OR REPLACE INTO shiwake SELECT * FROM shiwake WHERE id = 1",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(handle);
    }
    ASSERT_EQ(kept(), QStringLiteral("3/2/1"));
    const CliRun check = cli({QStringLiteral("check")});
    EXPECT_EQ(check.exitCode, 0) << check.outText().toStdString();
    EXPECT_TRUE(check.outText().contains(QStringLiteral("数え直して直しました"))) << check.outText().toStdString();
    EXPECT_EQ(kept(), QStringLiteral("2/2/0"));

    // Set too low by hand, then the books left with their log: the next writer puts it right.
    writeKeepingTheLog(books(), "UPDATE RowCount SET n = 1 WHERE tableName = 'shiwake'");
    ASSERT_TRUE(QFileInfo::exists(books() + QStringLiteral("-wal")));
    const CliRun totals = cli({QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("2010")});
    EXPECT_EQ(totals.exitCode, 0) << totals.errText().toStdString();
    EXPECT_EQ(kept(), QStringLiteral("2/2/0"));
}

// A folder whose layout stopped part way is refused by every verb, with the command that
// completes it; nothing is added to it.
TEST_F(CliBooks, AHalfMadeFolderIsRefusedWithHowToCompleteIt)
{
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("uqSai.sql"))));
    const QByteArray before = bytesOf(books());
    for (const QStringList& arguments : {QStringList{QStringLiteral("ledger"), QStringLiteral("1111")},
                                         QStringList{QStringLiteral("check")},
                                         QStringList{QStringLiteral("backup")},
                                         QStringList{QStringLiteral("closing-transfers"), QStringLiteral("--year"), QStringLiteral("2010")}}) {
        const std::string what = arguments.join(u' ').toStdString();
        const CliRun run = cli(arguments);
        const QString said = run.outText() + run.errText();
        EXPECT_EQ(run.exitCode, 1) << what << ": " << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("作成の途中で止まっています（uqSai.sql がありません）"))) << what << ": " << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("tolva --init-data ") + QDir::toNativeSeparators(folder.path()))) << what << ": " << said.toStdString();
        EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("uqSai.sql")))) << what;
        EXPECT_EQ(bytesOf(books()), before) << what;
        EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("backup")))) << what;
    }
}

// An amount changed on the disk (a bad disk, a bad copy) in pages whose structure stays valid:
// every verb that reads it stops with the damaged books' message instead of printing a wrong
// figure, and the check and the backup report the books as damaged.
TEST_F(CliBooks, AnAmountChangedOnTheDiskStopsEveryVerbThatReadsItAndFailsTheCheckAndTheBackup)
{
    // 7,654,321 yen among 3,000 rows of the owner's year (April to March): its pages lie in the
    // middle of the journal and its indexes, which a normal start does not read.
    constexpr qint64 kStored = 76'543'210'000;
    const auto rows = [](int from, int to) {
        return "WITH RECURSIVE n(i) AS (SELECT " + std::to_string(from) + " UNION ALL SELECT i + 1 FROM n WHERE i < "
               + std::to_string(to)
               + ") INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori, Memo) "
                 "SELECT date('2010-04-01', '+' || (i % 360) || ' days'), '04', '0411', i * 10000, '11', '1111', i * 10000, 10,"
                 " printf('row %d', i) FROM n;";
    };
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(books().toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    EXPECT_EQ(sqlite3_exec(handle, (rows(1, 1500)
                                 + "INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori, Memo)"
                                   " VALUES ('2010-06-15', '04', '0411', " + std::to_string(kStored) + ", '11', '1111', "
                                 + std::to_string(kStored) + ", 10, '印'); " + rows(1501, 3000))
                                    .c_str(),
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(handle);
    const QStringList year = {QStringLiteral("--from"), QStringLiteral("2010-04-01"), QStringLiteral("--to"), QStringLiteral("2011-03-31")};
    const QList<QStringList> readers = {QStringList{QStringLiteral("ledger"), QStringLiteral("1111")} + year,
                                        QStringList{QStringLiteral("journal"), QStringLiteral("--debit"), QStringLiteral("04")} + year,
                                        QStringList{QStringLiteral("aggregate")} + year};
    for (const QStringList& arguments : readers) {
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.exitCode, 0) << arguments.join(u' ').toStdString() << ": " << run.errText().toStdString();
        if (arguments.first() != u"aggregate") {
            EXPECT_TRUE(run.outText().contains(QStringLiteral("7,654,321"))) << arguments.join(u' ').toStdString();
        }
    }

    ASSERT_GE(changeStoredInteger(books(), kStored), 3);  // the row and its two index entries
    const QByteArray changed = bytesOf(books());
    for (const QStringList& arguments : readers) {
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(u' ').toStdString();
        // The aggregation writes its sums, so it reads every page before it begins.
        const QString message = arguments.first() == u"aggregate" ? QStringLiteral("は壊れているため、開けません")
                                                                   : QStringLiteral("データベースが壊れています（");
        EXPECT_TRUE(run.errText().contains(message)) << arguments.join(u' ').toStdString() << ": " << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QStringLiteral("8202")) || run.errText().contains(QStringLiteral("チェックサム")))
            << run.errText().toStdString();
        EXPECT_TRUE(run.outText().isEmpty()) << arguments.join(u' ').toStdString() << ": " << run.outText().toStdString();
    }
    const CliRun check = cli({QStringLiteral("check")});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_TRUE(check.outText().contains(QStringLiteral("NG"))) << check.outText().toStdString();
    QTemporaryDir out;
    const CliRun backup = cli({QStringLiteral("backup"), QStringLiteral("-o"), out.filePath(QStringLiteral("copy.sqlite"))});
    EXPECT_EQ(backup.exitCode, 1);
    EXPECT_TRUE(backup.errText().contains(QStringLiteral("壊れ"))) << backup.errText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("copy.sqlite"))));
    EXPECT_EQ(bytesOf(books()), changed) << "no verb wrote into the damaged books";
}

// An older copy of the file put back beside the log of newer books: every page SQLite reads is
// well formed, but an index no longer agrees with its table, and the ledger (which sums the
// index) would print the old amount. The log shows the last program did not close the books:
// the whole file is compared with its indexes before anything is folded, and the books are
// refused with all their files as they were.
TEST_F(CliBooks, AnOlderFileBesideANewerLogIsRefusedBeforeTheLogIsFoldedIn)
{
    const QByteArray older = bytesOf(books());
    {
        // A change of an amount, folded into the file: the table's and the index's pages.
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open_v2(books().toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        tolva::history::registerFunctions(handle);
        EXPECT_EQ(sqlite3_exec(handle, "UPDATE shiwake SET Lgaku = 13000000, Rgaku = 13000000 WHERE Lcode = '0411'", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(handle);
    }
    // Then a memo of the same row, in the log only: the table's page alone.
    writeKeepingTheLog(books(), "UPDATE shiwake SET Memo = '八百屋（訂正）' WHERE Lcode = '0411'");
    ASSERT_GT(QFileInfo(books() + QStringLiteral("-wal")).size(), 0);
    writeFile(books(), older);
    const QMap<QString, QByteArray> before = folderState(folder.path());

    for (const QStringList& arguments : {QStringList{QStringLiteral("ledger"), QStringLiteral("0411")}, QStringList{QStringLiteral("check")}}) {
        const std::string what = arguments.join(u' ').toStdString();
        const CliRun run = cli(arguments);
        const QString said = run.outText() + run.errText();
        EXPECT_EQ(run.exitCode, 1) << what << ": " << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("壊れている"))) << what << ": " << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("1,200"))) << what << ": the old figure was shown";
        EXPECT_TRUE(run.errText().contains(QStringLiteral("全体を検査しています"))) << what << ": " << run.errText().toStdString();
        EXPECT_TRUE(folderState(folder.path()) == before) << what << ": the refused books were changed";
    }
}

TEST_F(CliBooks, ReadingVerbsWriteNothingIntoTheBooks)
{
    Database::forFolder(folder.path())->exec(QStringLiteral("DELETE FROM Jigyounushi"));
    Database::closeAll();
    for (const QStringList& arguments : {QStringList{QStringLiteral("ledger"), QStringLiteral("1111")},
                                         QStringList{QStringLiteral("journal"), QStringLiteral("--debit"), QStringLiteral("04")},
                                         QStringList{QStringLiteral("check")}}) {
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.exitCode, 0) << arguments.join(u' ').toStdString() << ": " << run.errText().toStdString();
    }
    // No owner row was made: the period without one is the calendar year of today.
    EXPECT_EQ(count(folder.path(), QStringLiteral("SELECT count(*) FROM Jigyounushi")), 0);
    const CliRun ledger = cli({QStringLiteral("ledger"), QStringLiteral("1111")});
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_TRUE(ledger.outText().contains(QStringLiteral("期間：%1/ 01/ 01～%1/ 12/ 31").arg(year))) << ledger.outText().toStdString();
}

TEST_F(CliBooks, BackupIsACompleteCopyAndRestorePutsItBackKeepingTheBooksItReplaces)
{
    // A row only the log holds is part of the books and of their copy.
    writeKeepingTheLog(books(), "INSERT INTO biko (Name) VALUES ('in the log')");
    QTemporaryDir out;
    const QString copy = out.filePath(QStringLiteral("copy.sqlite"));
    const CliRun backup = cli({QStringLiteral("backup"), QStringLiteral("-o"), copy});
    ASSERT_EQ(backup.exitCode, 0) << backup.errText().toStdString();
    EXPECT_EQ(countInFile(copy, "SELECT count(*) FROM shiwake"), 2);
    EXPECT_EQ(countInFile(copy, "SELECT count(*) FROM biko WHERE Name = 'in the log'"), 1);
    EXPECT_EQ(countInFile(copy, "PRAGMA application_id"), Database::kApplicationId);

    const CliRun defaultPlace = cli({QStringLiteral("backup")});
    ASSERT_EQ(defaultPlace.exitCode, 0) << defaultPlace.errText().toStdString();
    const QStringList made = QDir(folder.file(QStringLiteral("backup"))).entryList({QStringLiteral("tolva-*.sqlite")}, QDir::Files);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(defaultPlace.outText().contains(made.first()));

    // After the copy: a row written normally, and one left in the log by a program that died.
    addEntry(folder.path(), {"2010-06-01", "0411", 700, "1111", 700, "後から"});
    Database::closeAll();
    writeKeepingTheLog(books(), "INSERT INTO biko (Name) VALUES ('left in the log')");
    ASSERT_GT(QFileInfo(books() + QStringLiteral("-wal")).size(), 0);

    const CliRun restore = cli({QStringLiteral("restore"), copy, QStringLiteral("--yes")});
    ASSERT_EQ(restore.exitCode, 0) << restore.errText().toStdString();
    EXPECT_FALSE(QFileInfo(books() + QStringLiteral("-wal")).size() > 0);
    EXPECT_FALSE(QFileInfo::exists(books() + QStringLiteral("-shm")));
    EXPECT_EQ(count(folder.path(), QStringLiteral("SELECT count(*) FROM shiwake")), 2);
    EXPECT_EQ(count(folder.path(), QStringLiteral("SELECT count(*) FROM biko WHERE Name LIKE '%log'")), 1);
    EXPECT_EQ(cli({QStringLiteral("check")}).exitCode, 0);

    // The books it replaced, log included, are kept.
    const QStringList kept = QDir(folder.file(QStringLiteral("backup"))).entryList({QStringLiteral("*before-restore.sqlite")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    const QString keptFile = QDir(folder.file(QStringLiteral("backup"))).filePath(kept.first());
    EXPECT_EQ(countInFile(keptFile, "SELECT count(*) FROM shiwake"), 3);
    EXPECT_EQ(countInFile(keptFile, "SELECT count(*) FROM biko WHERE Name = 'left in the log'"), 1);
    EXPECT_TRUE(restore.outText().contains(kept.first())) << restore.outText().toStdString();
    // Nothing of the work is left in the folder.
    EXPECT_TRUE(QDir(folder.path()).entryList({QStringLiteral(".restore.tolva-tmp-*")}, QDir::Dirs | QDir::Hidden).isEmpty());
}

TEST_F(CliBooks, RestoreRefusesWhatIsNotSoundBooksOfOursAndLeavesTheBooksAsTheyWere)
{
    QTemporaryDir out;
    const QString text = out.filePath(QStringLiteral("notes.txt"));
    writeFile(text, "not books\n");
    const QString foreign = out.filePath(QStringLiteral("other.sqlite"));
    {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open(foreign.toUtf8().constData(), &handle), SQLITE_OK);
        sqlite3_exec(handle, "CREATE TABLE shiwake (id INTEGER)", nullptr, nullptr, nullptr);
        sqlite3_close(handle);
    }
    const QString truncated = out.filePath(QStringLiteral("half.sqlite"));
    ASSERT_EQ(cli({QStringLiteral("backup"), QStringLiteral("-o"), truncated}).exitCode, 0);
    const QByteArray whole = bytesOf(truncated);
    writeFile(truncated, whole.left(whole.size() / 2));

    const QByteArray before = bytesOf(books());
    struct Case {
        QString file;
        const char* told;
    };
    const Case cases[] = {
        {text, "Tolvaのデータベースではありません"},
        {foreign, "Tolvaのデータベースではありません"},
        {truncated, "復元できません"},
        {out.filePath(QStringLiteral("missing.sqlite")), "見つかりません"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli({QStringLiteral("restore"), c.file, QStringLiteral("--yes")});
        EXPECT_EQ(run.exitCode, 1) << c.file.toStdString();
        EXPECT_TRUE(run.errText().contains(QString::fromUtf8(c.told))) << c.file.toStdString() << ": " << run.errText().toStdString();
        EXPECT_EQ(bytesOf(books()), before) << c.file.toStdString();
        EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("backup")))) << c.file.toStdString();
    }
    EXPECT_TRUE(QDir(folder.path()).entryList({QStringLiteral(".restore.tolva-tmp-*")}, QDir::Dirs | QDir::Hidden).isEmpty());
}

// Restore while another program has the books open: its later writes would go into a log the
// restore removes. The books are refused as in use, and nothing is replaced.
TEST_F(CliBooks, RestoreRefusesBooksAnotherProgramHoldsOpen)
{
    QTemporaryDir out;
    const QString copy = out.filePath(QStringLiteral("copy.sqlite"));
    ASSERT_EQ(cli({QStringLiteral("backup"), QStringLiteral("-o"), copy}).exitCode, 0);
    const QByteArray before = bytesOf(books());

    // Another program's connection, idle but open, as a program between two writes.
    QProcess holder;
    holder.setProgram(QCoreApplication::applicationFilePath());
    holder.setArguments({QStringLiteral("--gtest_filter=CliBooksLockChild.*"), QStringLiteral("--gtest_also_run_disabled_tests")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOLVA_HOLD_BOOKS"), books());
    holder.setProcessEnvironment(env);
    holder.start();
    ASSERT_TRUE(holder.waitForReadyRead(30000)) << holder.readAllStandardError().toStdString();
    const CliRun run = cli({QStringLiteral("restore"), copy, QStringLiteral("--yes")});
    EXPECT_EQ(run.exitCode, 1) << run.outText().toStdString();
    EXPECT_TRUE(run.errText().contains(QStringLiteral("他のプログラムが使用中"))) << run.errText().toStdString();
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(30000));
    EXPECT_EQ(holder.exitCode(), 0) << holder.readAllStandardError().toStdString();
    EXPECT_EQ(bytesOf(books()), before);
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("backup"))));
}

// A source whose last commits are still in its log beside it comes back as committed, and the
// user sees both books side by side before anything is replaced; without a terminal and without
// --yes nothing is replaced.
TEST_F(CliBooks, RestoreTakesTheSourcesLogAndShowsBothBooksFirst)
{
    QTemporaryDir out;
    const QString source = out.filePath(QStringLiteral("books.sqlite"));
    ASSERT_TRUE(QFile::copy(books(), source));
    // Three rows more, then two removed, in the source's log only.
    writeKeepingTheLog(source, "INSERT INTO shiwake (sDay, Lcode, Lgaku, Rcode, Rgaku, syori) VALUES ('2010-06-01','0411',10000,'1111',10000,10),"
                               " ('2010-06-02','0411',20000,'1111',20000,10), ('2010-06-03','0411',30000,'1111',30000,10)");
    writeKeepingTheLog(source, "DELETE FROM shiwake WHERE sDay IN ('2010-06-01','2010-06-02')");
    ASSERT_GT(QFileInfo(source + QStringLiteral("-wal")).size(), 0);
    ASSERT_EQ(countInFile(source, "SELECT count(*) FROM shiwake"), 2) << "the file alone holds the rows before the log";
    const QByteArray sourceBytes = bytesOf(source);
    const QByteArray sourceLog = bytesOf(source + QStringLiteral("-wal"));

    const QByteArray before = bytesOf(books());
    const CliRun unconfirmed = cli({QStringLiteral("restore"), source});
    EXPECT_EQ(unconfirmed.exitCode, 2) << unconfirmed.errText().toStdString();
    EXPECT_TRUE(unconfirmed.errText().contains(QStringLiteral("--yes"))) << unconfirmed.errText().toStdString();
    EXPECT_EQ(bytesOf(books()), before);

    const CliRun run = cli({QStringLiteral("restore"), source, QStringLiteral("--yes")});
    ASSERT_EQ(run.exitCode, 0) << run.errText().toStdString();
    const QString said = run.outText();
    EXPECT_TRUE(said.contains(QStringLiteral("復元する帳簿: ") + QDir::toNativeSeparators(source))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("仕訳 3 件、2010/04/05 ～ 2010/06/03"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("今の帳簿:"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("仕訳 2 件、2010/04/05 ～ 2010/04/06"))) << said.toStdString();
    EXPECT_LT(said.indexOf(QStringLiteral("今の帳簿:")), said.indexOf(QStringLiteral("から帳簿を復元しました")));
    EXPECT_EQ(countInFile(books(), "SELECT count(*) FROM shiwake"), 3);
    EXPECT_EQ(countInFile(books(), "SELECT count(*) FROM shiwake WHERE sDay = '2010-06-03'"), 1);
    // The source is read, never written.
    EXPECT_EQ(bytesOf(source), sourceBytes);
    EXPECT_EQ(bytesOf(source + QStringLiteral("-wal")), sourceLog);
}

TEST_F(CliBooks, ARestoredFileKeepsThePermissionBitsOfTheBooksItReplaces)
{
    QTemporaryDir out;
    const QString copy = out.filePath(QStringLiteral("copy.sqlite"));
    ASSERT_EQ(cli({QStringLiteral("backup"), QStringLiteral("-o"), copy}).exitCode, 0);
    ASSERT_EQ(::chmod(QFile::encodeName(copy).constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(books()).constData(), 0644), 0);
    ASSERT_EQ(cli({QStringLiteral("restore"), copy, QStringLiteral("--yes")}).exitCode, 0);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(books()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode_t(0644));
}

// What a user reads when a command cannot be done: one sentence naming the value or file and
// what to do, checked before the books are touched.
TEST_F(CliBooks, MessagesNameTheValueAndTheBooksAreNotTouchedForAMistakenCommandLine)
{
    // Books the last program did not close: opening them would fold their log in.
    writeKeepingTheLog(books(), "UPDATE Jigyounushi SET name = '山田'");
    const QMap<QString, QByteArray> before = folderState(folder.path());
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* told;
    };
    const QList<Case> cases{
        {{QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("1899")}, 2, "--year には 1980 から 2100"},
        {{QStringLiteral("closing-transfers"), QStringLiteral("--year"), QStringLiteral("二〇一〇")}, 2, "--year には"},
        {{QStringLiteral("depreciation"), QStringLiteral("--year"), QStringLiteral("2101")}, 2, "--year には"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--to"), QStringLiteral("9999-12-31")}, 2, "扱える範囲（1900/01/01 ～ 2999/12/31）の外"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--to"), QStringLiteral("2010-02-30")}, 2, "正しくありません"},
        {{QStringLiteral("backup"), QStringLiteral("-o"), books()}, 1, "帳簿を守るため"},
        {{QStringLiteral("export"), QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("-o"), folder.file(QStringLiteral("uqSai.sql"))}, 1, "帳簿を守るため"},
    };
    for (const Case& c : cases) {
        const std::string what = c.arguments.join(u' ').toStdString();
        const CliRun run = cli(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << what << ": " << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QString::fromUtf8(c.told))) << what << ": " << run.errText().toStdString();
        EXPECT_TRUE(folderState(folder.path()) == before) << what << ": files changed";
    }
}

TEST_F(CliBooks, ASumBeyondTheRangeOfAmountsIsToldAsSuch)
{
    // Two amounts typed with far too many digits: each fits, their sum does not.
    addEntries(folder.path(), {
                                  {"2010-05-01", "0411", 500'000'000'000'000, "1111", 500'000'000'000'000},
                                  {"2010-05-02", "0411", 500'000'000'000'000, "1111", 500'000'000'000'000},
                              });
    Database::closeAll();
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("2010")},
          QStringList{QStringLiteral("aggregate"), QStringLiteral("--from"), QStringLiteral("2010-04-01"), QStringLiteral("--to"), QStringLiteral("2011-03-31")},
          QStringList{QStringLiteral("journal"), QStringLiteral("--from"), QStringLiteral("2010-04-01"), QStringLiteral("--format"), QStringLiteral("json")},
          QStringList{QStringLiteral("journal"), QStringLiteral("--from"), QStringLiteral("2010-04-01")},
          QStringList{QStringLiteral("ledger"), QStringLiteral("0411"), QStringLiteral("--from"), QStringLiteral("2010-04-01"), QStringLiteral("--to"), QStringLiteral("2011-03-31")},
          QStringList{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--from"), QStringLiteral("2010-04-01"), QStringLiteral("--to"), QStringLiteral("2011-03-31"), QStringLiteral("--format"), QStringLiteral("json")},
          QStringList{QStringLiteral("export"), QStringLiteral("ledger"), QStringLiteral("0411"), QStringLiteral("-o"), QStringLiteral("/dev/null")},
}) {
        const std::string what = arguments.join(u' ').toStdString();
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.exitCode, 1) << what << ": " << run.outText().left(200).toStdString();
        // One sentence, whether SQLite's sum or the program's own arithmetic passed the range.
        EXPECT_EQ(run.errText().trimmed(), amountOutOfRange()) << what;
        EXPECT_FALSE(run.errText().contains(QStringLiteral("overflow"))) << what;
    }
}

// The copy a restore makes cannot be written (here a file size limit): the reason is told, and
// the books are as they were.
TEST_F(CliBooks, ARestoreThatCannotCopyItsSourceSaysWhy)
{
    QTemporaryDir out;
    const QString copy = out.filePath(QStringLiteral("copy.sqlite"));
    ASSERT_EQ(cli({QStringLiteral("backup"), QStringLiteral("-o"), copy}).exitCode, 0);
    const QByteArray before = bytesOf(books());
    QProcess limited;
    limited.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 16; exec \"$@\""), QStringLiteral("bash"),
                                           QStringLiteral(TOLVA_CLI), QStringLiteral("restore"), copy, QStringLiteral("--yes"),
                                           QStringLiteral("--data-dir"), folder.path()});
    ASSERT_TRUE(limited.waitForFinished(60000));
    const QString said = QString::fromUtf8(limited.readAllStandardError());
    EXPECT_EQ(limited.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("ファイルの大きさの上限を超えたため"))) << said.toStdString();
    EXPECT_EQ(bytesOf(books()), before);

    // A backup folder that is a file: refused before anything, without a word of restoring.
    writeFile(folder.file(QStringLiteral("backup")), "a file in the way");
    const CliRun run = cli({QStringLiteral("restore"), copy, QStringLiteral("--yes")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errText().contains(QStringLiteral("フォルダではないため"))) << run.errText().toStdString();
    EXPECT_FALSE((run.outText() + run.errText()).contains(QStringLiteral("復元します"))) << run.outText().toStdString();
    EXPECT_EQ(bytesOf(books()), before);
}

// Run only as the child process of RestoreRefusesBooksAnotherProgramHoldsOpen: holds the books
// open, as another program would, until its standard input is closed.
TEST(CliBooksLockChild, DISABLED_HoldTheBooks)
{
    const QString path = qEnvironmentVariable("TOLVA_HOLD_BOOKS");
    if (path.isEmpty())
        GTEST_SKIP();
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, "SELECT count(*) FROM shiwake", nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
    printf("holding\n");
    fflush(stdout);
    while (std::getchar() != EOF) {
    }
    sqlite3_close_v2(handle);
}

} // namespace
