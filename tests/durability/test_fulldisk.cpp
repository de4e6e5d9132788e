// A disk that takes no more bytes, made real with the file-size limit of the process: the
// operating system refuses every write past the first byte of a file, as a full disk refuses
// them. Every command that writes fails with a message saying why, and the books are exactly
// as they were.
#include "closing/closingentries.h"
#include "closing/yearend.h"
#include "db/backup.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "reports/csvwriter.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

// While it lives, no file of the process may grow past its first byte. The signal the kernel
// sends for it is ignored, so that the write itself fails, as on a full disk.
class NoRoomLeft {
public:
    NoRoomLeft()
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = 1;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~NoRoomLeft()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

const FiscalPeriod kYear2010{QDate(2010, 1, 1), QDate(2010, 12, 31)};

} // namespace

TEST(FullDisk, EveryCommandThatWritesFailsWithItsReasonAndLosesNothing)
{
    TestDataFolder folder;
    addEntries(folder.path(), {
        {.day = "2010-04-01", .lcode = "1111", .lgaku = 300000, .rcode = "1503", .rgaku = 300000, .syori = 21},
        {.day = "2010-05-10", .lcode = "0411", .lgaku = 150000, .rcode = "1111", .rgaku = 150000},
        {.day = "2010-06-25", .lcode = "1111", .lgaku = 250000, .rcode = "0111", .rgaku = 250000},
    });
    Database& db = *Database::forFolder(folder.path());
    (void)aggregateYearEnd(db, kYear2010);
    // Books of the first layout, which the program brings to the current one before writing.
    db.exec(QStringLiteral("DROP TRIGGER shiwake_counted_insert; DROP TRIGGER shiwake_counted_delete;"
                           " DROP TRIGGER shiwake_counted_redate; DROP TABLE RowCount; DROP TABLE DayCount;"
                           " DROP INDEX shiwake_LScode; CREATE INDEX shiwake_LScode ON shiwake (LScode, sDay, syori, Lgaku);"
                           " PRAGMA user_version = 1"));
    db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    ProgramState state;
    Tdm01Keiri dm{state};
    dm.DataModuleCreate(folder.path());
    QTemporaryDir out;

    struct Command {
        const char* name;
        std::function<void()> run;
        const char* reason;  // part of the message
    };
    const Command commands[] = {
        {"bringing the books to the current layout", [&] { db.upgradeSchema(); }, "ディスク"},
        {"posting a journal row",
         [&] {
             Table& t = dm.t01keiri;
             t.open();
             t.append();
             t.fieldByName(QStringLiteral("Memo")).setString(QStringLiteral("満杯"));
             try {
                 t.post();
             } catch (...) {
                 t.cancel();
                 throw;
             }
         },
         "ディスク"},
        {"the year-end aggregation", [&] { (void)aggregateYearEnd(db, kYear2010); }, "ディスク"},
        {"the closing transfers",
         [&] {
             const auto result = runClosingTransfers(db, kYear2010, BackupRequest{backupFolder(folder.path()), QDateTime(QDate(2011, 1, 2), QTime(9, 0)), 10});
             if (result.refusal)
                 throw StoreError(*result.refusal);
         },
         "tolva-20110102-090000"},
        {"an export", [&] { (void)csv::writeRows(out.filePath(QStringLiteral("元帳.csv")), {{QStringLiteral("元帳")}}); }, "元帳.csv"},
        {"a backup", [&] { (void)backupDatabase(db, BackupRequest{out.filePath(QStringLiteral("backup")), QDateTime(QDate(2011, 1, 3), QTime(9, 0)), 10}); },
         "tolva-20110103-090000"},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        const QString before = booksState(db);
        QString message;
        {
            NoRoomLeft full;
            try {
                command.run();
            } catch (const StoreError& e) {
                message = e.message();
            }
        }
        EXPECT_TRUE(message.contains(QString::fromUtf8(command.reason))) << message.toStdString();
        EXPECT_EQ(booksState(db), before);
        EXPECT_EQ(integrityCheck(db), QStringLiteral("ok"));
    }
    EXPECT_EQ(db.schemaVersion(), 1);
    db.upgradeSchema();  // with room again
    EXPECT_EQ(db.schemaVersion(), Database::kSchemaVersion);
    // Nothing half-written is left where a file was asked for.
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("元帳.csv"))));
    EXPECT_TRUE(QDir(out.filePath(QStringLiteral("backup"))).entryList(QDir::Files).isEmpty());
    dm.closeAll();
}
