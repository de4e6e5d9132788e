// Books on a read-only medium, as the store opens them: read with every check, written nowhere.
#include "db/database.h"
#include "db/datafolder.h"
#include "db/dataset.h"
#include "db/history.h"
#include "tests/cli/clirun.h"
#include "tests/support/faultyvfs.h"
#include "tests/support/readonlyfs.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

qint64 count(Database& db, const char* sql)
{
    Statement statement = db.prepare(QString::fromUtf8(sql));
    return statement.step() ? statement.columnInt(0) : -1;
}

QString refusalOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const StoreError& e) {
        return e.message();
    }
    return {};
}

// Writes through SQLite alone and leaves the log beside the file, as a program that did not
// close the books does; `index` keeps the log's index (-shm) too, as a program that does not
// hold the books exclusively leaves it.
void leaveALog(const QString& folder, const char* sql, bool index)
{
    const QString file = QDir(folder).filePath(QString::fromLatin1(Database::kFileName));
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    ASSERT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
    sqlite3_close(handle);
    ASSERT_GT(QFileInfo(file + QStringLiteral("-wal")).size(), 0);
    if (!index) {
        ASSERT_TRUE(QFile::remove(file + QStringLiteral("-shm")));
    }
}

} // namespace

TEST(ReadOnlyBooks, AreReadWithEveryCheckAndWrittenNowhere)
{
    TestDataFolder folder;
    Database::forFolder(folder.path())->exec(QStringLiteral("INSERT INTO biko (Name) VALUES ('家賃')"));
    Database::closeAll();
    const QMap<QString, QByteArray> before = folderState(folder.path());
    {
        ReadOnlyMedium medium(folder.path());
        auto db = Database::forFolder(folder.path(), Database::OpeningChecks::Full);
        ASSERT_TRUE(db->readOnly());
        EXPECT_EQ(db->readOnlyCause(), ReadOnlyCause::FileSystem);
        EXPECT_TRUE(db->fullyChecked());
        EXPECT_TRUE(db->readOnlyNotice().contains(QStringLiteral("読み取り専用"))) << db->readOnlyNotice().toStdString();
        EXPECT_EQ(count(*db, "SELECT count(*) FROM biko WHERE Name = '家賃'"), 1);
        EXPECT_TRUE(db->damageFindings().isEmpty());

        // A report fills its work tables and reads them back; the books keep theirs.
        db->exec(QStringLiteral("DELETE FROM Repo01"));
        db->exec(QStringLiteral("INSERT INTO Repo01 (kamoku, L1) VALUES ('現金', 10000)"));
        {
            Transaction transaction(*db);
            db->exec(QStringLiteral("UPDATE RepoJyoken SET Name01 = '期間' WHERE no = 1"));
            transaction.commit();
        }
        EXPECT_EQ(count(*db, "SELECT count(*) FROM Repo01"), 1);
        EXPECT_EQ(count(*db, "SELECT count(*) FROM main.Repo01"), 0);

        // Every way to change the books is refused with what it means, the datasets' first.
        Table accounts(QStringLiteral("accounts"));
        accounts.setDatabaseName(folder.path());
        accounts.setTableName(QStringLiteral("Kamoku"));
        accounts.open();
        EXPECT_TRUE(accounts.booksReadOnly());
        for (const auto& [what, change] : std::initializer_list<std::pair<const char*, std::function<void()>>>{
                 {"edit", [&] { accounts.edit(); }},
                 {"append", [&] { accounts.append(); }},
                 {"remove", [&] { accounts.remove(); }},
             }) {
            const QString message = refusalOf(change);
            EXPECT_TRUE(message.contains(QStringLiteral("読み取り専用"))) << what << ": " << message.toStdString();
            EXPECT_TRUE(message.contains(QDir::toNativeSeparators(folder.path()))) << what;
            EXPECT_EQ(accounts.state(), Dataset::State::Browse) << what;
        }
        accounts.close();
        const QString write = refusalOf([&] { db->exec(QStringLiteral("INSERT INTO biko (Name) VALUES ('x')")); });
        EXPECT_TRUE(write.contains(QStringLiteral("読み取り専用"))) << write.toStdString();
        // Books of this layout need nothing; the upgrade of older ones is refused.
        EXPECT_NO_THROW(db->upgradeSchema());

        db.reset();
        Database::closeAll();
        EXPECT_EQ(ReadOnlyMedium::refusedChanges(), QString()) << "tried to write on the medium";
    }
    EXPECT_EQ(folderState(folder.path()), before);
}

