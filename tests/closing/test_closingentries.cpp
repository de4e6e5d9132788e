#include "closing/closingentries.h"
#include "db/backup.h"
#include "db/database.h"
#include "db/history.h"
#include "db/textformat.h"
#include "tests/closing/closingfixture.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

// An account of the year with its balance B in whole yen (debit positive) and its category's BP.
YearAccount balance(const char* code, qint64 b, const char* bp)
{
    YearAccount a;
    a.code = QString::fromLatin1(code);
    (b >= 0 ? a.debit : a.credit) = yen(b >= 0 ? b : -b);
    a.statementText = QString::fromLatin1(bp);
    return a;
}

// A row as one line: "day debit/category credit/category amount mode memo".
QString line(const ClosingEntry& e)
{
    return QStringLiteral("%1 %2/%3 %4/%5 %6 %7 %8")
        .arg(textformat::isoDate(e.day), e.debitCode, e.debitCategory, e.creditCode, e.creditCategory,
             textformat::plainAmount(e.amount))
        .arg(code(e.mode))
        .arg(e.memo);
}

QStringList lines(const std::vector<ClosingEntry>& rows)
{
    QStringList result;
    for (const ClosingEntry& e : rows)
        result << line(e);
    return result;
}

QStringList allLines(const ClosingEntries& entries)
{
    return lines(entries.closing) + lines(entries.opening);
}

} // namespace

TEST(ClosingEntries, TheWorkedExampleRowByRow)
{
    // A balance-sheet account A, the capital, an expense X and a revenue Y, in this order.
    const std::vector<YearAccount> year = {balance("1111", 400000, "1"), balance("1503", -300000, "1"),
                                           balance("0411", 150000, "2"), balance("0111", -250000, "2")};
    const ClosingEntries entries = computeClosingEntries(year, kYear2010);
    const QStringList expected = {
        "2011-03-31 4111/41 0411/03 150000 41 損益振替（費用）",
        "2011-03-31 0111/01 4111/41 250000 41 損益振替（収益）",
        "2011-03-31 4111/41 1503/15 100000 41 当期利益振替",
        "2011-03-31 5111/51 1111/11 400000 51 資本振替処理（次期繰越）",
        "2011-03-31 1503/15 5111/51 400000 51 資本振替処理（次期繰越）",
        "2011-04-01 1111/11 2111/21 400000 21 翌期振替処理 (前期振替）",
        "2011-04-01 2111/21 1503/15 400000 21 翌期振替処理 (前期振替）",
    };
    EXPECT_EQ(allLines(entries), expected);
    EXPECT_EQ(entries.profitOrLoss, yen(100000));
    EXPECT_EQ(entries.closing.size(), 5u);
}

