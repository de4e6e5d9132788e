// Where tolva-cli may write what it is told to write with -o: never over the books' own files,
// into pipes and devices as streams, over regular files keeping their permission bits.
#include "db/database.h"
#include "tests/cli/clirun.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

class CliOutputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        setOwner(folder.path(), 2010, 3);
        addEntries(folder.path(), {
                                      {"2010-04-05", "0411", 1200, "1111", 1200, "八百屋", "041101", nullptr, 10, "0101"},
                                      {"2010-04-06", "1111", 30000, "1112", 30000, nullptr, nullptr, "111201"},
                                  });
        Database::closeAll();
        const CliRun backup = cli({QStringLiteral("backup")});
        ASSERT_EQ(backup.exitCode, 0) << backup.errText().toStdString();
        const QStringList copies = QDir(data(QStringLiteral("backup"))).entryList(QDir::Files);
        ASSERT_EQ(copies.size(), 1);
        firstCopy = data(QStringLiteral("backup/") + copies.first());
    }
    [[nodiscard]] QString data(const QString& name) const { return QDir(folder.path()).filePath(name); }
    [[nodiscard]] QString out(const QString& name) const { return QDir(elsewhere.path()).filePath(name); }
    [[nodiscard]] CliRun cli(const QStringList& arguments) const { return runCli(arguments, folder.path()); }
    [[nodiscard]] static QStringList exportLedger(const QString& target)
    {
        return {QStringLiteral("export"), QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("-o"), target};
    }
    [[nodiscard]] static QStringList exportJournal(const QString& target)
    {
        return {QStringLiteral("export"), QStringLiteral("journal"), QStringLiteral("--from"), QStringLiteral("2010-04-01"),
                QStringLiteral("--to"), QStringLiteral("2011-03-31"), QStringLiteral("-o"), target};
    }
    [[nodiscard]] static QStringList backupTo(const QString& target)
    {
        return {QStringLiteral("backup"), QStringLiteral("-o"), target};
    }

    TestDataFolder folder;
    QTemporaryDir elsewhere;
    QString firstCopy;
};

TEST_F(CliOutputs, NoSpellingOfTheBooksOwnFilesIsWrittenOver)
{
    const QString books = data(QString::fromLatin1(Database::kFileName));
    ASSERT_TRUE(QFile::link(books, out(QStringLiteral("link.csv"))));
    ASSERT_EQ(::link(QFile::encodeName(books).constData(), QFile::encodeName(out(QStringLiteral("hard.csv"))).constData()), 0);
    ASSERT_TRUE(QFile::link(data(QStringLiteral("tolva.sqlite-wal")), out(QStringLiteral("dangling.csv"))));
    ASSERT_TRUE(QDir().mkpath(out(QStringLiteral("sub"))));

    struct Case {
        QStringList arguments;
        const char* refusal;
        const char* what;
    };
    const QList<Case> cases{
        {exportLedger(books), "帳簿のデータベース", "the ledger export over the books"},
        {exportJournal(books), "帳簿のデータベース", "the journal export over the books"},
        {backupTo(data(QStringLiteral("qUnionCode.sql"))), "問合せファイル", "a backup over a stored query"},
        {backupTo(data(QStringLiteral("tolva.sqlite-wal"))), "帳簿のログ", "a backup as the books' log, not there yet"},
        {exportLedger(data(QStringLiteral("./tolva.sqlite"))), "帳簿のデータベース", "./"},
        {exportLedger(out(QStringLiteral("sub/")) + QDir(out(QStringLiteral("sub"))).relativeFilePath(books)), "帳簿のデータベース",
         "a path through .."},
        {exportLedger(out(QStringLiteral("link.csv"))), "帳簿のデータベース", "a symbolic link to the books"},
        {exportLedger(out(QStringLiteral("hard.csv"))), "帳簿のデータベース", "a hard link to the books"},
        {exportLedger(out(QStringLiteral("dangling.csv"))), "帳簿のログ", "a link to where the log would be"},
        {exportLedger(data(QStringLiteral("TOLVA.SQLITE"))), "帳簿のデータベース", "another case spelling"},
        {backupTo(data(QStringLiteral("tolva.sqlite-wal/x.sqlite"))), "帳簿のログ", "a folder named as the log"},
        {exportLedger(data(QStringLiteral("tolva.lock"))), "ロックファイル", "the lock file"},
        {exportLedger(data(QStringLiteral("TlRepo01.rav"))), "レポートのプロジェクト", "the report project"},
        {exportJournal(data(QStringLiteral("uqSai.sql"))), "問合せファイル", "the other stored query"},
        {exportLedger(folder.path()), "データフォルダです", "the folder itself"},
        {exportLedger(firstCopy), "バックアップを守るため", "an export over a kept copy"},
        {exportLedger(data(QStringLiteral("backup/ledger.csv"))), "バックアップを守るため", "an export into the backup folder"},
        {backupTo(firstCopy), "既にあるバックアップ", "a backup over a kept copy"},
    };
    const QMap<QString, QByteArray> before = folderState(folder.path());
    for (const Case& c : cases) {
        const CliRun run = cli(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.what << ": " << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QString::fromUtf8(c.refusal))) << c.what << ": " << run.errText().toStdString();
        EXPECT_TRUE(folderState(folder.path()) == before) << c.what;
    }
    EXPECT_TRUE(QFileInfo(out(QStringLiteral("link.csv"))).isSymLink());
    EXPECT_TRUE(QFileInfo(out(QStringLiteral("dangling.csv"))).isSymLink());
    EXPECT_EQ(bytesOf(out(QStringLiteral("hard.csv"))), before.value(QString::fromLatin1(Database::kFileName)));
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);

    // What stays allowed: a file of the user's own in the data folder, a new copy in backup/.
    EXPECT_EQ(cli(exportLedger(data(QStringLiteral("元帳.csv")))).exitCode, 0);
    EXPECT_EQ(cli(backupTo(data(QStringLiteral("backup/mine.sqlite")))).exitCode, 0);
}

