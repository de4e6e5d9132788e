// "CSV出力" of the whole journal of big books (tolva-cli export journal, and the journal
// window once it offers it), beside stepping the same rows on SQLite alone.
#include "bench/benchbooks.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/sqldialect.h"
#include "db/storeerror.h"
#include "db/textformat.h"
#include "journal/journalexport.h"
#include "journal/journallist.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

using namespace tolva;

namespace {

benchbooks::Books& books()
{
    static benchbooks::Books b;
    return b;
}

// Every row: a period wider than the books.
JournalFilter wholeJournal()
{
    JournalFilter filter;
    filter.period = true;
    filter.from = QDate(1900, 1, 1);
    filter.to = QDate(2999, 12, 31);
    return filter;
}

// The export's statement stepped on SQLite alone, every column touched: the floor under
// reading the rows through the dataset layer, making the lines and writing the file.
void BM_JournalExport_StepRows(benchmark::State& state)
{
    auto db = Database::forFolder(books().folder);
    const JournalListSql statement = journallist::exported(wholeJournal());
    const sqldialect::Translation t = db->translation(statement.sql);
    qint64 rows = 0;
    for (auto _ : state) {
        Statement s = db->prepare(t.sql);
        s.bind(1, textformat::isoDate(wholeJournal().from));
        s.bind(2, textformat::isoDate(wholeJournal().to));
        sqlite3_stmt* stmt = s.handle();
        qint64 touched = 0;
        rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                touched += sqlite3_column_bytes(stmt, c);
        }
        benchmark::DoNotOptimize(touched);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_JournalExport_StepRows)->Unit(benchmark::kMillisecond);

// The whole export: the rows read once through the list query, one line each, code page 932,
// the file written beside its target and renamed over it.
void BM_JournalExport_Write(benchmark::State& state)
{
    Query list(QStringLiteral("q05shiwakeView"));
    list.setDatabaseName(books().folder);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("仕訳帳.csv"));
    qint64 rows = 0;
    for (auto _ : state) {
        const journalexport::Outcome outcome = journalexport::write(list, wholeJournal(), {}, path);
        rows = outcome.rows;
    }
    state.counters["rows"] = double(rows);
    state.counters["MB_file"] = double(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_JournalExport_Write)->Unit(benchmark::kMillisecond);

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
        std::fprintf(stderr, "bench_journalexport: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    benchmark::AddCustomContext("books", books().folder.toStdString());
    benchmark::AddCustomContext("rows", std::to_string(books().rows));
    benchmark::AddCustomContext("sqlite", sqlite3_libversion());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Database::closeAll();
    return 0;
}
