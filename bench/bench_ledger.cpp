// The ledger of the busiest account over a fiscal year of big books, and its export.
//
// The books are the benchmarks' shared ones: 100,000 and 1,000,000 rows (TOLVA_BENCH_3M=1 adds
// three million, generated on first use; not for CI). The busiest account is the one that the
// most rows of the last complete fiscal year name on either side. Beside them, in the same
// run, one raw UNION ALL … GROUP BY of that year over the journal read through its primary
// key alone, as a yardstick of the machine.
#include "bench/benchbooks.h"
#include "db/database.h"
#include "db/dataset.h"
#include "db/largeblocks.h"
#include "db/sqldialect.h"
#include "db/storeerror.h"
#include "db/textformat.h"
#include "ledger/ledgerbook.h"
#include "reports/csvwriter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <vector>

using namespace tolva;

namespace {

// The books and what the benchmarks look up in them once.
struct Setup {
    benchbooks::Books books;
    QString busiestAccount;
    QString busiestCategory;
    bool accountDebitType = false;
    bool categoryDebitType = false;
};

// The code named by the most rows of the year on either side, in `debitField`/`creditField`.
QString busiest(Database& db, const Setup& b, const char* debitField, const char* creditField)
{
    Statement s = db.prepare(QStringLiteral("SELECT code, count(*) AS n FROM ("
                                            " SELECT %1 AS code FROM shiwake WHERE sDay>=?1 AND sDay<=?2"
                                            " UNION ALL SELECT %2 FROM shiwake WHERE sDay>=?1 AND sDay<=?2)"
                                            " GROUP BY code ORDER BY n DESC LIMIT 1")
                                 .arg(QLatin1String(debitField), QLatin1String(creditField)));
    s.bind(1, textformat::isoDate(b.books.yearStart));
    s.bind(2, textformat::isoDate(b.books.yearEnd));
    return s.step() ? s.column(0).toString() : QString();
}

bool isDebitType(Database& db, const QString& category)
{
    Statement s = db.prepare(QStringLiteral("SELECT LR FROM Bunrui WHERE code=?1"));
    s.bind(1, category);
    return s.step() && s.column(0).toString() == u"1";
}

// The books of `rows` rows and what the benchmarks look up in them, once per size.
const Setup& setup(qint64 rows)
{
    static std::map<qint64, Setup> sizes;
    auto it = sizes.find(rows);
    if (it != sizes.end())
        return it->second;
    Setup b;
    b.books = benchbooks::books(rows);
    auto db = Database::forFolder(b.books.folder);
    b.busiestAccount = busiest(*db, b, "Lcode", "Rcode");
    b.busiestCategory = busiest(*db, b, "Lbunrui", "Rbunrui");
    b.accountDebitType = isDebitType(*db, b.busiestAccount.left(2));
    b.categoryDebitType = isDebitType(*db, b.busiestCategory);
    return sizes.emplace(rows, b).first->second;
}

LedgerRequest accountRequest(const Setup& b)
{
    return {LedgerKind::Account, b.busiestAccount, b.accountDebitType, b.books.yearStart, b.books.yearEnd};
}

LedgerRequest categoryRequest(const Setup& b)
{
    return {LedgerKind::Category, b.busiestCategory, b.categoryDebitType, b.books.yearStart, b.books.yearEnd};
}

// Steps through a statement on SQLite alone, touching every column: the floor under what the
// dataset layer and the ledger add.
qint64 stepBare(Database& db, const QString& localSql, const LedgerRequest& request)
{
    const sqldialect::Translation t = sqldialect::translate(localSql, [&db](const QString& n) { return db.storedQueryText(n); });
    Statement s = db.prepare(t.sql);
    for (int i = 0; i < t.distinctNames.size(); ++i) {
        const QString name = t.distinctNames[i].toLower();
        s.bind(i + 1, name == u"pd1"   ? QVariant(textformat::isoDate(request.from))
                      : name == u"pd2" ? QVariant(textformat::isoDate(request.to))
                                       : QVariant(request.code));
    }
    sqlite3_stmt* stmt = s.handle();
    qint64 rows = 0;
    qint64 touched = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            touched += sqlite3_column_bytes(stmt, c);
    }
    benchmark::DoNotOptimize(touched);
    return rows;
}

// The ledger's rows as the plain OR of the two sides would select them.
QString orForm(LedgerKind kind)
{
    QString sql = motochouSql(LedgerKind::Category);
    const QString condition = QStringLiteral(
        " WHERE (((shiwake.sDay)>=:pD1 And (shiwake.sDay)<=:pD2) AND ((shiwake.%1)=:pC03)) OR"
        " (((shiwake.sDay)>=:pD1 And (shiwake.sDay)<=:pD2) AND ((shiwake.%2)=:pC03))");
    const int where = sql.indexOf(QStringLiteral(" WHERE "));
    const int order = sql.indexOf(QStringLiteral(" ORDER BY "));
    const bool account = kind == LedgerKind::Account;
    return sql.left(where) + condition.arg(account ? u"Lcode" : u"Lbunrui", account ? u"Rcode" : u"Rbunrui")
        + sql.mid(order);
}

// --- Benchmarks ---------------------------------------------------------------------------

void BM_AccountStatement_Bare(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    qint64 rows = 0;
    for (auto _ : state)
        rows = stepBare(*db, motochouSql(LedgerKind::Account), accountRequest(b));
    state.counters["rows"] = double(rows);
}

