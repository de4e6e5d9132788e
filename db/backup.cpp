#include "db/backup.h"

#include "db/booksbackup.h"
#include "db/database.h"
#include "db/storeerror.h"

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
    return QDir(dataFolder).filePath(QString::fromLatin1(kBackupFolderName));
}

QString backupDatabase(Database& db, const BackupRequest& request)
{
    // A copy of damaged books would take the place of the oldest sound one. The books' start
    // reads only part of the file; a copy reads all of it anyway, and checks it first.
    const QStringList findings = db.damageFindings();
    if (!findings.isEmpty())
        throw StoreError(QStringLiteral("帳簿のファイル「%1」に壊れている箇所があるため、バックアップを作りません（今までのバックアップはそのままです）。\n"
                                        "これ以上入力せずに終了し、バックアップからデータフォルダ全体を元に戻してください。")
                             .arg(QDir::toNativeSeparators(db.filePath())),
                         findings.mid(0, 3).join(u'\n'));
    QDir dir(request.folder);
    if (!dir.exists() && !QDir().mkpath(request.folder))
        throw failure(request.folder, QStringLiteral("フォルダを作成できません。"));

    const QString stem = QStringLiteral("tolva-") + request.now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = dir.filePath(stem + QStringLiteral(".sqlite"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + QStringLiteral("-%1.sqlite").arg(n));
    // One way of copying the books: online, into a temporary file, synced, renamed.
    booksbackup::copyBooks(db, path);
    removeOldCopies(dir, qMax(1, request.keep));
    return path;
}

} // namespace tolva
