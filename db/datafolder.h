#pragma once

#include "db/database.h"
#include "db/outputfile.h"
#include "db/readonlybooks.h"

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace tolva {

// The data folder: where the books of one household live. These routines check it, lay out
// a new one from the template, and keep a second program away from it.
namespace datafolder {

// The folder "Data" beside the program file.
[[nodiscard]] QString besideProgram();
// The template shipped beside the program file ("DataTemplate").
[[nodiscard]] QString templateFolder();

// The files a complete data folder holds: the stored queries, the report project and the
// database, in the order a folder is completed (the database last: its presence is what makes
// a folder books).
[[nodiscard]] const QStringList& layoutFileNames();

// What a folder holds, as far as books go.
struct Contents {
    enum class State {
        Missing,     // no such folder
        NotAFolder,  // something else by that name
        Empty,       // nothing in it but what our own killed programs left (their lock, temporary files)
        Books,       // every file of the layout
        HalfMade,    // a layout that stopped part way: `missing` can be added, `present` is kept
        Leftovers,   // a log, index or journal of books without their database: no new books beside it
        Other,       // files, none of them of the layout nor of books
    };
    State state = State::Missing;
    QStringList missing;    // of layoutFileNames(), those absent
    QStringList present;    // of layoutFileNames(), those there
    QStringList leftovers;  // HalfMade without a database never has any
};
[[nodiscard]] Contents inspect(const QString& folder);

// What laying out a folder did.
struct Layout {
    bool newBooks = false;  // the folder held no file of the layout before
    QStringList added;      // copied from the template
    QStringList kept;       // files of the layout that were there and were left as they were
};

// Lays out a data folder from the template, never replacing a file that is there.
//  - A missing or empty folder is made in a temporary folder beside it and moved into place in
//    one rename, so that a kill leaves it absent (or still empty) or complete.
//  - A half-made folder (and one holding only other files) is completed under the folder's
//    lock, as complete() does.
//  - Books, the leftovers of books (SQLite would play them back into the new file) and a folder
//    held by another program are refused with a StoreError naming them.
// A temporary folder that a killed layout of `target` left beside it is removed first.
Layout initialise(const QString& target, const QString& templateDir = templateFolder());

// Completes a half-made folder whose lock the caller holds: only the missing files are copied,
// each written under a temporary name, synced and linked into place without replacing
// anything (a file that appears meanwhile is named as in the way), the database last.
Layout complete(const QString& folder, const QString& templateDir = templateFolder());

// Removes the temporary folders of a layout of `target` that processes now gone left beside
// it; never anything else. Returns the paths removed.
QStringList removeAbandonedLayouts(const QString& target);

// Why a half-made folder is not opened, and how to complete it from the command line.
[[nodiscard]] QString halfMadeRefusal(const QString& folder, const Contents& contents);

// A folder that exists and holds nothing at all: a place made for new books.
[[nodiscard]] bool isEmptyFolder(const QString& folder);

// Opens the database of the folder with the checks of the store (a half-made folder, missing
// folder or file, empty or damaged file, a file that is not ours, missing tables);
// `checks` says how much of the file is read for damage, `whenReadOnly` what becomes of books
// that cannot be written.
void verify(const QString& folder, Database::OpeningChecks checks = Database::OpeningChecks::Bounded,
            OpeningObserver* observer = nullptr,
            Database::WhenReadOnly whenReadOnly = Database::WhenReadOnly::OpenForReading);

// Why the folder could not be locked when no program holds it: its lock file could not be
// made (`error`) with `bytesAvailable` left on its disk (negative when unknown).
[[nodiscard]] QString lockRefusal(const QString& folder, QLockFile::LockError error, qint64 bytesAvailable);

// Holds the folder for this process. A second program on the same folder is refused with a
// message naming the holder; a lock left by a crashed program is taken over. A folder whose
// books this process cannot write (readOnlyCause) is held without a lock file: only a program
// holding one there refuses it.
class Lock {
public:
    explicit Lock(const QString& folder);
    [[nodiscard]] bool acquired() const { return acquired_; }
    // The lock was taken over from a program that is gone (or, on books that can only be read,
    // its lock file was found left behind): that program did not close the books, and they
    // deserve the full check.
    [[nodiscard]] bool takenOver() const { return takenOver_; }
    // Why the lock was refused, in Japanese.
    [[nodiscard]] const QString& refusal() const { return refusal_; }
    // Why the books can only be read; nothing when the folder was locked for writing.
    [[nodiscard]] const std::optional<ReadOnlyCause>& readOnly() const { return readOnly_; }

private:
    void holdForReading(const QString& folder, const QString& path);

    std::unique_ptr<QLockFile> file_;
    std::unique_ptr<outputfile::ProtectedFolder> protected_;
    bool acquired_ = false;
    bool takenOver_ = false;
    QString refusal_;
    std::optional<ReadOnlyCause> readOnly_;
};

} // namespace datafolder
} // namespace tolva
