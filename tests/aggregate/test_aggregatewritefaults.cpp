// The period aggregation run once to count its writes, syncs and truncates, then again failing
// at each of them in turn: the run reports the failure, the status row and both tables are
// exactly as the previous run left them, the books are sound, and the run then goes through.
#include "aggregate/periodaggregation.h"
#include "db/database.h"
#include "db/storeerror.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/faultyvfs.h"
#include "tests/support/testdata.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

const DateRange kApril{QDate(2010, 4, 1), QDate(2010, 4, 30)};
const DateRange kMay{QDate(2010, 5, 1), QDate(2010, 5, 31)};

// Books with April's run already made, on the counting file system.
struct Books {
    Books()
    {
        addEntries(folder.path(), {
            {.day = "2010-04-10", .lcode = "0411", .lgaku = 1500, .rcode = "1111", .rgaku = 1500, .lscode = "041101"},
            {.day = "2010-05-10", .lcode = "0411", .lgaku = 2500, .rcode = "1112", .rgaku = 2500, .lscode = "041102", .rscode = "111201"},
            {.day = "2010-05-20", .lcode = "1111", .lgaku = 9000, .rcode = "0211", .rgaku = 9000},
            {.day = "2010-05-31", .lcode = "0322", .lgaku = 300, .rcode = "1213", .rgaku = 300, .syori = 31},
        });
        (void)aggregatePeriod(db(), kApril, QDateTime(QDate(2010, 5, 1), QTime(8, 0)));
    }
    ~Books() { Database::closeAll(); }
    Database& db() { return *Database::forFolder(folder.path()); }

    FaultyFileSystem files{Fault::CountedWrites};  // before any connection is opened
    TestDataFolder folder;
};

void runMay(Books& books)
{
    (void)aggregatePeriod(books.db(), kMay, QDateTime(QDate(2010, 6, 1), QTime(8, 0)));
}

} // namespace

TEST(AggregateWriteFaults, EveryFailedWriteLeavesThePreviousRunWhole)
{
    int writes = 0;
    QString after;
    {
        Books books;
        FaultyFileSystem::countFromHere();
        runMay(books);
        writes = FaultyFileSystem::counted();
        after = booksState(books.db());
    }
    ASSERT_GT(writes, 0);
    RecordProperty("fault points: period aggregation", writes);
    for (int point = 1; point <= writes; ++point) {
        for (int code : {SQLITE_IOERR_WRITE, SQLITE_FULL}) {
            SCOPED_TRACE(QStringLiteral("fault at write %1 of %2, code %3").arg(point).arg(writes).arg(code).toStdString());
            Books books;
            const QString before = booksState(books.db());
            FaultyFileSystem::countFromHere(point, code);
            EXPECT_THROW(runMay(books), StoreError);
            ASSERT_TRUE(FaultyFileSystem::failed());
            EXPECT_EQ(booksState(books.db()), before);
            EXPECT_EQ(integrityCheck(books.db()), QStringLiteral("ok"));
            EXPECT_EQ(readAggregationStatus(books.db())->range, kApril);

            FaultyFileSystem::countFromHere();
            runMay(books);
            EXPECT_EQ(booksState(books.db()), after);
        }
    }
    ::testing::Test::RecordProperty("fault points", writes);
}
