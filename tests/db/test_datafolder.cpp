#include "db/database.h"
#include "db/datafolder.h"
#include "db/history.h"
#include "db/tempfiles.h"
#include "tests/support/faultyvfs.h"
#include "tests/support/testdata.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QSysInfo>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdio>

using namespace tolva;
using tolva::testing::Fault;
using tolva::testing::FaultyFileSystem;
using tolva::testing::TestDataFolder;

namespace {

const QString kWal = QString::fromLatin1(Database::kFileName) + QStringLiteral("-wal");
const QString kShm = QString::fromLatin1(Database::kFileName) + QStringLiteral("-shm");

// The message of the StoreError that opening the folder raises, or an empty text.
QString openingError(const QString& folder)
{
    Database::closeAll();
    try {
        datafolder::verify(folder);
    } catch (const StoreError& e) {
        Database::closeAll();
        return e.message();
    }
    Database::closeAll();
    return {};
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The database, its log and the log's index as they stand: size and checksum, or absence.
// Read only while no connection of this process is open on the books: closing a descriptor
// of the file would drop that connection's locks.
std::string booksState(const QString& folder)
{
    std::string state;
    for (const QString& name : {QString::fromLatin1(Database::kFileName), kWal, kShm}) {
        QFile file(QDir(folder).filePath(name));
        state += name.toStdString() + ": ";
        if (!file.open(QIODevice::ReadOnly)) {
            state += "absent\n";
            continue;
        }
        const QByteArray content = file.readAll();
        state += std::to_string(content.size()) + " bytes, sha256 "
                 + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex().left(16).toStdString() + "\n";
    }
    return state;
}

// Runs SQL on the books through a connection of another program: SQLite as it comes, not
// through the store. With `keepLog` the connection closes without folding its log into the
// file, as a program that was killed leaves it.
void otherProgram(const QString& folder, const char* sql, bool keepLog = false)
{
    sqlite3* handle = nullptr;
    const QByteArray path = QDir(folder).filePath(QString::fromLatin1(Database::kFileName)).toUtf8();
    ASSERT_EQ(sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    if (keepLog)
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(handle);
}

// Journal rows enough to grow every index of the journal table by many pages.
std::string journalRows(int count)
{
    return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(count)
           + ") INSERT INTO shiwake (sDay, Lcode, Lgaku, Rcode, Rgaku, Memo) "
             "SELECT date('2020-01-01', '+' || (i % 366) || ' days'), printf('%03d', i % 97), i * 10000, "
             "printf('%03d', i % 89), i * 10000, printf('row %d', i) FROM n";
}

void scribble(const QString& path, qint64 from, qint64 length)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(from));
    file.write(QByteArray(int(length), '\x5a'));
}

} // namespace

TEST(DataFolder, AFreshCopyOfTheTemplateOpens)
{
    TestDataFolder folder;
    EXPECT_EQ(openingError(folder.path()), QString());
}

TEST(DataFolder, RefusesWhatIsNotSoundBooksBeforeWritingAnything)
{
    struct Case {
        const char* what;
        std::function<void(const QString& folder, const QString& dbFile)> spoil;
        const char* expected;  // part of the message
    };
    const Case cases[] = {
        {"zero-length database", [](const QString&, const QString& db) { writeFile(db, {}); }, "壊れている"},
        {"a text file in its place", [](const QString&, const QString& db) { writeFile(db, "hello, world\n"); }, "Tolvaのデータベースではありません"},
        {"missing database", [](const QString&, const QString& db) { QFile::remove(db); }, "tolva --init-data"},
        {"missing database, its log left behind",
         [](const QString& f, const QString& db) {
             otherProgram(f, "INSERT INTO biko (Name) VALUES ('x')", true);
             QFile::remove(db);
         },
         "tolva.sqlite-wal"},
        {"damaged pages", [](const QString&, const QString& db) { scribble(db, 100, QFile(db).size() - 100); }, "壊れている"},
        {"a database of another program",
         [](const QString&, const QString& db) {
             QFile::remove(db);
             sqlite3* handle = nullptr;
             sqlite3_open(db.toUtf8().constData(), &handle);
             sqlite3_exec(handle, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
             sqlite3_close(handle);
         },
         "Tolvaのデータベースではありません"},
        {"a missing table", [](const QString& f, const QString&) { otherProgram(f, "DROP TABLE biko"); }, "biko"},
        {"a missing stored query", [](const QString& f, const QString&) { QFile::remove(QDir(f).filePath("uqSai.sql")); }, "uqSai.sql"},
        {"the rollback journal of other books beside them",
         [](const QString& f, const QString& db) {
             // A journal caught in the middle of a write to other books, as a crash leaves it:
             // SQLite would play it back into whatever file it finds it beside.
             QTemporaryDir elsewhere;
             const QString other = QDir(elsewhere.path()).filePath(QStringLiteral("other.sqlite"));
             ASSERT_TRUE(QFile::copy(db, other));
             sqlite3* handle = nullptr;
             ASSERT_EQ(sqlite3_open(other.toUtf8().constData(), &handle), SQLITE_OK);
             tolva::history::registerFunctions(handle);
             sqlite3_exec(handle, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
             sqlite3_exec(handle, journalRows(300).c_str(), nullptr, nullptr, nullptr);
             sqlite3_exec(handle, "PRAGMA cache_size=1; BEGIN; UPDATE shiwake SET Memo = 'other books'", nullptr, nullptr, nullptr);
             ASSERT_GT(QFileInfo(other + QStringLiteral("-journal")).size(), 0);
             ASSERT_TRUE(QFile::copy(other + QStringLiteral("-journal"), QDir(f).filePath(QStringLiteral("tolva.sqlite-journal"))));
             sqlite3_close(handle);
         },
         "tolva.sqlite-journal"},
    };
    for (const Case& c : cases) {
        TestDataFolder folder;
        const QString db = folder.file(QString::fromLatin1(Database::kFileName));
        c.spoil(folder.path(), db);
        const std::string before = booksState(folder.path());
        const QString message = openingError(folder.path());
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.expected))) << c.what << ": " << message.toStdString();
        EXPECT_EQ(booksState(folder.path()), before) << c.what << ": the refused books were changed";
    }
    EXPECT_TRUE(openingError(QStringLiteral("/nonexistent/tolva-data")).contains(QStringLiteral("データフォルダ")));
    TestDataFolder folder;
    EXPECT_TRUE(openingError(folder.file(QStringLiteral("qUnionCode.sql"))).contains(QStringLiteral("フォルダではありません")));
}

