// tolva-cli on a data folder on a read-only medium, run as a user runs it: the medium is made
// below the program (tests/support/readonlyfs.cpp), which reports the folder as a read-only
// file system and refuses, and records, every change of a file there.
#include "db/database.h"
#include "db/datafolder.h"
#include "tests/cli/clirun.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/readonlyfs.h"
#include "tests/support/testdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class ReadOnlyCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        setOwner(folder.path(), 2010, 3);
        addEntries(folder.path(),
                   {
                       {"2010-04-01", "1112", 100000, "1503", 100000, "元入れ", "111201", nullptr, 21},
                       {"2010-04-05", "0411", 1200, "1111", 1200, "八百屋", "041101", nullptr, 10, "0101"},
                       {"2010-04-05", "1111", 30000, "1112", 30000, "引出し", nullptr, "111201"},
                       {"2011-03-31", "0411", 800, "1111", 800, nullptr},
                   });
        Database::closeAll();
        // The year's totals for the trial balance and the worksheet, written while the books
        // could be.
        ASSERT_EQ(runCli({QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("2010")}, folder.path()).exitCode, 0);
    }

    // The command on the folder as on a read-only medium.
    CliRun onMedium(const QStringList& arguments)
    {
        Database::closeAll();
        QProcess process;
        process.setProcessEnvironment(readOnlyEnvironment(folder.path(), log()));
        process.start(QStringLiteral(TOLVA_CLI), arguments + QStringList{QStringLiteral("--data-dir"), folder.path()});
        CliRun run;
        EXPECT_TRUE(process.waitForFinished(60000)) << arguments.join(u' ').toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << arguments.join(u' ').toStdString();
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    // What the programs tried to change on the medium, one "call path" line each.
    [[nodiscard]] QString refusedChanges() const { return QString::fromLocal8Bit(bytesOf(log())); }
    [[nodiscard]] QString log() const { return QDir(elsewhere.path()).filePath(QStringLiteral("refused.log")); }
    [[nodiscard]] QString outside(const QString& name) const { return QDir(elsewhere.path()).filePath(name); }

    TestDataFolder folder;
    QTemporaryDir elsewhere;
};

} // namespace

// Every verb that only reads gives on the medium what it gives on books that can be written,
// and the folder stays byte for byte as it was, with no file added: not a lock, a log, its
// index nor a temporary file was even tried.
TEST_F(ReadOnlyCli, ReadingVerbsGiveWhatTheyGiveOnWritableBooksAndTouchNothing)
{
    const QString from = QStringLiteral("--from"), to = QStringLiteral("--to");
    const QList<QStringList> verbs = {
        {QStringLiteral("ledger"), QStringLiteral("1111"), from, QStringLiteral("2010-04-01"), to, QStringLiteral("2011-03-31")},
        {QStringLiteral("journal"), QStringLiteral("--format"), QStringLiteral("json"), from, QStringLiteral("2010-04-01"), to,
         QStringLiteral("2011-03-31")},
        {QStringLiteral("trial-balance"), QStringLiteral("--year"), QStringLiteral("2010")},
        {QStringLiteral("worksheet"), QStringLiteral("--year"), QStringLiteral("2010"), QStringLiteral("--format"), QStringLiteral("csv")},
        {QStringLiteral("depreciation"), QStringLiteral("--year"), QStringLiteral("2010")},
        {QStringLiteral("check"), QStringLiteral("--full")},
        // The period aggregation is made in memory: the same sums, nothing recorded.
        {QStringLiteral("aggregate"), from, QStringLiteral("2010-04-01"), to, QStringLiteral("2010-04-30"), QStringLiteral("--format"),
         QStringLiteral("json")},
    };
    QList<CliRun> writable;
    for (const QStringList& verb : verbs)
        writable << runCli(verb, folder.path());
    const QMap<QString, QByteArray> before = folderState(folder.path());

    for (qsizetype i = 0; i < verbs.size(); ++i) {
        const QString command = verbs[i].join(u' ');
        const CliRun run = onMedium(verbs[i]);
        EXPECT_EQ(run.exitCode, 0) << command.toStdString() << ": " << run.errText().toStdString();
        EXPECT_EQ(run.outText(), writable[i].outText()) << command.toStdString();
        EXPECT_FALSE(run.out.isEmpty()) << command.toStdString();
    }
    EXPECT_TRUE(onMedium(verbs.last()).errText().contains(QStringLiteral("記録していません")));

    // Files written elsewhere through the output routine, and a copy of the books.
    const QList<std::pair<QStringList, QString>> files = {
        {{QStringLiteral("export"), QStringLiteral("journal"), from, QStringLiteral("2010-04-01"), to, QStringLiteral("2011-03-31")},
         QStringLiteral("仕訳帳.csv")},
        {{QStringLiteral("export"), QStringLiteral("ledger"), QStringLiteral("1111"), from, QStringLiteral("2010-04-01"), to,
          QStringLiteral("2011-03-31")},
         QStringLiteral("元帳.csv")},
        {{QStringLiteral("backup")}, QStringLiteral("copy.sqlite")},
    };
    for (const auto& [verb, name] : files) {
        const CliRun run = onMedium(verb + QStringList{QStringLiteral("-o"), outside(name)});
        EXPECT_EQ(run.exitCode, 0) << verb.join(u' ').toStdString() << ": " << run.errText().toStdString();
        EXPECT_FALSE(bytesOf(outside(name)).isEmpty()) << name.toStdString();
    }

    EXPECT_EQ(refusedChanges(), QString());
    EXPECT_EQ(folderState(folder.path()), before);
}

