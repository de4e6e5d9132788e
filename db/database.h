#pragma once

#include "db/history.h"
#include "db/outputfile.h"
#include "db/readonlybooks.h"
#include "db/sqldialect.h"
#include "db/storeerror.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace tolva {

enum class FieldType { Unknown, Text, Integer, AutoInc, Float, Currency, Date, DateTime };

[[nodiscard]] FieldType fieldTypeFromDeclared(const QString& declaredType);
[[nodiscard]] bool isNumericType(FieldType type);

struct ColumnInfo {
    QString name;
    FieldType type = FieldType::Unknown;
    bool primaryKey = false;
    bool notNull = false;
};

struct TableInfo {
    QString name;             // as stored in the database
    QList<ColumnInfo> columns;
    QStringList keyColumns;   // the primary key, empty when rows are kept in insertion order
    bool keyIsRowId = false;  // a single INTEGER PRIMARY KEY: it is the row id
};

// A prepared statement that is finalised when it goes out of scope.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, sqlite3_stmt* stmt, QString sql) : db_(db), stmt_(stmt), sql_(std::move(sql)) {}
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    [[nodiscard]] sqlite3_stmt* handle() const { return stmt_; }
    [[nodiscard]] const QString& sql() const { return sql_; }
    [[nodiscard]] bool isValid() const { return stmt_ != nullptr; }
    // Gives up ownership of the statement handle.
    [[nodiscard]] sqlite3_stmt* release()
    {
        sqlite3_stmt* stmt = stmt_;
        stmt_ = nullptr;
        return stmt;
    }

    // Binds an already converted storage value (null, qint64, double or text) at 1-based n.
    void bind(int n, const QVariant& storageValue);
    // Steps once; true when a row is there, false when done. Errors throw.
    bool step();
    void reset();
    [[nodiscard]] int columnCount() const;
    [[nodiscard]] QVariant column(int i) const;  // storage value
    [[nodiscard]] qint64 columnInt(int i) const;

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    QString sql_;
};

// Told when opening reads the whole file, which takes its time with big books: after an unclean
// end every page is read and every index compared with its table before anything of the log
// is folded in. A window shows a notice and keeps it painted; the command line says it on
// standard error.
class OpeningObserver {
public:
    virtual ~OpeningObserver() = default;
    virtual void wholeFileCheckStarted(const QString& path) = 0;
    // Now and then while the file is read, and while books of an older layout are rewritten.
    virtual void stillChecking() {}
    virtual void wholeFileCheckEnded() {}
    // How far bringing books of an older layout to this program's has come, from 0 to 100.
    virtual void upgrading(int /*percent*/) {}
};

// The one SQLite database of a data folder. Opening checks that the file is ours and sound
// before anything is written, then sets the storage settings the books rely on.
class Database {
public:
    static constexpr const char* kFileName = "tolva.sqlite";
    static constexpr int kApplicationId = 0x546f6c76; // "Tolv"
    // The layout of the books this program writes (PRAGMA user_version). Books of an older
    // layout open and are brought to it by upgradeSchema(); books of a newer one are refused.
    // Layout 3: every page carries its checksum (db/checksumvfs.h). Layout 4: the settings
    // of the blue-return statement (KessanLine, KessanKoujo). Layout 5: the journal's change
    // history (db/history.h).
    static constexpr int kSchemaVersion = 5;

    // What opening checks besides the file being SQLite and ours with every table.
    // Full: PRAGMA quick_check, which reads every page; its time grows with the journal.
    // Bounded: what does not grow with the journal: the file's length against the page count
    // its header gives, the schema, quick_check of every table but the journal (masters,
    // settings, sums, assets: small; not the journal's history, which grows with it), the
    // journal's first and last rows. Books that show
    // their last program did not close them (a log beside the file) get PRAGMA
    // integrity_check, which also compares every index with its table, before the log is
    // folded in: a crash is when a half-written page is most likely, and an older copy of the
    // file put back beside a newer log is well formed page by page yet wrong as a whole. A damaged journal page that the
    // bounded check does not read is an error (SQLITE_CORRUPT) when a command reads it, and a
    // write that meets it rolls back whole.
    enum class OpeningChecks { Full, Bounded };

