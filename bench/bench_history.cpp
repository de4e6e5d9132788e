// What keeping the journal's change history costs: posting one row, the closing transfers of a
// year over the generator's 150 accounts, and 1,000 rows written in one transaction as an
// import writes them, each on books with the history and on a copy whose history triggers are
// dropped (argument 1 and 0). The ratio of the two is the cost; the file's growth per row
// written is a counter (bytesPerRow) of the 1,000-row benchmark.
//
// Books of TOLVA_BENCH_ROWS rows (20,000 when not given) are generated once into a temporary
// folder; every benchmark runs on a copy of its own.
#include "bench/bookgenerator.h"
#include "closing/closingentries.h"
#include "closing/yearend.h"
#include "db/database.h"
#include "db/history.h"
#include "db/textformat.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace tolva;

namespace {

const QTemporaryDir& generated()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        bookgen::BookOptions options;
        options.templateDir = QStringLiteral(TOLVA_TEMPLATE_DIR);
        bool ok = false;
        qint64 rows = qEnvironmentVariable("TOLVA_BENCH_ROWS").toLongLong(&ok);
        if (!ok || rows <= 0)
            rows = 20000;
        (void)bookgen::generateBooks(dir.filePath(QStringLiteral("books")), rows, 1, options);
        Database::closeAll();
        return true;
    }();
    (void)made;
    return dir;
}

// A copy of the generated books, with or without the history's triggers.
struct Books {
    explicit Books(bool history)
    {
        const QString from = generated().filePath(QStringLiteral("books"));
        for (const QString& name : QDir(from).entryList(QDir::Files))
            QFile::copy(QDir(from).filePath(name), QDir(dir.path()).filePath(name));
        db = Database::forFolder(dir.path());
        db->makeReadyForWriting();
        if (!history) {
            for (const char* trigger : {"shiwake_recorded_insert", "shiwake_recorded_update", "shiwake_recorded_delete"})
                db->exec(QStringLiteral("DROP TRIGGER %1").arg(QString::fromLatin1(trigger)));
        }
    }
    ~Books()
    {
        db.reset();
        Database::closeAll();
    }
    qint64 fileBytes()
    {
        Statement s = db->prepare(QStringLiteral("SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()"));
        return s.step() ? s.columnInt(0) : 0;
    }

    QTemporaryDir dir;
    std::shared_ptr<Database> db;
};

void insertRow(Statement& insert, int n)
{
    insert.bind(1, QStringLiteral("2025-06-%1").arg(1 + n % 28, 2, 10, QLatin1Char('0')));
    insert.bind(2, qint64(10000) * (100 + n % 5000));
    insert.bind(3, QStringLiteral("取込 %1").arg(n));
    insert.step();
    insert.reset();
}

const char* const kInsert = "INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori, Memo)"
                            " VALUES (?1, '04', '0411', ?2, '11', '1111', ?2, 10, ?3)";

void BM_PostRow(benchmark::State& state)
{
    Books books(state.range(0) != 0);
    Statement insert = books.db->prepare(QString::fromLatin1(kInsert));
    int n = 0;
    for (auto _ : state) {
        history::CommandScope command(*books.db, QStringLiteral("仕訳入力（保存）"));
        insertRow(insert, n++);
    }
}
BENCHMARK(BM_PostRow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Import1000Rows(benchmark::State& state)
{
    Books books(state.range(0) != 0);
    Statement insert = books.db->prepare(QString::fromLatin1(kInsert));
    const qint64 before = books.fileBytes();
    int n = 0;
    for (auto _ : state) {
        history::CommandScope command(*books.db, QStringLiteral("CSV取込"));
        Transaction transaction(*books.db);
        for (int i = 0; i < 1000; ++i)
            insertRow(insert, n++);
        transaction.commit();
    }
    state.counters["bytesPerRow"] = double(books.fileBytes() - before) / std::max(n, 1);
}
BENCHMARK(BM_Import1000Rows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The year's totals as the year-end aggregation leaves them, from the journal itself; then the
// transfers, which replace their own rows of the run before at every iteration.
void BM_ClosingTransfers(benchmark::State& state)
{
    Books books(state.range(0) != 0);
    const FiscalPeriod period{QDate(2024, 1, 1), QDate(2024, 12, 31)};
    Statement totals = books.db->prepare(QStringLiteral(
        "INSERT OR REPLACE INTO shisanH (nendo, kcode, Lgaku, Rgaku, LSgaku, RSgaku)"
        " SELECT ?1, code, sum(l), sum(r), 0, 0 FROM ("
        "  SELECT Lcode AS code, Lgaku AS l, 0 AS r FROM shiwake WHERE sDay BETWEEN ?2 AND ?3 AND syori <= 31"
        "  UNION ALL SELECT Rcode, 0, Rgaku FROM shiwake WHERE sDay BETWEEN ?2 AND ?3 AND syori <= 31)"
        " WHERE code IS NOT NULL GROUP BY code"));
    totals.bind(1, yearCode(period.start));
    totals.bind(2, textformat::isoDate(period.start));
    totals.bind(3, textformat::isoDate(period.end));
    totals.step();
    qint64 rows = 0;
    for (auto _ : state) {
        const ClosingTransfers done = runClosingTransfers(*books.db, period, std::nullopt);
        if (done.refusal) {
            state.SkipWithError(done.refusal->toStdString().c_str());
            break;
        }
        rows = qint64(done.written.closing.size() + done.written.opening.size());
    }
    state.counters["rowsWritten"] = double(rows);
}
BENCHMARK(BM_ClosingTransfers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