// For comparison: the same rows selected by OR-ing the two sides, which no index serves.
void BM_AccountStatement_Bare_OrForm(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    qint64 rows = 0;
    for (auto _ : state)
        rows = stepBare(*db, orForm(LedgerKind::Account), accountRequest(b));
    state.counters["rows"] = double(rows);
}

// The statement through the dataset layer, every row read and converted, no line built:
// what the layer adds to SQLite, and what building the lines adds to it.
void BM_AccountStatement_Dataset(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    Query query(QStringLiteral("q13motochou"));
    query.setDatabaseName(b.books.folder);
    const LedgerRequest request = accountRequest(b);
    qint64 rows = 0;
    for (auto _ : state) {
        query.close();
        query.setSql(motochouSql(request.kind));
        query.setParam(QStringLiteral("pD1"), request.from);
        query.setParam(QStringLiteral("pD2"), request.to);
        query.setParam(QStringLiteral("pC03"), request.code);
        query.open();
        query.last();
        rows = query.rowsRead();
    }
    query.close();
    state.counters["rows"] = double(rows);
}

// What "表示" waits for: the statement through the dataset layer, and every line built with
// its description, amounts and running balance.
void BM_BuildLedger_Account(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    Query query(QStringLiteral("q13motochou"));
    query.setDatabaseName(b.books.folder);
    qsizetype lines = 0;
    Money balance;
    for (auto _ : state) {
        query.close();
        const Ledger ledger = buildLedger(query, accountRequest(b));
        lines = ledger.lines.size();
        balance = ledger.totals.balance;
        benchmark::DoNotOptimize(balance);
    }
    query.close();
    state.counters["lines"] = double(lines);
    state.SetLabel(QStringLiteral("account %1, balance %2").arg(b.busiestAccount, textformat::gridAmount(balance)).toStdString());
}

void BM_CategoryStatement_Bare(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    qint64 rows = 0;
    for (auto _ : state)
        rows = stepBare(*db, motochouSql(LedgerKind::Category), categoryRequest(b));
    state.counters["rows"] = double(rows);
}

void BM_CategoryStatement_Bare_OrForm(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    qint64 rows = 0;
    for (auto _ : state)
        rows = stepBare(*db, orForm(LedgerKind::Category), categoryRequest(b));
    state.counters["rows"] = double(rows);
}

void BM_BuildLedger_Category(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    Query query(QStringLiteral("q13motochou"));
    query.setDatabaseName(b.books.folder);
    qsizetype lines = 0;
    for (auto _ : state) {
        query.close();
        const Ledger ledger = buildLedger(query, categoryRequest(b));
        lines = ledger.lines.size();
        benchmark::DoNotOptimize(ledger.totals.balance);
    }
    query.close();
    state.counters["lines"] = double(lines);
    state.SetLabel(QStringLiteral("category %1").arg(b.busiestCategory).toStdString());
}

// "CSVファイル出力" of the account ledger: the rows' texts, code page 932 and the file
// written beside its target and renamed over it.
void BM_ExportLedger_Account(benchmark::State& state)
{
    const Setup& b = setup(state.range(0));
    auto db = Database::forFolder(b.books.folder);
    Query query(QStringLiteral("q13motochou"));
    query.setDatabaseName(b.books.folder);
    const Ledger ledger = buildLedger(query, accountRequest(b));
    query.close();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("元帳.csv"));
    const QString title = QStringLiteral("元帳 (%1)").arg(b.busiestAccount);
    const QString period = QStringLiteral("期間：") + textformat::reportPeriod(b.books.yearStart, b.books.yearEnd);
    for (auto _ : state) {
        const csv::WriteOutcome outcome = writeLedgerExport(path, title, period, ledger);
        benchmark::DoNotOptimize(outcome.linesWithReplacements.size());
    }
    state.counters["lines"] = double(ledger.lines.size());
    state.counters["MB_file"] = double(QFileInfo(path).size()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    keepLargeBlocks();  // as the programs set it at start
    const std::vector<int64_t> kSizes = benchbooks::sizes();
    try {
        for (int64_t rows : kSizes) {
            const Setup& b = setup(rows);
            benchmark::AddCustomContext("books_" + std::to_string(rows), b.books.folder.toStdString());
            benchmark::AddCustomContext("busiest_" + std::to_string(rows),
                                        "account " + b.busiestAccount.toStdString() + ", category " + b.busiestCategory.toStdString()
                                            + ", year " + b.books.yearStart.toString(Qt::ISODate).toStdString() + ".."
                                            + b.books.yearEnd.toString(Qt::ISODate).toStdString());
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "bench_ledger: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    benchmark::AddCustomContext("sqlite", sqlite3_libversion());
    for (auto [name, function] : {std::pair{"BM_RawYearUnionGroupBy", &benchbooks::BM_RawYearUnionGroupBy},
                                  std::pair{"BM_AccountStatement_Bare", &BM_AccountStatement_Bare},
                                  std::pair{"BM_AccountStatement_Bare_OrForm", &BM_AccountStatement_Bare_OrForm},
                                  std::pair{"BM_AccountStatement_Dataset", &BM_AccountStatement_Dataset},
                                  std::pair{"BM_BuildLedger_Account", &BM_BuildLedger_Account},
                                  std::pair{"BM_CategoryStatement_Bare", &BM_CategoryStatement_Bare},
                                  std::pair{"BM_CategoryStatement_Bare_OrForm", &BM_CategoryStatement_Bare_OrForm},
                                  std::pair{"BM_BuildLedger_Category", &BM_BuildLedger_Category},
                                  std::pair{"BM_ExportLedger_Account", &BM_ExportLedger_Account}})
        benchmark::RegisterBenchmark(name, function)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Database::closeAll();
    return 0;
}
