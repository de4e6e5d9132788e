#include "database.h"
#include "datafolder.h"
#include "testdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {

// The message of the StoreError that opening the folder raises, or an empty text.
QString openingError(const QString& folder)
{
    Database::closeAll();
    try {
        datafolder::verify(folder);
    } catch (const StoreError& e) {
        Database::closeAll();
        return e.message();
    }
    Database::closeAll();
    return {};
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

TEST(DataFolder, AFreshCopyOfTheTemplateOpens)
{
    TestDataFolder folder;
    EXPECT_EQ(openingError(folder.path()), QString());
}

TEST(DataFolder, RefusesWhatIsNotSoundBooksBeforeWritingAnything)
{
    struct Case {
        const char* what;
        std::function<void(const QString& folder, const QString& dbFile)> spoil;
        const char* expected;  // part of the message
    };
    const Case cases[] = {
        {"zero-length database", [](const QString&, const QString& db) { writeFile(db, {}); }, "空"},
        {"a text file in its place", [](const QString&, const QString& db) { writeFile(db, "hello, world\n"); }, "Tolvaのデータベースではありません"},
        {"missing database", [](const QString&, const QString& db) { QFile::remove(db); }, "見つかりません"},
        {"damaged pages",
         [](const QString&, const QString& db) {
             QFile file(db);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             const qint64 size = file.size();
             // Keep the header, scribble over the rest.
             file.seek(100);
             file.write(QByteArray(int(size - 100), '\x5a'));
         },
         "データベース"},
        {"a database of another program",
         [](const QString&, const QString& db) {
             QFile::remove(db);
             sqlite3* handle = nullptr;
             sqlite3_open(db.toUtf8().constData(), &handle);
             sqlite3_exec(handle, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
             sqlite3_close(handle);
         },
         "Tolvaのデータベースではありません"},
        {"a missing table",
         [](const QString&, const QString& db) {
             sqlite3* handle = nullptr;
             sqlite3_open(db.toUtf8().constData(), &handle);
             sqlite3_exec(handle, "DROP TABLE biko", nullptr, nullptr, nullptr);
             sqlite3_close(handle);
         },
         "biko"},
        {"a missing stored query", [](const QString& f, const QString&) { QFile::remove(QDir(f).filePath("uqSai.sql")); }, "uqSai.sql"},
    };
    for (const Case& c : cases) {
        TestDataFolder folder;
        const QString db = folder.file(QString::fromLatin1(Database::kFileName));
        c.spoil(folder.path(), db);
        const QByteArray before = [&] {
            QFile file(db);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        const QString message = openingError(folder.path());
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.expected))) << c.what << ": " << message.toStdString();
        QFile after(db);
        if (after.open(QIODevice::ReadOnly))
            EXPECT_EQ(after.readAll(), before) << c.what << ": the refused file was changed";
    }
    EXPECT_TRUE(openingError(QStringLiteral("/nonexistent/tolva-data")).contains(QStringLiteral("データフォルダ")));
}

TEST(DataFolder, InitialiseNeverOverwritesBooks)
{
    TestDataFolder folder;
    EXPECT_THROW(datafolder::initialise(folder.path(), tolva::testing::templateDir()), StoreError);
    QTemporaryDir fresh;
    const QString target = QDir(fresh.path()).filePath(QStringLiteral("nested/Data"));
    datafolder::initialise(target, tolva::testing::templateDir());
    EXPECT_EQ(openingError(target), QString());
}

TEST(DataFolder, OneProgramPerFolder)
{
    TestDataFolder folder;
    {
        datafolder::Lock first(folder.path());
        ASSERT_TRUE(first.acquired());
        // Another process holds it: QLockFile is per process, so ask a child to try.
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--gtest_filter=DataFolderLockChild.*"), QStringLiteral("--gtest_also_run_disabled_tests")});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TOLVA_LOCK_CHILD_FOLDER"), folder.path());
        child.setProcessEnvironment(env);
        child.start();
        ASSERT_TRUE(child.waitForFinished(30000));
        const QString output = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_TRUE(output.contains(QStringLiteral("refused:"))) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("使用中"))) << output.toStdString();
        EXPECT_TRUE(output.contains(QString::number(QCoreApplication::applicationPid()))) << output.toStdString();
    }
    // Released: the next program gets it.
    datafolder::Lock again(folder.path());
    EXPECT_TRUE(again.acquired());
}

TEST(DataFolder, ALockLeftByACrashedProgramIsTakenOver)
{
    TestDataFolder folder;
    // A lock file naming a process that no longer runs on this host.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    gone.waitForFinished();
    const qint64 deadPid = gone.processId() > 0 ? gone.processId() : 999999;
    writeFile(QDir(folder.path()).filePath(QStringLiteral("tolva.lock")),
              QByteArray::number(deadPid) + "\n" + QCoreApplication::applicationName().toUtf8() + "\n"
                  + QSysInfo::machineHostName().toUtf8() + "\n");
    datafolder::Lock lock(folder.path());
    EXPECT_TRUE(lock.acquired()) << lock.refusal().toStdString();
}

// Run only as the child process of OneProgramPerFolder.
TEST(DataFolderLockChild, DISABLED_TryTheFolder)
{
    const QString folder = qEnvironmentVariable("TOLVA_LOCK_CHILD_FOLDER");
    if (folder.isEmpty())
        GTEST_SKIP();
    datafolder::Lock lock(folder);
    if (lock.acquired())
        printf("acquired\n");
    else
        printf("refused: %s\n", lock.refusal().toUtf8().constData());
    fflush(stdout);
}
