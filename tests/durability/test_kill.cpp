// A writing command killed at a random moment (a power cut, a crash): the books it leaves
// are the books before the command or after it, never between, they pass the integrity check,
// and the next program opens them, taking over the lock the dead one left.
#include "bench/bookgenerator.h"
#include "db/checksumvfs.h"
#include "db/database.h"
#include "db/datafolder.h"
#include "tests/durability/killedfolders.h"
#include "tests/support/testdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace tolva;
using namespace tolva::testing;

namespace {

// Runs the command to its end in its own process; how long that took. With `from`, on a copy
// of that folder made first.
qint64 runToTheEnd(const QString& folder, const QString& command, const QString& from = {})
{
    if (!from.isEmpty())
        copyFolder(from, folder);
    QProcess child;
    QElapsedTimer timer;
    timer.start();
    child.start(QStringLiteral(TOLVA_KILL_TARGET), {folder, command, QStringLiteral("2011")});
    EXPECT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    return timer.elapsed();
}

} // namespace

TEST(Durability, ACommandKilledAtAnyMomentLeavesTheBooksBeforeOrAfterIt)
{
    QTemporaryDir dir;
    const QString books = dir.filePath(QStringLiteral("books"));
    Database::closeAll();
    bookgen::BookOptions options;
    options.templateDir = templateDir();
    options.years = 3;
    options.lastDay = QDate(2012, 6, 30);
    (void)bookgen::generateBooks(books, 12000, 7, options);
    Database::closeAll();

    for (const QString& command : {QStringLiteral("year-totals"), QStringLiteral("closing-transfers")}) {
        SCOPED_TRACE(command.toStdString());
        const QByteArray before = stateOf(books);
        const QString reference = dir.filePath(QStringLiteral("reference-") + command);
        copyFolder(books, reference);
        const qint64 duration = runToTheEnd(reference, command);
        const QByteArray after = stateOf(reference);
        ASSERT_NE(before, after);

        int killedBefore = 0, killedAfter = 0;
        // 50 rounds in the suite; TOLVA_KILL_ROUNDS=200 for a longer run by hand.
        const int rounds = qEnvironmentVariableIsSet("TOLVA_KILL_ROUNDS") ? qEnvironmentVariableIntValue("TOLVA_KILL_ROUNDS") : 50;
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE(round);
            const QString copy = dir.filePath(QStringLiteral("round-%1-%2").arg(command).arg(round));
            copyFolder(books, copy);
            QProcess child;
            child.start(QStringLiteral(TOLVA_KILL_TARGET), {copy, command, QStringLiteral("2011")});
            ASSERT_TRUE(child.waitForStarted());
            // Anywhere from the start of the process to a little past its usual end.
            QThread::usleep(QRandomGenerator::global()->bounded(quint32(duration * 1200 + 1)));
            ::kill(pid_t(child.processId()), SIGKILL);
            child.waitForFinished(10000);

            // The next program takes the folder over and opens the books with every check.
            QByteArray state;
            {
                datafolder::Lock lock(copy);
                ASSERT_TRUE(lock.acquired()) << lock.refusal().toStdString();
                Database::closeAll();
                EXPECT_EQ(integrityCheck(*Database::forFolder(copy)), QStringLiteral("ok"));
                state = stateOf(copy);
            }
            EXPECT_TRUE(state == before || state == after) << "torn books after a kill";
            (state == before ? killedBefore : killedAfter) += 1;
            QDir(copy).removeRecursively();
        }
        ::testing::Test::RecordProperty(("kills before/after: " + command).toStdString(),
                                        QStringLiteral("%1/%2").arg(killedBefore).arg(killedAfter).toStdString());
    }
}

// Books of layout 2 brought to checksums, killed at a random moment: the next program finds
// the old books (no checksums, layout 2) or the new ones (checksums, layout 3), every row as
// it was either way, and the copy the upgrade was making is gone once it takes the folder.
TEST(Durability, AnUpgradeKilledAtAnyMomentLeavesTheOldBooksOrTheNewOnes)
{
    QTemporaryDir dir;
    const QString books = dir.filePath(QStringLiteral("books"));
    Database::closeAll();
    TestDataFolder layoutTwo;
    makeBooksOfLayoutTwo(layoutTwo.path());
    bookgen::BookOptions options;
    options.templateDir = layoutTwo.path();
    options.years = 3;
    options.lastDay = QDate(2012, 6, 30);
    (void)bookgen::generateBooks(books, 12000, 7, options);
    Database::closeAll();
    const QByteArray before = stateOf(books);
    const qint64 duration = runToTheEnd(dir.filePath(QStringLiteral("reference")), QStringLiteral("upgrade"), books);

    int killedBefore = 0, killedAfter = 0;
    const int rounds = qEnvironmentVariableIsSet("TOLVA_KILL_ROUNDS") ? qEnvironmentVariableIntValue("TOLVA_KILL_ROUNDS") : 30;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        const QString copy = dir.filePath(QStringLiteral("round-%1").arg(round));
        copyFolder(books, copy);
        QProcess child;
        child.start(QStringLiteral(TOLVA_KILL_TARGET), {copy, QStringLiteral("upgrade"), QStringLiteral("2011")});
        ASSERT_TRUE(child.waitForStarted());
        QThread::usleep(QRandomGenerator::global()->bounded(quint32(duration * 1200 + 1)));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(10000);

        int layout = 0;
        bool checksummed = false;
        {
            datafolder::Lock lock(copy);
            ASSERT_TRUE(lock.acquired()) << lock.refusal().toStdString();
            Database::closeAll();
            auto db = Database::forFolder(copy, Database::OpeningChecks::Full);
            EXPECT_EQ(integrityCheck(*db), QStringLiteral("ok"));
            layout = db->schemaVersion();
            checksummed = checksumvfs::isChecksummed(db->handle());
            db.reset();
            EXPECT_EQ(stateOf(copy), before) << "rows changed by a killed upgrade";
            EXPECT_EQ(QDir(copy).entryList({QStringLiteral("*tolva-tmp*")}, QDir::Files | QDir::Hidden), QStringList());
        }
        EXPECT_TRUE((layout == 2 && !checksummed) || (layout == Database::kSchemaVersion && checksummed))
            << "layout " << layout << (checksummed ? " with" : " without") << " checksums";
        (layout == 2 ? killedBefore : killedAfter) += 1;
        QDir(copy).removeRecursively();
    }
    ::testing::Test::RecordProperty("kills before/after: upgrade", QStringLiteral("%1/%2").arg(killedBefore).arg(killedAfter).toStdString());
}
