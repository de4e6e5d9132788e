#include "db/tempfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>

#include <signal.h>

namespace tolva::tempfiles {

namespace {

constexpr QLatin1StringView kMark(".tolva-tmp-");

const QRegularExpression& ourName()
{
    // The process id, six characters QTemporaryFile chose, and the suffix SQLite gives the
    // journal or log of a database written under that name.
    static const QRegularExpression pattern(QStringLiteral(R"(\.tolva-tmp-(\d{1,10})-[A-Za-z0-9]{6}(-journal|-wal|-shm)?$)"));
    return pattern;
}

bool processIsGone(qint64 pid)
{
    if (pid <= 0 || pid > 0x7fffffff)
        return true;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

QString templateFor(const QString& target)
{
    return target + kMark + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX");
}

bool isOurs(const QString& fileName)
{
    return ourName().match(fileName).hasMatch();
}

bool isAbandoned(const QString& fileName)
{
    const QRegularExpressionMatch match = ourName().match(fileName);
    return match.hasMatch() && processIsGone(match.captured(1).toLongLong());
}

QStringList sweep(const QString& folder)
{
    QStringList removed;
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (!isAbandoned(entry.fileName()))
            continue;
        // A link is removed as a link: never what it points to.
        bool done = false;
        if (entry.isDir() && !entry.isSymLink())
            done = QDir(entry.filePath()).removeRecursively();
        else
            done = QFile::remove(entry.filePath());
        if (done)
            removed << entry.filePath();
    }
    return removed;
}

} // namespace tolva::tempfiles
