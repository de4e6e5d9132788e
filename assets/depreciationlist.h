#pragma once

#include "db/depreciation.h"
#include "db/fiscalperiod.h"
#include "db/money.h"

#include <QDate>
#include <QString>

#include <optional>
#include <vector>

namespace tolva {

class Database;

// One line of the depreciation list: an item's yearly row of the period with the item's
// description and the year's figures, in the columns of the depreciation schedule.
struct DepreciationListRow {
    QString property;       // KoteiA.name
    QString category;       // Kkubun.name
    QString kind;           // Ksyubetu.Name
    std::optional<double> quantity;  // area or quantity, as stored
    QDate acquired;
    Money price;            // (ｲ)
    DepreciationInputs inputs;  // (ﾛ) base, (ﾊ) rate, (ﾆ) months, (ﾍ) extra, (ﾁ) share
    QString method;         // shouhou.name
    int usefulLife = 0;
    QDate depreciationDate; // KoteiC.dateB
    DepreciationFigures figures;  // (ﾎ) (ﾄ) (ﾘ) (ﾇ)
};

// The yearly rows dated within `period` (both ends included) of items whose property,
// category, kind and method all exist, ordered by property id, then acquisition date: the
// rows of the shared depreciation list query, read with the same SQL.
[[nodiscard]] std::vector<DepreciationListRow> depreciationListRows(Database& db, const FiscalPeriod& period);

// The list's period line: "期間：2024/ 04/ 01～2025/ 03/ 31", or "指定日：…" for one day.
[[nodiscard]] QString depreciationListPeriodText(const FiscalPeriod& period);

// Writes the report header row (RepoJyoken, no = 1): the period text into Name01 and
// "作成日：" with `today` into Name03; Name02 is left alone. Without that row nothing is
// written and false comes back.
bool writeDepreciationListHeader(Database& db, const FiscalPeriod& period, const QDate& today);

// The name of the depreciation list in the report project.
inline const QString kDepreciationListReport = QStringLiteral("rGSlist");

} // namespace tolva
