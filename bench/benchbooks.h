#pragma once

#include <benchmark/benchmark.h>

#include <QDate>
#include <QString>

#include <cstdint>
#include <vector>

namespace tolva::benchbooks {

// Big books for the benchmarks: made once under the build folder and reused.
struct Books {
    QString folder;
    qint64 rows = 0;
    QDate yearStart;  // the last complete fiscal year: the busiest one
    QDate yearEnd;
};

// The rows the benchmarks use: TOLVA_BENCH_ROWS, or `defaultRows`.
[[nodiscard]] qint64 wantedRows(qint64 defaultRows = 1000000);

// The books of `rows` rows, generated on first use into a side folder and renamed, so that
// an interrupted run leaves nothing a later run would take for finished books.
[[nodiscard]] const Books& books(qint64 rows);

// The sizes a benchmark program runs at: 100,000 and 1,000,000 rows, and 3,000,000 with
// TOLVA_BENCH_3M=1 (generated on first use; not for CI).
[[nodiscard]] std::vector<int64_t> sizes();

// The yardstick of the machine every program runs beside its own figures, on the books of
// state.range(0) rows: one UNION ALL … GROUP BY of the books' year over the journal read
// through its primary key alone.
void BM_RawYearUnionGroupBy(benchmark::State& state);

} // namespace tolva::benchbooks
