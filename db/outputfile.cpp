#include "db/outputfile.h"

#include "db/cancellation.h"
#include "db/database.h"
#include "db/storeerror.h"
#include "db/tempfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolva::outputfile {

QString userFilesFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString periodNamePart(const QDate& from, const QDate& to, const FiscalPeriod& fiscal)
{
    if (!from.isValid() || !to.isValid())
        return {};
    if (from == fiscal.start && to == fiscal.end)
        return QString::number(fiscal.start.year());
    if (from.day() == 1 && to == from.addMonths(1).addDays(-1))
        return from.toString(QStringLiteral("yyyyMM"));
    return from.toString(QStringLiteral("yyyyMMdd")) + u'-' + to.toString(QStringLiteral("yyyyMMdd"));
}

QString proposedFileName(const QStringList& parts, const QString& extension)
{
    QStringList kept;
    for (const QString& part : parts) {
        QString clean = part.trimmed();
        for (QChar& c : clean)
            if (c.unicode() < 32 || QStringLiteral("\\/:*?\"<>|").contains(c))
                c = u'_';
        if (!clean.isEmpty())
            kept << clean;
    }
    return kept.join(u'_') + u'.' + extension;
}

QString defaultOutputPath(const QStringList& parts, const QString& extension)
{
    return QDir(userFilesFolder()).filePath(proposedFileName(parts, extension));
}

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const Identity&, const Identity&) = default;
};

std::optional<struct stat> statOf(const QString& path, bool followLinks = true)
{
    struct stat st {};
    const int rc = followLinks ? ::stat(encoded(path).constData(), &st) : ::lstat(encoded(path).constData(), &st);
    if (rc != 0)
        return std::nullopt;
    return st;
}

std::optional<Identity> identityOf(const QString& path)
{
    const auto st = statOf(path);
    if (!st)
        return std::nullopt;
    return Identity{st->st_dev, st->st_ino};
}

// --- The data folders held by this process ---------------------------------------------------

QMutex& registryMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<QString, int>& heldFolders()
{
    static QHash<QString, int> folders;
    return folders;
}

QStringList heldFolderList()
{
    const QMutexLocker locker(&registryMutex());
    return heldFolders().keys();
}

// The names of a data folder's own files, and what each is called in a message.
struct OwnName {
    QString name;
    QString what;
};

const QList<OwnName>& ownNames()
{
    static const QList<OwnName> names = [] {
        const QString db = QString::fromLatin1(Database::kFileName);
        QList<OwnName> list{
            {db, QStringLiteral("帳簿のデータベース")},
            {db + QStringLiteral("-wal"), QStringLiteral("帳簿のログ")},
            {db + QStringLiteral("-shm"), QStringLiteral("帳簿のログの索引")},
            {db + QStringLiteral("-journal"), QStringLiteral("帳簿のジャーナル")},
            {QString::fromLatin1(kLockFileName), QStringLiteral("ロックファイル")},
            {QString::fromLatin1(kReportProjectFileName), QStringLiteral("レポートのプロジェクト")},
            {QString::fromLatin1(kBackupFolderName), QStringLiteral("バックアップのフォルダ")},
        };
        for (const QString& query : requiredStoredQueries())
            list << OwnName{query, QStringLiteral("問合せファイル")};
        return list;
    }();
    return names;
}

const OwnName* ownName(const QString& name)
{
    for (const OwnName& own : ownNames()) {
        if (own.name.compare(name, Qt::CaseInsensitive) == 0)
            return &own;
    }
    return nullptr;
}

// Whether the existing folder `dir` is a data folder: one this process holds (by identity), or
// one that holds books.
bool isDataFolder(const QString& dir)
{
    if (statOf(QDir(dir).filePath(QString::fromLatin1(Database::kFileName)), false))
        return true;
    const auto identity = identityOf(dir);
    if (!identity)
        return false;
    for (const QString& held : heldFolderList()) {
        if (identityOf(held) == identity)
            return true;
    }
    return false;
}

bool isBackupFolder(const QString& dir)
{
    const QFileInfo info(dir);
    return info.fileName().compare(QString::fromLatin1(kBackupFolderName), Qt::CaseInsensitive) == 0
           && isDataFolder(info.absolutePath());
}

[[noreturn]] void refuseOwnFile(const QString& target, const QString& folder, const QString& what)
{
    throw StoreError(QStringLiteral("「%1」はデータフォルダ「%2」の%3です。\n"
                                    "帳簿を守るため、ここには書き出しません。別のファイル名を指定してください。")
                         .arg(shown(target), shown(folder), what));
}

