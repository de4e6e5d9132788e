// The ledger window with the longest ledger of big books: the category with the most rows over
// all ten years, shown ("表示") and then written to a file as "CSVファイル出力" writes it.
// Time of each, and the memory: resident after showing, the peak while building and showing,
// and the peak the export adds. TOLVA_BENCH_3M=1 adds three million rows.
#include "bench/benchbooks.h"
#include "db/database.h"
#include "db/largeblocks.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "ledger/ledgerbook.h"
#include "ledger/tfm04motocho.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace tolva;

namespace {

// A line of /proc/self/status in MiB ("VmRSS", "VmHWM").
double statusMiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// The peak is measured from here on.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QString busiestCategory(Database& db)
{
    Statement s = db.prepare(QStringLiteral("SELECT code, count(*) AS n FROM (SELECT Lbunrui AS code FROM shiwake"
                                            " UNION ALL SELECT Rbunrui FROM shiwake) GROUP BY code ORDER BY n DESC LIMIT 1"));
    return s.step() ? s.column(0).toString() : QString();
}

struct Shown {
    explicit Shown(const benchbooks::Books& b)
    {
        auto db = Database::forFolder(b.folder);
        category = busiestCategory(*db);
        programState().dataFolder = b.folder;
        programState().periodStart = b.yearStart;
        programState().periodEnd = b.yearEnd;
        dm.DataModuleCreate(b.folder);
        window = std::make_unique<Tfm04Motocho>(dm);
        window->show();
        QComboBox* list = window->categoryList();
        for (int i = 0; i < list->count(); ++i)
            if (list->itemText(i).startsWith(category + u' ') || list->itemText(i).left(2) == category)
                list->setCurrentIndex(i);
        window->startPicker()->setDate(QDate(1900, 1, 1));
        window->endPicker()->setDate(QDate(2999, 12, 31));
    }
    ~Shown()
    {
        window->close();
        window.reset();
        dm.closeAll();
        Database::closeAll();
    }
    QString category;
    Tdm01Keiri dm{programState()};
    std::unique_ptr<Tfm04Motocho> window;
};

void BM_ShowLongestLedger(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Shown shown(b);
    const double before = statusMiB("VmRSS");
    resetPeak();
    for (auto _ : state) {
        shown.window->showButton()->click();
        QApplication::processEvents();
    }
    state.counters["lines"] = double(shown.window->gridModel().ledger().lines.size());
    state.counters["MiB_before"] = before;
    state.counters["MiB_shown"] = statusMiB("VmRSS");
    state.counters["MiB_peak"] = statusMiB("VmHWM");
    state.SetLabel("category " + shown.category.toStdString());
}

void BM_ExportLongestLedger(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Shown shown(b);
    shown.window->showButton()->click();
    QApplication::processEvents();
    const Ledger& ledger = shown.window->gridModel().ledger();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("元帳.csv"));
    const double showing = statusMiB("VmRSS");
    resetPeak();
    for (auto _ : state) {
        const csv::WriteOutcome outcome = writeLedgerExport(path, ledgerExportTitle(shown.category), QStringLiteral("期間"), ledger);
        benchmark::DoNotOptimize(outcome.linesWithReplacements.size());
    }
    state.counters["lines"] = double(ledger.lines.size());
    state.counters["us_per_line"] = benchmark::Counter(double(ledger.lines.size()),
                                                       benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["MiB_shown"] = showing;
    state.counters["MiB_added_peak"] = statusMiB("VmHWM") - showing;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    keepLargeBlocks();  // as the program sets it at start
    const std::vector<int64_t> kSizes = benchbooks::sizes();
    benchmark::RegisterBenchmark("BM_ShowLongestLedger", BM_ShowLongestLedger)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ExportLongestLedger", BM_ExportLongestLedger)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
