#include "tests/cli/clirun.h"

#include "db/database.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>

#include <gtest/gtest.h>

namespace tolva::testing {

CliRun runCli(const QStringList& arguments, const QString& dataFolder)
{
    // The program holds the folder while it runs: the test's own connection lets it go first.
    Database::closeAll();
    QProcess process;
    // The folder right after the verb, so that an option left without its value at the end
    // stays without one.
    QStringList all = arguments;
    if (!dataFolder.isEmpty()) {
        const qsizetype verbWords = all.size() > 1 && all[0] == u"export" && !all[1].startsWith(u'-') ? 2 : qMin<qsizetype>(all.size(), 1);
        all.insert(verbWords, dataFolder);
        all.insert(verbWords, QStringLiteral("--data-dir"));
    }
    process.start(QStringLiteral(TOLVA_CLI), all);
    CliRun run;
    if (!process.waitForFinished(60000)) {
        ADD_FAILURE() << "tolva-cli did not finish: " << all.join(u' ').toStdString();
        process.kill();
        process.waitForFinished();
        return run;
    }
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "tolva-cli crashed: " << all.join(u' ').toStdString();
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QMap<QString, QByteArray> folderState(const QString& folder)
{
    QMap<QString, QByteArray> state;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        state.insert(QDir(folder).relativeFilePath(path), bytesOf(path));
    }
    return state;
}

QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                cell += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cell += c;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == u',') {
            row << cell;
            cell.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
            ++i;
            any = false;
        } else {
            cell += c;
            any = true;
        }
    }
    if (any || !row.isEmpty()) {
        row << cell;
        rows << row;
    }
    return rows;
}

QString fromCodePage932(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-31j");
    return decoder.decode(bytes);
}

void setOwner(const QString& folder, int year, int closingMonth)
{
    auto db = Database::forFolder(folder);
    db->exec(QStringLiteral("DELETE FROM Jigyounushi"));
    db->exec(QStringLiteral("INSERT INTO Jigyounushi (name, shime, Nendo) VALUES ('見本', %1, %2)").arg(closingMonth).arg(year));
}

} // namespace tolva::testing
