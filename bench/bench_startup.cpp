// The program's start on big books, as app/main.cpp makes it: the main window, the folder's
// lock and the opening checks, the data module, the report module, the window shown with its
// fiscal period. A normal start beside a start after a program that did not end (every page
// read), and beside them, in the same run, one raw UNION ALL … GROUP BY of a year over the
// journal read through its primary key alone, as a yardstick of the machine. A start with the
// log of a program that crashed beside the books compares every index with its table first. The size of the
// books beside that of the journal table is a counter of BM_StartUp.
// TOLVA_BENCH_3M=1 adds books of three million rows (generated on first use; not for CI).
#include "app/startup.h"
#include "app/tmenu.h"
#include "bench/benchbooks.h"
#include "db/database.h"
#include "db/datafolder.h"
#include "db/largeblocks.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "ui/tdm02repo.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace tolva;

namespace {

void startOnce(const QString& folder, Database::OpeningChecks checks, benchmark::State& state)
{
    TMenu menu(folder);
    std::unique_ptr<datafolder::Lock> lock;
    if (checks == Database::OpeningChecks::Full) {
        // What openBooks does once it finds the lock of a program that is gone.
        lock = std::make_unique<datafolder::Lock>(folder);
        datafolder::verify(folder, Database::OpeningChecks::Full);
    } else {
        lock = startup::openBooks(folder);
    }
    if (!lock) {
        state.SkipWithError("the books did not open");
        return;
    }
    Tdm01Keiri dm(programState());
    dm.DataModuleCreate(programState().dataFolder);
    menu.setDataModule(dm);
    const auto reports = startup::createReportModule(dm, programState().dataFolder);
    menu.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(menu.periodText());
    state.PauseTiming();
    menu.close();
    dm.closeAll();
    Database::closeAll();
    state.ResumeTiming();
}

void BM_StartUp(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Database::closeAll();
    for (auto _ : state)
        startOnce(b.folder, Database::OpeningChecks::Bounded, state);
    // The size of the books beside that of the journal table alone.
    const double file = double(QFileInfo(b.folder + QStringLiteral("/tolva.sqlite")).size());
    auto db = Database::forFolder(b.folder);
    Statement table = db->prepare(QStringLiteral("SELECT sum(pgsize) FROM dbstat WHERE name = 'shiwake'"));
    const double journal = table.step() ? double(table.columnInt(0)) : 0.0;
    state.counters["fileMiB"] = file / (1024.0 * 1024.0);
    state.counters["journalTableMiB"] = journal / (1024.0 * 1024.0);
    state.counters["fileToTable"] = journal > 0 ? file / journal : 0.0;
    Database::closeAll();
}

void BM_StartUpAfterAnUncleanEnd(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Database::closeAll();
    for (auto _ : state)
        startOnce(b.folder, Database::OpeningChecks::Full, state);
}

// The books left with their log, as a program that crashed or lost its power leaves them: the
// start reads every page and compares every index with its table before it folds the log in.
void BM_StartUpWithALogLeftBeside(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Database::closeAll();
    const QByteArray file = QFile::encodeName(b.folder + QStringLiteral("/tolva.sqlite"));
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* handle = nullptr;
        sqlite3_open_v2(file.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_exec(handle, "UPDATE Jigyounushi SET name = name", nullptr, nullptr, nullptr);
        sqlite3_close(handle);
        state.ResumeTiming();
        startOnce(b.folder, Database::OpeningChecks::Bounded, state);
    }
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    keepLargeBlocks();  // as the program sets it at start
    const std::vector<int64_t> kSizes = benchbooks::sizes();
    benchmark::RegisterBenchmark("BM_RawYearUnionGroupBy", benchbooks::BM_RawYearUnionGroupBy)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_StartUp", BM_StartUp)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_StartUpAfterAnUncleanEnd", BM_StartUpAfterAnUncleanEnd)
        ->ArgsProduct({kSizes})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_StartUpWithALogLeftBeside", BM_StartUpWithALogLeftBeside)
        ->ArgsProduct({kSizes})
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