[[noreturn]] void refuseBackupFolder(const QString& target)
{
    throw StoreError(QStringLiteral("「%1」はデータフォルダのバックアップの置き場所（backup）の中です。\n"
                                    "バックアップを守るため、ここには書き出しません。別の場所を指定してください。")
                         .arg(shown(target)));
}

// A file of a held folder that `identity` is, by device and inode: a hard link to the books
// elsewhere is the books.
void refuseHeldFile(const QString& target, const Identity& identity, Purpose purpose)
{
    for (const QString& folder : heldFolderList()) {
        if (identityOf(folder) == identity)
            throw StoreError(QStringLiteral("「%1」はデータフォルダです。書き出すファイルの名前を指定してください。").arg(shown(target)));
        const QDir dir(folder);
        for (const OwnName& own : ownNames()) {
            if (identityOf(dir.filePath(own.name)) == identity)
                refuseOwnFile(target, folder, own.what);
        }
        const QDir backups(dir.filePath(QString::fromLatin1(kBackupFolderName)));
        if (backups.exists()) {
            const QStringList names = backups.entryList(QDir::Files | QDir::Hidden | QDir::System);
            for (const QString& name : names) {
                if (identityOf(backups.filePath(name)) != identity)
                    continue;
                if (purpose == Purpose::NewBackupCopy)
                    throw StoreError(QStringLiteral("「%1」は既にあるバックアップです。上書きはしません。").arg(shown(target)));
                refuseBackupFolder(target);
            }
        }
    }
}

// The last component's links followed, however many; the folders above are left to the
// system. Returns the path the bytes would land at.
QString followLinks(const QString& path)
{
    QString current = path;
    for (int hop = 0; hop < 40; ++hop) {
        const auto st = statOf(current, false);
        if (!st || !S_ISLNK(st->st_mode))
            return current;
        char buffer[4096];
        const ssize_t n = ::readlink(encoded(current).constData(), buffer, sizeof buffer - 1);
        if (n <= 0)
            return current;
        const QString link = QFile::decodeName(QByteArray(buffer, n));
        current = QDir::isAbsolutePath(link) ? link : QDir(QFileInfo(current).absolutePath()).filePath(link);
    }
    throw StoreError(QStringLiteral("「%1」はリンクが循環しているため、書き出せません。").arg(shown(path)));
}

// The folder's real path (links and ".." resolved), or empty when it does not exist.
QString realFolder(const QString& dir)
{
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    return canonical;
}

} // namespace

// --- ProtectedFolder -------------------------------------------------------------------------

ProtectedFolder::ProtectedFolder(const QString& folder) : folder_(QFileInfo(folder).absoluteFilePath())
{
    const QMutexLocker locker(&registryMutex());
    ++heldFolders()[folder_];
}

ProtectedFolder::~ProtectedFolder()
{
    const QMutexLocker locker(&registryMutex());
    auto it = heldFolders().find(folder_);
    if (it != heldFolders().end() && --it.value() <= 0)
        heldFolders().erase(it);
}

// --- checkTarget ---------------------------------------------------------------------------