// A log is part of the books until it is folded into the file. Books refused as damaged keep
// theirs as it was, and their file too: nothing is folded in on the way out.
TEST(DataFolder, BooksRefusedAsDamagedKeepTheirFileAndLogByteForByte)
{
    struct Case {
        const char* what;
        std::function<void(const QString& folder)> spoil;
    };
    const Case cases[] = {
        {"an older copy of the file restored beside the log of newer books",
         [](const QString& f) {
             const QString db = QDir(f).filePath(QString::fromLatin1(Database::kFileName));
             otherProgram(f, journalRows(200).c_str());
             const QByteArray older = readFile(db);
             otherProgram(f, journalRows(2000).c_str());
             otherProgram(f, journalRows(300).c_str(), true);
             ASSERT_GT(QFileInfo(QDir(f).filePath(kWal)).size(), 0);
             writeFile(db, older);
         }},
        {"a damaged file with a log of its own",
         [](const QString& f) {
             otherProgram(f, journalRows(2000).c_str());
             otherProgram(f, journalRows(100).c_str(), true);
             ASSERT_GT(QFileInfo(QDir(f).filePath(kWal)).size(), 0);
             scribble(QDir(f).filePath(QString::fromLatin1(Database::kFileName)), 2 * 4096, 10 * 4096);
         }},
    };
    for (const Case& c : cases) {
        TestDataFolder folder;
        c.spoil(folder.path());
        const std::string before = booksState(folder.path());
        const QString message = openingError(folder.path());
        EXPECT_TRUE(message.contains(QStringLiteral("壊れている"))) << c.what << ": " << message.toStdString();
        EXPECT_EQ(booksState(folder.path()), before) << c.what;
    }
}

// A page of the journal damaged while the books were closed. A normal start reads only what
// does not grow with the journal and opens them; the full check finds it (after an unclean
// end, on demand). Opened, the page is never read as rows: reading it is an error, and a
// write that meets it leaves the file as it was.
TEST(DataFolder, DamageInTheJournalAloneIsFoundByTheFullCheckAndNeverReadAsRows)
{
    TestDataFolder folder;
    ASSERT_TRUE(tolva::testing::damageAJournalPage(folder.path()));
    const QString dbFile = folder.file(QString::fromLatin1(Database::kFileName));
    const QByteArray damaged = readFile(dbFile);

    EXPECT_EQ(openingError(folder.path()), QString()) << "a normal start reads no journal page but its ends";
    {
        auto db = Database::forFolder(folder.path());
        EXPECT_FALSE(db->fullyChecked());
        const auto failure = [&](const QString& sql) {
            try {
                Transaction transaction(*db);
                Statement statement = db->prepare(sql);
                while (statement.step()) {
                }
                transaction.commit();
            } catch (const StoreError& e) {
                return e.message();
            }
            return QString();
        };
        EXPECT_TRUE(failure(QStringLiteral("SELECT sum(length(Memo)) FROM shiwake")).contains(QStringLiteral("壊れています")));
        EXPECT_TRUE(failure(QStringLiteral("UPDATE shiwake SET Memo = 'changed'")).contains(QStringLiteral("壊れています")));
        EXPECT_FALSE(db->damageFindings().isEmpty());
        Database::closeAll();
    }
    EXPECT_EQ(readFile(dbFile), damaged) << "the failed write changed the file";

    // On demand (the main window's check, tolva-cli check) and after an unclean end.
    const auto fullOpening = [&] {
        Database::closeAll();
        try {
            datafolder::verify(folder.path(), Database::OpeningChecks::Full);
        } catch (const StoreError& e) {
            Database::closeAll();
            return e.message();
        }
        Database::closeAll();
        return QString();
    };
    EXPECT_TRUE(fullOpening().contains(QStringLiteral("壊れている")));
    writeFile(folder.file(kWal), {});
    EXPECT_TRUE(openingError(folder.path()).contains(QStringLiteral("壊れている"))) << "a log beside the file: the full check";
    EXPECT_EQ(readFile(dbFile), damaged);
}

