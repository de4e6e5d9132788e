#pragma once

#include "db/fiscalperiod.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

namespace tolva::outputfile {

// Where a file written for the user is proposed: the user's documents folder, or the home
// folder when the desktop names none that exists. Never the data folder: an export proposed
// beside the books is one slip away from replacing them.
[[nodiscard]] QString userFilesFolder();

// How a file name states its period: the fiscal year ("2026") for the whole fiscal period, the
// month ("202603") for a whole calendar month, both days otherwise ("20260105-20260220").
[[nodiscard]] QString periodNamePart(const QDate& from, const QDate& to, const FiscalPeriod& fiscal);

// The name proposed for a file: what it holds and its period, joined by "_", with the
// extension: {"元帳", "1112", "2026"}, "csv" gives "元帳_1112_2026.csv". Empty parts are left
// out; characters a file name cannot hold on the desktops the books travel to become "_".
[[nodiscard]] QString proposedFileName(const QStringList& parts, const QString& extension);

// The one default path of a file written for the user: proposedFileName in userFilesFolder().
[[nodiscard]] QString defaultOutputPath(const QStringList& parts, const QString& extension);

// Every file the program writes for the user goes through here: the exports of the windows
// and of the command line, copies of the books, printed reports saved as PDF. A target is
// checked before anything is written, so that no typing mistake can put a file where the
// books keep theirs.

enum class Purpose {
    UserFile,       // an export, a PDF: never inside a data folder's backup folder
    NewBackupCopy,  // a copy of the books: may take a new name inside a backup folder
};

enum class TargetKind {
    NewFile,      // nothing there yet
    RegularFile,  // replaced whole, keeping its permission bits
    Stream,       // a pipe or a character device (/dev/stdout, a terminal): written in place
};

struct Target {
    QString path;  // where the bytes land, links followed
    TargetKind kind = TargetKind::NewFile;
};

// Refuses, with a StoreError that names the file and what it is, a target that is:
//  - one of the books' own files: the database and its -wal/-shm/-journal, the lock file, the
//    stored queries, the report project, the backup folder, the data folder itself. Data
//    folders this process holds are compared by identity (device and inode, links followed),
//    so a symbolic or hard link, "./", ".." or another spelling is caught; any other folder
//    that holds a "tolva.sqlite" is a data folder too, its names compared regardless of case;
//  - inside a data folder's backup folder, except a new copy's own new name;
//  - a folder, a socket or a block device.
[[nodiscard]] Target checkTarget(const QString& path, Purpose purpose = Purpose::UserFile);

// While it lives, the files of `folder` are protected by identity, as above. The folder's lock
// and every open database hold one.
class ProtectedFolder {
public:
    explicit ProtectedFolder(const QString& folder);
    ~ProtectedFolder();
    ProtectedFolder(const ProtectedFolder&) = delete;
    ProtectedFolder& operator=(const ProtectedFolder&) = delete;

private:
    QString folder_;
};

// One file written for the user. A regular file is written beside its target under a
// temporary name of ours, synced and renamed over it only by commit(): until then, and when
// anything fails, the target is as it was and the temporary file goes with the object. A pipe
// or character device is written in place as a stream. Errors throw a StoreError naming the
// file and the reason in words a user acts on (a full disk, a size limit, no permission).
class OutputFile {
public:
    explicit OutputFile(const QString& path, Purpose purpose = Purpose::UserFile);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const char* data, qint64 size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }

    // For a writer that makes the file itself (SQLite's backup, a PDF writer): the path of an
    // empty file of ours to fill instead of write(); commit() then puts it in place (or copies
    // it into the stream).
    [[nodiscard]] QString fillPath();

    void commit();

    // The name as given, for messages.
    [[nodiscard]] const QString& path() const { return path_; }
    [[nodiscard]] TargetKind kind() const { return target_.kind; }

private:
    void openTemporary(const QString& besides);
    void writeAll(int fd, const char* data, qint64 size, const QString& shownPath);
    void discard();

    QString path_;
    Target target_;
    int fd_ = -1;        // the temporary file
    int streamFd_ = -1;  // the pipe or device
    QString temporary_;  // our file, removed unless committed
    bool filled_ = false;
    bool committed_ = false;
};

// The words for a failed write of `path` with the system's error number, ending with what the
// user can do.
[[nodiscard]] QString writeFailure(const QString& path, int systemError);

} // namespace tolva::outputfile