TEST_F(CliOutputs, PipesAndDevicesAreWrittenAsStreamsAndOtherSpecialFilesAreRefused)
{
    ASSERT_EQ(cli(exportLedger(out(QStringLiteral("plain.csv")))).exitCode, 0);
    const QByteArray csv = bytesOf(out(QStringLiteral("plain.csv")));
    ASSERT_FALSE(csv.isEmpty());

    // A named pipe with a reader at its other end.
    const QString pipe = out(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QProcess reader;
    reader.start(QStringLiteral("cat"), {pipe});
    ASSERT_TRUE(reader.waitForStarted());
    const CliRun toPipe = cli(exportLedger(pipe));
    EXPECT_EQ(toPipe.exitCode, 0) << toPipe.errText().toStdString();
    ASSERT_TRUE(reader.waitForFinished(30000));
    EXPECT_EQ(reader.readAllStandardOutput(), csv);
    EXPECT_TRUE(S_ISFIFO(modeOf(pipe)));

    const CliRun toStdout = cli(exportLedger(QStringLiteral("/dev/stdout")));
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.errText().toStdString();
    EXPECT_TRUE(toStdout.out.startsWith(csv)) << toStdout.out.toStdString();

    // A backup is a file SQLite writes; into a stream its bytes follow once complete.
    const CliRun backupToStdout = cli(backupTo(QStringLiteral("/dev/stdout")));
    EXPECT_EQ(backupToStdout.exitCode, 0) << backupToStdout.errText().toStdString();
    EXPECT_TRUE(backupToStdout.out.startsWith(QByteArray("SQLite format 3\0", 16)));

    const CliRun full = cli(exportLedger(QStringLiteral("/dev/full")));
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(full.errText().contains(QStringLiteral("ディスクの空き容量が足りない"))) << full.errText().toStdString();
    EXPECT_TRUE(S_ISCHR(modeOf(QStringLiteral("/dev/full"))));

    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(out(QStringLiteral("socket")));
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const CliRun toSocket = cli(exportLedger(out(QStringLiteral("socket"))));
    EXPECT_EQ(toSocket.exitCode, 1);
    EXPECT_TRUE(toSocket.errText().contains(QStringLiteral("ソケット"))) << toSocket.errText().toStdString();
    EXPECT_TRUE(S_ISSOCK(modeOf(out(QStringLiteral("socket")))));
    ::close(listening);

    ASSERT_TRUE(QDir().mkpath(out(QStringLiteral("folder"))));
    const CliRun toFolder = cli(exportLedger(out(QStringLiteral("folder"))));
    EXPECT_EQ(toFolder.exitCode, 1);
    EXPECT_TRUE(toFolder.errText().contains(QStringLiteral("フォルダです"))) << toFolder.errText().toStdString();
}

TEST_F(CliOutputs, AReplacedFileKeepsItsPermissionBitsAndANewOneFollowsTheUmask)
{
    for (const mode_t bits : {mode_t(0644), mode_t(0640), mode_t(0600)}) {
        const QString target = out(QStringLiteral("kept-%1.csv").arg(bits, 0, 8));
        writeFile(target, "old");
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), bits), 0);
        ASSERT_EQ(cli(exportLedger(target)).exitCode, 0);
        EXPECT_NE(bytesOf(target), QByteArray("old"));
        EXPECT_EQ(modeOf(target) & 07777, bits);
    }
    const mode_t mask = ::umask(022);
    const QString fresh = out(QStringLiteral("new.csv"));
    ASSERT_EQ(cli(exportLedger(fresh)).exitCode, 0);
    ::umask(mask);
    EXPECT_EQ(modeOf(fresh) & 07777, mode_t(0644));
    // Nothing of ours left beside them.
    for (const QString& name : QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden | QDir::System))
        EXPECT_FALSE(name.contains(QStringLiteral(".tolva-tmp-"))) << name.toStdString();
}

} // namespace