// Books of the first layout (full sub-account indexes, the journal counted each time) are
// brought to the current one by the program that is about to write, and then look like new
// books; their journal's row count follows every write from then on, a rolled-back one and
// a row replaced by another program included.
TEST(DataFolder, BooksOfAnOlderLayoutAreBroughtToTheCurrentOneAndKeepTheirJournalCounted)
{
    const auto schemaOf = [](Database& db) {
        Statement rows = db.prepare(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name"));
        QStringList schema;
        while (rows.step())
            schema << QStringLiteral("%1 %2 %3 %4").arg(rows.column(0).toString(), rows.column(1).toString(),
                                                       rows.column(2).toString(), rows.column(3).toString());
        return schema;
    };
    const auto count = [](Database& db, const char* sql) {
        Statement s = db.prepare(QString::fromLatin1(sql));
        return s.step() ? s.columnInt(0) : -1;
    };
    TestDataFolder current;
    const QStringList expected = schemaOf(*Database::forFolder(current.path()));
    EXPECT_EQ(Database::forFolder(current.path())->schemaVersion(), Database::kSchemaVersion);
    Database::closeAll();

    TestDataFolder folder;
    otherProgram(folder.path(),
                 "DROP TRIGGER shiwake_counted_insert; DROP TRIGGER shiwake_counted_delete; DROP TRIGGER shiwake_counted_redate;"
                 " DROP TABLE RowCount; DROP TABLE DayCount;"
                 " DROP INDEX shiwake_LScode; DROP INDEX shiwake_RScode;"
                 " CREATE INDEX shiwake_LScode ON shiwake (LScode, sDay, syori, Lgaku);"
                 " CREATE INDEX shiwake_RScode ON shiwake (RScode, sDay, syori, Rgaku); PRAGMA user_version = 1;");
    otherProgram(folder.path(), journalRows(500).c_str());
    {
        auto db = Database::forFolder(folder.path());
        EXPECT_EQ(db->schemaVersion(), 1) << "opening alone changes nothing";
        db->upgradeSchema();
        EXPECT_EQ(db->schemaVersion(), Database::kSchemaVersion);
        EXPECT_EQ(schemaOf(*db), expected);
        EXPECT_EQ(count(*db, "SELECT n FROM RowCount WHERE tableName = 'shiwake'"), 500);

        db->exec(QStringLiteral("DELETE FROM shiwake WHERE id % 7 = 0"));
        {
            Transaction abandoned(*db);
            db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Memo) VALUES ('2020-01-01', 'rolled back')"));
        }
        db->exec(QStringLiteral("INSERT OR REPLACE INTO shiwake (id, sDay, Memo) VALUES (1, '2020-01-01', 'replaced')"));
        db->exec(QStringLiteral("DELETE FROM shiwake WHERE id > 490"));
        db->exec(QStringLiteral("UPDATE shiwake SET sDay = '2021-02-03' WHERE id % 5 = 0"));
        db->exec(QStringLiteral("UPDATE shiwake SET sDay = NULL WHERE id % 11 = 0"));
        db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Memo) VALUES (NULL, 'undated'), ('2021-02-03', 'dated')"));
        EXPECT_EQ(count(*db, "SELECT n FROM RowCount WHERE tableName = 'shiwake'"), count(*db, "SELECT count(*) FROM shiwake"));
        // Each day's count is that day's rows; a day that lost its last row is gone.
        EXPECT_EQ(count(*db, "SELECT count(*) FROM (SELECT sDay, n FROM DayCount EXCEPT"
                             " SELECT sDay, count(*) FROM shiwake WHERE sDay IS NOT NULL GROUP BY sDay)"), 0);
        EXPECT_EQ(count(*db, "SELECT count(*) FROM DayCount"), count(*db, "SELECT count(DISTINCT sDay) FROM shiwake"));
        db->upgradeSchema();  // nothing more to do
        EXPECT_EQ(schemaOf(*db), expected);
    }
    Database::closeAll();

    // A layout newer than this program knows is refused before anything is written.
    otherProgram(folder.path(), "PRAGMA user_version = 99");
    const std::string before = booksState(folder.path());
    EXPECT_TRUE(openingError(folder.path()).contains(QStringLiteral("新しい版"))) << openingError(folder.path()).toStdString();
    EXPECT_EQ(booksState(folder.path()), before);
}

