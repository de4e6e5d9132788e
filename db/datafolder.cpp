#include "datafolder.h"

#include "database.h"
#include "storeerror.h"
#include "tempfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace tolva::datafolder {

QString besideProgram()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data"));
}

QString templateFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("DataTemplate"));
}

void initialise(const QString& target, const QString& templateDir)
{
    // An empty name would mean the current folder, where nobody means to keep books.
    if (target.trimmed().isEmpty())
        throw StoreError(QStringLiteral("データフォルダの名前が空です。新しい帳簿を作るフォルダを指定してください。"));
    const QDir source(templateDir);
    if (!QFileInfo::exists(source.filePath(QString::fromLatin1(Database::kFileName))))
        throw StoreError(QStringLiteral("データフォルダのひな形「%1」が見つかりません。").arg(QDir::toNativeSeparators(templateDir)));
    const QString shown = QDir::toNativeSeparators(target);
    const QFileInfo info(target);
    if (info.exists() && !info.isDir())
        throw StoreError(QStringLiteral("「%1」はフォルダではありません。データフォルダにはフォルダを指定してください。").arg(shown));
    const QStringList present = presentBooksFiles(target);
    if (present.contains(QString::fromLatin1(Database::kFileName)))
        throw StoreError(QStringLiteral("「%1」には既にデータがあります。上書きはしません。").arg(shown));
    if (!present.isEmpty())
        throw StoreError(QStringLiteral("「%1」には前の帳簿のファイル（%2）が残っています。\n"
                                        "新しい帳簿がその内容で書き換えられてしまうため、作成しません。"
                                        "これらのファイルを別の場所へ移してから、もう一度実行してください。")
                             .arg(shown, present.join(QStringLiteral("、"))));
    QDir destination(target);
    if (!destination.exists() && !QDir().mkpath(target))
        throw StoreError(QStringLiteral("データフォルダ「%1」を作成できません。").arg(shown));
    const QStringList files = source.entryList(QDir::Files);
    for (const QString& name : files) {
        const QString to = destination.filePath(name);
        QFile::remove(to);
        if (!QFile::copy(source.filePath(name), to))
            throw StoreError(QStringLiteral("「%1」を作成できません。").arg(QDir::toNativeSeparators(to)));
        QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    }
}

bool isEmptyFolder(const QString& folder)
{
    const QFileInfo info(folder);
    return info.isDir() && QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void verify(const QString& folder, Database::OpeningChecks checks)
{
    auto db = Database::forFolder(folder, checks);
    for (const QString& name : requiredStoredQueries()) {
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path))
            throw StoreError(QStringLiteral("問合せファイル「%1」が見つかりません。").arg(QDir::toNativeSeparators(path)));
    }
}

namespace {

// What a killed backup, restore or export left in the folder: the holder of the lock is the
// only program of ours there, so every temporary file of a process that is gone is debris.
void sweepAbandoned(const QString& folder)
{
    tempfiles::sweep(folder);
    tempfiles::sweep(QDir(folder).filePath(QString::fromLatin1(kBackupFolderName)));
}

} // namespace

Lock::Lock(const QString& folder)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(kLockFileName));
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
        refusal_ = QStringLiteral("データフォルダ「%1」は別のTolva（プロセス番号 %2、コンピュータ %3）が使用中です。\n"
                                  "そちらを終了してから起動してください。")
                       .arg(QDir::toNativeSeparators(folder))
                       .arg(pid)
                       .arg(host);
    } else {
        refusal_ = QStringLiteral("データフォルダ「%1」をロックできません（書き込みできない場所の可能性があります）。")
                       .arg(QDir::toNativeSeparators(folder));
    }
}

} // namespace tolva::datafolder
