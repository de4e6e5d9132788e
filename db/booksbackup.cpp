#include "db/booksbackup.h"

#include "db/cancellation.h"
#include "db/database.h"
#include "db/outputfile.h"
#include "db/storeerror.h"
#include "db/tempfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolva::booksbackup {

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Puts a file's bytes, or a folder's list of names, on the disk before anything relies on them.
void syncToDisk(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw StoreError(QStringLiteral("「%1」を開けません。\n%2").arg(shown(path), QString::fromLocal8Bit(std::strerror(errno))));
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0)
        throw StoreError(QStringLiteral("「%1」をディスクに書き込めません。\n%2").arg(shown(path), QString::fromLocal8Bit(std::strerror(error))));
}

// Renames `from` over `to` in one step: a reader sees the old file or the new one, never a part.
void renameOver(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw StoreError(QStringLiteral("「%1」を「%2」に置き換えられません。\n%3")
                             .arg(shown(from), shown(to), QString::fromLocal8Bit(std::strerror(errno))));
    syncToDisk(QFileInfo(to).absolutePath());
}

QString sideFile(const QString& path, const char* suffix)
{
    return path + QString::fromLatin1(suffix);
}

// A copy of a file as it is, synced; an existing target is not replaced.
void copyFile(const QString& from, const QString& to)
{
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throw StoreError(QStringLiteral("「%1」を読めません（%2）。").arg(shown(from), QString::fromLocal8Bit(std::strerror(errno))));
    const auto closeIn = qScopeGuard([&] { ::close(in); });
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        if (errno == EEXIST)
            throw StoreError(QStringLiteral("「%1」は既にあります。上書きはしません。").arg(shown(to)));
        throw StoreError(outputfile::writeFailure(to, errno));
    }
    bool done = false;
    const auto closeOut = qScopeGuard([&] {
        ::close(out);
        if (!done)
            ::unlink(QFile::encodeName(to).constData());
    });
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        cancellation::throwIfRequested();
        const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw StoreError(QStringLiteral("「%1」を読めません（%2）。").arg(shown(from), QString::fromLocal8Bit(std::strerror(errno))));
        if (n == 0)
            break;
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::write(out, buffer.constData() + written, size_t(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                throw StoreError(outputfile::writeFailure(to, w < 0 ? errno : ENOSPC));
            written += w;
        }
    }
    if (::fsync(out) != 0)
        throw StoreError(outputfile::writeFailure(to, errno));
    done = true;
}

} // namespace

QStringList integrityFindings(Database& db)
{
    Statement check = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    QStringList findings;
    while (check.step()) {
        const QString row = check.column(0).toString();
        if (row != u"ok")
            findings << row.split(u'\n', Qt::SkipEmptyParts);
    }
    return findings;
}

QString defaultBackupPath(const QString& folder, const QDateTime& when, const QString& label)
{
    const QDir backups(QDir(folder).filePath(QString::fromLatin1(kBackupFolderName)));
    QString stem = QStringLiteral("tolva-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!label.isEmpty())
        stem += u'-' + label;
    QString path = backups.filePath(stem + QStringLiteral(".sqlite"));
    // Two copies within one second are both kept.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = backups.filePath(stem + QStringLiteral("-%1.sqlite").arg(n));
    return path;
}

void copyBooks(Database& db, const QString& target)
{
    // The target is checked before anything is made: a copy never lands on the books' own
    // files nor over an earlier copy kept in the backup folder.
    outputfile::OutputFile out(target, outputfile::Purpose::NewBackupCopy);
    const QString temporary = out.fillPath();

    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temporary).constData(), &copy, SQLITE_OPEN_READWRITE, nullptr);
    auto failure = [&](int code) {
        // SQLite says "disk I/O error" for a full disk too; what the system said is what a
        // user can act on.
        const int systemError = copy ? sqlite3_system_errno(copy) : 0;
        const QString detail = QString::fromUtf8(copy ? sqlite3_errmsg(copy) : sqlite3_errstr(code));
        sqlite3_close(copy);
        if ((code & 0xff) == SQLITE_FULL)
            return StoreError(outputfile::writeFailure(target, ENOSPC), detail);
        if (systemError != 0 && (code & 0xff) == SQLITE_IOERR)
            return StoreError(outputfile::writeFailure(target, systemError), detail);
        return StoreError(QStringLiteral("バックアップ「%1」を作成できません（%2）。").arg(shown(target), detail), detail);
    };
    if (rc != SQLITE_OK)
        throw failure(rc);
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db.handle(), "main");
    if (!backup)
        throw failure(sqlite3_extended_errcode(copy));
    // A few pages at a time, so that a stop asked for is seen.
    do {
        if (cancellation::requested()) {
            sqlite3_backup_finish(backup);
            sqlite3_close(copy);
            throw cancellation::Cancelled();
        }
        rc = sqlite3_backup_step(backup, 1024);
    } while (rc == SQLITE_OK);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw failure(sqlite3_extended_errcode(copy) != SQLITE_OK ? sqlite3_extended_errcode(copy) : rc);
    if (sqlite3_close(copy) != SQLITE_OK)
        throw failure(sqlite3_extended_errcode(copy));
    out.commit();
}

