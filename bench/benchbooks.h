#pragma once

#include <QDate>
#include <QString>

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

} // namespace tolva::benchbooks
