// The checksum of every page: an amount changed on the disk in a page whose structure stays
// valid is an error wherever it is read (the file, the log, a copy), never a figure; books of
// the layout before are brought to checksums whole or not at all.
#include "db/booksbackup.h"
#include "db/checksumvfs.h"
#include "db/database.h"
#include "db/datafolder.h"
#include "db/history.h"
#include "tests/support/faultyvfs.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <optional>

using namespace tolva;
using namespace tolva::testing;

namespace {

// 7,654,321 yen as the journal stores it: no other amount of these books has its bytes.
constexpr qint64 kMarkedAmount = 76'543'210'000;

QString booksFile(const QString& folder)
{
    return QDir(folder).filePath(QString::fromLatin1(Database::kFileName));
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void run(sqlite3* handle, const std::string& sql)
{
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
}

// Journal rows around one row of the marked amount, which lands in a leaf page in the middle
// of the journal and of its indexes.
std::string rowsAroundTheMarkedOne(int before, int after)
{
    const auto rows = [](int from, int to) {
        return "WITH RECURSIVE n(i) AS (SELECT " + std::to_string(from) + " UNION ALL SELECT i + 1 FROM n WHERE i < "
               + std::to_string(to)
               + ") INSERT INTO shiwake (sDay, Lcode, Lgaku, Rcode, Rgaku, Memo) "
                 "SELECT date('2020-01-01', '+' || (i % 366) || ' days'), printf('%04d', 1000 + i % 97), i * 10000, "
                 "printf('%04d', 1000 + i % 89), i * 10000, printf('row %d', i) FROM n;";
    };
    return rows(1, before)
           + "INSERT INTO shiwake (sDay, Lcode, Lgaku, Rcode, Rgaku, Memo) VALUES ('2020-06-15', '0411', "
           + std::to_string(kMarkedAmount) + ", '1111', " + std::to_string(kMarkedAmount) + ", 'marked');"
           + rows(before + 1, before + after);
}

// `padded`: as on a disk that does not promise to leave the rest of a sector alone when a write
// is cut short (psow=0), where SQLite pads each commit to the end of a sector with copies of
// its last frame, and syncs the log in the middle of one of them.
void writeThroughSqliteAlone(const QString& folder, const std::string& sql, bool keepLog = false, bool padded = false)
{
    sqlite3* handle = nullptr;
    const QByteArray name = padded ? "file:" + QUrl::toPercentEncoding(booksFile(folder), "/") + "?psow=0" : booksFile(folder).toUtf8();
    ASSERT_EQ(sqlite3_open_v2(name.constData(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    if (keepLog)
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    run(handle, sql);
    sqlite3_close(handle);
}

// The message of a statement run to its end, or empty when it went through.
QString failureOf(Database& db, const QString& sql, bool inTransaction = false)
{
    try {
        std::optional<Transaction> transaction;
        if (inTransaction)
            transaction.emplace(db);
        Statement statement = db.prepare(sql);
        while (statement.step()) {
        }
        if (transaction)
            transaction->commit();
    } catch (const StoreError& e) {
        return e.message();
    }
    return QString();
}

QString openingError(const QString& folder, Database::OpeningChecks checks)
{
    Database::closeAll();
    try {
        datafolder::verify(folder, checks);
    } catch (const StoreError& e) {
        Database::closeAll();
        return e.message();
    }
    Database::closeAll();
    return QString();
}

QStringList schemaOf(Database& db)
{
    Statement rows = db.prepare(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name"));
    QStringList schema;
    while (rows.step())
        schema << QStringLiteral("%1 %2 %3 %4").arg(rows.column(0).toString(), rows.column(1).toString(),
                                                   rows.column(2).toString(), rows.column(3).toString());
    return schema;
}

// The reserved bytes per page that the file's header gives.
int reservedBytes(const QString& path)
{
    const QByteArray header = bytesOf(path).left(100);
    return header.size() == 100 ? quint8(header.at(20)) : -1;
}

} // namespace

TEST(Checksums, AnAmountChangedInTheFileIsAnErrorWhereverItIsReadAndAWriteMeetingItChangesNothing)
{
    TestDataFolder folder;
    writeThroughSqliteAlone(folder.path(), rowsAroundTheMarkedOne(1500, 1500));
    {
        auto db = Database::forFolder(folder.path());
        EXPECT_TRUE(checksumvfs::isChecksummed(db->handle()));
        EXPECT_EQ(failureOf(*db, QStringLiteral("SELECT sum(Lgaku) FROM shiwake")), QString());
    }
    Database::closeAll();
    const QString file = booksFile(folder.path());
    // The row, and the entries of the two indexes that carry the amount.
    ASSERT_GE(changeStoredInteger(file, kMarkedAmount), 3);
    const QByteArray changed = bytesOf(file);

    EXPECT_EQ(openingError(folder.path(), Database::OpeningChecks::Bounded), QString()) << "a normal start reads the journal's ends alone";
    {
        auto db = Database::forFolder(folder.path());
        for (const char* sql : {"SELECT sum(Lgaku) FROM shiwake",                                    // the rows
                                "SELECT sum(Lgaku) FROM shiwake WHERE Lcode = '0411'",               // an index alone
                                "SELECT sum(Rgaku) FROM shiwake INDEXED BY shiwake_Rcode WHERE Rcode >= '0'"}) {
            const QString message = failureOf(*db, QString::fromLatin1(sql));
            EXPECT_TRUE(message.contains(QStringLiteral("データベースが壊れています"))) << sql << ": " << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("チェックサム"))) << message.toStdString();
        }
        EXPECT_TRUE(failureOf(*db, QStringLiteral("UPDATE shiwake SET Memo = 'changed'"), true).contains(QStringLiteral("壊れています")));
        EXPECT_FALSE(db->damageFindings().isEmpty());
    }
    Database::closeAll();
    EXPECT_EQ(bytesOf(file), changed) << "the failed write changed the file";
    EXPECT_TRUE(openingError(folder.path(), Database::OpeningChecks::Full).contains(QStringLiteral("壊れている")));
}

// The log's frames are summed by SQLite too: once the layer puts the checksum in a page, the
// frame is summed again, so that the next program still plays the log back whole.
TEST(Checksums, TheLogKeepsEveryRowAndAPageOfItChangedOnTheDiskIsAnError)
{
    TestDataFolder folder;
    // A program that dies with three transactions in the log, the last one larger than its
    // cache: pages written out early and written again over their own frames.
    writeThroughSqliteAlone(folder.path(),
                            rowsAroundTheMarkedOne(400, 400)
                                + "PRAGMA cache_size = 5; BEGIN; UPDATE shiwake SET Memo = Memo || ' changed';"
                                  " UPDATE shiwake SET Memo = Memo || ' twice'; COMMIT;",
                            true);
    ASSERT_GT(QFileInfo(booksFile(folder.path()) + QStringLiteral("-wal")).size(), 0);
    EXPECT_EQ(openingError(folder.path(), Database::OpeningChecks::Full), QString()) << "every page of the log passes";
    {
        auto db = Database::forFolder(folder.path());
        Statement rows = db->prepare(QStringLiteral("SELECT count(*), sum(Memo LIKE '% changed twice') FROM shiwake"));
        ASSERT_TRUE(rows.step());
        EXPECT_EQ(rows.columnInt(0), 801);
        EXPECT_EQ(rows.columnInt(1), 801);
    }
    Database::closeAll();

    // Commits padded to the end of a sector: every transaction after the padding is played back.
    writeThroughSqliteAlone(folder.path(), "INSERT INTO biko (Name) VALUES ('one'); INSERT INTO biko (Name) VALUES ('two');"
                                           " DELETE FROM shiwake WHERE id % 2 = 0; INSERT INTO biko (Name) VALUES ('three');",
                            true, true);
    EXPECT_EQ(openingError(folder.path(), Database::OpeningChecks::Full), QString());
    {
        auto db = Database::forFolder(folder.path());
        Statement rows = db->prepare(QStringLiteral("SELECT (SELECT count(*) FROM shiwake), (SELECT count(*) FROM biko WHERE Name IN ('one', 'two', 'three'))"));
        ASSERT_TRUE(rows.step());
        EXPECT_EQ(rows.columnInt(0), 401);
        EXPECT_EQ(rows.columnInt(1), 3);
    }
    Database::closeAll();

    // A page changed in the log while the books are open and the page is not in memory.
    auto db = Database::forFolder(folder.path());
    db->exec(QStringLiteral("UPDATE shiwake SET Memo = 'in the log' WHERE Lgaku = %1").arg(kMarkedAmount));
    const QString log = booksFile(folder.path()) + QStringLiteral("-wal");
    ASSERT_GE(changeStoredInteger(log, kMarkedAmount), 1);
    sqlite3_db_release_memory(db->handle());
    const QString message = failureOf(*db, QStringLiteral("SELECT sum(Lgaku), max(Memo) FROM shiwake"));
    EXPECT_TRUE(message.contains(QStringLiteral("データベースが壊れています"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("tolva.sqlite-wal"))) << message.toStdString();
    EXPECT_FALSE(db->damageFindings().isEmpty());
}

// SQLite takes a log frame whose sum fails for the end of a write a crash cut short, and drops
// it with every frame after it. A frame changed on the disk with committed frames after it is
// damage instead: the books are refused, not opened without those rows.
TEST(Checksums, ALogFrameChangedBeforeItIsPlayedBackIsDamageNotTheEndOfTheLog)
{
    TestDataFolder folder;
    writeThroughSqliteAlone(folder.path(), rowsAroundTheMarkedOne(300, 300) + "INSERT INTO biko (Name) VALUES ('committed after');", true);
    const QString dbFile = booksFile(folder.path());
    const QString log = dbFile + QStringLiteral("-wal");
    ASSERT_EQ(changeStoredInteger(dbFile, kMarkedAmount), 0) << "the rows are in the log alone";
    // Its first copy in the log: a frame of the marked row's own transaction, others after it.
    ASSERT_EQ(changeStoredInteger(log, kMarkedAmount, 1), 1);
    const QByteArray changed = bytesOf(log);

    for (const auto checks : {Database::OpeningChecks::Bounded, Database::OpeningChecks::Full}) {
        const QString message = openingError(folder.path(), checks);
        EXPECT_TRUE(message.contains(QStringLiteral("壊れている"))) << message.toStdString();
        EXPECT_EQ(bytesOf(log), changed) << "the refused books' log is kept as it is";
    }
}

// A copy made through SQLite's online backup, larger than its cache: pages leave it before
// page 1 says they have checksums, and get them all the same.
TEST(Checksums, ACopyOfTheBooksCarriesThemOnEveryPage)
{
    TestDataFolder folder;
    writeThroughSqliteAlone(folder.path(), rowsAroundTheMarkedOne(20000, 20000));
    QTemporaryDir out;
    const QString copy = out.filePath(QStringLiteral("copy.sqlite"));
    booksbackup::copyBooks(*Database::forFolder(folder.path()), copy);
    Database::closeAll();
    EXPECT_GT(QFileInfo(copy).size(), 4 * 1024 * 1024);
    EXPECT_EQ(reservedBytes(copy), checksumvfs::kReserveBytes);

    const auto quickCheck = [&] {
        sqlite3* handle = nullptr;
        EXPECT_EQ(sqlite3_open_v2(copy.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(handle, "PRAGMA quick_check", -1, &check, nullptr);
        const int rc = sqlite3_step(check);
        QString result = rc == SQLITE_ROW ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)))
                                          : QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_finalize(check);
        sqlite3_close(handle);
        return result;
    };
    EXPECT_EQ(quickCheck().toStdString(), "ok");
    ASSERT_GE(changeStoredInteger(copy, kMarkedAmount), 1);
    // The check reports a page it cannot read, with the error that stopped it.
    const QString findings = quickCheck();
    EXPECT_TRUE(findings.contains(QStringLiteral("error code=%1").arg(SQLITE_IOERR_DATA))) << findings.toStdString();
}

TEST(Checksums, BooksOfTheLayoutBeforeAreBroughtToThemKeepingEveryRow)
{
    TestDataFolder current;
    const QStringList expectedSchema = schemaOf(*Database::forFolder(current.path()));
    Database::closeAll();

    TestDataFolder folder;
    makeBooksOfLayoutTwo(folder.path());
    writeThroughSqliteAlone(folder.path(), rowsAroundTheMarkedOne(3000, 3000) + "INSERT INTO biko (Name) VALUES ('a note');");
    const QString file = booksFile(folder.path());
    EXPECT_EQ(reservedBytes(file), 0);
    const qint64 sizeBefore = QFileInfo(file).size();
    QString before;
    {
        auto db = Database::forFolder(folder.path());
        EXPECT_EQ(db->schemaVersion(), 2);
        EXPECT_FALSE(checksumvfs::isChecksummed(db->handle())) << "opened and read, older books are left as they are";
        before = booksState(*db);
        // The one who waits is told how far it has come, from 0 to 100, never backwards.
        struct Progress final : OpeningObserver {
            void wholeFileCheckStarted(const QString&) override {}
            void upgrading(int percent) override { told.push_back(percent); }
            std::vector<int> told;
        } progress;
        db->makeReadyForWriting(&progress);
        ASSERT_FALSE(progress.told.empty());
        EXPECT_EQ(progress.told.front(), 0);
        EXPECT_EQ(progress.told.back(), 100);
        EXPECT_TRUE(std::is_sorted(progress.told.begin(), progress.told.end()));
        EXPECT_GE(progress.told.size(), 4u);
        EXPECT_EQ(db->schemaVersion(), Database::kSchemaVersion);
        EXPECT_TRUE(checksumvfs::isChecksummed(db->handle()));
        EXPECT_EQ(booksState(*db), before);
        EXPECT_EQ(schemaOf(*db).join(u'\n').toStdString(), expectedSchema.join(u'\n').toStdString());
        EXPECT_EQ(integrityCheck(*db), QStringLiteral("ok"));
        db->exec(QStringLiteral("INSERT INTO biko (Name) VALUES ('written after')"));
    }
    Database::closeAll();
    EXPECT_EQ(reservedBytes(file), checksumvfs::kReserveBytes);
    // 8 bytes fewer per page: a few more pages, the free ones of the old file gone.
    EXPECT_LT(QFileInfo(file).size(), sizeBefore * 11 / 10);
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*tolva-tmp*")}, QDir::Files | QDir::Hidden), QStringList());
    EXPECT_FALSE(QFileInfo(file + QStringLiteral("-wal")).size() > 0);

    ASSERT_GE(changeStoredInteger(file, kMarkedAmount), 1);
    auto db = Database::forFolder(folder.path());
    EXPECT_TRUE(failureOf(*db, QStringLiteral("SELECT sum(Lgaku) FROM shiwake")).contains(QStringLiteral("壊れています")));
}

TEST(Checksums, BooksOfLayoutThreeGetTheStatementSettingsWithoutACopy)
{
    TestDataFolder current;
    const QStringList expectedSchema = schemaOf(*Database::forFolder(current.path()));
    Database::closeAll();

    TestDataFolder folder;
    {
        auto db = Database::forFolder(folder.path());
        db->exec(QStringLiteral("DROP TABLE KessanLine"));
        db->exec(QStringLiteral("DROP TABLE KessanKoujo"));
        db->exec(QStringLiteral("PRAGMA user_version = 3"));
        db->exec(QStringLiteral("INSERT INTO biko (Name) VALUES ('a note')"));
    }
    Database::closeAll();
    {
        auto db = Database::forFolder(folder.path());
        EXPECT_EQ(db->schemaVersion(), 3);
        const QString before = booksState(*db);
        db->makeReadyForWriting(nullptr);
        EXPECT_EQ(db->schemaVersion(), Database::kSchemaVersion);
        EXPECT_EQ(booksState(*db), before);
        EXPECT_EQ(schemaOf(*db).join(u'\n').toStdString(), expectedSchema.join(u'\n').toStdString());
        db->exec(QStringLiteral("INSERT INTO KessanLine (kcode, line) VALUES ('0411', 'e31')"));
        EXPECT_EQ(integrityCheck(*db), QStringLiteral("ok"));
    }
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*tolva-tmp*")}, QDir::Files | QDir::Hidden), QStringList());
}

// Every write, sync and truncate of the upgrade failing in turn: the books are those of before,
// sound and without checksums, or (a failure after the commit, folding the log in) those of
// after; the next upgrade goes through.
TEST(Checksums, BringingBooksToThemIsWholeOrNotAtAllWhateverWriteFails)
{
    struct Books {
        explicit Books(std::string rows)
        {
            makeBooksOfLayoutTwo(folder.path());
            writeThroughSqliteAlone(folder.path(), rows);
        }
        ~Books() { Database::closeAll(); }
        Database& db() { return *Database::forFolder(folder.path()); }
        TestDataFolder folder;
    };
    const std::string rows = rowsAroundTheMarkedOne(300, 300);
    FaultyFileSystem files{Fault::CountedWrites};
    int writes = 0;
    QString after;
    {
        Books books(rows);
        (void)books.db();
        FaultyFileSystem::countFromHere();
        books.db().upgradeSchema();
        writes = FaultyFileSystem::counted();
        after = booksState(books.db());
    }
    ASSERT_GT(writes, 0);
    int failedWhole = 0;
    // Every third write, the two codes in turn, in the suite (about 330 writes);
    // TOLVA_FAULT_STRIDE=1 tries each write with both codes, for a longer run by hand.
    const int stride = qEnvironmentVariableIsSet("TOLVA_FAULT_STRIDE") ? qMax(1, qEnvironmentVariableIntValue("TOLVA_FAULT_STRIDE")) : 3;
    int trials = 0;
    for (int point = 1; point <= writes; point += stride) {
        for (int code : {SQLITE_IOERR_WRITE, SQLITE_FULL}) {
            if (stride > 1 && (point / stride + (code == SQLITE_FULL)) % 2 == 0)
                continue;
            ++trials;
            SCOPED_TRACE(QStringLiteral("fault at write %1 of %2, code %3").arg(point).arg(writes).arg(code).toStdString());
            Books books(rows);
            const QString before = booksState(books.db());
            FaultyFileSystem::countFromHere(point, code);
            bool threw = false;
            try {
                books.db().upgradeSchema();
            } catch (const StoreError& e) {
                threw = true;
                EXPECT_TRUE(e.message().contains(QStringLiteral("帳簿は元のまま"))) << e.message().toStdString();
            }
            ASSERT_TRUE(FaultyFileSystem::failed());
            FaultyFileSystem::countFromHere();
            Database::closeAll();
            EXPECT_EQ(openingError(books.folder.path(), Database::OpeningChecks::Full), QString());
            Database& db = books.db();
            EXPECT_EQ(db.schemaVersion(), threw ? 2 : Database::kSchemaVersion);
            EXPECT_EQ(checksumvfs::isChecksummed(db.handle()), !threw);
            EXPECT_EQ(booksState(db), threw ? before : after);
            failedWhole += threw ? 1 : 0;
            db.upgradeSchema();
            EXPECT_TRUE(checksumvfs::isChecksummed(db.handle()));
            EXPECT_EQ(booksState(db), after);
        }
    }
    EXPECT_GT(failedWhole, trials / 2) << "most writes come before the commit";
    ::testing::Test::RecordProperty("fault points", writes);
}
