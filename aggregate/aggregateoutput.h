#pragma once

#include "aggregate/aggregategrid.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolva {

class Database;

// What a grid prints and exports as. A grid not yet filled has no report, and exports under
// the sub-account view's title.
[[nodiscard]] std::optional<QString> aggregateReportName(const AggregateGrid& grid);   // "TlRepo01" / "TlRepo03"
[[nodiscard]] std::optional<QString> aggregateReportTable(const AggregateGrid& grid);  // "Repo01" / "Repo03"
[[nodiscard]] QString aggregateFileTitle(const AggregateGrid& grid);  // "科目集計試算表" / "細目集計試算表"
[[nodiscard]] QString aggregateFileName(const AggregateGrid& grid);   // the title + ".csv"

// The lines of the comma-separated file: the title, the range label ("集計条件：…"), an empty
// line, then every row of the grid from the group titles to the totals, every column (the
// hidden code columns too).
[[nodiscard]] QList<QStringList> aggregateExportRows(const AggregateGrid& grid, const QString& rangeLabel);
inline constexpr int kAggregateExportHeadRows = 3;

// Prepares the printed report of the grid, in one transaction:
//  1. the header row of RepoJyoken: Name01 the range label, Name03 the creation date;
//  2. the view's work table emptied and filled with one row per data line of the grid in
//     its order (the totals line is the report's own): Repo01 kamoku, L1, R1, L2, R2 from
//     columns 2 to 6; Repo03 kamoku (column 2), Saimoku (column 4), L1, L2, R1, R2, L3, L4,
//     R3, R4 from columns 5 to 12. A field whose cell is empty is left without value.
// A grid not yet filled writes the header row only.
void fillAggregateReportTables(Database& db, const AggregateGrid& grid, const QString& rangeLabel, const QDate& today);

} // namespace tolva
