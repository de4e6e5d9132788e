#include "backup.h"

#include "database.h"
#include "storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

namespace tolva {

namespace {

const QRegularExpression& copyName()
{
    static const QRegularExpression pattern(QStringLiteral(R"(^tolva-\d{8}-\d{6}(-\d+)?\.sqlite$)"));
    return pattern;
}

// Copies named by the time of the same second sort after one another by their number.
QString sortKey(const QString& name)
{
    const QString stem = name.chopped(int(qstrlen(".sqlite")));
    const int dash = stem.indexOf(u'-', 6 + 9);
    const int number = dash < 0 ? 1 : stem.mid(dash + 1).toInt();
    return stem.left(21) + QString::number(number).rightJustified(6, u'0');
}

StoreError failure(const QString& path, const QString& reason)
{
    return StoreError(QStringLiteral("データベースのバックアップ「%1」を作成できません。\n%2")
                          .arg(QDir::toNativeSeparators(path), reason));
}

void removeOldCopies(const QDir& dir, int keep)
{
    QStringList copies;
    for (const QString& name : dir.entryList(QDir::Files)) {
        if (copyName().match(name).hasMatch())
            copies << name;
    }
    std::sort(copies.begin(), copies.end(), [](const QString& a, const QString& b) { return sortKey(a) < sortKey(b); });
    for (qsizetype i = 0; i + keep < copies.size(); ++i)
        QFile::remove(dir.filePath(copies[i]));
}

} // namespace

QString backupFolder(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("backup"));
}

QString backupDatabase(Database& db, const BackupRequest& request)
{
    QDir dir(request.folder);
    if (!dir.exists() && !QDir().mkpath(request.folder))
        throw failure(request.folder, QStringLiteral("フォルダを作成できません。"));

    const QString stem = QStringLiteral("tolva-") + request.now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = dir.filePath(stem + QStringLiteral(".sqlite"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + QStringLiteral("-%1.sqlite").arg(n));
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);

    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(partial.toUtf8().constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString reason;
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db.handle(), "main");
        if (!backup) {
            rc = sqlite3_errcode(copy);
        } else {
            rc = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? finished : rc;
        }
    }
    if (rc != SQLITE_OK)
        reason = QStringLiteral("%1（%2）").arg(QString::fromUtf8(copy ? sqlite3_errmsg(copy) : sqlite3_errstr(rc)),
                                               QString::fromUtf8(sqlite3_errstr(rc)));
    if (sqlite3_close(copy) != SQLITE_OK && reason.isEmpty())
        reason = QStringLiteral("ファイルを閉じられません。");
    if (reason.isEmpty() && !QFile::rename(partial, path))
        reason = QStringLiteral("一時ファイルの名前を変更できません。");
    if (!reason.isEmpty()) {
        QFile::remove(partial);
        throw failure(path, reason);
    }
    removeOldCopies(dir, qMax(1, request.keep));
    return path;
}

} // namespace tolva