Target checkTarget(const QString& path, Purpose purpose)
{
    if (path.trimmed().isEmpty())
        throw StoreError(QStringLiteral("書き出すファイルの名前が空です。ファイル名を指定してください。"));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // The system follows links as it opens (including /dev/stdout's to a pipe); only a link
    // to nothing yet is followed here, to see where the new file would be made.
    const bool exists = statOf(absolute).has_value();
    QString landing = absolute;
    if (exists) {
        const QString canonical = QFileInfo(absolute).canonicalFilePath();
        if (!canonical.isEmpty())
            landing = canonical;
    } else {
        landing = followLinks(absolute);
    }
    const QFileInfo landingInfo(landing);
    const QString name = landingInfo.fileName();

    Target target;
    if (const auto st = exists ? statOf(absolute) : std::nullopt) {
        if (S_ISDIR(st->st_mode)) {
            refuseHeldFile(path, Identity{st->st_dev, st->st_ino}, purpose);
            throw StoreError(QStringLiteral("「%1」はフォルダです。書き出すファイルの名前を指定してください。").arg(shown(path)));
        }
        if (S_ISSOCK(st->st_mode))
            throw StoreError(QStringLiteral("「%1」はソケットのため、書き出せません。ファイルの名前を指定してください。").arg(shown(path)));
        if (S_ISBLK(st->st_mode))
            throw StoreError(QStringLiteral("「%1」はディスク装置（ブロックデバイス）のため、書き出しません。ファイルの名前を指定してください。")
                                 .arg(shown(path)));
        if (S_ISFIFO(st->st_mode) || S_ISCHR(st->st_mode)) {
            // A pipe or a terminal holds nothing that could be the books; it is written as given.
            target.path = absolute;
            target.kind = TargetKind::Stream;
            return target;
        }
        refuseHeldFile(path, Identity{st->st_dev, st->st_ino}, purpose);
        const QString folder = realFolder(landingInfo.absolutePath());
        if (isDataFolder(folder)) {
            if (const OwnName* own = ownName(name))
                refuseOwnFile(path, folder, own->what);
        }
        if (isBackupFolder(folder)) {
            if (purpose == Purpose::NewBackupCopy)
                throw StoreError(QStringLiteral("「%1」は既にあるバックアップです。上書きはしません。").arg(shown(path)));
            refuseBackupFolder(path);
        }
        target.path = QDir(folder).filePath(name);
        target.kind = TargetKind::RegularFile;
        return target;
    }

    // A new file: what matters is the folder it would be made in, or the first folder that
    // would be made on the way to it.
    const QString parent = landingInfo.absolutePath();
    if (const auto parentStat = statOf(parent); parentStat && !S_ISDIR(parentStat->st_mode)) {
        // A file where a folder would be: refused as that file if it is one of ours.
        (void)checkTarget(parent, purpose);
        throw StoreError(QStringLiteral("「%1」のフォルダが見つかりません。ある場所を指定してください。").arg(shown(path)));
    }
    if (statOf(parent)) {
        const QString folder = realFolder(parent);
        if (isDataFolder(folder)) {
            if (const OwnName* own = ownName(name))
                refuseOwnFile(path, folder, own->what);
        }
        if (isBackupFolder(folder) && purpose != Purpose::NewBackupCopy)
            refuseBackupFolder(path);
        target.path = QDir(folder).filePath(name);
        return target;
    }
    QString existing = parent;
    QString firstNew;
    while (!statOf(existing)) {
        const QFileInfo up(existing);
        if (up.absolutePath() == existing)
            break;
        firstNew = up.fileName();
        existing = up.absolutePath();
    }
    const QString folder = realFolder(existing);
    if (folder.isEmpty())
        throw StoreError(QStringLiteral("「%1」のフォルダが見つかりません。ある場所を指定してください。").arg(shown(path)));
    const bool makesBackupFolder = firstNew.compare(QString::fromLatin1(kBackupFolderName), Qt::CaseInsensitive) == 0;
    if (isDataFolder(folder)) {
        if (const OwnName* own = ownName(firstNew)) {
            // A new copy of the books may make the backup folder, as a file straight inside it.
            const bool newCopy = purpose == Purpose::NewBackupCopy && firstNew == QString::fromLatin1(kBackupFolderName)
                                 && QFileInfo(parent).absolutePath() == existing;
            if (makesBackupFolder && !newCopy)
                refuseBackupFolder(path);
            if (!makesBackupFolder)
                refuseOwnFile(path, folder, own->what);
        }
    }
    if (isBackupFolder(folder))
        refuseBackupFolder(path);
    target.path = landing;
    return target;
}

// --- OutputFile ------------------------------------------------------------------------------

QString writeFailure(const QString& path, int systemError)
{
    const QString file = shown(path);
    switch (systemError) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空き容量が足りないため、「%1」を書き出せません。\n"
                              "不要なファイルを削除して空き容量を増やしてから、もう一度実行してください。")
            .arg(file);
    case EFBIG:
        return QStringLiteral("ファイルの大きさの上限を超えたため、「%1」を書き出せません。\n"
                              "ファイルの大きさの制限を確認するか、期間を分けて書き出してください。")
            .arg(file);
    case EACCES:
    case EPERM:
        return QStringLiteral("「%1」に書き込む権限がありません。書き込める場所を指定してください。").arg(file);
    case EROFS:
        return QStringLiteral("「%1」は読み取り専用の場所にあるため、書き出せません。書き込める場所を指定してください。").arg(file);
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("「%1」のフォルダが見つかりません。ある場所を指定してください。").arg(file);
    case EPIPE:
        return QStringLiteral("「%1」の読み手が先に終了したため、書き出しを止めました。").arg(file);
    case EIO:
        return QStringLiteral("「%1」を書き出せません（入出力エラー）。ディスクや装置の状態を確かめてください。").arg(file);
    default:
        return QStringLiteral("「%1」を書き出せません（%2）。").arg(file, QString::fromLocal8Bit(std::strerror(systemError)));
    }
}

