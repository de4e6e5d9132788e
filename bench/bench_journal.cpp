// The journal window on big books: opening it (the entry panel starts on the oldest row, so
// the list must show a row at its very end), the refresh after a row change, "絞込実行" with
// a year and a category, the first screen of the grid, and the list's windows at its start
// and its end, filtered or not. Beside them, in the same run, one raw UNION ALL … GROUP BY of
// a year over the journal read through its primary key alone, as a yardstick of the machine.
// TOLVA_BENCH_3M=1 adds books of three million rows (generated on first use; not for CI).
#include "bench/benchbooks.h"
#include "db/database.h"
#include "db/largeblocks.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "journal/journallistmodel.h"
#include "journal/tmaininput.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>

#include <benchmark/benchmark.h>

#include <sqlite3.h>

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

// The same after a write to the books, so nothing counted before holds: the first opening
// in a session, or the one after posting a row.
void BM_OpenJournalWindowAfterAWrite(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    auto db = Database::forFolder(b.folder);
    for (auto _ : state) {
        state.PauseTiming();
        db->exec(QStringLiteral("UPDATE shiwake SET Memo = Memo WHERE id = 1"));
        state.ResumeTiming();
        Window w(b.folder);
        w.window->FormShow();
        w.paintFirstScreen();
    }
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
// was never read, with no window read near it.
void BM_ScrollToMiddle(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    (void)Database::forFolder(b.folder);
    const JournalListSql everything = journallist::everything();
    for (auto _ : state) {
        state.PauseTiming();
        JournalListModel model;
        model.setColumns(journallist::listColumns());
        model.show(b.folder, everything);
        state.ResumeTiming();
        benchmark::DoNotOptimize(model.data(model.index(model.rowCount() / 2, 2)));
    }
}

enum WindowAt { kFirst, kLast, kBeforeLast };

// One window of the list, read through a model that knows no window yet (the first, the
// last) or only the window after it (the one before the last: scrolling up from the end).
// Filtered: the refresh's list of a debit category, newest number first.
void BM_ListWindow(benchmark::State& state)
{
    const auto& b = benchbooks::books(state.range(0));
    (void)Database::forFolder(b.folder);
    JournalFilter category;
    category.debit.ticked = true;
    category.debit.category = QStringLiteral("04");
    const JournalListSql statement = state.range(2) ? journallist::refreshed(category) : journallist::everything();
    const auto at = WindowAt(state.range(1));
    int rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        JournalListModel model;
        model.setColumns(journallist::listColumns());
        model.show(b.folder, statement);
        rows = model.rowCount();
        if (at == kBeforeLast)
            benchmark::DoNotOptimize(model.idAt(rows - 1));
        state.ResumeTiming();
        const int row = at == kFirst ? 0 : at == kLast ? rows - 1 : rows - 1 - JournalListModel::kWindow;
        benchmark::DoNotOptimize(model.data(model.index(row, 2)));
    }
    state.counters["listed"] = double(rows);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // As the program sets it at start.
    keepLargeBlocks();
    const std::vector<int64_t> kSizes = benchbooks::sizes();
    benchmark::RegisterBenchmark("BM_RawYearUnionGroupBy", benchbooks::BM_RawYearUnionGroupBy)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_OpenJournalWindow", BM_OpenJournalWindow)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_OpenJournalWindowAfterAWrite", BM_OpenJournalWindowAfterAWrite)
        ->ArgsProduct({kSizes})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RefreshJournalList", BM_RefreshJournalList)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RefreshJournalListNarrowed", BM_RefreshJournalListNarrowed)
        ->ArgsProduct({kSizes})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Narrow", BM_Narrow)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ListWindow", BM_ListWindow)
        ->ArgsProduct({kSizes, {kFirst, kLast, kBeforeLast}, {0, 1}})
        ->ArgNames({"rows", "at", "filtered"})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ScrollToMiddle", BM_ScrollToMiddle)->ArgsProduct({kSizes})->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
