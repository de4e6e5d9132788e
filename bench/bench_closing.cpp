// The year-end closing on big books: the aggregation of the last complete fiscal year into
// shisanH, its trial balance and worksheet, and the closing transfers. The aggregation is set beside one raw
// UNION ALL … GROUP BY of the same year over the journal read through its primary key alone,
// which is the yardstick of its speed.
//
// The books are the benchmarks' shared ones (1,000,000 rows, or TOLVA_BENCH_ROWS). The
// aggregation writes shisanH of that year, which no other benchmark reads; the closing
// transfers run on a copy.
#include "aggregate/aggregategrid.h"
#include "aggregate/periodaggregation.h"
#include "bench/benchbooks.h"
#include "closing/aggregation.h"
#include "closing/closingentries.h"
#include "closing/closinggrid.h"
#include "closing/yearend.h"
#include "db/backup.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/storeerror.h"
#include "db/textformat.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

using namespace tolva;

namespace {

benchbooks::Books& books()
{
    static benchbooks::Books b;
    return b;
}

FiscalPeriod year()
{
    return {books().yearStart, books().yearEnd};
}

// The four sums of every code of the year in one statement: both sides of the journal
// united and grouped, the journal read row by row in the order of its primary key (no other
// index may serve it).
const char* const kRawUnionGroupBy =
    "SELECT code, SUM(l), SUM(r), SUM(ls), SUM(rs) FROM ("
    " SELECT Lcode AS code, CASE WHEN syori<=21 THEN Lgaku END AS l, NULL AS r,"
    "  CASE WHEN syori=31 THEN Lgaku END AS ls, NULL AS rs"
    "  FROM shiwake NOT INDEXED WHERE sDay>=?1 AND sDay<=?2"
    " UNION ALL"
    " SELECT Rcode, NULL, CASE WHEN syori<=21 THEN Rgaku END, NULL, CASE WHEN syori=31 THEN Rgaku END"
    "  FROM shiwake NOT INDEXED WHERE sDay>=?1 AND sDay<=?2"
    ") GROUP BY code";

std::map<QString, CodeTotals> rawUnionGroupBy(Database& db)
{
    Statement s = db.prepare(QString::fromLatin1(kRawUnionGroupBy));
    s.bind(1, textformat::isoDate(books().yearStart));
    s.bind(2, textformat::isoDate(books().yearEnd));
    std::map<QString, CodeTotals> sums;
    while (s.step()) {
        CodeTotals t;
        t.code = s.column(0).toString();
        t.debit = Money::fromUnits(s.columnInt(1));
        t.credit = Money::fromUnits(s.columnInt(2));
        t.adjustmentDebit = Money::fromUnits(s.columnInt(3));
        t.adjustmentCredit = Money::fromUnits(s.columnInt(4));
        sums.emplace(t.code, t);
    }
    return sums;
}

double rawUnionGroupByMs(Database& db)
{
    // The best of three, as the benchmark library reports a steady figure for its own runs.
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(rawUnionGroupBy(db).size());
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// The rows as the program's own statements define them: for every code of the account list,
// the four sums one statement each through the query layer, stored when one is above zero.
std::vector<CodeTotals> rowsOneStatementEach(Database& db)
{
    const char* const conditions[] = {"Lcode)=:pC03) AND ((shiwake.syori)<=21)", "Rcode)=:pC03) AND ((shiwake.syori)<=21)",
                                      "Lcode)=:pC03) AND ((shiwake.syori)=31)", "Rcode)=:pC03) AND ((shiwake.syori)=31)"};
    Query q(QStringLiteral("q13motochou"));
    q.setDatabaseName(books().folder);
    std::vector<CodeTotals> rows;
    for (const QString& code : codesToAggregate(db, AggregationLevel::Account)) {
        Money sums[4];
        for (int i = 0; i < 4; ++i) {
            const bool debit = i % 2 == 0;
            q.close();
            q.setSql(QStringLiteral("SELECT SUM(%1) as %2 FROM shiwake  WHERE ((shiwake.sDay)>=:pD1) And ((shiwake.sDay)<=:pD2) AND ((shiwake.%3")
                         .arg(debit ? QStringLiteral("Lgaku") : QStringLiteral("Rgaku"),
                              debit ? QStringLiteral("sLG") : QStringLiteral("sRG"), QLatin1String(conditions[i])));
            q.setParam(QStringLiteral("pD1"), books().yearStart);
            q.setParam(QStringLiteral("pD2"), books().yearEnd);
            q.setParam(QStringLiteral("pC03"), code);
            q.open();
            sums[i] = q.field(0).asMoney();
        }
        const CodeTotals t{code, sums[0], sums[1], sums[2], sums[3]};
        if (t.hasPositiveSum())
            rows.push_back(t);
    }
    q.close();
    return rows;
}

// The year-end aggregation of one fiscal year, its transaction and the rows it writes
// included. Before the clock starts, its rows are checked against the program's literal
// statements; the raw statement is timed in the same run for the ratio.
void BM_YearEndAggregation(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    const std::vector<CodeTotals> expected = rowsOneStatementEach(*db);
    if (aggregateYearEnd(*db, year()).rows != expected) {
        state.SkipWithError("the aggregation's rows differ from the one-statement-per-sum rows");
        return;
    }
    const double rawMs = rawUnionGroupByMs(*db);
    size_t rows = 0;
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        rows = aggregateYearEnd(*db, year()).rows.size();
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["rows_written"] = double(rows);
    state.counters["raw_union_ms"] = rawMs;
    state.counters["ratio_to_raw"] = totalMs / double(state.iterations()) / rawMs;
}
BENCHMARK(BM_YearEndAggregation)->Unit(benchmark::kMillisecond);

// The yardstick alone.
void BM_RawUnionGroupBy(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    size_t codes = 0;
    for (auto _ : state)
        codes = rawUnionGroupBy(*db).size();
    state.counters["codes"] = double(codes);
}
BENCHMARK(BM_RawUnionGroupBy)->Unit(benchmark::kMillisecond);

// The sums alone, without the code list and the writing.
void BM_YearEnd_SumsOnly(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    const QStringList codes = codesToAggregate(*db, AggregationLevel::Account);
    for (auto _ : state)
        benchmark::DoNotOptimize(totalsPerCode(*db, AggregationLevel::Account, codes, books().yearStart, books().yearEnd));
}
BENCHMARK(BM_YearEnd_SumsOnly)->Unit(benchmark::kMillisecond);

// The trial balance and the worksheet of the year as the window fills them: the year's
// rows of shisanH read and laid out (the aggregation has written them above).
void BM_ClosingGrid(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    (void)aggregateYearEnd(*db, year());
    const ClosingView view = state.range(0) == 0 ? ClosingView::TrialBalance : ClosingView::Worksheet;
    size_t lines = 0;
    for (auto _ : state)
        lines = readClosingGrid(*db, yearCode(books().yearStart), view).lines.size();
    state.SetLabel(viewCaption(view).toStdString());
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_ClosingGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The period aggregation ("集計表") of the whole fiscal year: the status row, the sub-accounts
// into Sum02 and the accounts into Sum01 in one transaction, set beside the same raw statement
// timed in the same run (which covers the accounts alone).
void BM_PeriodAggregationYear(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    const DateRange range{books().yearStart, books().yearEnd};
    const double rawMs = rawUnionGroupByMs(*db);
    size_t accounts = 0, subAccounts = 0;
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const PeriodAggregation done = aggregatePeriod(*db, range, QDateTime::currentDateTime());
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        accounts = done.accounts.size();
        subAccounts = done.subAccounts.size();
    }
    state.counters["accounts"] = double(accounts);
    state.counters["sub_accounts"] = double(subAccounts);
    state.counters["raw_union_ms"] = rawMs;
    state.counters["ratio_to_raw"] = totalMs / double(state.iterations()) / rawMs;
}
BENCHMARK(BM_PeriodAggregationYear)->Unit(benchmark::kMillisecond);

// One month of the period aggregation: what the month buttons and "集計実行" ask of the store.
void BM_PeriodAggregationMonth(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    const DateRange month = monthOf(books().yearStart.addMonths(5));
    for (auto _ : state)
        benchmark::DoNotOptimize(aggregatePeriod(*db, month, QDateTime::currentDateTime()).accounts.size());
}
BENCHMARK(BM_PeriodAggregationMonth)->Unit(benchmark::kMillisecond);

// Both views of a whole year's period aggregation as "再表示" fills them.
void BM_PeriodAggregationViews(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    (void)aggregatePeriod(*db, {books().yearStart, books().yearEnd}, QDateTime::currentDateTime());
    const AggregateView view = state.range(0) == 0 ? AggregateView::Accounts : AggregateView::SubAccounts;
    size_t lines = 0;
    for (auto _ : state)
        lines = readAggregateGrid(*db, view).lines.size();
    state.SetLabel(view == AggregateView::Accounts ? "科目" : "細目");
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_PeriodAggregationViews)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A copy of the books in a folder of its own, for a benchmark that changes the journal.
struct BooksCopy {
    QTemporaryDir dir;
    std::shared_ptr<Database> db;
};

BooksCopy& booksCopy()
{
    static BooksCopy copy;
    if (!copy.db) {
        auto original = Database::forFolder(books().folder);
        const QString made = backupDatabase(*original, {copy.dir.path(), QDateTime::currentDateTime()});
        QFile::rename(made, QDir(copy.dir.path()).filePath(QString::fromLatin1(Database::kFileName)));
        for (const QString& name : requiredStoredQueries())
            QFile::copy(QDir(books().folder).filePath(name), QDir(copy.dir.path()).filePath(name));
        copy.db = Database::forFolder(copy.dir.path());
    }
    return copy;
}

// The closing transfers of the year, with every account of the chart in it (about 150):
// the accounts the books did not use that year get a small balance of their own. Both deletes
// and every write in their transaction; the backup is measured on its own below.
void BM_ClosingTransfers(benchmark::State& state)
{
    Database& db = *booksCopy().db;
    (void)aggregateYearEnd(db, year());
    db.exec(QStringLiteral("INSERT INTO shisanH (nendo, kcode, Lgaku, Rgaku, LSgaku, RSgaku)"
                           " SELECT '%1', code, 10000000, 0, 0, 0 FROM Kamoku WHERE code NOT IN"
                           " (SELECT kcode FROM shisanH WHERE nendo='%1')")
                .arg(yearCode(books().yearStart)));
    size_t accounts = readYearAccounts(db, yearCode(books().yearStart)).size();
    size_t rows = 0;
    for (auto _ : state) {
        const ClosingTransfers done = runClosingTransfers(db, year(), std::nullopt);
        if (done.refusal) {
            state.SkipWithError("the closing transfers were refused");
            return;
        }
        rows = done.written.closing.size() + done.written.opening.size();
    }
    state.counters["accounts"] = double(accounts);
    state.counters["rows_written"] = double(rows);
}
BENCHMARK(BM_ClosingTransfers)->Unit(benchmark::kMillisecond);

// The copy of the books the closing transfers make before they change the journal.
void BM_BackupBeforeClosing(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    QTemporaryDir where;
    for (auto _ : state)
        benchmark::DoNotOptimize(backupDatabase(*db, {where.path(), QDateTime::currentDateTime(), 1}));
}
BENCHMARK(BM_BackupBeforeClosing)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QCoreApplication app(argc, argv);
    try {
        books() = benchbooks::books(benchbooks::wantedRows());
    } catch (const StoreError& e) {
        std::fprintf(stderr, "bench_closing: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    benchmark::AddCustomContext("books", books().folder.toStdString());
    benchmark::AddCustomContext("rows", std::to_string(books().rows));
    benchmark::AddCustomContext("fiscal_year", books().yearStart.toString(Qt::ISODate).toStdString() + ".."
                                                   + books().yearEnd.toString(Qt::ISODate).toStdString());
    benchmark::AddCustomContext("sqlite", sqlite3_libversion());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Database::closeAll();
    return 0;
}