TEST(ClosingEntries, TheEdgesOfTheTransfers)
{
    struct Case {
        const char* what;
        std::vector<YearAccount> year;
        QStringList expected;
    };
    const Case cases[] = {
        {"1501 and 1502 are opened, then moved into the capital",
         {balance("1501", 50000, "1"), balance("1502", -20000, "1"), balance("1503", -30000, "1")},
         {"2011-03-31 5111/51 1501/15 50000 51 資本振替処理（次期繰越）",
          "2011-03-31 1502/15 5111/51 20000 51 資本振替処理（次期繰越）",
          "2011-03-31 1503/15 5111/51 30000 51 資本振替処理（次期繰越）",
          "2011-04-01 1501/15 2111/21 50000 21 翌期振替処理 (前期振替）",
          "2011-04-01 1503/15 1501/15 50000 21 翌期振替処理 (前期振替）",
          "2011-04-01 2111/21 1502/15 20000 21 翌期振替処理 (前期振替）",
          "2011-04-01 1502/15 1503/15 20000 21 翌期振替処理 (前期振替）",
          "2011-04-01 2111/21 1503/15 30000 21 翌期振替処理 (前期振替）"}},
        {"revenue equal to expenses: no result row, the capital carried with its own balance",
         {balance("0411", 1000, "2"), balance("0111", -1000, "2"), balance("1503", -5000, "1")},
         {"2011-03-31 4111/41 0411/03 1000 41 損益振替（費用）",
          "2011-03-31 0111/01 4111/41 1000 41 損益振替（収益）",
          "2011-03-31 1503/15 5111/51 5000 51 資本振替処理（次期繰越）",
          "2011-04-01 2111/21 1503/15 5000 21 翌期振替処理 (前期振替）"}},
        {"a loss of 50,000 leaves the capital 250,000",
         {balance("1503", -300000, "1"), balance("0411", 800000, "2"), balance("0111", -750000, "2")},
         {"2011-03-31 4111/41 0411/03 800000 41 損益振替（費用）",
          "2011-03-31 0111/01 4111/41 750000 41 損益振替（収益）",
          "2011-03-31 1503/15 4111/41 50000 41 当期損失振替",
          "2011-03-31 1503/15 5111/51 250000 51 資本振替処理（次期繰越）",
          "2011-04-01 2111/21 1503/15 250000 21 翌期振替処理 (前期振替）"}},
        {"the capital without a row of its own still carries the year's profit",
         {balance("0111", -700, "2"), balance("1111", 700, "1")},
         {"2011-03-31 0111/01 4111/41 700 41 損益振替（収益）",
          "2011-03-31 4111/41 1503/15 700 41 当期利益振替",
          "2011-03-31 5111/51 1111/11 700 51 資本振替処理（次期繰越）",
          "2011-03-31 1503/15 5111/51 700 51 資本振替処理（次期繰越）",
          "2011-04-01 1111/11 2111/21 700 21 翌期振替処理 (前期振替）",
          "2011-04-01 2111/21 1503/15 700 21 翌期振替処理 (前期振替）"}},
        {"a capital with no balance in a year without a result takes no part",
         {balance("1503", 0, "1"), balance("1111", 0, "1"), balance("0411", 0, "2")}, {}},
        {"categories: a balance-sheet account keeps its code's, an income account gets 01 or 03 by its sign",
         {balance("1213", 90000, "1"), balance("0211", -60000, "2"), balance("0111", 4000, "2")},
         {"2011-03-31 0211/01 4111/41 60000 41 損益振替（収益）",
          "2011-03-31 4111/41 0111/03 4000 41 損益振替（費用）",
          "2011-03-31 4111/41 1503/15 56000 41 当期利益振替",
          "2011-03-31 5111/51 1213/12 90000 51 資本振替処理（次期繰越）",
          "2011-03-31 1503/15 5111/51 56000 51 資本振替処理（次期繰越）",
          "2011-04-01 1213/12 2111/21 90000 21 翌期振替処理 (前期振替）",
          "2011-04-01 2111/21 1503/15 56000 21 翌期振替処理 (前期振替）"}},
        {"accounts of neither statement take no part", {balance("4111", 500, "3"), balance("2111", -500, "")}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(allLines(computeClosingEntries(c.year, kYear2010)), c.expected) << c.what;

    // The adjustments count: B = L + LS − R − RS.
    YearAccount adjusted = balance("0322", 0, "2");
    adjusted.debit = yen(100);
    adjusted.credit = yen(30);
    adjusted.adjustmentDebit = yen(50);
    adjusted.adjustmentCredit = yen(20);
    EXPECT_EQ(computeClosingEntries({adjusted}, kYear2010).closing.front().amount, yen(100));
}

namespace {

class ClosingTransfersOnBooks : public ::testing::Test {
protected:
    Database& db() { return *Database::forFolder(folder.path()); }

    // The journal without entry numbers, in entry order.
    QStringList journal()
    {
        Statement s = db().prepare(QStringLiteral(
            "SELECT sDay, Lcode, Lbunrui, Rcode, Rbunrui, Lgaku, Rgaku, syori, ifnull(Memo, ''),"
            " quote(LScode), quote(RScode), quote(yoto), quote(kubun) FROM shiwake ORDER BY id"));
        QStringList rows;
        while (s.step()) {
            QStringList cells;
            for (int i = 0; i < s.columnCount(); ++i)
                cells << s.column(i).toString();
            rows << cells.join(u' ');
        }
        return rows;
    }

    void addYear()
    {
        addYearRows(folder.path(), {
            {"10", "1111", 400000, 0, 0, 0},
            {"10", "1503", 0, 300000, 0, 0},
            {"10", "0411", 150000, 0, 0, 0},
            {"10", "0111", 0, 250000, 0, 0},
            {"09", "1111", 1, 0, 0, 0},
        });
        addEntries(folder.path(), {
            {.day = "2010-04-01", .lcode = "1111", .lgaku = 10, .rcode = "0111", .rgaku = 10, .memo = "通常"},
            // typed by the user in modes the closing writes: these go
            {.day = "2010-12-31", .lcode = "4111", .lgaku = 1, .rcode = "0411", .rgaku = 1, .syori = 41},
            {.day = "2011-03-31", .lcode = "5111", .lgaku = 2, .rcode = "1111", .rgaku = 2, .syori = 51},
            {.day = "2011-04-01", .lcode = "1111", .lgaku = 3, .rcode = "2111", .rgaku = 3, .syori = 21},
            // outside what the closing replaces: these stay
            {.day = "2011-04-01", .lcode = "1111", .lgaku = 4, .rcode = "0111", .rgaku = 4, .syori = 41},
            {.day = "2011-04-02", .lcode = "1111", .lgaku = 5, .rcode = "2111", .rgaku = 5, .syori = 21},
            {.day = "2010-03-31", .lcode = "5111", .lgaku = 6, .rcode = "1111", .rgaku = 6, .syori = 51},
        });
    }

    TestDataFolder folder;
};

} // namespace

TEST_F(ClosingTransfersOnBooks, ReplaceTheRowsOfTheLastRunAndNothingElse)
{
    addYear();
    const ClosingTransfers first = runClosingTransfers(db(), kYear2010, std::nullopt);
    ASSERT_FALSE(first.refusal);
    EXPECT_EQ(first.closingRowsRemoved, 2);
    EXPECT_EQ(first.openingRowsRemoved, 1);
    EXPECT_TRUE(first.backupPath.isEmpty());
    const QStringList expected = {
        "2010-04-01 1111 11 0111 01 100000 100000 10 通常 NULL NULL NULL NULL",
        "2011-04-01 1111 11 0111 01 40000 40000 41  NULL NULL NULL NULL",
        "2011-04-02 1111 11 2111 21 50000 50000 21  NULL NULL NULL NULL",
        "2010-03-31 5111 51 1111 11 60000 60000 51  NULL NULL NULL NULL",
        // in account code order
        "2011-03-31 0111 01 4111 41 2500000000 2500000000 41 損益振替（収益） NULL NULL NULL NULL",
        "2011-03-31 4111 41 0411 03 1500000000 1500000000 41 損益振替（費用） NULL NULL NULL NULL",
        "2011-03-31 4111 41 1503 15 1000000000 1000000000 41 当期利益振替 NULL NULL NULL NULL",
        "2011-03-31 5111 51 1111 11 4000000000 4000000000 51 資本振替処理（次期繰越） NULL NULL NULL NULL",
        "2011-03-31 1503 15 5111 51 4000000000 4000000000 51 資本振替処理（次期繰越） NULL NULL NULL NULL",
        "2011-04-01 1111 11 2111 21 4000000000 4000000000 21 翌期振替処理 (前期振替） NULL NULL NULL NULL",
        "2011-04-01 2111 21 1503 15 4000000000 4000000000 21 翌期振替処理 (前期振替） NULL NULL NULL NULL",
    };
    EXPECT_EQ(journal(), expected);

    // A second run without a change writes the same rows again and leaves no duplicates.
    const ClosingTransfers second = runClosingTransfers(db(), kYear2010, std::nullopt);
    EXPECT_EQ(second.closingRowsRemoved, 5);
    EXPECT_EQ(second.openingRowsRemoved, 2);
    EXPECT_EQ(journal(), expected);
}

TEST_F(ClosingTransfersOnBooks, AreRefusedBeforeAnythingChangesWhenAFixedCodeIsMissing)
{
    addYear();
    db().exec(QStringLiteral("DELETE FROM Kamoku WHERE code IN ('4111', '2111')"));
    db().exec(QStringLiteral("DELETE FROM Bunrui WHERE code='51'"));
    const QStringList before = journal();
    const ClosingTransfers done = runClosingTransfers(db(), kYear2010, BackupRequest{backupFolder(folder.path()), QDateTime::currentDateTime()});
    ASSERT_TRUE(done.refusal);
    EXPECT_TRUE(done.refusal->contains(QStringLiteral("科目 4111、科目 2111、科目区分 51"))) << done.refusal->toStdString();
    EXPECT_EQ(journal(), before);
    EXPECT_FALSE(QDir(backupFolder(folder.path())).exists());
}

TEST_F(ClosingTransfersOnBooks, AFailurePartWayLeavesTheJournalAsItWas)
{
    addYear();
    const QStringList before = journal();
    struct Case {
        const char* what;
        const char* trigger;
    };
    const Case cases[] = {
        {"while the closing rows are written",
         "CREATE TEMP TRIGGER refuse AFTER INSERT ON main.shiwake WHEN NEW.Memo = '当期利益振替'"
         " BEGIN SELECT RAISE(ABORT, 'disk full'); END"},
        {"at the last opening row",
         "CREATE TEMP TRIGGER refuse AFTER INSERT ON main.shiwake WHEN NEW.syori = 21 AND NEW.Rcode = '1503'"
         " BEGIN SELECT RAISE(ABORT, 'disk full'); END"},
        {"while the history of the last written row is recorded",
         "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.shiwakeRireki WHEN NEW.new_syori = 21 AND NEW.new_Rcode = '1503'"
         " BEGIN SELECT RAISE(ABORT, 'disk full'); END"},
    };
    const QString historyBefore = tolva::testing::historyState(db());
    for (const Case& c : cases) {
        db().exec(QString::fromUtf8(c.trigger));
        EXPECT_THROW((void)runClosingTransfers(db(), kYear2010, std::nullopt), StoreError) << c.what;
        db().exec(QStringLiteral("DROP TRIGGER temp.refuse"));
        EXPECT_EQ(journal(), before) << c.what;
        EXPECT_EQ(tolva::testing::historyState(db()), historyBefore) << c.what;
        EXPECT_FALSE(db().inTransaction()) << c.what;
    }
}

TEST_F(ClosingTransfersOnBooks, AreOneCommandInTheHistoryWithEveryRowTheyRemoved)
{
    addYear();
    const qsizetype earlier = history::read(db(), {}).size();
    const ClosingTransfers done = runClosingTransfers(db(), kYear2010, std::nullopt);
    const QVector<history::Entry> made = history::read(db(), {}).mid(earlier);
    ASSERT_EQ(made.size(), 3 + 7);
    const int mode = int(history::journalColumns().indexOf(QStringLiteral("syori")));
    const int amount = int(history::journalColumns().indexOf(QStringLiteral("Lgaku")));
    QStringList removed;
    for (const history::Entry& e : made) {
        EXPECT_EQ(e.command, QStringLiteral("決算振替仕訳"));
        EXPECT_EQ(e.commandId, made.first().commandId);
        if (e.operation == u"delete")
            removed << QStringLiteral("%1:%2").arg(e.before[mode].toString(), e.before[amount].toString());
        else
            EXPECT_EQ(e.operation, QStringLiteral("insert"));
    }
    // The rows the user typed in the closing's modes, kept whole in the history.
    EXPECT_EQ(removed, (QStringList{QStringLiteral("41:10000"), QStringLiteral("51:20000"), QStringLiteral("21:30000")}));
    EXPECT_EQ(history::findings(db()), QStringList());
}

TEST_F(ClosingTransfersOnBooks, CopyTheBooksBeforeChangingThemAndStopWhenTheCopyFails)
{
    addYear();
    const QStringList before = journal();
    const QString where = backupFolder(folder.path());
    const ClosingTransfers done = runClosingTransfers(db(), kYear2010, BackupRequest{where, QDateTime(QDate(2011, 5, 1), QTime(9, 0))});
    EXPECT_EQ(done.backupPath, QDir(where).filePath(QStringLiteral("tolva-20110501-090000.sqlite")));
    {
        // The copy holds the journal as it was before the command.
        TestDataFolder copy;
        Database::closeAll();
        QFile::remove(copy.file(QString::fromLatin1(Database::kFileName)));
        ASSERT_TRUE(QFile::copy(done.backupPath, copy.file(QString::fromLatin1(Database::kFileName))));
        Statement s = Database::forFolder(copy.path())->prepare(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori=41 AND sDay='2010-12-31'"));
        ASSERT_TRUE(s.step());
        EXPECT_EQ(s.columnInt(0), 1);
    }

    // A copy that cannot be made stops the command before the journal changes.
    Database::closeAll();
    db().exec(QStringLiteral("DELETE FROM shiwake WHERE syori IN (21, 41, 51)"));
    addEntries(folder.path(), {{.day = "2010-12-31", .lcode = "4111", .lgaku = 1, .rcode = "0411", .rgaku = 1, .syori = 41}});
    const QStringList typed = journal();
    QDir(where).removeRecursively();
    QFile blocker(where);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW((void)runClosingTransfers(db(), kYear2010, BackupRequest{where, QDateTime::currentDateTime()}), StoreError);
    EXPECT_EQ(journal(), typed);
    (void)before;
}