// --- StagedRestore -------------------------------------------------------------------------

bool heldByAnotherProcess(const QString& file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Every SQLite connection to a file holds a lock on some of its bytes while it is open in
    // WAL mode, and while it reads or writes in the other modes.
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    const bool held = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

BooksSummary summarise(Database& db)
{
    BooksSummary summary;
    Statement rows = db.prepare(QStringLiteral("SELECT count(*), min(sDay), max(sDay) FROM shiwake"));
    if (rows.step()) {
        summary.rows = rows.columnInt(0);
        summary.first = QDate::fromString(rows.column(1).toString(), Qt::ISODate);
        summary.last = QDate::fromString(rows.column(2).toString(), Qt::ISODate);
    }
    Statement owner = db.prepare(QStringLiteral("SELECT name FROM Jigyounushi LIMIT 1"));
    if (owner.step())
        summary.owner = owner.column(0).toString().trimmed();
    return summary;
}

namespace {

StoreError inUse(const QString& file, const QString& what)
{
    return StoreError(QStringLiteral("%1「%2」は他のプログラムが使用中のため、復元できません。帳簿はそのままです。\n"
                                     "そのプログラムを終了してから、もう一度実行してください。")
                          .arg(what, shown(file)));
}

} // namespace

StagedRestore::StagedRestore(const QString& folder, const QString& source) : folder_(folder)
{
    const QFileInfo info(source);
    if (!info.exists())
        throw StoreError(QStringLiteral("復元するファイル「%1」が見つかりません。").arg(shown(source)));
    if (!info.isFile())
        throw StoreError(QStringLiteral("「%1」はファイルではありません。復元するデータベースファイルを指定してください。").arg(shown(source)));
    // A file another program is writing could be copied half old and half new.
    if (heldByAnotherProcess(info.absoluteFilePath()))
        throw inUse(info.absoluteFilePath(), QStringLiteral("復元するファイル"));
    // The copy is checked where it will be renamed from: the same disk as the books.
    staging_ = std::make_unique<QTemporaryDir>(tempfiles::templateFor(QDir(folder).filePath(QStringLiteral(".restore"))));
    if (!staging_->isValid())
        throw StoreError(QStringLiteral("データフォルダ「%1」に作業用のフォルダを作成できません。\n%2")
                             .arg(shown(folder), staging_->errorString()));
    const QString staged = QDir(staging_->path()).filePath(QString::fromLatin1(Database::kFileName));
    copyFile(info.absoluteFilePath(), staged);
    // What was committed last may still be in the log beside the file (a copy of a folder
    // made while the program ran, books of a program that crashed): it is part of those books.
    for (const char* suffix : {"-wal", "-journal"}) {
        const QFileInfo side(sideFile(info.absoluteFilePath(), suffix));
        if (side.exists() && side.size() > 0)
            copyFile(side.absoluteFilePath(), sideFile(staged, suffix));
    }
    if (heldByAnotherProcess(info.absoluteFilePath()))
        throw inUse(info.absoluteFilePath(), QStringLiteral("復元するファイル"));
    try {
        staged_ = Database::forFolder(staging_->path());
    } catch (const StoreError& e) {
        cancellation::throwIfRequested();
        throw StoreError(QStringLiteral("「%1」は復元できません。\n%2").arg(shown(source), e.message()), e.detail());
    }
    const QStringList findings = integrityFindings(*staged_);
    if (!findings.isEmpty())
        throw StoreError(QStringLiteral("「%1」は壊れているため、復元できません。").arg(shown(source)),
                         findings.mid(0, 3).join(u'\n'));
}

StagedRestore::~StagedRestore()
{
    staged_.reset();
    if (staging_)
        Database::closeFolder(staging_->path());
}

QString StagedRestore::stagingFolder() const
{
    return staging_->path();
}

BooksSummary StagedRestore::summary() const
{
    if (!staged_)
        throw StoreError(QStringLiteral("復元するデータベースは既に閉じています。"));
    return summarise(*staged_);
}

QStringList StagedRestore::replaceBooks(const QString& keep)
{
    if (!staged_)
        throw StoreError(QStringLiteral("復元するデータベースは既に閉じています。"));
    const QString books = QDir(folder_).filePath(QString::fromLatin1(Database::kFileName));
    const QString staged = staged_->filePath();

    // The staged books closed: their log folded into the file, which is then all there is.
    const std::weak_ptr<Database> connection = staged_;
    staged_.reset();
    Database::closeFolder(staging_->path());
    if (!connection.expired())
        throw StoreError(QStringLiteral("復元するデータベースがまだ使用中のため、復元できません。帳簿はそのままです。"));
    for (const char* suffix : {"-wal", "-journal"}) {
        if (QFileInfo(sideFile(staged, suffix)).size() > 0)
            throw StoreError(QStringLiteral("復元するデータベースを閉じられません（%1 が残っています）。").arg(shown(sideFile(staged, suffix))));
    }

    // 1. The current books are held, as every writer holds them, and kept. Holding them is
    //    what keeps another program from writing into a log that step 2 removes.
    QStringList kept;
    Database::closeFolder(folder_);
    std::unique_ptr<Database> current;
    const bool present = QFileInfo::exists(books);
    if (present) {
        if (heldByAnotherProcess(books))
            throw inUse(books, QStringLiteral("帳簿"));
        try {
            current = std::make_unique<Database>(folder_);
        } catch (const StoreError&) {
            cancellation::throwIfRequested();
            if (heldByAnotherProcess(books))
                throw inUse(books, QStringLiteral("帳簿"));
            // Books that do not open are kept as their files are, for whoever tries to save them.
        }
    }
    if (current) {
        copyBooks(*current, keep);
        kept << keep;
    } else if (present) {
        QDir().mkpath(QFileInfo(keep).absolutePath());
        for (const char* suffix : {"", "-wal", "-journal"}) {
            if (QFileInfo::exists(sideFile(books, suffix))) {
                copyFile(sideFile(books, suffix), sideFile(keep, suffix));
                kept << sideFile(keep, suffix);
            }
        }
    }
    // The held connection must not write into the log once it is gone, nor fold it when it
    // closes: what it holds is the old file, which is about to be replaced.
    if (current)
        sqlite3_db_config(current->handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);

    // The restored file gets the permission bits (and owner) of the books it replaces.
    struct stat old {};
    if (present && ::stat(QFile::encodeName(books).constData(), &old) == 0) {
        ::chmod(QFile::encodeName(staged).constData(), old.st_mode & 07777);
        if (::chown(QFile::encodeName(staged).constData(), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; the restored file is then the user's own.
        }
    }
    syncToDisk(staged);

    // 2. Nothing of the old books may be played back into the new file.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString side = sideFile(books, suffix);
        if (QFileInfo::exists(side) && !QFile::remove(side))
            throw StoreError(QStringLiteral("「%1」を削除できないため、復元できません。帳簿はそのままです。").arg(shown(side)));
    }

    // 3. One rename puts the new books in place; then the old file is let go.
    renameOver(staged, books);
    current.reset();
    return kept;
}

} // namespace tolva::booksbackup
