#pragma once

#include "closing/closinggrid.h"
#include "db/fiscalperiod.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace tolva {

class Database;

// The period line of the printed report and of the file: "期間：2010/ 04/ 01～2011/ 03/ 31".
[[nodiscard]] QString closingPeriodLine(const FiscalPeriod& period);

// What each view prints and exports as.
[[nodiscard]] QString closingReportName(ClosingView view);        // "TlRepo01" / "TlRepo02"
[[nodiscard]] QString closingReportTable(ClosingView view);       // "Repo01" / "Repo02"
[[nodiscard]] QString closingFileTitle(ClosingView view);         // "合計残高試算表" / "精算表"
[[nodiscard]] QString closingFileName(ClosingView view);          // the title + ".csv"

// The lines of the comma-separated file: the title, the period line, an empty line, then every
// row of the grid from the group titles to the totals, cells as the screen shows them.
[[nodiscard]] QList<QStringList> closingExportRows(const ClosingGrid& grid, const QString& periodLine);
inline constexpr int kClosingExportHeadRows = 3;

// The header row of every printed report, RepoJyoken no = 1 (made when missing): Name01
// `conditions`, Name03 "作成日：" and `today` in the report date form; Name02 is left as it is.
// Part of the caller's transaction.
void writeReportHeader(Database& db, const QString& conditions, const QDate& today);

// Prepares the printed report of the grid, in one transaction:
//  1. the header row of RepoJyoken (no = 1, made when missing): Name01 the period line,
//     Name03 "作成日：" and `today` in the report date form; Name02 is left as it is;
//  2. the view's work table (Repo01 or Repo02) emptied and filled with one row per line of
//     the grid but the totals (the account lines, and the worksheet's result line): kamoku
//     the line's name, and the amount columns L1, R1, L2, … taken from the cells as shown
//     (an empty cell leaves its field empty).
// The report's own totals then add up to the grid's totals line.
void fillClosingReportTables(Database& db, const ClosingGrid& grid, const QString& periodLine, const QDate& today);

} // namespace tolva
