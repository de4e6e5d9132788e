#include "db/datafolder.h"

#include "db/database.h"
#include "db/storeerror.h"
#include "db/tempfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolva::datafolder {

QString besideProgram()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data"));
}

QString templateFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("DataTemplate"));
}

namespace {

const QString& databaseName()
{
    static const QString name = QString::fromLatin1(Database::kFileName);
    return name;
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString listed(const QStringList& names)
{
    return names.join(QStringLiteral("、"));
}

QString systemError(int error)
{
    if (error == ENOSPC)
        return QStringLiteral("ディスクの空き容量が足りません");
    return QString::fromLocal8Bit(std::strerror(error));
}

// The path as one word of a shell's command line.
QString shellWord(const QString& path)
{
    static const QRegularExpression plain(QStringLiteral(R"(^[\w@%+=:,./-]+$)"), QRegularExpression::UseUnicodePropertiesOption);
    if (plain.match(path).hasMatch())
        return path;
    QString quoted = path;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

StoreError cannotCreate(const QString& path, const QString& why)
{
    return StoreError(QStringLiteral("「%1」を作成できません: %2").arg(shown(path), why));
}

// A name and a rename in a folder last a power cut only once the folder itself is synced.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw StoreError(QStringLiteral("フォルダ「%1」を開けません: %2").arg(shown(folder), systemError(errno)));
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a folder (EINVAL): their names are as durable as they get.
    if (rc != 0 && error != EINVAL)
        throw StoreError(QStringLiteral("フォルダ「%1」をディスクに書き込めません: %2").arg(shown(folder), systemError(error)));
}

// Every file of the layout in the template, or a StoreError naming what it lacks.
void checkTemplate(const QString& templateDir)
{
    if (!QFileInfo::exists(QDir(templateDir).filePath(databaseName())))
        throw StoreError(QStringLiteral("データフォルダのひな形「%1」が見つかりません。").arg(shown(templateDir)));
    QStringList lacking;
    for (const QString& name : layoutFileNames())
        if (!QFileInfo(QDir(templateDir).filePath(name)).isFile())
            lacking << name;
    if (!lacking.isEmpty())
        throw StoreError(QStringLiteral("データフォルダのひな形「%1」に %2 がありません。").arg(shown(templateDir), listed(lacking)));
}

QByteArray templateFile(const QString& templateDir, const QString& name)
{
    QFile in(QDir(templateDir).filePath(name));
    if (!in.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("ひな形のファイル「%1」を読めません: %2").arg(shown(in.fileName()), in.errorString()));
    return in.readAll();
}

// The template's permissions, writable by its owner: a template installed read-only still
// gives books the user can write.
QFileDevice::Permissions permissionsFor(const QString& templateDir, const QString& name)
{
    return QFile::permissions(QDir(templateDir).filePath(name)) | QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

// Writes the whole content into an open new file and syncs it, so that its name is never
// made to point at less than all of it.
void writeSynced(QFile& file, const QByteArray& content, QFileDevice::Permissions permissions)
{
    if (file.write(content) != content.size() || !file.flush())
        throw cannotCreate(file.fileName(), errno == ENOSPC ? systemError(ENOSPC) : file.errorString());
    if (!file.setPermissions(permissions))
        throw cannotCreate(file.fileName(), file.errorString());
    if (::fsync(file.handle()) != 0)
        throw cannotCreate(file.fileName(), systemError(errno));
    file.close();
}

// A rename that never replaces: renameat2 with RENAME_NOREPLACE, or on a file system without
// it, link(2) and then unlink(2) of the old name. Returns 0 or the error.
int moveWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    // The old name left by a kill here is one of our temporary files, swept with the others.
    ::unlink(source.constData());
    return 0;
}

// Places a copy of the template's file at `target` without ever replacing a file there.
void copyWithoutReplacing(const QString& templateDir, const QString& name, const QString& target)
{
    const QByteArray content = templateFile(templateDir, name);
    QTemporaryFile staged(tempfiles::templateFor(target));
    if (!staged.open())
        throw cannotCreate(target, staged.errorString());
    writeSynced(staged, content, permissionsFor(templateDir, name));
    const int error = moveWithoutReplacing(staged.fileName(), target);
    if (error == EEXIST)
        throw StoreError(QStringLiteral("「%1」が既にあります。上書きはしません。").arg(shown(target)));
    if (error != 0)
        throw cannotCreate(target, systemError(error));
    staged.setAutoRemove(false);
}

// A new folder of our temporary name beside `target`, made with the permissions a new folder
// gets; removed again unless release() is called.
class StagingFolder {
public:
    explicit StagingFolder(const QString& target)
    {
        const QString pattern = tempfiles::templateFor(target);
        const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
        for (int attempt = 0; attempt < 100; ++attempt) {
            QString candidate = pattern;
            for (qsizetype i = candidate.size() - 6; i < candidate.size(); ++i)
                candidate[i] = letters[QRandomGenerator::global()->bounded(int(letters.size()))];
            if (::mkdir(QFile::encodeName(candidate).constData(), 0777) == 0) {
                path_ = candidate;
                return;
            }
            error_ = errno;
            if (error_ != EEXIST)
                return;
        }
    }
    ~StagingFolder()
    {
        if (!path_.isEmpty())
            QDir(path_).removeRecursively();
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    [[nodiscard]] bool made() const { return !path_.isEmpty(); }
    [[nodiscard]] int error() const { return error_; }
    [[nodiscard]] const QString& path() const { return path_; }
    void release() { path_.clear(); }

private:
    QString path_;
    int error_ = 0;
};

// Lays a missing or empty folder out beside it and moves it into place in one rename. False
// when it has to be completed where it is instead: no folder can be made beside it (a parent
// the user may not write), or it cannot be renamed over (a mount point, a link to a folder,
// a file that appeared in it meanwhile).
bool layOutBeside(const QString& target, const QString& templateDir)
{
    const QFileInfo info(target);
    const QString parent = info.absolutePath();
    if (!info.exists() && !QDir().mkpath(parent))
        throw StoreError(QStringLiteral("データフォルダ「%1」を作成できません。").arg(shown(target)));
    StagingFolder staging(target);
    if (!staging.made()) {
        if (QFileInfo(target).isDir())
            return false;
        throw StoreError(QStringLiteral("データフォルダ「%1」を作成できません: %2").arg(shown(target), systemError(staging.error())));
    }
    for (const QString& name : layoutFileNames()) {
        QFile file(QDir(staging.path()).filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw cannotCreate(file.fileName(), file.errorString());
        writeSynced(file, templateFile(templateDir, name), permissionsFor(templateDir, name));
    }
    // An empty folder the user made keeps its permissions.
    struct stat existing = {};
    if (::stat(QFile::encodeName(target).constData(), &existing) == 0 && S_ISDIR(existing.st_mode))
        ::chmod(QFile::encodeName(staging.path()).constData(), existing.st_mode & 07777);
    syncFolder(staging.path());
    // A folder renamed over another replaces it only when that one is empty: nothing of the
    // user's can be lost here.
    if (::rename(QFile::encodeName(staging.path()).constData(), QFile::encodeName(target).constData()) != 0) {
        const int error = errno;
        if (QFileInfo(target).isDir())
            return false;
        throw StoreError(QStringLiteral("データフォルダ「%1」を作成できません: %2").arg(shown(target), systemError(error)));
    }
    staging.release();
    syncFolder(parent);
    return true;
}

// Books, the leftovers of books and what is no folder are never laid out over.
void refuseToLayOutOver(const QString& folder, const Contents& contents)
{
    switch (contents.state) {
    case Contents::State::NotAFolder:
        throw StoreError(QStringLiteral("「%1」はフォルダではありません。データフォルダにはフォルダを指定してください。").arg(shown(folder)));
    case Contents::State::Missing:
        throw StoreError(QStringLiteral("データフォルダ「%1」が見つかりません。").arg(shown(folder)));
    case Contents::State::Books:
        throw StoreError(QStringLiteral("「%1」には既にデータがあります。上書きはしません。").arg(shown(folder)));
    case Contents::State::Leftovers:
        throw StoreError(QStringLiteral("「%1」には前の帳簿のファイル（%2）が残っています。\n"
                                        "新しい帳簿がその内容で書き換えられてしまうため、作成しません。"
                                        "これらのファイルを別の場所へ移してから、もう一度実行してください。")
                             .arg(shown(folder), listed(contents.leftovers)));
    case Contents::State::Empty:
    case Contents::State::HalfMade:
    case Contents::State::Other:
        break;
    }
}

} // namespace

const QStringList& layoutFileNames()
{
    static const QStringList names = requiredStoredQueries() + QStringList{QString::fromLatin1(kReportProjectFileName), databaseName()};
    return names;
}

Contents inspect(const QString& folder)
{
    Contents contents;
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) {
        contents.missing = layoutFileNames();
        return contents;
    }
    if (!info.isDir()) {
        contents.state = Contents::State::NotAFolder;
        return contents;
    }
    const QDir dir(folder);
    for (const QString& name : layoutFileNames())
        (QFileInfo::exists(dir.filePath(name)) ? contents.present : contents.missing) << name;
    contents.leftovers = presentBooksFiles(folder);
    contents.leftovers.removeAll(databaseName());
    if (contents.present.contains(databaseName())) {
        contents.state = contents.missing.isEmpty() ? Contents::State::Books : Contents::State::HalfMade;
        return contents;
    }
    if (!contents.leftovers.isEmpty()) {
        contents.state = Contents::State::Leftovers;
        return contents;
    }
    if (!contents.present.isEmpty()) {
        contents.state = Contents::State::HalfMade;
        return contents;
    }
    // What a killed program of ours leaves in a folder it was laying out (its lock, its
    // temporary files) does not make the folder anyone's.
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const bool onlyOurs = std::all_of(entries.begin(), entries.end(), [](const QString& name) {
        return name == QLatin1String(kLockFileName) || tempfiles::isAbandoned(name);
    });
    contents.state = onlyOurs ? Contents::State::Empty : Contents::State::Other;
    return contents;
}

Layout initialise(const QString& target, const QString& templateDir)
{
    // An empty name would mean the current folder, where nobody means to keep books.
    if (target.trimmed().isEmpty())
        throw StoreError(QStringLiteral("データフォルダの名前が空です。新しい帳簿を作るフォルダを指定してください。"));
    const QString folder = QDir::cleanPath(QFileInfo(target).absoluteFilePath());
    checkTemplate(templateDir);
    removeAbandonedLayouts(folder);
    const Contents contents = inspect(folder);
    if (contents.state != Contents::State::Missing)
        refuseToLayOutOver(folder, contents);
    if ((contents.state == Contents::State::Missing || contents.state == Contents::State::Empty)
        && layOutBeside(folder, templateDir))
        return {true, layoutFileNames(), {}};
    // Completed where it is, held against a second program doing the same.
    Lock lock(folder);
    if (!lock.acquired())
        throw StoreError(lock.refusal());
    if (lock.readOnly())
        throw StoreError(readOnlyRefusal(folder, *lock.readOnly()));
    return complete(folder, templateDir);
}

Layout complete(const QString& folder, const QString& templateDir)
{
    checkTemplate(templateDir);
    const Contents contents = inspect(folder);
    refuseToLayOutOver(folder, contents);
    Layout layout;
    layout.newBooks = contents.present.isEmpty();
    layout.kept = contents.present;
    // In the layout's order: the database, whose presence makes the folder books, comes last.
    for (const QString& name : contents.missing) {
        if (name == databaseName()) {
            // A log that appeared meanwhile would be played back into the new file.
            Contents now = contents;
            now.leftovers = presentBooksFiles(folder);
            if (!now.leftovers.isEmpty()) {
                now.state = Contents::State::Leftovers;
                refuseToLayOutOver(folder, now);
            }
        }
        copyWithoutReplacing(templateDir, name, QDir(folder).filePath(name));
        syncFolder(folder);
        layout.added << name;
    }
    return layout;
}

QStringList removeAbandonedLayouts(const QString& target)
{
    QStringList removed;
    const QFileInfo info(QDir::cleanPath(QFileInfo(target).absoluteFilePath()));
    const QString prefix = info.fileName() + QStringLiteral(".tolva-tmp-");
    const QDir parent(info.absolutePath());
    const QFileInfoList entries = parent.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        // Only a folder named for this target: its name, the mark, a process and six characters.
        if (!name.startsWith(prefix) || name.mid(prefix.size()).contains(u'.') || entry.isSymLink()
            || !tempfiles::isAbandoned(name))
            continue;
        if (QDir(entry.filePath()).removeRecursively())
            removed << entry.filePath();
    }
    return removed;
}

QString halfMadeRefusal(const QString& folder, const Contents& contents)
{
    return QStringLiteral("データフォルダ「%1」は作成の途中で止まっています（%2 がありません）。\n"
                          "今あるファイルはそのままに、足りないファイルをひな形から補うには "
                          "tolva --init-data %3 を実行してください。")
        .arg(shown(folder), listed(contents.missing), shellWord(shown(folder)));
}

bool isEmptyFolder(const QString& folder)
{
    const QFileInfo info(folder);
    return info.isDir() && QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void verify(const QString& folder, Database::OpeningChecks checks, OpeningObserver* observer, Database::WhenReadOnly whenReadOnly)
{
    const Contents contents = inspect(folder);
    if (contents.state == Contents::State::HalfMade)
        throw StoreError(halfMadeRefusal(folder, contents));
    (void)Database::forFolder(folder, checks, observer, whenReadOnly);
}

namespace {

// What a killed backup, restore or export left in the folder: the holder of the lock is the
// only program of ours there, so every temporary file of a process that is gone is debris.
void sweepAbandoned(const QString& folder)
{
    tempfiles::sweep(folder);
    tempfiles::sweep(QDir(folder).filePath(QString::fromLatin1(kBackupFolderName)));
}

QString inUseRefusal(const QString& folder, qint64 pid, const QString& host)
{
    return QStringLiteral("データフォルダ「%1」は別のTolva（プロセス番号 %2、コンピュータ %3）が使用中です。\n"
                          "そちらを終了してから起動してください。")
        .arg(QDir::toNativeSeparators(folder))
        .arg(pid)
        .arg(host);
}

} // namespace

QString lockRefusal(const QString& folder, QLockFile::LockError error, qint64 bytesAvailable)
{
    const QString shown = QDir::toNativeSeparators(folder);
    // A full disk makes the lock file but cannot write the holder's details into it; said as a
    // place that cannot be written, the user would look for the wrong cause.
    if (bytesAvailable >= 0 && bytesAvailable < kLowDiskSpace)
        return QStringLiteral("ディスクの空き容量が足りないため、データフォルダ「%1」をロックできません（空き %L2 KB）。\n"
                              "不要なファイルを削除して空き容量を増やしてから、もう一度起動してください。")
            .arg(shown)
            .arg(bytesAvailable / 1024);
    if (error == QLockFile::PermissionError)
        return QStringLiteral("データフォルダ「%1」をロックできません（このフォルダにファイルを作る権限がありません）。\n"
                              "フォルダの権限を確かめてから、もう一度起動してください。")
            .arg(shown);
    return QStringLiteral("データフォルダ「%1」をロックできません（ロックファイル「%2」を書き込めません。"
                          "ディスクの空き容量や接続を確かめてください）。")
        .arg(shown, QString::fromLatin1(kLockFileName));
}

Lock::Lock(const QString& folder)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(kLockFileName));
    // Books this process cannot write are read without a lock file: none could be made there,
    // and while they are read no program of this user can change them.
    readOnly_ = readOnlyCause(folder);
    if (readOnly_) {
        holdForReading(folder, path);
        return;
    }
    // A program that ends normally removes its lock file; one found here and taken over was
    // left by a program that crashed or was killed.
    const bool leftBehind = QFileInfo::exists(path);
    file_ = std::make_unique<QLockFile>(path);
    // A lock whose process is gone is taken over at once (QLockFile checks the process id
    // and host it holds); only a living holder refuses.
    file_->setStaleLockTime(0);
    if (file_->tryLock(0)) {
        acquired_ = true;
        takenOver_ = leftBehind;
        protected_ = std::make_unique<outputfile::ProtectedFolder>(folder);
        sweepAbandoned(folder);
        return;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    // A lock file that names no owner is what a program leaves when it is killed between
    // making the file and writing its details into it; QLockFile never takes such a file
    // over, and the books would stay locked for good. Its owner writes the details at once,
    // so one still without them a moment later has no owner.
    if (file_->error() == QLockFile::LockFailedError && !file_->getLockInfo(&pid, &host, &application)) {
        for (int look = 0; look < 3 && !file_->getLockInfo(&pid, &host, &application); ++look)
            QThread::msleep(100);
        if (!file_->getLockInfo(&pid, &host, &application) && file_->removeStaleLockFile() && file_->tryLock(0)) {
            acquired_ = true;
            takenOver_ = true;
            protected_ = std::make_unique<outputfile::ProtectedFolder>(folder);
            sweepAbandoned(folder);
            return;
        }
    }
    if (file_->error() == QLockFile::LockFailedError && file_->getLockInfo(&pid, &host, &application)) {
        refusal_ = inUseRefusal(folder, pid, host);
    } else {
        const QStorageInfo storage(folder);
        refusal_ = lockRefusal(folder, file_->error(), storage.isValid() ? storage.bytesAvailable() : -1);
    }
}

// A program that may write the books (the folder's owner, a computer that mounts the share
// for writing) holds its lock file with the locks QLockFile takes, an flock and an fcntl lock
// of the whole file; both are asked for without writing anything. A lock file nobody holds was
// left by a program that did not end.
void Lock::holdForReading(const QString& folder, const QString& path)
{
    acquired_ = true;
    if (!QFileInfo::exists(path))
        return;
    bool held = false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct flock probe = {};
        probe.l_type = F_RDLCK;
        probe.l_whence = SEEK_SET;
        held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        if (!held && ::flock(fd, LOCK_SH | LOCK_NB) != 0)
            held = errno == EWOULDBLOCK;
        ::close(fd);
    }
    if (!held) {
        takenOver_ = true;
        return;
    }
    acquired_ = false;
    qint64 pid = 0;
    QString host;
    QString application;
    if (QLockFile(path).getLockInfo(&pid, &host, &application))
        refusal_ = inUseRefusal(folder, pid, host);
    else
        refusal_ = QStringLiteral("データフォルダ「%1」は別のTolvaが使用中です。\nそちらを終了してから起動してください。")
                       .arg(QDir::toNativeSeparators(folder));
}

} // namespace tolva::datafolder