// Only a check that found damage calls books damaged: a disk, a folder or another program
// can stop good books from opening, and a user told they are broken may throw them away.
// (Whoever only reads opens a file that may only be read for reading: tests/readonly.)
TEST(DataFolder, UnwritableBooksAreRefusedAsSuchAndNothingIsLeftBehind)
{
    const std::pair<Fault, const char*> cases[] = {
        {Fault::ReadOnlyFile, "a database file that may only be read"},
        {Fault::ReadOnlyFolder, "a folder where no log can be made"},
    };
    for (const auto& [fault, what] : cases) {
        TestDataFolder folder;
        const std::string before = booksState(folder.path());
        QString message;
        {
            FaultyFileSystem fileSystem(fault);
            try {
                datafolder::verify(folder.path(), Database::OpeningChecks::Bounded, nullptr, Database::WhenReadOnly::Refuse);
            } catch (const StoreError& e) {
                message = e.message();
            }
            Database::closeAll();
        }
        EXPECT_TRUE(message.contains(QStringLiteral("読み取りしかできない"))) << what << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("書き込みの権限"))) << what;
        EXPECT_FALSE(message.contains(QStringLiteral("壊れ"))) << what;
        EXPECT_EQ(booksState(folder.path()), before) << what;
    }
}

TEST(DataFolder, AFullDiskIsToldAsSuchAndNeverAsDamage)
{
    TestDataFolder folder;
    const std::string before = booksState(folder.path());
    {
        FaultyFileSystem fileSystem(Fault::DiskFull);
        // The opening checks only read, so books on a full disk open; the first write says why
        // it failed.
        auto db = Database::forFolder(folder.path());
        try {
            db->exec(QStringLiteral("INSERT INTO biko (Name) VALUES ('x')"));
            ADD_FAILURE() << "a write on a full disk succeeded";
        } catch (const StoreError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("空き容量"))) << e.message().toStdString();
        }
        db.reset();
        Database::closeAll();
    }
    EXPECT_EQ(booksState(folder.path()), before);
}

TEST(DataFolder, AnOpeningErrorMeansDamageOnlyWhenSqliteFoundDamage)
{
    constexpr qint64 kPlenty = qint64(10) << 30;
    struct Case {
        int code;
        qint64 bytesAvailable;
        OpeningFault expected;
        const char* what;
    };
    const Case cases[] = {
        {SQLITE_CORRUPT, kPlenty, OpeningFault::Damaged, "a malformed page"},
        {SQLITE_NOTADB, kPlenty, OpeningFault::Damaged, "a header that is not SQLite's"},
        {SQLITE_BUSY, kPlenty, OpeningFault::Busy, "another program holds the lock"},
        {SQLITE_BUSY_RECOVERY, kPlenty, OpeningFault::Busy, "another program recovers the log"},
        {SQLITE_READONLY_DIRECTORY, kPlenty, OpeningFault::ReadOnly, "no log can be made in the folder"},
        {SQLITE_FULL, kPlenty, OpeningFault::DiskFull, "a write ran out of space"},
        {SQLITE_IOERR_SHMSIZE, 8 * 1024, OpeningFault::DiskFull, "the log's index cannot grow on a disk with 8 KB free"},
        {SQLITE_CANTOPEN, 0, OpeningFault::DiskFull, "no room for a new file"},
        {SQLITE_IOERR_SHMSIZE, kPlenty, OpeningFault::InputOutput, "the same with space to spare"},
        {SQLITE_IOERR_READ, -1, OpeningFault::InputOutput, "a read failed, free space unknown"},
        {SQLITE_NOMEM, kPlenty, OpeningFault::Other, "out of memory"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(openingFaultOf(c.code, c.bytesAvailable), c.expected) << c.what;
}

TEST(DataFolder, InitialiseNeverLaysBooksOverBooksOrTheirLeftovers)
{
    const QStringList layout = datafolder::layoutFileNames();
    struct Case {
        const char* what;
        QStringList existing;  // files already in the folder
        const char* expected;  // part of the message
    };
    const Case cases[] = {
        {"books", layout, "既にデータがあります"},
        {"the log of removed books", {QStringLiteral("tolva.sqlite-wal")}, "tolva.sqlite-wal"},
        {"the log's index of removed books", {QStringLiteral("tolva.sqlite-shm")}, "tolva.sqlite-shm"},
        {"the rollback journal of removed books", {QStringLiteral("tolva.sqlite-journal")}, "tolva.sqlite-journal"},
        {"the log of removed books beside their stored queries",
         {QStringLiteral("qUnionCode.sql"), QStringLiteral("uqSai.sql"), QStringLiteral("tolva.sqlite-wal")}, "tolva.sqlite-wal"},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        for (const QString& name : c.existing)
            writeFile(QDir(root.path()).filePath(name), "left by older books: " + name.toUtf8());
        try {
            datafolder::initialise(root.path(), tolva::testing::templateDir());
            ADD_FAILURE() << c.what << ": new books were laid over it";
        } catch (const StoreError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.expected))) << c.what << ": " << e.message().toStdString();
        }
        for (const QString& name : c.existing)
            EXPECT_EQ(readFile(QDir(root.path()).filePath(name)), "left by older books: " + name.toUtf8()) << c.what;
        QStringList sorted = c.existing;
        sorted.sort();
        EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name), sorted) << c.what;
    }

    QTemporaryDir fresh;
    const QString file = QDir(fresh.path()).filePath(QStringLiteral("a file"));
    writeFile(file, "not a folder");
    EXPECT_THROW(datafolder::initialise(file, tolva::testing::templateDir()), StoreError);
    EXPECT_THROW(datafolder::initialise(QString(), tolva::testing::templateDir()), StoreError);
    EXPECT_EQ(readFile(file), QByteArray("not a folder"));
}