TEST(ReadOnlyBooks, BooksOfAnOlderLayoutAreReadAsTheyAre)
{
    TestDataFolder folder;
    makeBooksOfLayoutTwo(folder.path());
    const QMap<QString, QByteArray> before = folderState(folder.path());
    {
        ReadOnlyMedium medium(folder.path());
        auto db = Database::forFolder(folder.path());
        ASSERT_TRUE(db->readOnly());
        EXPECT_EQ(db->schemaVersion(), 2);
        EXPECT_GT(count(*db, "SELECT count(*) FROM Kamoku"), 0);
        const QString refusal = refusalOf([&] { db->upgradeSchema(); });
        EXPECT_TRUE(refusal.contains(QStringLiteral("新しい形式にはできません"))) << refusal.toStdString();
        db.reset();
        Database::closeAll();
        EXPECT_EQ(ReadOnlyMedium::refusedChanges(), QString());
    }
    EXPECT_EQ(folderState(folder.path()), before);
}

// A log beside books that cannot be written: read with its index when that is there too, and
// refused with what to do when it is not, since reading the file alone would silently lose
// what the log holds.
TEST(ReadOnlyBooks, ALogIsReadThroughItsIndexOrTheBooksAreRefused)
{
    struct Case {
        const char* what;
        bool log;
        bool index;
        bool opens;
    };
    const Case cases[] = {
        {"no log", false, false, true},
        {"a log with its index", true, true, true},
        {"a log without its index, as our program leaves it", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDataFolder folder;
        if (c.log)
            leaveALog(folder.path(), "INSERT INTO biko (Name) VALUES ('ログの中だけ')", c.index);
        const QMap<QString, QByteArray> before = folderState(folder.path());
        {
            ReadOnlyMedium medium(folder.path());
            QString refusal;
            try {
                auto db = Database::forFolder(folder.path());
                EXPECT_TRUE(db->readOnly());
                EXPECT_EQ(db->fullyChecked(), c.log) << "after an unclean end every page is read";
                EXPECT_EQ(count(*db, "SELECT count(*) FROM biko WHERE Name = 'ログの中だけ'"), c.log ? 1 : 0);
            } catch (const StoreError& e) {
                refusal = e.message();
            }
            Database::closeAll();
            EXPECT_EQ(refusal.isEmpty(), c.opens) << refusal.toStdString();
            if (!c.opens) {
                EXPECT_TRUE(refusal.contains(QStringLiteral("前回正しく閉じられていない"))) << refusal.toStdString();
                EXPECT_TRUE(refusal.contains(QStringLiteral("書き込みできる場所へデータフォルダごとコピー"))) << refusal.toStdString();
                EXPECT_TRUE(refusal.contains(QDir::toNativeSeparators(folder.path())));
                EXPECT_EQ(ReadOnlyMedium::refusedChanges(), QString());
            }
            if (!c.log) {
                EXPECT_EQ(ReadOnlyMedium::refusedChanges(), QString()) << "immutable books make no log and no index";
            }
        }
        EXPECT_EQ(folderState(folder.path()), before);
    }
}

// A file that SQLite can open only for reading in a folder that looks writable: opened for
// reading by whoever only reads, refused as before by a command that writes.
TEST(ReadOnlyBooks, AFileSqliteMayOnlyReadIsOpenedForReadingOrRefusedToAWriter)
{
    TestDataFolder folder;
    const QMap<QString, QByteArray> before = folderState(folder.path());
    {
        FaultyFileSystem fileSystem(Fault::ReadOnlyFile);
        {
            auto db = Database::forFolder(folder.path());
            EXPECT_EQ(db->readOnlyCause(), ReadOnlyCause::File);
            EXPECT_GT(count(*db, "SELECT count(*) FROM Kamoku"), 0);
        }
        Database::closeAll();
        const QString refusal = refusalOf([&] {
            (void)Database::forFolder(folder.path(), Database::OpeningChecks::Bounded, nullptr, Database::WhenReadOnly::Refuse);
        });
        EXPECT_TRUE(refusal.contains(QStringLiteral("読み取りしかできない"))) << refusal.toStdString();
        Database::closeAll();
    }
    EXPECT_EQ(folderState(folder.path()), before);
}

// No lock file is made where none can be; one that a program able to write there holds still
// keeps the books away, and one left behind means a full check.
TEST(ReadOnlyBooks, TheFolderIsHeldWithoutALockFile)
{
    TestDataFolder folder;
    const QString lockFile = folder.file(QString::fromLatin1(kLockFileName));
    {
        ReadOnlyMedium medium(folder.path());
        datafolder::Lock lock(folder.path());
        EXPECT_TRUE(lock.acquired());
        EXPECT_EQ(lock.readOnly(), ReadOnlyCause::FileSystem);
        EXPECT_FALSE(lock.takenOver());
        EXPECT_FALSE(QFileInfo::exists(lockFile));
    }
    writeFile(lockFile, "999999\nTolva\nelsewhere\n");
    {
        ReadOnlyMedium medium(folder.path());
        datafolder::Lock lock(folder.path());
        EXPECT_TRUE(lock.acquired());
        EXPECT_TRUE(lock.takenOver()) << "a lock file nobody holds was left by a program that did not end";
        EXPECT_EQ(ReadOnlyMedium::refusedChanges(), QString());
    }
    EXPECT_EQ(bytesOf(lockFile), QByteArray("999999\nTolva\nelsewhere\n"));
}
