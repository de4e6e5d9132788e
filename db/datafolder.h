#pragma once

#include "database.h"
#include "outputfile.h"

#include <QLockFile>
#include <QString>

#include <memory>

namespace tolva {

// The data folder: where the books of one household live. These routines check it, lay out
// a new one from the template, and keep a second program away from it.
namespace datafolder {

// The folder "Data" beside the program file.
[[nodiscard]] QString besideProgram();
// The template shipped beside the program file ("DataTemplate").
[[nodiscard]] QString templateFolder();

// Copies the template into `target`, which must hold none of the files of books (the
// database, or a log, index or journal that older books left: SQLite would play those back
// into the new file). Throws a StoreError with a readable message.
void initialise(const QString& target, const QString& templateDir = templateFolder());

// A folder that exists and holds nothing at all: a place made for new books.
[[nodiscard]] bool isEmptyFolder(const QString& folder);

// Opens the database of the folder with the checks of the store (missing folder or file,
// empty or damaged file, a file that is not ours, missing tables, missing stored queries);
// `checks` says how much of the file is read for damage.
void verify(const QString& folder, Database::OpeningChecks checks = Database::OpeningChecks::Bounded);

// Holds the folder for this process. A second program on the same folder is refused with a
// message naming the holder; a lock left by a crashed program is taken over.
class Lock {
public:
    explicit Lock(const QString& folder);
    [[nodiscard]] bool acquired() const { return acquired_; }
    // The lock was taken over from a program that is gone: that program did not close the
    // books, and they deserve the full check.
    [[nodiscard]] bool takenOver() const { return takenOver_; }
    // Why the lock was refused, in Japanese.
    [[nodiscard]] const QString& refusal() const { return refusal_; }

private:
    std::unique_ptr<QLockFile> file_;
    std::unique_ptr<outputfile::ProtectedFolder> protected_;
    bool acquired_ = false;
    bool takenOver_ = false;
    QString refusal_;
};

} // namespace datafolder
} // namespace tolva
