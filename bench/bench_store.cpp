// The table store on big books: opening the folder, the per-account sums of a fiscal year
// as the period aggregation runs them, and the journal list newest date first.
//
// The books (1,000,000 rows, or TOLVA_BENCH_ROWS) are generated once into the build folder
// and reused by later runs.
#include "bench/benchbooks.h"
#include "bench/bookgenerator.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/storeerror.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

using namespace tolva;

namespace {

using benchbooks::Books;

Books& books()
{
    static Books b;
    return b;
}

void prepareBooks()
{
    books() = benchbooks::books(benchbooks::wantedRows());
}

// --- The statements, as the program writes them ------------------------------------------

const QString kCodeList = QStringLiteral(
    "SELECT qCdoe.code,Kamoku.kamoku , Bunrui.Name , Bunrui.BP, Bunrui.LR"
    " FROM (Kamoku INNER JOIN Bunrui ON Kamoku.bunrui = Bunrui.code) INNER JOIN qUnionCode.sql as qCdoe ON Kamoku.code= qCdoe.code order by qCdoe.code");

struct SumStatement {
    QString sql;
    QString column;
};

const SumStatement kYearSums[] = {
    {QStringLiteral("SELECT SUM(Lgaku) as sLG FROM shiwake "
                    " WHERE ((shiwake.sDay)>=:pD1) And ((shiwake.sDay)<=:pD2) AND ((shiwake.Lcode)=:pC03) AND ((shiwake.syori)<=21)"),
     QStringLiteral("sLG")},
    {QStringLiteral("SELECT SUM(Rgaku) as sRG FROM shiwake "
                    " WHERE((shiwake.sDay)>=:pD1) And ((shiwake.sDay)<=:pD2) AND ((shiwake.Rcode)=:pC03) AND ((shiwake.syori)<=21)"),
     QStringLiteral("sRG")},
    {QStringLiteral("SELECT SUM(Lgaku) as sLG FROM shiwake "
                    " WHERE ((shiwake.sDay)>=:pD1) And ((shiwake.sDay)<=:pD2) AND ((shiwake.Lcode)=:pC03) AND ((shiwake.syori)=31)"),
     QStringLiteral("sLG")},
    {QStringLiteral("SELECT SUM(Rgaku) as sRG FROM shiwake "
                    " WHERE((shiwake.sDay)>=:pD1) And ((shiwake.sDay)<=:pD2) AND ((shiwake.Rcode)=:pC03) AND ((shiwake.syori)=31)"),
     QStringLiteral("sRG")},
};

const QString kJournalList = QStringLiteral(
    "SELECT shiwake.id, shiwake.sDay, Kamoku.kamoku, shiwake.Lgaku, Kamoku_1.kamoku, shiwake.Rgaku, shiwake.Memo, Bunrui.Name, Bunrui_1.Name, kubun.Name, Kamoku02.kamoku, Kamoku02_1.kamoku"
    " FROM ((((((shiwake LEFT JOIN Kamoku ON shiwake.Lcode = Kamoku.code) LEFT JOIN Kamoku AS Kamoku_1 ON shiwake.Rcode = Kamoku_1.code) LEFT JOIN Bunrui ON shiwake.Lbunrui = Bunrui.code)"
    " LEFT JOIN Bunrui AS Bunrui_1 ON shiwake.Rbunrui = Bunrui_1.code) LEFT JOIN kubun ON shiwake.kubun = kubun.code) LEFT JOIN Kamoku02 ON shiwake.LScode = Kamoku02.code) LEFT JOIN Kamoku02 AS Kamoku02_1 ON shiwake.RScode = Kamoku02_1.code"
    " ORDER BY shiwake.sday DESC,shiwake.id DESC");

std::vector<QString> readCodeList(Query& list)
{
    list.close();
    list.setSql(kCodeList);
    list.open();
    std::vector<QString> codes;
    for (; !list.eof(); list.next())
        codes.push_back(list.fieldByName(QStringLiteral("code")).asString());
    list.close();
    return codes;
}

// What a grid shows of a row: enough to make every column be read and converted.
qint64 touchRow(Query& q)
{
    qint64 n = q.fieldByName(QStringLiteral("id")).asInteger();
    n += q.fieldByName(QStringLiteral("sDay")).asDate().day();
    n += q.fieldByName(QStringLiteral("Lgaku")).asMoney().units();
    n += q.fieldByName(QStringLiteral("kamoku")).asString().size();
    n += q.fieldByName(QStringLiteral("Memo")).asString().size();
    return n;
}

// Resident memory now, in MiB (Linux).
double residentMiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The database of the books, opened before the clock starts so that no benchmark but the
// first counts the opening checks.
std::shared_ptr<Database> openedBooks()
{
    return Database::forFolder(books().folder);
}

// --- Benchmarks ---------------------------------------------------------------------------

// Opening as a normal start does it: only what does not grow with the journal is read for
// damage.
void BM_OpenDatabase(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Database::closeAll();
        state.ResumeTiming();
        auto db = Database::forFolder(books().folder);
        benchmark::DoNotOptimize(db.get());
    }
    Database::closeAll();
}
BENCHMARK(BM_OpenDatabase)->Unit(benchmark::kMillisecond);