// A new folder is made beside its place and moved there whole; an empty folder the user made
// keeps its permissions; where it cannot be renamed over (here a link to it), it is completed
// where it is.
TEST(DataFolder, InitialiseMakesAMissingOrEmptyFolderWhole)
{
    QTemporaryDir root;
    const QDir dir(root.path());
    const auto entries = [](const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    };
    QStringList complete = datafolder::layoutFileNames();
    complete.sort();

    const QString nested = dir.filePath(QStringLiteral("nested/Data"));
    const datafolder::Layout made = datafolder::initialise(nested, tolva::testing::templateDir());
    EXPECT_TRUE(made.newBooks);
    EXPECT_EQ(made.added, datafolder::layoutFileNames());
    EXPECT_EQ(openingError(nested), QString());
    EXPECT_EQ(entries(nested), complete);
    EXPECT_EQ(entries(dir.filePath(QStringLiteral("nested"))), QStringList{QStringLiteral("Data")}) << "a temporary folder was left beside it";

    const QString empty = dir.filePath(QStringLiteral("empty"));
    ASSERT_TRUE(dir.mkdir(QStringLiteral("empty")));
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                             | QFileDevice::ExeGroup;
    ASSERT_TRUE(QFile::setPermissions(empty, permissions));
    EXPECT_TRUE(datafolder::initialise(empty, tolva::testing::templateDir()).newBooks);
    EXPECT_EQ(openingError(empty), QString());
    EXPECT_EQ(QFile::permissions(empty) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser), permissions);

    const QString real = dir.filePath(QStringLiteral("real"));
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(dir.mkdir(QStringLiteral("real")));
    ASSERT_TRUE(QFile::link(real, link));
    EXPECT_TRUE(datafolder::initialise(link, tolva::testing::templateDir()).newBooks);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(entries(real), complete);
    EXPECT_EQ(openingError(link), QString());
}