namespace {

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

void syncFolder(const QString& dir)
{
    const int fd = ::open(encoded(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

OutputFile::OutputFile(const QString& path, Purpose purpose) : path_(path), target_(checkTarget(path, purpose))
{
    if (target_.kind == TargetKind::Stream) {
        for (;;) {
            streamFd_ = ::open(encoded(target_.path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (streamFd_ >= 0)
                break;
            if (errno != EINTR)
                throw StoreError(writeFailure(path_, errno));
            // A pipe opens when its reader comes; a stop asked for meanwhile ends the wait.
            cancellation::throwIfRequested();
        }
        return;
    }
    if (purpose == Purpose::NewBackupCopy) {
        const QString dir = QFileInfo(target_.path).absolutePath();
        if (!QDir().mkpath(dir))
            throw StoreError(QStringLiteral("フォルダ「%1」を作成できません。").arg(shown(dir)));
    }
    openTemporary(target_.path);
}

OutputFile::~OutputFile()
{
    if (!committed_)
        discard();
}

void OutputFile::openTemporary(const QString& besides)
{
    QByteArray name = encoded(tempfiles::templateFor(besides));
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw StoreError(writeFailure(path_, errno));
    temporary_ = QFile::decodeName(name);
}

void OutputFile::discard()
{
    if (streamFd_ >= 0) {
        ::close(streamFd_);
        streamFd_ = -1;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.isEmpty()) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            ::unlink(encoded(temporary_ + QLatin1StringView(suffix)).constData());
        temporary_.clear();
    }
}

void OutputFile::writeAll(int fd, const char* data, qint64 size, const QString& shownPath)
{
    while (size > 0) {
        cancellation::throwIfRequested();
        const ssize_t n = ::write(fd, data, size_t(qMin<qint64>(size, 1 << 20)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw StoreError(writeFailure(shownPath, errno));
        }
        if (n == 0)
            throw StoreError(writeFailure(shownPath, ENOSPC));
        data += n;
        size -= n;
    }
}

void OutputFile::write(const char* data, qint64 size)
{
    const int fd = target_.kind == TargetKind::Stream ? streamFd_ : fd_;
    if (filled_ || fd < 0)
        throw StoreError(QStringLiteral("「%1」は既に閉じています。").arg(shown(path_)));
    writeAll(fd, data, size, path_);
}

QString OutputFile::fillPath()
{
    if (target_.kind == TargetKind::Stream && temporary_.isEmpty()) {
        // The writer needs a file it can seek in; the stream gets its bytes at commit().
        openTemporary(QDir(QDir::tempPath()).filePath(QStringLiteral("tolva-output")));
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    filled_ = true;
    return temporary_;
}

void OutputFile::commit()
{
    if (committed_)
        return;
    cancellation::throwIfRequested();
    if (target_.kind == TargetKind::Stream) {
        if (filled_) {
            // The stream's own descriptor stays open; the temporary file's is not needed.
            const int in = ::open(encoded(temporary_).constData(), O_RDONLY | O_CLOEXEC);
            if (in < 0)
                throw StoreError(writeFailure(path_, errno));
            QByteArray buffer(1 << 20, Qt::Uninitialized);
            for (;;) {
                const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    ::close(in);
                    break;
                }
                try {
                    writeAll(streamFd_, buffer.constData(), n, path_);
                } catch (...) {
                    ::close(in);
                    throw;
                }
            }
        }
        const int fd = streamFd_;
        streamFd_ = -1;
        if (::close(fd) != 0 && errno != EINTR)
            throw StoreError(writeFailure(path_, errno));
        discard();
        committed_ = true;
        return;
    }

    if (fd_ < 0) {
        fd_ = ::open(encoded(temporary_).constData(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0)
            throw StoreError(writeFailure(path_, errno));
    }
    // The file it replaces keeps its permission bits and, where the system allows, its owner;
    // a new file gets what the user's umask gives.
    struct stat mine {};
    ::fstat(fd_, &mine);
    if (const auto old = statOf(target_.path); old && S_ISREG(old->st_mode)) {
        ::fchmod(fd_, old->st_mode & 07777);
        if ((old->st_uid != mine.st_uid || old->st_gid != mine.st_gid) && ::fchown(fd_, old->st_uid, old->st_gid) != 0) {
            // Only root may give a file away; the user's own copy is then theirs.
        }
    } else {
        ::fchmod(fd_, 0666 & ~currentUmask());
    }
    if (::fsync(fd_) != 0)
        throw StoreError(writeFailure(path_, errno));
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw StoreError(writeFailure(path_, errno));
    if (::rename(encoded(temporary_).constData(), encoded(target_.path).constData()) != 0)
        throw StoreError(writeFailure(path_, errno));
    temporary_.clear();
    syncFolder(QFileInfo(target_.path).absolutePath());
    committed_ = true;
}

} // namespace tolva::outputfile
