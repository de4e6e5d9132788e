#include "aggregate/aggregategrid.h"
#include "aggregate/periodaggregation.h"
#include "bench/bookgenerator.h"
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

// Column 3 and 4 of the account view: the debit and credit totals.
constexpr int kDebitColumn = 3;
constexpr int kCreditColumn = 4;

Money at(const AggregateLine& line, int column)
{
    return line.amounts[size_t(column)].value_or(Money());
}

} // namespace

// Random books: the account view of a period aggregation shows, account by account, what the
// year-end aggregation stores for the same range, and its totals are theirs.
TEST(AggregateProperties, TheAccountViewAgreesWithTheYearEndAggregationOfTheSameRange)
{
    for (const quint32 seed : {5u, 17u}) {
        SCOPED_TRACE(seed);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("books"));
        Database::closeAll();
        bookgen::BookOptions options;
        options.templateDir = templateDir();
        (void)bookgen::generateBooks(folder, 4000, seed, options);
        Database& db = *Database::forFolder(folder);

        const DateRange ranges[] = {{QDate(2018, 1, 1), QDate(2018, 12, 31)}, {QDate(2018, 3, 17), QDate(2019, 2, 9)},
                                    {QDate(2019, 7, 1), QDate(2019, 7, 31)}};
        for (const DateRange& range : ranges) {
            SCOPED_TRACE(textformat::period(range.start, range.end).toStdString());
            (void)aggregatePeriod(db, range, QDateTime(QDate(2020, 1, 1), QTime(9, 0)));
            const AggregateGrid view = readAggregateGrid(db, AggregateView::Accounts);

            const YearEndAggregation yearEnd = aggregateYearEnd(db, {range.start, range.end});
            std::map<QString, CodeTotals> stored;
            Money debits, credits;
            for (const CodeTotals& t : yearEnd.rows) {
                if (t.code == QLatin1String(kLeftOutAccount) || (t.debit.isZero() && t.credit.isZero()))
                    continue;
                stored[t.code] = t;
                debits += t.debit;
                credits += t.credit;
            }
            ASSERT_GT(stored.size(), 10u);

            ASSERT_EQ(view.lines.size(), stored.size() + 1);
            auto expected = stored.begin();
            for (size_t i = 0; i + 1 < view.lines.size(); ++i, ++expected) {
                const AggregateLine& line = view.lines[i];
                EXPECT_EQ(line.code, expected->first);
                EXPECT_EQ(at(line, kDebitColumn), expected->second.debit) << line.code.toStdString();
                EXPECT_EQ(at(line, kCreditColumn), expected->second.credit) << line.code.toStdString();
            }
            EXPECT_EQ(at(view.lines.back(), kDebitColumn), debits);
            EXPECT_EQ(at(view.lines.back(), kCreditColumn), credits);
        }
        Database::closeAll();
    }
}