// A folder whose layout stopped part way gets only what it lacks; every file in it stays byte
// for byte, and a name taken meanwhile is named, never replaced.
TEST(DataFolder, InitialiseCompletesAHalfMadeFolderAndKeepsWhatIsThere)
{
    const QString db = QString::fromLatin1(Database::kFileName);
    const QString unionCode = QStringLiteral("qUnionCode.sql");
    const QString sai = QStringLiteral("uqSai.sql");
    const QString project = QStringLiteral("TlRepo01.rav");
    struct Case {
        const char* what;
        QStringList fromTemplate;  // in the folder as the template has them
        QStringList own;           // in the folder with the user's own content
        QStringList added;
        bool newBooks;
    };
    const Case cases[] = {
        {"the template's files without the database, the user's own report project", {unionCode, sai}, {project}, {db}, false},
        {"a database without uqSai.sql, the user's own qUnionCode.sql", {project, db}, {unionCode}, {sai}, false},
        {"a database alone", {db}, {}, {unionCode, sai, project}, false},
        {"one stored query of the user's", {}, {sai}, {unionCode, project, db}, false},
        {"only a note of the user's", {}, {QStringLiteral("メモ.txt")}, datafolder::layoutFileNames(), true},
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        for (const QString& name : c.fromTemplate)
            ASSERT_TRUE(QFile::copy(QDir(tolva::testing::templateDir()).filePath(name), dir.filePath(name)));
        for (const QString& name : c.own)
            writeFile(dir.filePath(name), "-- the user's own " + name.toUtf8() + "\nSELECT Kcode FROM Kamoku\n");
        QMap<QString, QByteArray> before;
        for (const QString& name : dir.entryList(QDir::Files))
            before.insert(name, readFile(dir.filePath(name)));
        if (!c.newBooks) {
            const datafolder::Contents found = datafolder::inspect(folder.path());
            EXPECT_EQ(found.state, datafolder::Contents::State::HalfMade) << c.what;
            EXPECT_EQ(found.missing, c.added) << c.what;
            EXPECT_TRUE(openingError(folder.path()).contains(QStringLiteral("tolva --init-data"))) << c.what;
        }

        const datafolder::Layout layout = datafolder::initialise(folder.path(), tolva::testing::templateDir());
        EXPECT_EQ(layout.newBooks, c.newBooks) << c.what;
        EXPECT_EQ(layout.added, c.added) << c.what;
        EXPECT_EQ(datafolder::inspect(folder.path()).state, datafolder::Contents::State::Books) << c.what;
        EXPECT_EQ(openingError(folder.path()), QString()) << c.what;
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            EXPECT_EQ(readFile(dir.filePath(it.key())), it.value()) << c.what << ": " << it.key().toStdString() << " was changed";
        for (const QString& name : c.added)
            EXPECT_EQ(readFile(dir.filePath(name)), readFile(QDir(tolva::testing::templateDir()).filePath(name))) << c.what;
        EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), before.size() + c.added.size())
            << c.what << ": something else was left in the folder";
    }

    // A name that no file answers to (a link to nothing) is in the way: named, and left.
    QTemporaryDir folder;
    const QDir dir(folder.path());
    ASSERT_TRUE(QFile::copy(QDir(tolva::testing::templateDir()).filePath(unionCode), dir.filePath(unionCode)));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(sai)));
    try {
        datafolder::initialise(folder.path(), tolva::testing::templateDir());
        ADD_FAILURE() << "a link was replaced";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("uqSai.sql」が既にあります"))) << e.message().toStdString();
    }
    EXPECT_TRUE(QFileInfo(dir.filePath(sai)).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(db)));
}

// What a killed layout left beside its folder is removed at the next one; nothing else is.
TEST(DataFolder, InitialiseRemovesOnlyTheAbandonedTemporaryFoldersOfItsTarget)
{
    QTemporaryDir root;
    const QDir dir(root.path());
    QProcess gone;
    gone.start(QStringLiteral("true"));
    gone.waitForFinished();
    const QString dead = QString::number(gone.processId() > 0 ? gone.processId() : 999999);
    const QString alive = QString::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(dir.mkdir(QStringLiteral("elsewhere")));
    writeFile(dir.filePath(QStringLiteral("elsewhere/tolva.sqlite")), "a user's file");
    struct Case {
        QString name;
        enum { Folder, File, Link } kind;
        bool removed;
        const char* what;
    };
    const QList<Case> cases{
        {QStringLiteral("Data.tolva-tmp-%1-aB3xYz").arg(dead), Case::Folder, true, "a killed layout's folder"},
        {QStringLiteral("Data.tolva-tmp-%1-Q1w2E3").arg(alive), Case::Folder, false, "a running layout's folder"},
        {QStringLiteral("Books.tolva-tmp-%1-aB3xYz").arg(dead), Case::Folder, false, "another folder's layout"},
        {QStringLiteral("Data.tolva-tmp-%1-aB3xYz.old").arg(dead), Case::Folder, false, "a user's folder of a similar name"},
        {QStringLiteral("Data.tolva-tmp-%1-Zz9Zz9").arg(dead), Case::File, false, "a file: never a layout"},
        {QStringLiteral("Data.tolva-tmp-%1-Yy8Yy8").arg(dead), Case::Link, false, "a link to a user's folder"},
        {QStringLiteral("Data.old"), Case::Folder, false, "a user's copy"},
    };
    for (const Case& c : cases) {
        if (c.kind == Case::Folder) {
            ASSERT_TRUE(dir.mkdir(c.name));
            writeFile(dir.filePath(c.name + QStringLiteral("/tolva.sqlite")), "x");
        } else if (c.kind == Case::File) {
            writeFile(dir.filePath(c.name), "x");
        } else {
            ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elsewhere")), dir.filePath(c.name)));
        }
    }
    datafolder::initialise(dir.filePath(QStringLiteral("Data")), tolva::testing::templateDir());
    for (const Case& c : cases)
        EXPECT_EQ(QFileInfo::exists(dir.filePath(c.name)), !c.removed) << c.what;
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("elsewhere/tolva.sqlite"))), QByteArray("a user's file"));
    EXPECT_EQ(openingError(dir.filePath(QStringLiteral("Data"))), QString());

    // Inside a folder, a lock and temporary files of programs that are gone leave it empty.
    const QString inside = dir.filePath(QStringLiteral("Inside"));
    ASSERT_TRUE(dir.mkdir(QStringLiteral("Inside")));
    writeFile(QDir(inside).filePath(QStringLiteral("tolva.lock")), dead.toUtf8() + "\nTolva\nhost\n");
    writeFile(QDir(inside).filePath(QStringLiteral("uqSai.sql.tolva-tmp-%1-aB3xYz").arg(dead)), "half a copy");
    EXPECT_EQ(datafolder::inspect(inside).state, datafolder::Contents::State::Empty);
    writeFile(QDir(inside).filePath(QStringLiteral("uqSai.sql.tolva-tmp-%1-aB3xYz").arg(alive)), "a running copy");
    EXPECT_EQ(datafolder::inspect(inside).state, datafolder::Contents::State::Other);
}