TEST_F(ReadOnlyCli, VerbsThatWriteAreRefusedNamingTheFolder)
{
    ASSERT_EQ(runCli({QStringLiteral("backup"), QStringLiteral("-o"), outside(QStringLiteral("copy.sqlite"))}, folder.path()).exitCode, 0);
    const QMap<QString, QByteArray> before = folderState(folder.path());
    const QList<QStringList> verbs = {
        {QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("2010")},
        {QStringLiteral("closing-transfers"), QStringLiteral("--year"), QStringLiteral("2010")},
        {QStringLiteral("backup")},
        {QStringLiteral("restore"), outside(QStringLiteral("copy.sqlite")), QStringLiteral("--yes")},
    };
    for (const QStringList& verb : verbs) {
        const CliRun run = onMedium(verb);
        const std::string command = verb.join(u' ').toStdString();
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_TRUE(run.errText().contains(QStringLiteral("データフォルダ「%1」は読み取り専用の場所").arg(QDir::toNativeSeparators(folder.path()))))
            << command << ": " << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QStringLiteral("帳簿を変更するこのコマンドは実行できません"))) << command;
        EXPECT_TRUE(run.out.isEmpty()) << command;
    }
    EXPECT_EQ(refusedChanges(), QString());
    EXPECT_EQ(folderState(folder.path()), before);
}

// A program that can write the folder (its owner's, another computer's) holds it with its lock
// file: the medium's reader is refused as any second program is, and reads once it is gone.
// Books it left with their log cannot be read where nothing may be written.
TEST_F(ReadOnlyCli, BooksHeldOrLeftUnclosedByAWriterAreRefusedWithWhatToDo)
{
    const QStringList ledger = {QStringLiteral("ledger"), QStringLiteral("1111")};
    {
        datafolder::Lock writer(folder.path());
        ASSERT_TRUE(writer.acquired());
        const QMap<QString, QByteArray> held = folderState(folder.path());
        const CliRun run = onMedium(ledger);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.errText().contains(QStringLiteral("使用中"))) << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QString::number(QCoreApplication::applicationPid()))) << run.errText().toStdString();
        EXPECT_EQ(folderState(folder.path()), held);
    }
    EXPECT_EQ(onMedium(ledger).exitCode, 0);

    {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open_v2(folder.file(QString::fromLatin1(Database::kFileName)).toUtf8().constData(), &handle,
                                  SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        ASSERT_EQ(sqlite3_exec(handle, "PRAGMA locking_mode=EXCLUSIVE; INSERT INTO biko (Name) VALUES ('x')", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(handle);
    }
    const QMap<QString, QByteArray> unclosed = folderState(folder.path());
    ASSERT_TRUE(unclosed.contains(QStringLiteral("tolva.sqlite-wal")));
    ASSERT_FALSE(unclosed.contains(QStringLiteral("tolva.sqlite-shm")));
    const CliRun run = onMedium(ledger);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errText().contains(QStringLiteral("前回正しく閉じられていない"))) << run.errText().toStdString();
    EXPECT_TRUE(run.errText().contains(QStringLiteral("書き込みできる場所へデータフォルダごとコピーしてから"))) << run.errText().toStdString();
    EXPECT_EQ(refusedChanges(), QString());
    EXPECT_EQ(folderState(folder.path()), unclosed);
}
