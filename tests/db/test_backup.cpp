#include "db/backup.h"
#include "db/database.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {

qint64 journalRows(Database& db)
{
    Statement s = db.prepare(QStringLiteral("SELECT count(*) FROM shiwake"));
    s.step();
    return s.columnInt(0);
}

const QDateTime kNow(QDate(2011, 3, 31), QTime(23, 59, 58));

} // namespace

TEST(Backup, ACopyHoldsTheBooksAsTheyWereAndOpensAsBooks)
{
    TestDataFolder folder;
    auto db = Database::forFolder(folder.path());
    db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Lcode, Lgaku, Rcode, Rgaku, syori) VALUES ('2010-04-01', '1111', 10000, '0211', 10000, 10)"));
    const QString path = backupDatabase(*db, {backupFolder(folder.path()), kNow});
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("tolva-20110331-235958.sqlite"));
    EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(folder.path()).filePath(QStringLiteral("backup")));
    db->exec(QStringLiteral("DELETE FROM shiwake"));

    // Restoring is copying the file into a folder of its own as the books.
    TestDataFolder restored;
    Database::closeAll();
    QFile::remove(restored.file(QString::fromLatin1(Database::kFileName)));
    ASSERT_TRUE(QFile::copy(path, restored.file(QString::fromLatin1(Database::kFileName))));
    auto copy = Database::forFolder(restored.path());
    EXPECT_EQ(journalRows(*copy), 1);
    EXPECT_TRUE(QDir(backupFolder(folder.path())).entryList({QStringLiteral("*.partial")}, QDir::Files).isEmpty());
}

TEST(Backup, KeepsTheNewestTenAndNamesCopiesOfOneSecondApart)
{
    TestDataFolder folder;
    auto db = Database::forFolder(folder.path());
    const QString where = backupFolder(folder.path());
    // A file of the user's own in the folder is never removed.
    QDir().mkpath(where);
    QFile mine(QDir(where).filePath(QStringLiteral("tolva-mine.sqlite")));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.close();

    QStringList made;
    for (int i = 0; i < 11; ++i)
        made << QFileInfo(backupDatabase(*db, {where, kNow.addSecs(i)})).fileName();
    made << QFileInfo(backupDatabase(*db, {where, kNow.addSecs(10)})).fileName();
    EXPECT_EQ(made.last(), QStringLiteral("tolva-20110401-000008-2.sqlite"));

    QStringList left = QDir(where).entryList(QDir::Files, QDir::Name);
    QStringList expected = made.mid(2);
    expected << QStringLiteral("tolva-mine.sqlite");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

TEST(Backup, ACopyThatCannotBeMadeIsAnErrorNamingIt)
{
    TestDataFolder folder;
    auto db = Database::forFolder(folder.path());
    // A file where the folder should be.
    QFile blocker(backupFolder(folder.path()));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        (void)backupDatabase(*db, {backupFolder(folder.path()), kNow});
        FAIL() << "no error";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("バックアップ"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(backupFolder(folder.path())))) << e.message().toStdString();
    }
}

// Books with a damaged page are not copied: the copy would push the oldest sound one out.
TEST(Backup, DamagedBooksAreNotCopiedAndTheCopiesMadeBeforeStay)
{
    TestDataFolder folder;
    const QString where = backupFolder(folder.path());
    const QString sound = backupDatabase(*Database::forFolder(folder.path()), {where, kNow});
    Database::closeAll();
    ASSERT_TRUE(tolva::testing::damageAJournalPage(folder.path()));
    auto db = Database::forFolder(folder.path());
    try {
        (void)backupDatabase(*db, {where, kNow.addSecs(1), 1});
        FAIL() << "a copy of damaged books was made";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("壊れている"))) << e.message().toStdString();
        EXPECT_FALSE(e.detail().isEmpty());
    }
    EXPECT_EQ(QDir(where).entryList(QDir::Files), QStringList{QFileInfo(sound).fileName()});
}