TEST(DataFolder, BooksHeldByAnotherProgramAreToldAsBusyAndLeftAlone)
{
    struct Case {
        const char* what;
        const char* sql;  // what the other program does and then keeps open
    };
    const Case cases[] = {
        {"a program that read them and keeps them open", "SELECT count(*) FROM shiwake"},
        {"a program in the middle of a write", "BEGIN IMMEDIATE; INSERT INTO biko (Name) VALUES ('x')"},
        {"a program that holds them exclusively", "PRAGMA locking_mode=EXCLUSIVE; SELECT count(*) FROM shiwake"},
    };
    for (const Case& c : cases) {
        TestDataFolder folder;
        // Another process: SQLite's locks between connections of one process do not show the
        // way a second program meets them.
        QProcess holder;
        holder.setProgram(QCoreApplication::applicationFilePath());
        holder.setArguments({QStringLiteral("--gtest_filter=DataFolderLockChild.DISABLED_HoldTheBooks"),
                             QStringLiteral("--gtest_also_run_disabled_tests")});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TOLVA_HOLD_BOOKS"), folder.file(QString::fromLatin1(Database::kFileName)));
        env.insert(QStringLiteral("TOLVA_HOLD_SQL"), QString::fromUtf8(c.sql));
        holder.setProcessEnvironment(env);
        holder.start();
        QByteArray output;
        while (!output.contains("holding") && holder.waitForReadyRead(30000))
            output += holder.readAllStandardOutput();
        ASSERT_TRUE(output.contains("holding")) << c.what << ": " << output.toStdString();

        const std::string before = booksState(folder.path());
        const QString message = openingError(folder.path());
        EXPECT_TRUE(message.contains(QStringLiteral("使用中"))) << c.what << ": " << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("壊れ"))) << c.what;
        EXPECT_EQ(booksState(folder.path()), before) << c.what;

        holder.closeWriteChannel();
        EXPECT_TRUE(holder.waitForFinished(30000)) << c.what;
    }
}

TEST(DataFolder, OneProgramPerFolder)
{
    TestDataFolder folder;
    {
        datafolder::Lock first(folder.path());
        ASSERT_TRUE(first.acquired());
        // Another process holds it: QLockFile is per process, so ask a child to try.
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--gtest_filter=DataFolderLockChild.*"), QStringLiteral("--gtest_also_run_disabled_tests")});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TOLVA_LOCK_CHILD_FOLDER"), folder.path());
        child.setProcessEnvironment(env);
        child.start();
        ASSERT_TRUE(child.waitForFinished(30000));
        const QString output = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_TRUE(output.contains(QStringLiteral("refused:"))) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("使用中"))) << output.toStdString();
        EXPECT_TRUE(output.contains(QString::number(QCoreApplication::applicationPid()))) << output.toStdString();
    }
    // Released: the next program gets it, and it was left as a program leaves it that ends.
    datafolder::Lock again(folder.path());
    EXPECT_TRUE(again.acquired());
    EXPECT_FALSE(again.takenOver());
}

TEST(DataFolder, ALockFileThatCannotBeMadeIsToldByItsCause)
{
    // QLockFile reports a lock file it made but could not write as an unknown error: that is
    // what a full disk gives.
    struct Case {
        QLockFile::LockError error;
        qint64 free;
        const char* says;
        const char* neverSays;
    };
    const Case cases[] = {
        {QLockFile::UnknownError, 0, "空き容量が足りない", "権限"},
        {QLockFile::UnknownError, 512 * 1024, "空き 512 KB", "権限"},
        {QLockFile::PermissionError, 0, "空き容量が足りない", "権限"},
        {QLockFile::PermissionError, 10 * kLowDiskSpace, "権限がありません", "空き容量が足りない"},
        {QLockFile::UnknownError, 10 * kLowDiskSpace, "tolva.lock", "空き容量が足りない"},
        {QLockFile::UnknownError, -1, "tolva.lock", "空き容量が足りない"},
    };
    for (const Case& c : cases) {
        const QString text = datafolder::lockRefusal(QStringLiteral("/books"), c.error, c.free);
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.contains(QStringLiteral("/books")));
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.says)));
        EXPECT_FALSE(text.contains(QString::fromUtf8(c.neverSays)));
    }
}