    // What becomes of books that this process cannot write (readOnlyCause(), or a file that
    // SQLite can open for reading only): refused as the books of a command that writes, or
    // opened for reading. Books opened for reading get a read-only connection that writes
    // nothing anywhere (no log, no index of it, no checkpoint, no temporary file); every
    // check of opening still runs. Their work tables (workTables()) are copies in memory.
    enum class WhenReadOnly { OpenForReading, Refuse };

    // The database of a data folder, opened on first use with `checks` and shared by every
    // dataset pointed at that folder.
    [[nodiscard]] static std::shared_ptr<Database> forFolder(const QString& folder,
                                                             OpeningChecks checks = OpeningChecks::Bounded,
                                                             OpeningObserver* observer = nullptr,
                                                             WhenReadOnly whenReadOnly = WhenReadOnly::OpenForReading);
    static void closeFolder(const QString& folder);
    static void closeAll();
    // For a process that ends without unwinding (a library calling exit(), as Qt does when the
    // display goes away): every open connection is closed now, its statements finalized
    // whoever holds them, so that the log is folded into the file and removed as on a normal
    // exit. Nothing may use those databases or their statements afterwards.
    static void closeAllForExit();

    explicit Database(const QString& folder, OpeningChecks checks = OpeningChecks::Bounded, OpeningObserver* observer = nullptr,
                      WhenReadOnly whenReadOnly = WhenReadOnly::OpenForReading);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    [[nodiscard]] const QString& folder() const { return folder_; }
    [[nodiscard]] QString filePath() const;
    [[nodiscard]] sqlite3* handle() const { return db_; }

    // The books were opened for reading only, and why.
    [[nodiscard]] bool readOnly() const { return readOnlyCause_.has_value(); }
    [[nodiscard]] const std::optional<ReadOnlyCause>& readOnlyCause() const { return readOnlyCause_; }
    // Why nothing can be changed ("…ため、帳簿は読み取り専用で開いています。"); empty for books
    // that can be written.
    [[nodiscard]] QString readOnlyNotice() const;

    [[nodiscard]] Statement prepare(const QString& sql);
    // The same, taking a statement of that text from the pool of finished ones when there is
    // one: queries that are opened again and again skip compiling their SQL.
    [[nodiscard]] Statement prepareCached(const QString& sql);
    // Hands a finished statement back to the pool (reset, bindings cleared).
    void recycle(Statement&& statement);
    void exec(const QString& sql);
    [[nodiscard]] qint64 lastInsertRowId() const;
    [[nodiscard]] int changes() const;

    // The local SQL rewritten for SQLite, remembered by text: the same statements are run
    // over and over (a sum per account), and the rewrite need not be repeated.
    [[nodiscard]] const sqldialect::Translation& translation(const QString& localSql);

    // The text of a stored query file of the folder ("qUnionCode" reads "qUnionCode.sql"),
    // checked first: one read-only statement whose result has the column "code", which is what
    // every statement that uses it reads. A file that is not is refused with a StoreError
    // naming it (never the whole text of a statement).
    [[nodiscard]] QString storedQueryText(const QString& name) const;
    // What is wrong with each stored query file, empty when they are all as above.
    [[nodiscard]] QStringList storedQueryFindings() const;

    // The table of that name (case-insensitive, ".DB" allowed); an error when missing.
    [[nodiscard]] const TableInfo& tableInfo(const QString& name);
    [[nodiscard]] bool hasTable(const QString& name);
    // Lower-case names of the currency columns of the tables, leaving out a name that some
    // other table uses for something else: what a SUM over such a column yields is currency
    // too.
    [[nodiscard]] const QSet<QString>& currencyColumns();

    // Raises a StoreError with a readable message for the last error of the connection.
    [[noreturn]] void raise(int code, const QString& context) const;

    [[nodiscard]] bool inTransaction() const { return transactionDepth_ > 0; }

    // The command this connection's journal writes are recorded under (history::CommandScope).
    [[nodiscard]] history::CurrentCommand& currentCommand() { return command_; }

    // Brings books of an older layout to this program's, whole or not at all: partial
    // sub-account indexes, the journal's row count kept by triggers, every page rewritten
    // with its checksum. Called by whoever is about to write (the program at start, the
    // command-line verbs that write), outside any transaction, never by a command that only
    // reads. Nothing to do for books already of this layout; books opened for reading are
    // refused.
    void upgradeSchema();
    [[nodiscard]] int schemaVersion();

