// The first start and --init-data killed at every step of laying a data folder out: the
// folder is left absent (or still empty) or complete, or one that the next start or
// --init-data recognises as half-made and completes. The user's own files stay byte for byte,
// and nothing of the killed program is left beside the folder or in it.
#include "db/database.h"
#include "db/datafolder.h"
#include "tests/support/testdata.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace tolva;
using namespace tolva::testing;
using State = datafolder::Contents::State;

namespace {

const QString kDatabase = QString::fromLatin1(Database::kFileName);

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray templateBytes(const QString& name)
{
    return bytesOf(QDir(templateDir()).filePath(name));
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

const char* nameOf(State state)
{
    switch (state) {
    case State::Missing: return "absent";
    case State::NotAFolder: return "not a folder";
    case State::Empty: return "empty";
    case State::Books: return "complete";
    case State::HalfMade: return "half-made";
    case State::Leftovers: return "leftovers of books";
    case State::Other: return "other files";
    }
    return "";
}

// Where a layout begins.
struct Beginning {
    const char* what;
    bool folderExists;
    QStringList fromTemplate;           // files in it as the template has them
    QMap<QString, QByteArray> own;      // the user's own files in it
    std::set<State> afterAKill;         // what a kill may leave
};

QList<Beginning> beginnings()
{
    const QByteArray ownProject = templateBytes(QStringLiteral("TlRepo01.rav")).replace("合計残高試算表", "わが家の試算表");
    const QByteArray ownQuery = "-- the user's own\nSELECT Kcode AS Kcode FROM Kamoku\n";
    return {
        {"a missing folder", false, {}, {}, {State::Missing, State::Books}},
        {"an empty folder", true, {}, {}, {State::Empty, State::Books}},
        {"the stored queries without the database, the user's own report project", true,
         {QStringLiteral("qUnionCode.sql"), QStringLiteral("uqSai.sql")}, {{QStringLiteral("TlRepo01.rav"), ownProject}},
         {State::HalfMade, State::Books}},
        {"a database without uqSai.sql, the user's own qUnionCode.sql", true, {kDatabase, QStringLiteral("TlRepo01.rav")},
         {{QStringLiteral("qUnionCode.sql"), ownQuery}}, {State::HalfMade, State::Books}},
    };
}

void lay(const Beginning& beginning, const QString& folder)
{
    if (!beginning.folderExists)
        return;
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& name : beginning.fromTemplate)
        ASSERT_TRUE(QFile::copy(QDir(templateDir()).filePath(name), QDir(folder).filePath(name)));
    for (auto it = beginning.own.cbegin(); it != beginning.own.cend(); ++it) {
        QFile file(QDir(folder).filePath(it.key()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
}

struct ProgramRun {
    bool killed = false;
    int exitCode = -1;
    QString output;
};

// Runs the program to its end, or kills it before its `killAt`-th call that changes a file.
ProgramRun run(const QString& program, const QStringList& arguments, int killAt = 0)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (killAt > 0) {
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(TOLVA_KILL_AT_FILE_OP));
        env.insert(QStringLiteral("TOLVA_KILL_AT_FILE_OP"), QString::number(killAt));
        // A sanitized program wants its runtime first among its libraries; the preloaded one is.
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    }
    child.setProcessEnvironment(env);
    child.start(program, arguments);
    EXPECT_TRUE(child.waitForFinished(60000)) << program.toStdString();
    return {child.exitStatus() == QProcess::CrashExit, child.exitCode(),
            QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError())};
}

// Kills `start` at every step from the first until it runs to its end; after each kill the
// folder must be as `afterAKill` allows, and `next` (run to its end) must make it whole.
void killAtEveryStep(const std::function<ProgramRun(const QString& folder, int killAt)>& start,
                     const std::function<void(const QString& folder, State afterKill)>& next)
{
    for (const Beginning& beginning : beginnings()) {
        SCOPED_TRACE(beginning.what);
        QMap<State, int> seen;
        bool ranToTheEnd = false;
        for (int killAt = 1; !ranToTheEnd && killAt < 500; ++killAt) {
            SCOPED_TRACE(killAt);
            QTemporaryDir root;
            const QString folder = QDir(root.path()).filePath(QStringLiteral("Data"));
            lay(beginning, folder);
            const ProgramRun killed = start(folder, killAt);
            ranToTheEnd = !killed.killed;

            const datafolder::Contents after = datafolder::inspect(folder);
            seen[after.state] += 1;
            ASSERT_TRUE(beginning.afterAKill.count(after.state)) << "left " << nameOf(after.state) << ": " << killed.output.toStdString();
            // Every file there is whole: the user's own, or the template's.
            for (const QString& name : after.present) {
                if (name != kDatabase) {
                    EXPECT_EQ(bytesOf(QDir(folder).filePath(name)), beginning.own.value(name, templateBytes(name))) << name.toStdString();
                }
            }

            next(folder, after.state);
            EXPECT_EQ(datafolder::inspect(folder).state, State::Books);
            for (auto it = beginning.own.cbegin(); it != beginning.own.cend(); ++it)
                EXPECT_EQ(bytesOf(QDir(folder).filePath(it.key())), it.value()) << "the user's " << it.key().toStdString();
            QStringList expected = datafolder::layoutFileNames();
            expected.sort();
            // A lock left by a program killed while it held the folder is what the lock is for:
            // the next program takes it over.
            QStringList left = entriesOf(folder);
            left.removeAll(QStringLiteral("tolva.lock"));
            EXPECT_EQ(left, expected) << "left in the folder: " << left.join(u' ').toStdString();
            EXPECT_EQ(entriesOf(root.path()), QStringList{QStringLiteral("Data")}) << "left beside the folder";
            Database::closeAll();
            datafolder::verify(folder, Database::OpeningChecks::Full);
            EXPECT_EQ(integrityCheck(*Database::forFolder(folder)), QStringLiteral("ok"));
            Database::closeAll();
        }
        EXPECT_TRUE(ranToTheEnd);
        QStringList counts;
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            counts << QStringLiteral("%1 %2").arg(it.value()).arg(QString::fromLatin1(nameOf(it.key())));
        ::testing::Test::RecordProperty(beginning.what, counts.join(QStringLiteral(", ")).toStdString());
    }
}

} // namespace

