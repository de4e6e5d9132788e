#include "db/readonlybooks.h"

#include "db/database.h"
#include "db/outputfile.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <sys/statvfs.h>
#include <unistd.h>

namespace tolva {

namespace {

// access(W_OK) as the cause it shows: EROFS is the medium, EACCES and EPERM the permissions;
// anything else (a name that is not there) says nothing about writing.
std::optional<ReadOnlyCause> writeAccess(const QString& path, ReadOnlyCause whenRefused)
{
    if (::access(QFile::encodeName(path).constData(), W_OK) == 0)
        return std::nullopt;
    switch (errno) {
    case EROFS:
        return ReadOnlyCause::FileSystem;
    case EACCES:
    case EPERM:
        return whenRefused;
    default:
        return std::nullopt;
    }
}

// The reason, written to follow "データフォルダ「…」は" and to go before "ため".
QString causeClause(ReadOnlyCause cause)
{
    switch (cause) {
    case ReadOnlyCause::FileSystem:
        return QStringLiteral("読み取り専用の場所（CD・DVD、書き込み禁止のUSBメモリ、読み取り専用で接続したフォルダなど）にある");
    case ReadOnlyCause::Folder:
        return QStringLiteral("このユーザーがファイルを作成できないフォルダである");
    case ReadOnlyCause::File:
        return QStringLiteral("、中のデータベースファイル「%1」にこのユーザーが書き込めない").arg(QString::fromLatin1(Database::kFileName));
    }
    return {};
}

} // namespace

std::optional<ReadOnlyCause> readOnlyCause(const QString& folder)
{
    struct statvfs fileSystem = {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fileSystem) == 0 && (fileSystem.f_flag & ST_RDONLY) != 0)
        return ReadOnlyCause::FileSystem;
    // Root passes access(W_OK) whatever the permission bits; only a read-only medium stops it.
    if (const auto cause = writeAccess(folder, ReadOnlyCause::Folder))
        return cause;
    return writeAccess(QDir(folder).filePath(QString::fromLatin1(Database::kFileName)), ReadOnlyCause::File);
}

QString readOnlyNotice(const QString& folder, ReadOnlyCause cause)
{
    return QStringLiteral("データフォルダ「%1」は%2ため、帳簿は読み取り専用で開いています。")
        .arg(QDir::toNativeSeparators(folder), causeClause(cause));
}

QString readOnlyRefusal(const QString& folder, ReadOnlyCause cause)
{
    return QStringLiteral("データフォルダ「%1」は%2ため、帳簿を変更するこのコマンドは実行できません。\n"
                          "帳簿を変更するには、書き込みできる場所へデータフォルダごとコピーしてから実行してください。")
        .arg(QDir::toNativeSeparators(folder), causeClause(cause));
}

QString exportStartFolder(const QString&, bool)
{
    return outputfile::userFilesFolder();
}

} // namespace tolva
