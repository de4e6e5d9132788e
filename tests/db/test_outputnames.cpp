// Where a file written for the user is proposed, and its name: what it holds and its period.
#include "db/outputfile.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolva;

TEST(OutputNames, AFileIsNamedByWhatItHoldsAndItsPeriod)
{
    const FiscalPeriod year2026{QDate(2026, 1, 1), QDate(2026, 12, 31)};
    const FiscalPeriod april2026{QDate(2026, 4, 1), QDate(2027, 3, 31)};
    struct Case {
        QStringList parts;
        QDate from;
        QDate to;
        FiscalPeriod fiscal;
        const char* expected;
    };
    const Case cases[] = {
        {{"精算表"}, year2026.start, year2026.end, year2026, "精算表_2026.pdf"},                 // the fiscal year
        {{"元帳", "1112"}, april2026.start, april2026.end, april2026, "元帳_1112_2026.pdf"},     // named by its first year
        {{"元帳", "1112"}, QDate(2026, 3, 1), QDate(2026, 3, 31), year2026, "元帳_1112_202603.pdf"},  // a whole month
        {{"元帳", "1112"}, QDate(2026, 2, 1), QDate(2026, 2, 28), year2026, "元帳_1112_202602.pdf"},
        {{"仕訳帳"}, QDate(2026, 1, 5), QDate(2026, 2, 20), year2026, "仕訳帳_20260105-20260220.pdf"},
        {{"仕訳帳"}, QDate(), QDate(), year2026, "仕訳帳.pdf"},                                  // no period: none named
        {{"元帳", "a/b:c"}, year2026.start, year2026.end, year2026, "元帳_a_b_c_2026.pdf"},      // nothing a name cannot hold
    };
    for (const Case& c : cases) {
        QStringList parts = c.parts;
        parts << outputfile::periodNamePart(c.from, c.to, c.fiscal);
        EXPECT_EQ(outputfile::proposedFileName(parts, QStringLiteral("pdf")), QString::fromUtf8(c.expected));
    }
}

TEST(OutputNames, FilesGoToTheDocumentsFolderOrHomeWithoutOne)
{
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    EXPECT_EQ(QDir(outputfile::userFilesFolder()), QDir(home.path()));
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Documents")));
    EXPECT_EQ(QDir(outputfile::userFilesFolder()), QDir(home.filePath(QStringLiteral("Documents"))));
    EXPECT_EQ(outputfile::defaultOutputPath({QStringLiteral("精算表"), QStringLiteral("2026")}, QStringLiteral("csv")),
              QDir(home.filePath(QStringLiteral("Documents"))).filePath(QStringLiteral("精算表_2026.csv")));
    qputenv("HOME", savedHome);
    if (savedConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfig);
}
