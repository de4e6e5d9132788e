// The asset register's "個別処理" (the target year's row found or made) and a master's delete,
// run once to count their writes, syncs and truncates, then failing at each in turn: the
// books are exactly as before and sound, and the same command then goes through.
#include "assets/yearrow.h"
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "tests/support/faultyvfs.h"
#include "tests/support/testdata.h"

#include <QScopeGuard>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <functional>

using namespace tolva;
using namespace tolva::testing;

namespace {

// An asset with a row of the year before, on the counting file system.
struct AssetBooks {
    AssetBooks()
    {
        dm.DataModuleCreate(folder.path());
        Table& a = dm.t02koteiA;
        a.open();
        a.append();
        a.fieldByName(QStringLiteral("name")).setString(QStringLiteral("本社"));
        a.post();
        state.currentPropertyId = int(a.fieldByName(QStringLiteral("id")).asInteger());
        Table& b = dm.t03koteiB;
        b.open();
        b.append();
        b.fieldByName(QStringLiteral("dateB")).setDate(QDate(2020, 4, 1));
        b.fieldByName(QStringLiteral("gaku")).setMoney(Money::fromYen(1'000'000));
        b.fieldByName(QStringLiteral("Tnen")).setInteger(6);
        b.post();
        item = b.fieldByName(QStringLiteral("id")).asInteger();
        state.currentItemId = int(item);
        Table& c = dm.t04koteiC;
        c.open();
        c.append();
        c.fieldByName(QStringLiteral("dateB")).setDate(QDate(2023, 12, 31));
        c.fieldByName(QStringLiteral("zandakaK")).setMoney(Money::fromYen(1'000'000));
        c.fieldByName(QStringLiteral("SRate")).setFloat(0.167);
        c.fieldByName(QStringLiteral("SMonth")).setInteger(12);
        c.fieldByName(QStringLiteral("kashitukeR")).setInteger(100);
        c.post();
        dm.closeAll();
    }
    ~AssetBooks()
    {
        dm.closeAll();
        Database::closeAll();
    }
    Database& db() { return *Database::forFolder(folder.path()); }

    FaultyFileSystem files{Fault::CountedWrites};  // before any connection is opened
    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
    qint64 item = 0;
};

struct Command {
    const char* name;
    std::function<void(AssetBooks&)> run;
};

} // namespace

TEST(MoreWriteFaults, EveryFailedWriteLeavesTheBooksAsTheyWereAndTheCommandWorksAfterwards)
{
    const Command commands[] = {
        {"the target year's row (個別処理)",
         [](AssetBooks& b) {
             (void)prepareYearRow(b.db(), b.item, depreciationPeriodsFor({QDate(2024, 1, 1), QDate(2024, 12, 31)}));
         }},
        {"a master's delete",
         [](AssetBooks& b) {
             Table& accounts = b.dm.t05Kamoku;
             accounts.open();
             auto close = qScopeGuard([&] { accounts.close(); });
             ASSERT_TRUE(accounts.locate(QStringLiteral("code"), QStringLiteral("0425")));
             accounts.remove();
         }},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        int writes = 0;
        QString after;
        {
            AssetBooks books;
            FaultyFileSystem::countFromHere();
            command.run(books);
            writes = FaultyFileSystem::counted();
            after = booksState(books.db());
        }
        ASSERT_GT(writes, 0);
        for (int point = 1; point <= writes; ++point) {
            for (int code : {SQLITE_IOERR_WRITE, SQLITE_FULL}) {
                SCOPED_TRACE(QStringLiteral("fault at write %1 of %2, code %3").arg(point).arg(writes).arg(code).toStdString());
                AssetBooks books;
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