TEST(DataFolder, ALockLeftByACrashedProgramIsTakenOver)
{
    TestDataFolder folder;
    // A lock file naming a process that no longer runs on this host.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    gone.waitForFinished();
    const qint64 deadPid = gone.processId() > 0 ? gone.processId() : 999999;
    writeFile(QDir(folder.path()).filePath(QStringLiteral("tolva.lock")),
              QByteArray::number(deadPid) + "\n" + QCoreApplication::applicationName().toUtf8() + "\n"
                  + QSysInfo::machineHostName().toUtf8() + "\n");
    datafolder::Lock lock(folder.path());
    EXPECT_TRUE(lock.acquired()) << lock.refusal().toStdString();
    EXPECT_TRUE(lock.takenOver());
}

TEST(DataFolder, ALockFileLeftEmptyByAKilledProgramIsTakenOver)
{
    // Killed between making the lock file and writing its owner into it: once locked out
    // for good.
    TestDataFolder folder;
    for (const QByteArray& content : {QByteArray(), QByteArray("12")}) {
        writeFile(QDir(folder.path()).filePath(QStringLiteral("tolva.lock")), content);
        datafolder::Lock lock(folder.path());
        EXPECT_TRUE(lock.acquired()) << lock.refusal().toStdString();
        EXPECT_TRUE(lock.takenOver());
    }
}

TEST(DataFolder, TakingTheFolderSweepsOnlyTheTemporaryFilesOfProcessesThatAreGone)
{
    TestDataFolder folder;
    QProcess gone;
    gone.start(QStringLiteral("true"));
    gone.waitForFinished();
    const QString dead = QString::number(gone.processId() > 0 ? gone.processId() : 999999);
    const QString alive = QString::number(QCoreApplication::applicationPid());
    const QDir dir(folder.path());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("backup")));
    struct Case {
        QString name;
        bool folder;
        bool swept;
        const char* what;
    };
    const QList<Case> cases{
        {QStringLiteral("backup/tolva-20260101-120000.sqlite.tolva-tmp-%1-aB3xYz").arg(dead), false, true, "a killed backup's copy"},
        {QStringLiteral("backup/tolva-20260101-120000.sqlite.tolva-tmp-%1-aB3xYz-journal").arg(dead), false, true, "and its journal"},
        {QStringLiteral(".restore.tolva-tmp-%1-Q1w2E3").arg(dead), true, true, "a killed restore's folder"},
        {QStringLiteral("out.csv.tolva-tmp-%1-Zz9Zz9").arg(alive), false, false, "a running program's file"},
        {QStringLiteral("notes.tolva-tmp-.txt"), false, false, "a user's file of a similar name"},
        {QStringLiteral("backup/tolva-20260101-120000.sqlite"), false, false, "a backup"},
        {QStringLiteral("tolva.tolva-tmp-%1-abc").arg(dead), false, false, "not a name we make"},
    };
    for (const Case& c : cases) {
        if (c.folder) {
            ASSERT_TRUE(dir.mkpath(c.name));
            writeFile(dir.filePath(c.name + QStringLiteral("/tolva.sqlite")), "x");
        } else {
            writeFile(dir.filePath(c.name), "x");
        }
    }
    {
        datafolder::Lock lock(folder.path());
        ASSERT_TRUE(lock.acquired());
        for (const Case& c : cases)
            EXPECT_EQ(QFileInfo::exists(dir.filePath(c.name)), !c.swept) << c.what;
    }
    EXPECT_TRUE(tempfiles::isOurs(QFileInfo(tempfiles::templateFor(QStringLiteral("/x/a.csv"))).fileName().replace(QStringLiteral("XXXXXX"), QStringLiteral("a1b2c3"))));
}

// Run only as the child process of OneProgramPerFolder.
TEST(DataFolderLockChild, DISABLED_TryTheFolder)
{
    const QString folder = qEnvironmentVariable("TOLVA_LOCK_CHILD_FOLDER");
    if (folder.isEmpty())
        GTEST_SKIP();
    datafolder::Lock lock(folder);
    if (lock.acquired())
        printf("acquired\n");
    else
        printf("refused: %s\n", lock.refusal().toUtf8().constData());
    fflush(stdout);
}

// Run only as the child process of BooksHeldByAnotherProgramAreToldAsBusyAndLeftAlone: holds
// the books until its standard input is closed.
TEST(DataFolderLockChild, DISABLED_HoldTheBooks)
{
    const QString path = qEnvironmentVariable("TOLVA_HOLD_BOOKS");
    if (path.isEmpty())
        GTEST_SKIP();
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    ASSERT_EQ(sqlite3_exec(handle, qEnvironmentVariable("TOLVA_HOLD_SQL").toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(handle);
    printf("holding\n");
    fflush(stdout);
    while (std::getchar() != EOF) {
    }
    sqlite3_close_v2(handle);
}
