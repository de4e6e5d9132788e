// The journal window on big books: opening it (the entry panel starts on the oldest row, so
// the list must show a row at its very end), the refresh after a row change, "絞込実行" with
// a year and a category, and the first screen of the grid.
#include "benchbooks.h"
#include "database.h"
#include "journallistmodel.h"
#include "programstate.h"
#include "tdm01keiri.h"
#include "tmaininput.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace tolva;

namespace {

struct Window {
    explicit Window(const QString& folder)
    {
        // The program opens (and checks) the database once at start; the window finds it open.
        (void)Database::forFolder(folder);
        programState().dataFolder = folder;
        dm.DataModuleCreate(folder);
        for (auto [query, sql] : {std::pair{&dm.q25kamoku2, "select * from kamoku02"},
                                  std::pair{&dm.q16temp1, "select * from kamoku02"}, std::pair{&dm.q26temp, "select * from yoto"}}) {
            query->setSql(QString::fromLatin1(sql));
            query->open();
        }
        window = std::make_unique<TMainInput>(dm);
    }
    ~Window()
    {
        window.reset();
        dm.closeAll();
    }
    // The first screen: what the grid paints after the window comes up.
    void paintFirstScreen()
    {
        JournalListModel* model = window->listModel();
        for (int row = 0; row < std::min(30, model->rowCount()); ++row)
            for (int column = 0; column < model->columnCount(); ++column)
                benchmark::DoNotOptimize(model->data(model->index(row, column)));
    }
    Tdm01Keiri dm{programState()};
    std::unique_ptr<TMainInput> window;
};

void narrowToYearAndCategory(TMainInput& w, const benchbooks::Books& b)
{
    const auto& c = w.controls();
    c.period->setChecked(true);
    c.periodFrom->setDate(b.yearStart);
    c.periodTo->setDate(b.yearEnd);
    c.debit.ticked->setChecked(true);
    for (int i = 0; i < c.debit.category->count(); ++i)
        if (c.debit.category->itemText(i).startsWith(QStringLiteral("04 ")))
            c.debit.category->setCurrentIndex(i);
}

void BM_OpenJournalWindow(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    (void)Database::forFolder(b.folder);
    for (auto _ : state) {
        Window w(b.folder);
        w.window->FormShow();
        w.paintFirstScreen();
    }
    state.counters["rows"] = double(b.rows);
}

void BM_RefreshJournalList(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Window w(b.folder);
    w.window->FormShow();
    w.dm.t01keiri.last();  // the newest entry, as after posting one
    for (auto _ : state) {
        w.window->RefreshJournalList();
        w.paintFirstScreen();
    }
}

void BM_RefreshJournalListNarrowed(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Window w(b.folder);
    w.window->FormShow();
    narrowToYearAndCategory(*w.window, b);
    w.dm.t01keiri.last();
    for (auto _ : state) {
        w.window->RefreshJournalList();
        w.paintFirstScreen();
    }
}

void BM_Narrow(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Window w(b.folder);
    w.window->FormShow();
    narrowToYearAndCategory(*w.window, b);
    for (auto _ : state) {
        w.window->SpeedButton1Click();
        w.paintFirstScreen();
    }
    state.counters["listed"] = double(w.window->listModel()->rowCount());
}

// Jumping to the middle of the whole list, as dragging the scroll bar does: a window that
// was never read.
void BM_ScrollToMiddle(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    Window w(b.folder);
    w.window->FormShow();
    JournalListModel* model = w.window->listModel();
    const JournalListSql everything = journallist::everything();
    for (auto _ : state) {
        state.PauseTiming();
        model->show(b.folder, everything);  // forgets every window read so far
        state.ResumeTiming();
        benchmark::DoNotOptimize(model->data(model->index(model->rowCount() / 2, 2)));
    }
}

const std::vector<int64_t> kSizes = {100000, 1000000};

} // namespace

BENCHMARK(BM_OpenJournalWindow)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshJournalList)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshJournalListNarrowed)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Narrow)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollToMiddle)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
