#include "tests/reports/pdftext.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace tolva::testing {

namespace {

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << process.errorString().toStdString() << ' '
                      << process.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

QStringList pdfPages(const QString& pdfPath)
{
    const QString text =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                                              pdfPath, QStringLiteral("-")});
    QStringList pages = text.split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QString pdfPageSize(const QString& pdfPath)
{
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdfPath});
    static const QRegularExpression pageSize(QStringLiteral(R"(^Page size:\s*(.*)$)"),
                                             QRegularExpression::MultilineOption);
    return pageSize.match(info).captured(1).trimmed();
}

QString lineStartingWith(const QString& text, const QString& word)
{
    for (const QString& line : text.split(u'\n')) {
        if (line.trimmed().startsWith(word))
            return line;
    }
    return {};
}

} // namespace tolva::testing
