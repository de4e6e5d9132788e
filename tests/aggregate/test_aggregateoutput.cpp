#include "aggregate/aggregateoutput.h"
#include "db/database.h"
#include "reports/csvwriter.h"
#include "tests/aggregate/aggregatefixture.h"
#include "tests/support/testdata.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

const QString kRangeLabel = QStringLiteral("集計条件：2010/05/01～2010/05/31");
const QDate kToday(2010, 6, 3);

// A debit account split onto a sub-account and the rest, and a credit account.
class AggregateOutput : public ::testing::Test {
protected:
    AggregateOutput()
    {
        addSumRows(db(), QStringLiteral("Sum01"), {{"", "0411", 100000, 0, 0, 0}, {"", "1111", 0, 100000, 0, 0}});
        addSumRows(db(), QStringLiteral("Sum02"), {{"", "041101", 30000, 0, 0, 0}});
    }
    Database& db() { return *Database::forFolder(folder.path()); }

    // The rows of a table as text, empty fields as "-", the integers from `firstAmount` on
    // as amounts in yen.
    QStringList tableRows(const QString& sql, int firstAmount = 1)
    {
        Statement s = db().prepare(sql);
        QStringList rows;
        while (s.step()) {
            QStringList cells;
            for (int i = 0; i < s.columnCount(); ++i) {
                const QVariant v = s.column(i);
                cells << (v.isNull() ? QStringLiteral("-")
                          : i >= firstAmount && v.typeId() == QMetaType::LongLong ? QString::number(v.toLongLong() / Money::kUnitsPerYen)
                                                             : v.toString());
            }
            rows << cells.join(u'|');
        }
        return rows;
    }

    QByteArray exported(const AggregateGrid& grid)
    {
        const QString path = dir.filePath(aggregateFileName(grid));
        (void)csv::writeRows(path, aggregateExportRows(grid, grid.view ? kRangeLabel : QStringLiteral("集計条件：")));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    static QByteArray golden(const char* name)
    {
        QFile file(QStringLiteral(TOLVA_AGGREGATE_GOLDEN "/") + QLatin1String(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll();
    }

    TestDataFolder folder;
    QTemporaryDir dir;
};

} // namespace

TEST_F(AggregateOutput, TheFilesHoldEveryRowOfTheGridInCodePage932)
{
    const AggregateGrid accounts = readAggregateGrid(db(), AggregateView::Accounts);
    const AggregateGrid subAccounts = readAggregateGrid(db(), AggregateView::SubAccounts);
    EXPECT_EQ(aggregateFileName(accounts), QStringLiteral("科目集計試算表.csv"));
    EXPECT_EQ(aggregateFileName(subAccounts), QStringLiteral("細目集計試算表.csv"));
    EXPECT_EQ(exported(accounts), golden("accounts.csv"));
    EXPECT_EQ(exported(subAccounts), golden("subaccounts.csv"));
    // Before the first view the file still takes the sub-account title and the empty grid.
    EXPECT_EQ(exported(AggregateGrid{}), golden("unfilled.csv"));
}

TEST_F(AggregateOutput, TheReportTablesTakeTheDataLinesAsShown)
{
    db().exec(QStringLiteral("INSERT INTO Repo01 (kamoku) VALUES ('前の試算表')"));
    db().exec(QStringLiteral("UPDATE RepoJyoken SET Name02='前の条件' WHERE no=1"));

    const AggregateGrid accounts = readAggregateGrid(db(), AggregateView::Accounts);
    EXPECT_EQ(aggregateReportName(accounts), QStringLiteral("TlRepo01"));
    fillAggregateReportTables(db(), accounts, kRangeLabel, kToday);
    EXPECT_EQ(tableRows(QStringLiteral("SELECT kamoku, L1, R1, L2, R2 FROM Repo01 ORDER BY rowid")),
              (QStringList{QStringLiteral("食費|100000|-|100000|-"), QStringLiteral("現金|-|100000|-|100000")}));
    EXPECT_EQ(tableRows(QStringLiteral("SELECT no, Name01, Name02, Name03 FROM RepoJyoken"), 99),
              QStringList{QStringLiteral("1|集計条件：2010/05/01～2010/05/31|前の条件|作成日：2010/ 06/ 03")});

    const AggregateGrid subAccounts = readAggregateGrid(db(), AggregateView::SubAccounts);
    EXPECT_EQ(aggregateReportName(subAccounts), QStringLiteral("TlRepo03"));
    fillAggregateReportTables(db(), subAccounts, kRangeLabel, kToday);
    EXPECT_EQ(tableRows(QStringLiteral("SELECT kamoku, Saimoku, L1, L2, R1, R2, L3, L4, R3, R4 FROM Repo03 ORDER BY rowid")),
              (QStringList{
                  QStringLiteral("食費|-|100000|-|-|-|100000|-|-|-"),
                  QStringLiteral("-|食料品|-|30000|-|-|-|30000|-|-"),
                  QStringLiteral("-|その他|-|70000|-|-|-|70000|-|-"),
                  QStringLiteral("現金|-|-|-|100000|-|-|-|100000|-"),
              }));
}

TEST_F(AggregateOutput, AnEmptyViewEmptiesItsTableAndAnUnfilledGridWritesTheHeaderOnly)
{
    db().exec(QStringLiteral("INSERT INTO Repo03 (kamoku) VALUES ('前の集計')"));
    db().exec(QStringLiteral("DELETE FROM RepoJyoken"));
    fillAggregateReportTables(db(), AggregateGrid{}, QStringLiteral("集計条件："), kToday);
    EXPECT_EQ(tableRows(QStringLiteral("SELECT no, Name01, Name03 FROM RepoJyoken"), 99),
              QStringList{QStringLiteral("1|集計条件：|作成日：2010/ 06/ 03")});
    EXPECT_EQ(tableRows(QStringLiteral("SELECT kamoku FROM Repo03")), QStringList{QStringLiteral("前の集計")});
    EXPECT_FALSE(aggregateReportName(AggregateGrid{}));

    db().exec(QStringLiteral("DELETE FROM Sum01"));
    fillAggregateReportTables(db(), readAggregateGrid(db(), AggregateView::SubAccounts), kRangeLabel, kToday);
    EXPECT_TRUE(tableRows(QStringLiteral("SELECT kamoku FROM Repo03")).isEmpty());
}
