// Checks that generated books are books the program can live with: the chart keeps its
// code rules, every row names accounts that exist, the closings net to zero, and a seed
// always gives the same rows.
#include "bench/bookgenerator.h"
#include "db/database.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>

using namespace tolva;

namespace {

constexpr qint64 kRows = 40000;  // enough for the closings to be written

bookgen::BookOptions templateOptions()
{
    bookgen::BookOptions options;
    options.templateDir = QStringLiteral(TOLVA_TEMPLATE_DIR);
    return options;
}

qint64 count(Database& db, const QString& sql)
{
    Statement s = db.prepare(sql);
    return s.step() ? s.columnInt(0) : -1;
}

QByteArray journalDigest(const QString& folder)
{
    auto db = Database::forFolder(folder);
    Statement rows = db->prepare(QStringLiteral("SELECT * FROM shiwake ORDER BY id"));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (rows.step()) {
        for (int i = 0; i < rows.columnCount(); ++i)
            hash.addData(rows.column(i).toString().toUtf8() + '\x1f');
    }
    return hash.result();
}

class GeneratedBooks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new QTemporaryDir;
        summary_ = bookgen::generateBooks(folder(), kRows, 7, templateOptions());
    }
    static void TearDownTestSuite()
    {
        Database::closeAll();
        delete dir_;
    }
    static QString folder() { return dir_->filePath(QStringLiteral("books")); }

    static inline QTemporaryDir* dir_ = nullptr;
    static inline bookgen::BookSummary summary_;
};

TEST_F(GeneratedBooks, HasExactlyTheRowsAskedForAndTheModesItReports)
{
    auto db = Database::forFolder(folder());
    EXPECT_EQ(summary_.rows, kRows);
    EXPECT_EQ(count(*db, QStringLiteral("SELECT COUNT(*) FROM shiwake")), kRows);
    for (auto it = summary_.rowsByMode.cbegin(); it != summary_.rowsByMode.cend(); ++it)
        EXPECT_EQ(count(*db, QStringLiteral("SELECT COUNT(*) FROM shiwake WHERE syori = %1").arg(it.key())), it.value())
            << "mode " << it.key();
    EXPECT_GT(summary_.rowsByMode.value(10), kRows * 9 / 10);
    EXPECT_EQ(summary_.closedYears, 9);
    EXPECT_GT(summary_.rowsByMode.value(41), 0);
    EXPECT_GT(summary_.rowsByMode.value(51), 0);
    EXPECT_GT(summary_.rowsByMode.value(31), 0);
}

TEST_F(GeneratedBooks, KeepsTheRulesOfTheChartAndTheJournal)
{
    struct Rule {
        const char* guards;
        const char* violations;  // counts rows that break the rule
    };
    const Rule rules[] = {
        {"about 150 accounts, more than the template's", "SELECT COUNT(*) NOT BETWEEN 140 AND 160 FROM Kamoku"},
        {"an account code is 4 characters beginning with its category",
         "SELECT COUNT(*) FROM Kamoku WHERE length(code) <> 4 OR substr(code, 1, 2) <> bunrui"},
        {"a sub-account code is 6 characters beginning with its account, under that account's category",
         "SELECT COUNT(*) FROM Kamoku02 JOIN Kamoku ON Kamoku.code = Kamoku02.bunrui "
         "WHERE length(Kamoku02.code) <> 6 OR substr(Kamoku02.code, 1, 4) <> Kamoku02.bunrui OR Kamoku02.kubun <> Kamoku.bunrui"},
        {"every account of the journal is in the chart",
         "SELECT COUNT(*) FROM shiwake WHERE Lcode NOT IN (SELECT code FROM Kamoku) OR Rcode NOT IN (SELECT code FROM Kamoku)"},
        {"the stored category is the account's, except on the closing's profit-and-loss transfers",
         "SELECT COUNT(*) FROM shiwake WHERE syori <> 41 AND (Lbunrui <> substr(Lcode, 1, 2) OR Rbunrui <> substr(Rcode, 1, 2))"},
        {"a sub-account belongs to the account of its side",
         "SELECT COUNT(*) FROM shiwake WHERE substr(LScode, 1, 4) <> Lcode OR substr(RScode, 1, 4) <> Rcode"},
        {"a category of a use belongs to the use", "SELECT COUNT(*) FROM shiwake WHERE substr(kubun, 1, 2) <> yoto"},
        {"dates are ISO days within the decade",
         "SELECT COUNT(*) FROM shiwake WHERE sDay NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' "
         "OR sDay < '2017-01-01' OR sDay > '2026-11-30'"},
        {"amounts are positive whole yen",
         "SELECT COUNT(*) FROM shiwake WHERE Lgaku <= 0 OR Rgaku <= 0 OR Lgaku % 10000 <> 0 OR Rgaku % 10000 <> 0"},
        {"only a handful of rows are unequal", "SELECT COUNT(*) NOT BETWEEN 1 AND 10 FROM shiwake WHERE Lgaku <> Rgaku"},
        {"the profit-and-loss account ends every closed year at zero",
         "SELECT COUNT(*) FROM (SELECT substr(sDay, 1, 4) AS y FROM shiwake WHERE Lcode = '4111' OR Rcode = '4111' "
         "GROUP BY y HAVING SUM(CASE WHEN Lcode = '4111' THEN Lgaku ELSE 0 END) <> SUM(CASE WHEN Rcode = '4111' THEN Rgaku ELSE 0 END))"},
        {"opening rows lie on the first day of a year",
         "SELECT COUNT(*) FROM shiwake WHERE syori = 21 AND substr(sDay, 6) <> '01-01'"},
        {"adjustments and closings lie on the last day of a year",
         "SELECT COUNT(*) FROM shiwake WHERE syori IN (31, 41, 51) AND substr(sDay, 6) <> '12-31'"},
        {"entry numbers do not simply follow the dates",
         "SELECT COUNT(*) = 0 FROM shiwake a JOIN shiwake b ON b.id = a.id + 1 WHERE b.sDay < a.sDay"},
        {"some rows carry sub-accounts, uses and memos, and some do not",
         "SELECT (SELECT COUNT(*) FROM shiwake WHERE LScode IS NOT NULL) NOT BETWEEN 1 AND 39999"
         " OR (SELECT COUNT(*) FROM shiwake WHERE kubun IS NOT NULL) NOT BETWEEN 1 AND 39999"
         " OR (SELECT COUNT(*) FROM shiwake WHERE Memo IS NOT NULL) NOT BETWEEN 1 AND 39999"},
    };
    auto db = Database::forFolder(folder());
    for (const Rule& rule : rules)
        EXPECT_EQ(count(*db, QString::fromUtf8(rule.violations)), 0) << rule.guards;
}

TEST(BookGenerator, TheSeedAloneDecidesTheRows)
{
    QTemporaryDir dir;
    const auto make = [&](const char* name, quint32 seed) {
        const QString folder = dir.filePath(QString::fromLatin1(name));
        bookgen::generateBooks(folder, 5000, seed, templateOptions());
        return journalDigest(folder);
    };
    const QByteArray first = make("a", 3);
    EXPECT_EQ(make("b", 3), first);
    EXPECT_NE(make("c", 4), first);
    Database::closeAll();
}

TEST(BookGenerator, RefusesAFolderThatAlreadyHoldsBooks)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("books"));
    bookgen::generateBooks(folder, 10, 1, templateOptions());
    EXPECT_ANY_THROW(bookgen::generateBooks(folder, 10, 1, templateOptions()));
    Database::closeAll();
}

} // namespace