TEST(KillNewFolder, InitDataKilledAtEveryStepLeavesAFolderTheNextInitDataMakesWhole)
{
    killAtEveryStep(
        [](const QString& folder, int killAt) {
            return run(QStringLiteral(TOLVA_PROGRAM), {QStringLiteral("--init-data"), folder}, killAt);
        },
        [](const QString& folder, State afterKill) {
            const ProgramRun again = run(QStringLiteral(TOLVA_PROGRAM), {QStringLiteral("--init-data"), folder});
            EXPECT_FALSE(again.killed);
            if (afterKill == State::Books) {
                EXPECT_EQ(again.exitCode, 1);
                EXPECT_TRUE(again.output.contains(QStringLiteral("既にデータがあります"))) << again.output.toStdString();
            } else {
                EXPECT_EQ(again.exitCode, 0) << again.output.toStdString();
                EXPECT_TRUE(again.output.contains(afterKill == State::HalfMade ? QStringLiteral("補いました") : QStringLiteral("作成しました")))
                    << again.output.toStdString();
            }
        });
}

TEST(KillNewFolder, AFirstStartKilledAtEveryStepLeavesAFolderTheNextStartMakesWhole)
{
    const auto firstStart = [](const QString& folder, int killAt = 0) {
        return run(QStringLiteral(TOLVA_KILL_TARGET), {folder, QStringLiteral("first-start"), templateDir()}, killAt);
    };
    killAtEveryStep(firstStart, [&](const QString& folder, State afterKill) {
        const ProgramRun next = firstStart(folder);
        EXPECT_FALSE(next.killed);
        EXPECT_EQ(next.exitCode, 0) << next.output.toStdString();
        // The question fits what the kill left: new books, or what a half-made folder lacks.
        const char* asked = afterKill == State::Missing    ? "asked: データフォルダ「%1」がありません。"
                            : afterKill == State::Empty    ? "asked: データフォルダ「%1」は空です。"
                            : afterKill == State::HalfMade ? "asked: データフォルダ「%1」は作成の途中で止まっています"
                                                           : nullptr;
        if (asked)
            EXPECT_TRUE(next.output.contains(QString::fromUtf8(asked).arg(QDir::toNativeSeparators(folder)))) << next.output.toStdString();
        else
            EXPECT_FALSE(next.output.contains(QStringLiteral("asked:"))) << next.output.toStdString();
    });
}
