// The year-end aggregation and the closing transfers, run once to count their writes, syncs
// and truncates, then again failing at each of them in turn: the command reports the failure,
// the books are exactly as before and sound, and the same command then goes through.
#include "closing/closingentries.h"
#include "closing/yearend.h"
#include "db/backup.h"
#include "db/database.h"
#include "tests/closing/closingfixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/faultyvfs.h"
#include "tests/support/testdata.h"

#include <QDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <functional>

using namespace tolva;
using namespace tolva::testing;

namespace {

// Books with a year of rows, the last run's closing rows and another year's totals, on the
// counting file system.
struct Books {
    Books()
    {
        addYearRows(folder.path(), {{"09", "1111", 1, 0, 0, 0}});
        addEntries(folder.path(), {
            {.day = "2010-04-01", .lcode = "1111", .lgaku = 300000, .rcode = "1503", .rgaku = 300000, .syori = 21},
            {.day = "2010-05-10", .lcode = "0411", .lgaku = 150000, .rcode = "1111", .rgaku = 150000},
            {.day = "2010-06-25", .lcode = "1111", .lgaku = 250000, .rcode = "0111", .rgaku = 250000},
            {.day = "2011-03-31", .lcode = "0411", .lgaku = 2000, .rcode = "1111", .rgaku = 2000, .syori = 31},
            {.day = "2011-03-31", .lcode = "4111", .lgaku = 1, .rcode = "0411", .rgaku = 1, .syori = 41},
        });
    }
    ~Books() { Database::closeAll(); }
    Database& db() { return *Database::forFolder(folder.path()); }

    FaultyFileSystem files{Fault::CountedWrites};  // before any connection is opened
    TestDataFolder folder;
};

struct Command {
    const char* name;
    std::function<void(Books&)> prepare;
    std::function<void(Books&)> run;
};

void closingTransfers(Books& books)
{
    const ClosingTransfers result = runClosingTransfers(
        books.db(), kYear2010, BackupRequest{backupFolder(books.folder.path()), QDateTime(QDate(2011, 4, 2), QTime(9, 0)), 10});
    if (result.refusal)
        throw StoreError(*result.refusal);
}

} // namespace

TEST(ClosingWriteFaults, EveryFailedWriteLeavesTheBooksAsTheyWereAndTheCommandWorksAfterwards)
{
    const Command commands[] = {
        {"year-end aggregation", [](Books&) {}, [](Books& b) { (void)aggregateYearEnd(b.db(), kYear2010); }},
        {"closing transfers", [](Books& b) { (void)aggregateYearEnd(b.db(), kYear2010); }, closingTransfers},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        int writes = 0;
        QString after;
        {
            Books books;
            command.prepare(books);
            FaultyFileSystem::countFromHere();
            command.run(books);
            writes = FaultyFileSystem::counted();
            after = booksState(books.db());
        }
        ASSERT_GT(writes, 0);
        for (int point = 1; point <= writes; ++point) {
            for (int code : {SQLITE_IOERR_WRITE, SQLITE_FULL}) {
                SCOPED_TRACE(QStringLiteral("fault at write %1 of %2, code %3").arg(point).arg(writes).arg(code).toStdString());
                Books books;
                command.prepare(books);
                const QString before = booksState(books.db());
                FaultyFileSystem::countFromHere(point, code);
                EXPECT_THROW(command.run(books), StoreError);
                ASSERT_TRUE(FaultyFileSystem::failed());
                EXPECT_EQ(booksState(books.db()), before);
                EXPECT_EQ(integrityCheck(books.db()), QStringLiteral("ok"));

                FaultyFileSystem::countFromHere();
                command.run(books);
                EXPECT_EQ(booksState(books.db()), after);
            }
        }
        ::testing::Test::RecordProperty(std::string("fault points: ") + command.name, writes);
    }
}
