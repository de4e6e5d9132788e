// tolva-cli's closing verbs and the period aggregation: the same routines as the closing menu
// and the aggregation window, so the same figures.
#include "aggregate/aggregategrid.h"
#include "closing/closinggrid.h"
#include "closing/yearend.h"
#include "db/database.h"
#include "db/textformat.h"
#include "tests/cli/clirun.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/testdata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class CliClosing : public ::testing::Test {
protected:
    void SetUp() override
    {
        setOwner(folder.path(), 2010, 3);
        addEntries(folder.path(), {
            {.day = "2010-04-01", .lcode = "1111", .lgaku = 300000, .rcode = "1503", .rgaku = 300000, .syori = 21},
            {.day = "2010-05-10", .lcode = "0411", .lgaku = 150000, .rcode = "1111", .rgaku = 150000},
            {.day = "2010-06-25", .lcode = "1111", .lgaku = 250000, .rcode = "0111", .rgaku = 250000},
            {.day = "2011-03-31", .lcode = "0411", .lgaku = 2000, .rcode = "1111", .rgaku = 2000, .syori = 31},
        });
        Database::closeAll();
    }
    [[nodiscard]] CliRun cli(const QStringList& arguments) const { return runCli(arguments, folder.path()); }
    [[nodiscard]] qint64 rows(const QString& sql) const
    {
        Statement s = Database::forFolder(folder.path())->prepare(sql);
        const qint64 n = s.step() ? s.columnInt(0) : -1;
        s = Statement();
        Database::closeAll();
        return n;
    }

    TestDataFolder folder;
};

QJsonObject json(const CliRun& run)
{
    return QJsonDocument::fromJson(run.out).object();
}

} // namespace

TEST_F(CliClosing, TheYearIsClosedAndItsSheetsShownAsTheClosingMenuDoes)
{
    const CliRun totals = cli({QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("2010"),
                               QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(totals.exitCode, 0) << totals.errText().toStdString();
    EXPECT_EQ(json(totals)[QStringLiteral("yearCode")].toString(), QStringLiteral("10"));
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM shisanH WHERE nendo='10'")), 4);

    // The sheets are the grids the window draws, read from the same rows; JSON gives every
    // amount exactly, where the window and the text view round to whole yen.
    {
        auto db = Database::forFolder(folder.path());
        db->exec(QStringLiteral("UPDATE shisanH SET Lgaku = Lgaku + 10678 WHERE nendo = '10' AND Lgaku <> 0"));
        Database::closeAll();
    }
    for (const ClosingView view : {ClosingView::TrialBalance, ClosingView::Worksheet}) {
        const QString verb = view == ClosingView::Worksheet ? QStringLiteral("worksheet") : QStringLiteral("trial-balance");
        SCOPED_TRACE(verb.toStdString());
        const CliRun sheet = cli({verb, QStringLiteral("--year"), QStringLiteral("2010"), QStringLiteral("--format"), QStringLiteral("json")});
        ASSERT_EQ(sheet.exitCode, 0) << sheet.errText().toStdString();
        const QJsonArray lines = json(sheet)[QStringLiteral("rows")].toArray();
        const ClosingGrid grid = readClosingGrid(*Database::forFolder(folder.path()), QStringLiteral("10"), view);
        Database::closeAll();
        ASSERT_EQ(lines.size(), qsizetype(grid.lines.size()) + kHeadingRows);
        EXPECT_EQ(lines[0].toVariant().toStringList(), groupTitles(view));
        EXPECT_EQ(lines[1].toVariant().toStringList(), columnTitles(view));
        bool fractions = false;
        for (size_t r = 0; r < grid.lines.size(); ++r) {
            const GridLine& line = grid.lines[r];
            const QJsonArray cells = lines[qsizetype(r) + kHeadingRows].toArray();
            ASSERT_EQ(cells.size(), qsizetype(line.amounts.size()) + kFirstAmountColumn) << r;
            EXPECT_EQ(cells[2].toString(), line.name) << r;
            for (size_t c = 0; c < line.amounts.size(); ++c) {
                const QJsonValue cell = cells[qsizetype(c) + kFirstAmountColumn];
                if (!line.amounts[c]) {
                    EXPECT_TRUE(cell.isNull()) << r << "," << c;
                    continue;
                }
                EXPECT_EQ(cell.toString(), textformat::plainAmount(*line.amounts[c])) << r << "," << c;
                fractions = fractions || cell.toString().contains(u'.');
            }
        }
        EXPECT_TRUE(fractions) << "no amount kept its decimals";
        EXPECT_EQ(lines.last().toArray()[2].toString(), QStringLiteral("計"));
        // The text view rounds as the window does.
        const CliRun text = cli({verb, QStringLiteral("--year"), QStringLiteral("2010")});
        ASSERT_EQ(text.exitCode, 0);
        EXPECT_FALSE(text.outText().contains(QStringLiteral(".0678"))) << text.outText().toStdString();
    }

    const CliRun trial = cli({QStringLiteral("trial-balance"), QStringLiteral("--year"), QStringLiteral("2010")});
    ASSERT_EQ(trial.exitCode, 0);
    EXPECT_TRUE(trial.outText().contains(QStringLiteral("食費"))) << trial.outText().toStdString();

    // The transfers write the year's closing and the next year's opening rows, once however
    // often they run, and keep a copy of the books first.
    for (int run = 0; run < 2; ++run) {
        const CliRun transfers = cli({QStringLiteral("closing-transfers"), QStringLiteral("--year"), QStringLiteral("2010")});
        ASSERT_EQ(transfers.exitCode, 0) << transfers.errText().toStdString();
        EXPECT_TRUE(transfers.outText().contains(QStringLiteral("backup"))) << transfers.outText().toStdString();
    }
    const qint64 closing = rows(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori IN (41, 51)"));
    EXPECT_GT(closing, 0);
    EXPECT_GT(rows(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori = 21 AND sDay = '2011-04-01'")), 0);
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM shiwake WHERE syori = 41 AND sDay = '2011-03-31' AND Memo LIKE '損益振替%'")), 2);
}

TEST_F(CliClosing, ThePeriodAggregationGivesTheYearEndFiguresForTheSameRange)
{
    const CliRun missing = cli({QStringLiteral("aggregate")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.out.isEmpty());

    const CliRun period = cli({QStringLiteral("aggregate"), QStringLiteral("--from"), QStringLiteral("2010-04-01"), QStringLiteral("--to"),
                               QStringLiteral("2011/03/31"), QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(period.exitCode, 0) << period.errText().toStdString();
    const CliRun year = cli({QStringLiteral("year-totals"), QStringLiteral("--year"), QStringLiteral("2010"), QStringLiteral("--format"),
                             QStringLiteral("json")});
    ASSERT_EQ(year.exitCode, 0);
    EXPECT_EQ(json(period)[QStringLiteral("accounts")], json(year)[QStringLiteral("rows")]);
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM sjyoken WHERE code='01' AND sdate='2010-04-01' AND edate='2011-03-31'")), 1);

    const CliRun badYear = cli({QStringLiteral("trial-balance"), QStringLiteral("--year"), QStringLiteral("20x0")});
    EXPECT_EQ(badYear.exitCode, 2);
}
