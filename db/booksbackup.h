#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;

namespace tolva {

class Database;

// Copies of the books and their return: what a user runs before trusting a disk, and after
// losing one. Every file here is written beside its target under a temporary name, synced and
// renamed over it, so a target is replaced whole or not at all.
namespace booksbackup {

// What `PRAGMA integrity_check` finds wrong with the books, empty when they are sound. Reads
// every page and compares every index with its table: slower than the quick check, and
// thorough.
[[nodiscard]] QStringList integrityFindings(Database& db);

// "backup/tolva-yyyyMMdd-HHmmss.sqlite" in the data folder, for a copy made at `when`, with
// "-label" before the extension when a label is given; a name already taken gets "-2", "-3", ….
[[nodiscard]] QString defaultBackupPath(const QString& folder, const QDateTime& when, const QString& label = {});

// A consistent copy of the open books in `target`, through SQLite's online backup (the copy is
// what a reader sees at one moment, the log included). The folder of `target` is created when
// missing. Throws StoreError naming the file.
void copyBooks(Database& db, const QString& target);

// Whether a process other than this one holds a lock on the file: an SQLite connection has it
// open (in WAL mode, for as long as it is open).
[[nodiscard]] bool heldByAnotherProcess(const QString& file);

// What a user recognises books by, shown before one set replaces another.
struct BooksSummary {
    qint64 rows = 0;
    QDate first;  // the journal's first and last dates; invalid when it is empty
    QDate last;
    QString owner;
};
[[nodiscard]] BooksSummary summarise(Database& db);

// Books offered in place of those of a data folder. Creating it copies `source`, with the log
// or journal beside it (what was committed last may still be there), into a folder of its own
// inside the data folder; a source another program holds open is refused. The copy is opened
// with every check of opening (ours, sound, every table), then `PRAGMA integrity_check`; a file
// that fails any of them is refused with a StoreError and nothing of the data folder is touched. The caller may check
// more through queries pointed at `stagingFolder()` (closed again before replacing), then
// `replaceBooks`. Whatever is left of the copy goes with the object. The caller holds the data
// folder's lock and has no connection to its books open.
class StagedRestore {
public:
    StagedRestore(const QString& folder, const QString& source);
    ~StagedRestore();
    StagedRestore(const StagedRestore&) = delete;
    StagedRestore& operator=(const StagedRestore&) = delete;

    // The staged books' own folder: a query pointed at it reads them.
    [[nodiscard]] QString stagingFolder() const;
    [[nodiscard]] BooksSummary summary() const;

    // Replaces the books of the folder with the staged ones:
    //  1. the current books are held with SQLite's exclusive lock until they are replaced (books
    //     another program has open are refused: its later writes would be lost), and kept in
    //     `keep` (a consistent copy when they open; otherwise their files as they are, the log
    //     beside them under the same name with "-wal");
    //  2. the current books are closed, and their log, its index and any rollback journal are
    //     removed, so that nothing of them can be played back into the restored file;
    //  3. the staged file, closed, given the replaced file's permission bits and synced, is
    //     renamed over the books, and the folder synced.
    // Returns what step 1 kept, for the user to be told.
    QStringList replaceBooks(const QString& keep);

private:
    QString folder_;
    std::unique_ptr<QTemporaryDir> staging_;
    std::shared_ptr<Database> staged_;
};

} // namespace booksbackup
} // namespace tolva