    // Where the journal's kept counts (RowCount: its rows; DayCount: its rows per date)
    // disagree with the journal, empty when they agree. Another program's INSERT OR REPLACE
    // (its connection without recursive triggers) or a program of an older layout can make
    // them drift; the journal window would then show a row that is not there or hide one.
    [[nodiscard]] QStringList countDrift();
    // Counts them again and puts them right, in one transaction; returns what was put right.
    QStringList repairCounts();
    // The last program did not close these books (a log was beside them at opening).
    [[nodiscard]] bool openedAfterUncleanEnd() const { return uncleanEnd_; }
    // What a program about to write does first: the books brought to this program's layout
    // (upgradeSchema) and, after an unclean end, the kept counts put right. `observer` is told
    // how far the layout has come and kept alive while SQLite works.
    void makeReadyForWriting(OpeningObserver* observer = nullptr);

    // Whether opening read every page (asked for, or after an unclean end).
    [[nodiscard]] bool fullyChecked() const { return fullyChecked_; }
    // What PRAGMA quick_check finds wrong with the whole file, empty when it is sound: every
    // page read, so its time grows with the books. Errors other than damage throw.
    [[nodiscard]] QStringList damageFindings();

private:
    friend class Transaction;
    void loadTables();
    // Opens the connection: for reading and writing, or for reading when readOnlyCause_ is set.
    void openConnection(const QString& path);
    // SQLite's progress handler of every connection of ours: a stop asked for ends the
    // statement running; the observer, if any, is kept alive.
    static int progressHandler(void* self);
    // The work tables of books opened for reading, copied into memory.
    void copyWorkTablesIntoMemory();

    QString folder_;
    // Nothing the program writes for the user may land on these books' files.
    outputfile::ProtectedFolder protected_;
    sqlite3* db_ = nullptr;
    std::optional<ReadOnlyCause> readOnlyCause_;
    bool fullyChecked_ = false;
    bool uncleanEnd_ = false;
    // While opening: told of the whole-file check, now and then from SQLite's progress handler.
    OpeningObserver* observer_ = nullptr;
    int progressCalls_ = 0;
    QHash<QString, TableInfo> tables_;  // key: lower-case name
    QSet<QString> currencyColumns_;
    bool tablesLoaded_ = false;
    int transactionDepth_ = 0;
    history::CurrentCommand command_;
    QHash<QString, QList<sqlite3_stmt*>> pool_;
    QHash<QString, sqldialect::Translation> translations_;
    QStringList poolOrder_;  // oldest first, one entry per pooled statement
};

// A write that spans rows: begun with BEGIN IMMEDIATE, committed explicitly, rolled back by
// the destructor when commit was not reached. Nested scopes join the outer transaction.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& db_;
    bool outermost_ = false;
    bool done_ = false;
};

// The files of a data folder besides the books and their stored queries.
inline constexpr const char* kLockFileName = "tolva.lock";
inline constexpr const char* kReportProjectFileName = "TlRepo01.rav";
inline constexpr const char* kBackupFolderName = "backup";

// The names of every table a data folder must hold.
[[nodiscard]] const QStringList& requiredTables();
// The tables that a printed report or the period aggregation empties and fills again before
// it reads them back: on books opened for reading they are copies in memory, which those
// commands fill while the books stay as they are.
[[nodiscard]] const QStringList& workTables();
[[nodiscard]] const QStringList& requiredStoredQueries();
// The database file and the files SQLite keeps beside it (the log, its index, the rollback
// journal). Any one of them means books are, or were, in the folder.
[[nodiscard]] const QStringList& booksFileNames();
// Which of those are in `folder`.
[[nodiscard]] QStringList presentBooksFiles(const QString& folder);

// What stopped books from opening, as far as an SQLite error tells. Only Damaged blames the
// file; the others leave sound books that open once the cause is gone.
enum class OpeningFault { Damaged, Busy, ReadOnly, DiskFull, InputOutput, Other };

// Below this much free space an I/O error is taken for a full disk: the unix file system of
// SQLite reports some writes that ran out of space as I/O errors, not as SQLITE_FULL.
inline constexpr qint64 kLowDiskSpace = 1024 * 1024;

// The fault that an SQLite error code (extended or primary) met while opening stands for,
// given the free space of the disk holding the books (negative when unknown).
[[nodiscard]] OpeningFault openingFaultOf(int code, qint64 bytesAvailable);

} // namespace tolva
