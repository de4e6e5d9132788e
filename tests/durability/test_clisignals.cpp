// tolva-cli stopped from outside: by Ctrl-C or a termination request it rolls back, removes its
// temporary files and releases the folder; killed outright, what it left is removed by the next
// program that takes the folder.
#include "bench/bookgenerator.h"
#include "db/database.h"
#include "tests/durability/killedfolders.h"
#include "tests/support/testdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

// Our temporary files and folders anywhere under `folder`, and the lock and log a program that
// ended normally does not leave.
QStringList leftBehind(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        if (name.contains(QStringLiteral(".tolva-tmp-")) || name == u"tolva.lock" || name.endsWith(QStringLiteral("-wal"))
            || name.endsWith(QStringLiteral("-journal")))
            found << QDir(folder).relativeFilePath(path);
    }
    return found;
}

class CliSignals : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        Database::closeAll();
        bookgen::BookOptions options;
        options.templateDir = templateDir();
        options.years = 3;
        options.lastDay = QDate(2012, 6, 30);
        (void)bookgen::generateBooks(books(), 12000, 11, options);
        Database::closeAll();
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static QString books() { return dir->filePath(QStringLiteral("books")); }
    static QString place(const QString& name) { return dir->filePath(name); }

    static QProcess* start(const QStringList& arguments, const QString& folder)
    {
        auto* child = new QProcess;
        child->start(QStringLiteral(TOLVA_CLI), arguments + QStringList{QStringLiteral("--data-dir"), folder});
        EXPECT_TRUE(child->waitForStarted());
        return child;
    }

    static inline QTemporaryDir* dir = nullptr;
};

} // namespace

TEST_F(CliSignals, ASignalStopsAnExportMidWayAndTheProgramEndsOnIt)
{
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(number);
        const QString pipe = place(QStringLiteral("pipe-%1").arg(number));
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        // Our end of the pipe, read a little and then left: the export waits for room.
        const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        std::unique_ptr<QProcess> child(start({QStringLiteral("export"), QStringLiteral("journal"), QStringLiteral("--from"),
                                               QStringLiteral("2000-01-01"), QStringLiteral("-o"), pipe},
                                              books()));
        char first = 0;
        EXPECT_TRUE(QTest::qWaitFor([&] { return ::read(reader, &first, 1) == 1; }, 30000));
        ::kill(pid_t(child->processId()), number);
        ASSERT_TRUE(child->waitForFinished(30000));
        ::close(reader);
        EXPECT_EQ(child->exitStatus(), QProcess::CrashExit);
        EXPECT_TRUE(QString::fromUtf8(child->readAllStandardError()).contains(QStringLiteral("中断しました")));
        EXPECT_TRUE(leftBehind(books()).isEmpty()) << leftBehind(books()).join(u' ').toStdString();
    }
}

TEST_F(CliSignals, ASignalDuringTheClosingTransfersLeavesTheBooksAsTheyWereAndTheFolderFree)
{
    const QByteArray before = stateOf(books());
    QElapsedTimer timer;
    timer.start();
    {
        const QString reference = place(QStringLiteral("reference"));
        copyFolder(books(), reference);
        std::unique_ptr<QProcess> child(start({QStringLiteral("closing-transfers"), QStringLiteral("--year"), QStringLiteral("2011")}, reference));
        ASSERT_TRUE(child->waitForFinished(60000));
        ASSERT_EQ(child->exitCode(), 0) << child->readAllStandardError().toStdString();
    }
    const qint64 duration = timer.elapsed();
    const QByteArray after = stateOf(place(QStringLiteral("reference")));
    ASSERT_NE(before, after);

    int stopped = 0;
    const int stops[] = {SIGINT, SIGTERM, SIGHUP};
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        const QString copy = place(QStringLiteral("round-%1").arg(round));
        copyFolder(books(), copy);
        std::unique_ptr<QProcess> child(start({QStringLiteral("closing-transfers"), QStringLiteral("--year"), QStringLiteral("2011")}, copy));
        QThread::usleep(QRandomGenerator::global()->bounded(quint32(duration * 1000 + 1)));
        ::kill(pid_t(child->processId()), stops[round % 3]);
        ASSERT_TRUE(child->waitForFinished(30000));
        const bool endedOnTheSignal = child->exitStatus() == QProcess::CrashExit;
        stopped += endedOnTheSignal ? 1 : 0;
        const QString said = QString::fromUtf8(child->readAllStandardError());
        EXPECT_TRUE(leftBehind(copy).isEmpty()) << leftBehind(copy).join(u' ').toStdString();
        const QByteArray state = stateOf(copy);
        EXPECT_TRUE(state == before || state == after) << "torn books";
        // Stopped: rolled back, unless the stop came after the commit and says so.
        if (endedOnTheSignal && state == after) {
            EXPECT_TRUE(said.contains(QStringLiteral("保存されています"))) << said.toStdString();
        } else if (endedOnTheSignal) {
            // (Silent when the signal came before the program could catch it.)
            EXPECT_FALSE(said.contains(QStringLiteral("保存されています"))) << said.toStdString();
        }
        QDir(copy).removeRecursively();
    }
    ::testing::Test::RecordProperty("stopped by the signal", stopped);
}

TEST_F(CliSignals, WhatAKilledBackupOrRestoreLeftIsRemovedByTheNextCommand)
{
    struct Case {
        QStringList arguments;
        const char* what;
    };
    const QString source = place(QStringLiteral("source.sqlite"));
    ASSERT_TRUE(QFile::copy(QDir(books()).filePath(QString::fromLatin1(Database::kFileName)), source));
    const QList<Case> cases{
        {{QStringLiteral("backup")}, "backup"},
        {{QStringLiteral("restore"), source, QStringLiteral("--yes")}, "restore"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString copy = place(QStringLiteral("killed-") + QString::fromLatin1(c.what));
        copyFolder(books(), copy);
        const QByteArray before = stateOf(copy);
        std::unique_ptr<QProcess> child(start(c.arguments, copy));
        // Killed the moment its temporary file or folder shows.
        bool seen = false;
        while (!seen && child->state() != QProcess::NotRunning) {
            QDirIterator it(copy, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext() && !seen)
                seen = it.next().contains(QStringLiteral(".tolva-tmp-"));
            if (seen)
                ::kill(pid_t(child->processId()), SIGKILL);
        }
        ASSERT_TRUE(child->waitForFinished(30000));
        ASSERT_TRUE(seen) << "the command ended before its temporary file was seen";
        ASSERT_FALSE(leftBehind(copy).filter(QStringLiteral(".tolva-tmp-")).isEmpty());

        std::unique_ptr<QProcess> next(start({QStringLiteral("check")}, copy));
        ASSERT_TRUE(next->waitForFinished(60000));
        // The generated books hold a few rows whose sides differ on purpose: check tells them.
        EXPECT_TRUE(QString::fromUtf8(next->readAllStandardOutput()).contains(QStringLiteral("OK  開く時の検査")))
            << next->readAllStandardError().toStdString();
        EXPECT_TRUE(leftBehind(copy).isEmpty()) << leftBehind(copy).join(u' ').toStdString();
        EXPECT_EQ(stateOf(copy), before);
    }
}