// Opening after an unclean end, or asked for: every page read (quick_check); its cost grows
// with the books.
void BM_OpenDatabase_FullCheck(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Database::closeAll();
        state.ResumeTiming();
        auto db = Database::forFolder(books().folder, Database::OpeningChecks::Full);
        benchmark::DoNotOptimize(db.get());
    }
    Database::closeAll();
}
BENCHMARK(BM_OpenDatabase_FullCheck)->Unit(benchmark::kMillisecond);

// The code list alone: the stored query unites the chart with every code the journal uses.
void BM_YearSums_CodeList(benchmark::State& state)
{
    const auto db = openedBooks();
    Query list(QStringLiteral("q16temp1"));
    list.setDatabaseName(books().folder);
    size_t codes = 0;
    for (auto _ : state)
        codes = readCodeList(list).size();
    state.counters["codes"] = double(codes);
}
BENCHMARK(BM_YearSums_CodeList)->Unit(benchmark::kMillisecond);

// The code list with the stored query's two DISTINCT scans replaced by a skip over the
// account indexes (one index seek per distinct code): a candidate text for qUnionCode.sql,
// measured through the same query layer. Yields the same codes.
const QString kLooseScanCodes = QStringLiteral(
    "WITH RECURSIVE"
    " l(code) AS (SELECT (SELECT MIN(Lcode) FROM shiwake WHERE Lcode > '')"
    "   UNION ALL SELECT (SELECT MIN(Lcode) FROM shiwake WHERE Lcode > l.code) FROM l WHERE l.code IS NOT NULL),"
    " r(code) AS (SELECT (SELECT MIN(Rcode) FROM shiwake WHERE Rcode > '')"
    "   UNION ALL SELECT (SELECT MIN(Rcode) FROM shiwake WHERE Rcode > r.code) FROM r WHERE r.code IS NOT NULL)"
    " SELECT code FROM Kamoku"
    " UNION SELECT code FROM l WHERE code IS NOT NULL"
    " UNION SELECT code FROM r WHERE code IS NOT NULL");

void BM_YearSums_CodeList_IndexSkip(benchmark::State& state)
{
    const auto db = openedBooks();
    Query list(QStringLiteral("q16temp1"));
    list.setDatabaseName(books().folder);
    QString sql = kCodeList;
    sql.replace(QStringLiteral("qUnionCode.sql"), u'(' + kLooseScanCodes + u')');
    size_t codes = 0;
    for (auto _ : state) {
        list.close();
        list.setSql(sql);
        list.open();
        codes = 0;
        for (; !list.eof(); list.next())
            ++codes;
    }
    list.close();
    state.counters["codes"] = double(codes);
}
BENCHMARK(BM_YearSums_CodeList_IndexSkip)->Unit(benchmark::kMillisecond);

