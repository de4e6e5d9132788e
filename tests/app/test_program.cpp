// The program itself, started as a user or a session manager starts it.
#include "db/database.h"
#include "db/history.h"
#include "tests/support/testdata.h"
#include "ui/prompter.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {

// Without a display: neither the test's offscreen platform nor an X or Wayland display.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// True while another process holds a lock on the database: SQLite locks bytes from 1 GiB on
// (the pending, reserved and shared bytes), whatever its locking mode.
bool heldByAnotherProcess(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0x40000000;
    lock.l_len = 512;
    const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

void writeKeepingTheLog(const QString& dbFile, const char* sql)
{
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(dbFile.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    EXPECT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
    sqlite3_close(handle);
}

// Counts rows in the database file alone, the log (if any is left) ignored.
qint64 rowsInTheFileItself(const QString& dbFile, const char* sql)
{
    sqlite3* handle = nullptr;
    const QByteArray uri = "file:" + QUrl::toPercentEncoding(dbFile, "/") + "?immutable=1";
    if (sqlite3_open_v2(uri.constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
        return -1;
    sqlite3_stmt* stmt = nullptr;
    qint64 count = -1;
    if (sqlite3_prepare_v2(handle, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return count;
}

} // namespace

TEST(Program, ATerminationSignalClosesTheBooksAndReleasesTheFolder)
{
    const std::pair<int, const char*> terminations[] = {{SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}};
    for (const auto& [number, name] : terminations) {
        TestDataFolder folder;
        const QString dbFile = folder.file(QString::fromLatin1(Database::kFileName));
        const QString wal = dbFile + QStringLiteral("-wal");
        const QString lockFile = folder.file(QStringLiteral("tolva.lock"));
        // A row that only the log holds, as a session that was killed leaves it: a clean close
        // folds it into the file.
        writeKeepingTheLog(dbFile, "INSERT INTO biko (Name) VALUES ('kept in the log')");
        ASSERT_GT(QFileInfo(wal).size(), 0);
        ASSERT_EQ(rowsInTheFileItself(dbFile, "SELECT count(*) FROM biko WHERE Name = 'kept in the log'"), 0);

        QProcess tolva;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        tolva.setProcessEnvironment(env);
        tolva.start(QStringLiteral(TOLVA_PROGRAM), {QStringLiteral("--data-dir"), folder.path()});
        ASSERT_TRUE(tolva.waitForStarted(30000)) << name;
        // Up when it holds both the folder and the books.
        for (int i = 0; i < 600 && !(QFileInfo::exists(lockFile) && heldByAnotherProcess(dbFile)); ++i) {
            if (tolva.waitForFinished(50))
                break;
        }
        ASSERT_EQ(tolva.state(), QProcess::Running) << name << ": " << tolva.readAllStandardError().toStdString();
        ASSERT_TRUE(heldByAnotherProcess(dbFile)) << name;

        ::kill(pid_t(tolva.processId()), number);
        ASSERT_TRUE(tolva.waitForFinished(30000)) << name;
        EXPECT_EQ(tolva.exitStatus(), QProcess::NormalExit) << name;
        EXPECT_EQ(tolva.exitCode(), 0) << name << ": " << tolva.readAllStandardError().toStdString();
        EXPECT_FALSE(QFileInfo(wal).size() > 0) << name << ": the log was not folded into the file";
        EXPECT_FALSE(QFileInfo::exists(lockFile)) << name << ": the folder is still locked";
        EXPECT_FALSE(heldByAnotherProcess(dbFile)) << name;
        EXPECT_EQ(rowsInTheFileItself(dbFile, "SELECT count(*) FROM biko WHERE Name = 'kept in the log'"), 1) << name;
    }
}

TEST(Program, TheCommandLineIsReadWithoutADisplay)
{
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* expected;  // part of what the program prints
    };
    const Case cases[] = {
        {{QStringLiteral("--help")}, 0, "--data-dir"},
        {{QStringLiteral("--data-dir"), QString()}, 1, "--data-dir のフォルダ名が空です"},
        {{QStringLiteral("--data-dir=")}, 1, "--data-dir のフォルダ名が空です"},
        {{QStringLiteral("--init-data"), QString()}, 1, "--init-data のフォルダ名が空です"},
        {{QStringLiteral("--init-data=")}, 1, "--init-data のフォルダ名が空です"},
    };
    for (const Case& c : cases) {
        const std::string what = c.arguments.join(u' ').toStdString();
        // Run in an empty folder: an empty folder name must not mean this one.
        QTemporaryDir workingFolder;
        QProcess tolva;
        tolva.setProcessEnvironment(withoutDisplay());
        tolva.setWorkingDirectory(workingFolder.path());
        tolva.start(QStringLiteral(TOLVA_PROGRAM), c.arguments);
        ASSERT_TRUE(tolva.waitForFinished(30000)) << what;
        const QString output = QString::fromUtf8(tolva.readAllStandardOutput() + tolva.readAllStandardError());
        EXPECT_EQ(tolva.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(tolva.exitCode(), c.exitCode) << what << ": " << output.toStdString();
        EXPECT_TRUE(output.contains(QString::fromUtf8(c.expected))) << what << ": " << output.toStdString();
        EXPECT_TRUE(QDir(workingFolder.path()).isEmpty()) << what << ": something was written into the current folder";
    }
}

TEST(Program, APrintedReportSavedAsAFileNeverLandsOnTheBooks)
{
    TestDataFolder folder;
    const QString books = folder.file(QString::fromLatin1(Database::kFileName));
    QFile original(books);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();
    struct OnePage final : ReportPages {
        int pageCount() const override { return 1; }
        QPageLayout pageLayout() const override
        {
            return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10));
        }
        void drawPage(QPainter& painter, int) const override { painter.drawText(100, 100, QStringLiteral("総勘定元帳")); }
    } onePage;

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(books);
    EXPECT_THROW(printReport(printer, onePage), StoreError);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), before);
    original.close();
    // The printer is left as the user set it.
    EXPECT_EQ(printer.outputFileName(), books);

    QTemporaryDir elsewhere;
    const QString pdf = elsewhere.filePath(QStringLiteral("元帳.pdf"));
    printer.setOutputFileName(pdf);
    printReport(printer, onePage);
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith("%PDF"));
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// --init-data makes new books, completes a folder whose layout stopped part way saying what it
// added and what it kept (the user's files byte for byte), and refuses books.
TEST(Program, InitDataMakesNewBooksCompletesAHalfMadeFolderAndRefusesBooks)
{
    const auto initData = [](const QString& folder) {
        QProcess tolva;
        tolva.setProcessEnvironment(withoutDisplay());
        tolva.start(QStringLiteral(TOLVA_PROGRAM), {QStringLiteral("--init-data"), folder});
        EXPECT_TRUE(tolva.waitForFinished(30000));
        return std::pair{tolva.exitCode(), QString::fromUtf8(tolva.readAllStandardOutput() + tolva.readAllStandardError())};
    };
    const auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTemporaryDir root;
    const QString fresh = QDir(root.path()).filePath(QStringLiteral("新しい帳簿"));
    const auto [made, madeSaid] = initData(fresh);
    EXPECT_EQ(made, 0) << madeSaid.toStdString();
    EXPECT_TRUE(madeSaid.contains(QStringLiteral("新しい帳簿を作成しました"))) << madeSaid.toStdString();
    EXPECT_TRUE(QFileInfo::exists(QDir(fresh).filePath(QString::fromLatin1(Database::kFileName))));

    // The folder a first start killed while copying left: the user has put their own report
    // project and query in it since.
    const QString half = QDir(root.path()).filePath(QStringLiteral("half"));
    ASSERT_TRUE(QDir().mkpath(half));
    const QByteArray ownProject = bytesOf(QDir(fresh).filePath(QStringLiteral("TlRepo01.rav"))).replace("合計残高試算表", "わが家の試算表");
    const QByteArray ownQuery = "-- the user's own\nSELECT Kcode AS Kcode FROM Kamoku\n";
    for (const auto& [name, bytes] : {std::pair{QStringLiteral("TlRepo01.rav"), ownProject}, std::pair{QStringLiteral("uqSai.sql"), ownQuery}}) {
        QFile file(QDir(half).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const auto [completed, completedSaid] = initData(half);
    EXPECT_EQ(completed, 0) << completedSaid.toStdString();
    EXPECT_TRUE(completedSaid.contains(QStringLiteral("追加したファイル: qUnionCode.sql、tolva.sqlite"))) << completedSaid.toStdString();
    EXPECT_TRUE(completedSaid.contains(QStringLiteral("そのまま残したファイル: uqSai.sql、TlRepo01.rav"))) << completedSaid.toStdString();
    EXPECT_EQ(bytesOf(QDir(half).filePath(QStringLiteral("TlRepo01.rav"))), ownProject);
    EXPECT_EQ(bytesOf(QDir(half).filePath(QStringLiteral("uqSai.sql"))), ownQuery);

    for (const QString& books : {fresh, half}) {
        const QByteArray database = bytesOf(QDir(books).filePath(QString::fromLatin1(Database::kFileName)));
        const auto [again, againSaid] = initData(books);
        EXPECT_EQ(again, 1);
        EXPECT_TRUE(againSaid.contains(QStringLiteral("既にデータがあります"))) << againSaid.toStdString();
        EXPECT_EQ(bytesOf(QDir(books).filePath(QString::fromLatin1(Database::kFileName))), database);
    }
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2) << "something was left beside them";
}
