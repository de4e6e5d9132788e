#include "bench/bookgenerator.h"
#include "closing/closingentries.h"
#include "closing/closinggrid.h"
#include "closing/yearend.h"
#include "db/database.h"
#include "db/textformat.h"
#include "tests/closing/closingfixture.h"
#include "tests/support/testdata.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace tolva;
using namespace tolva::testing;

namespace {

// Debit minus credit of every account over the rows of `day1`..`day2` whose mode is in
// `modes` (an SQL list).
std::map<QString, Money> netPerAccount(Database& db, const QDate& day1, const QDate& day2, const char* modes)
{
    Statement s = db.prepare(QStringLiteral(
        "SELECT code, SUM(amount) FROM (SELECT Lcode AS code, Lgaku AS amount FROM shiwake WHERE sDay>=?1 AND sDay<=?2 AND syori IN (%1)"
        " UNION ALL SELECT Rcode, -Rgaku FROM shiwake WHERE sDay>=?1 AND sDay<=?2 AND syori IN (%1)) GROUP BY code")
                                 .arg(QLatin1String(modes)));
    s.bind(1, textformat::isoDate(day1));
    s.bind(2, textformat::isoDate(day2));
    std::map<QString, Money> net;
    while (s.step())
        net[s.column(0).toString()] = Money::fromUnits(s.columnInt(1));
    return net;
}

Money amountAt(const GridLine& line, int column)
{
    return line.amounts[size_t(column - kFirstAmountColumn)].value_or(Money());
}

} // namespace

// Random books of a few thousand balanced rows, closed year after year: what the closing
// writes keeps the books in balance, and what it carries forward is what the year left.
TEST(ClosingProperties, TheDoubleEntryHoldsThroughTheClosingOfRandomBooks)
{
    for (const quint32 seed : {3u, 11u}) {
        SCOPED_TRACE(seed);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("books"));
        Database::closeAll();
        bookgen::BookOptions options;
        options.templateDir = templateDir();
        (void)bookgen::generateBooks(folder, 4000, seed, options);
        Database& db = *Database::forFolder(folder);
        // The generator mistypes a few amounts on purpose, for the balance check; these books
        // are to balance.
        db.exec(QStringLiteral("UPDATE shiwake SET Rgaku=Lgaku WHERE Lgaku<>Rgaku"));

        for (int year = 2017; year <= 2019; ++year) {
            SCOPED_TRACE(year);
            const FiscalPeriod period{QDate(year, 1, 1), QDate(year, 12, 31)};
            const QString code = yearCode(period.start);
            (void)aggregateYearEnd(db, period);
            const std::vector<YearAccount> accounts = readYearAccounts(db, code);

            // The trial balance: the totals and the balances agree.
            const ClosingGrid trial = trialBalanceGrid(accounts);
            ASSERT_GT(trial.lines.size(), 10u);
            const GridLine& t = trial.totals();
            EXPECT_EQ(amountAt(t, 3), amountAt(t, 4));
            EXPECT_EQ(amountAt(t, 5), amountAt(t, 6));

            // The worksheet: each statement balances once the result line is in.
            const ClosingGrid sheet = worksheetGrid(accounts);
            const GridLine& w = sheet.totals();
            const GridLine& result = sheet.lines[sheet.lines.size() - 2];
            EXPECT_EQ(amountAt(w, 3), amountAt(w, 4));
            EXPECT_EQ(amountAt(w, 5), amountAt(w, 6));
            EXPECT_EQ(amountAt(w, 7), amountAt(w, 8));
            EXPECT_EQ(amountAt(w, 9), amountAt(w, 10));
            const ClosingTransfers done = runClosingTransfers(db, period, std::nullopt);
            ASSERT_FALSE(done.refusal);
            const Money profit = done.written.profitOrLoss;
            EXPECT_EQ(result.name, profit.isNegative() ? QStringLiteral("損失") : QStringLiteral("利益"));
            EXPECT_EQ(amountAt(result, profit.isNegative() ? 8 : 7), profit.isNegative() ? -profit : profit);

            // Every account of the year, 4111 and 5111 included, ends the year at zero.
            for (const auto& [account, net] : netPerAccount(db, period.start, period.end, "10, 21, 31, 41, 51"))
                EXPECT_TRUE(net.isZero()) << account.toStdString() << " ends at " << textformat::plainAmount(net).toStdString();

            // The closing does not change what the aggregation counts.
            const std::vector<YearRow> before = yearRows(folder);
            (void)aggregateYearEnd(db, period);
            EXPECT_EQ(yearRows(folder), before);

            // The next year opens with what this year left: each balance-sheet account with its
            // adjusted balance, the owner's accounts gathered into the capital with the result.
            const QDate next = period.end.addDays(1);
            std::map<QString, Money> opened = netPerAccount(db, next, next, "21");
            Money capital;
            for (const YearAccount& a : accounts) {
                if (a.statement() != StatementCode::BalanceSheet)
                    continue;
                if (a.code.startsWith(QStringLiteral("150"))) {
                    capital += a.adjustedBalance();
                    continue;
                }
                EXPECT_EQ(opened[a.code], a.adjustedBalance()) << a.code.toStdString();
            }
            EXPECT_EQ(opened[QStringLiteral("1501")] + opened[QStringLiteral("1502")] + opened[QStringLiteral("1503")],
                      capital - profit);
            EXPECT_TRUE(opened[QStringLiteral("1501")].isZero());
            EXPECT_TRUE(opened[QStringLiteral("1502")].isZero());
            EXPECT_TRUE(opened[QString::fromLatin1(kBroughtForwardAccount)].isZero());

            // And the next year's aggregation sees the counter-account of the opening in balance.
            (void)aggregateYearEnd(db, {next, QDate(year + 1, 12, 31)});
            for (const YearAccount& a : readYearAccounts(db, yearCode(next))) {
                if (a.code == QLatin1String(kBroughtForwardAccount)) {
                    EXPECT_EQ(a.debit, a.credit);
                }
            }
        }
        Database::closeAll();
    }
}