// The per-account run for one fiscal year, as the aggregation does it: the code list on
// one query, then for every code the four sums one after another on another.
void BM_YearSums(benchmark::State& state)
{
    const auto db = openedBooks();
    const Books& b = books();
    Query list(QStringLiteral("q16temp1"));
    Query sums(QStringLiteral("q13motochou"));
    list.setDatabaseName(b.folder);
    sums.setDatabaseName(b.folder);
    Money total;
    size_t codes = 0;
    for (auto _ : state) {
        total = Money();
        const std::vector<QString> codeList = readCodeList(list);
        codes = codeList.size();
        for (const QString& code : codeList) {
            for (const SumStatement& statement : kYearSums) {
                sums.close();
                sums.setSql(statement.sql);
                sums.setParam(QStringLiteral("pD1"), b.yearStart);
                sums.setParam(QStringLiteral("pD2"), b.yearEnd);
                sums.setParam(QStringLiteral("pC03"), code);
                sums.open();
                total += sums.fieldByName(statement.column).asMoney();
            }
        }
        sums.close();
        benchmark::DoNotOptimize(total);
    }
    state.counters["codes"] = double(codes);
    state.counters["statements"] = double(codes * std::size(kYearSums));
}
BENCHMARK(BM_YearSums)->Unit(benchmark::kMillisecond);

// The same sums on four statements prepared once: what SQLite itself needs, without the
// dataset layer's translation, preparation and field conversion per statement.
void BM_YearSums_PreparedOnce(benchmark::State& state)
{
    const Books& b = books();
    Query list(QStringLiteral("q16temp1"));
    list.setDatabaseName(b.folder);
    const auto db = openedBooks();
    const std::vector<QString> codeList = readCodeList(list);
    std::vector<Statement> statements;
    for (const char* sql : {"SELECT SUM(Lgaku) FROM shiwake WHERE sDay>=?1 AND sDay<=?2 AND Lcode=?3 AND syori<=21",
                            "SELECT SUM(Rgaku) FROM shiwake WHERE sDay>=?1 AND sDay<=?2 AND Rcode=?3 AND syori<=21",
                            "SELECT SUM(Lgaku) FROM shiwake WHERE sDay>=?1 AND sDay<=?2 AND Lcode=?3 AND syori=31",
                            "SELECT SUM(Rgaku) FROM shiwake WHERE sDay>=?1 AND sDay<=?2 AND Rcode=?3 AND syori=31"})
        statements.push_back(db->prepare(QString::fromLatin1(sql)));
    const QString from = b.yearStart.toString(Qt::ISODate);
    const QString to = b.yearEnd.toString(Qt::ISODate);
    for (auto _ : state) {
        qint64 total = 0;
        for (const QString& code : codeList) {
            for (Statement& s : statements) {
                s.bind(1, from);
                s.bind(2, to);
                s.bind(3, code);
                if (s.step())
                    total += s.columnInt(0);
                s.reset();
            }
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_YearSums_PreparedOnce)->Unit(benchmark::kMillisecond);

// The journal window's list, newest date first: what the user waits for before the first
// screen of rows appears.
void BM_JournalList_First200(benchmark::State& state)
{
    const auto db = openedBooks();
    Query list(QStringLiteral("q05shiwakeView"));
    list.setDatabaseName(books().folder);
    for (auto _ : state) {
        list.close();
        list.setSql(kJournalList);
        list.open();
        qint64 touched = 0;
        for (int i = 0; i < 200 && !list.eof(); ++i, list.next())
            touched += touchRow(list);
        benchmark::DoNotOptimize(touched);
    }
    list.close();
}
BENCHMARK(BM_JournalList_First200)->Unit(benchmark::kMillisecond);

// Every row of the list, as the filtered list's totals read them. For information: the
// list keeps what it has read, so this also shows the memory a full read costs.
void BM_JournalList_AllRows(benchmark::State& state)
{
    const auto db = openedBooks();
    Query list(QStringLiteral("q05shiwakeView"));
    list.setDatabaseName(books().folder);
    qint64 rows = 0;
    double held = 0.0;
    for (auto _ : state) {
        list.close();
        const double before = residentMiB();
        list.setSql(kJournalList);
        list.open();
        qint64 touched = 0;
        for (rows = 0; !list.eof(); list.next(), ++rows)
            touched += touchRow(list);
        benchmark::DoNotOptimize(touched);
        held = residentMiB() - before;
    }
    list.close();
    state.counters["rows"] = double(rows);
    state.counters["MiB_held_by_list"] = held;
}
BENCHMARK(BM_JournalList_AllRows)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QCoreApplication app(argc, argv);
    try {
        prepareBooks();
    } catch (const StoreError& e) {
        std::fprintf(stderr, "bench_store: %s\n", e.message().toLocal8Bit().constData());
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
