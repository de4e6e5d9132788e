#pragma once

#include "bluereturn/bluereturn.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tolva {

// The texts every rendering of the statement shares: the window's tabs, the comma-separated
// file, tolva-cli's text and the printed pages.

// "青色申告決算書（一般用）", and the period line "2024/01/01～2024/12/31".
[[nodiscard]] QString blueReturnTitle();
[[nodiscard]] QString blueReturnPeriodLine(const BlueReturn& statement);
// The captions of the four pages, as the tabs and the printed pages name them.
[[nodiscard]] QStringList blueReturnPageTitles();
// An amount of a line in yen with thousands separators; empty where the form's box stays empty.
[[nodiscard]] QString statementAmount(const std::optional<Money>& amount);
// The titles of the two amount columns of a page (page 1: one).
[[nodiscard]] QStringList statementAmountTitles(int page);
// Page 3: the form's columns and the texts of a line (amounts in yen, the rate as a decimal).
[[nodiscard]] QStringList depreciationTitles();
[[nodiscard]] QStringList depreciationCells(const DepreciationListRow& row);
[[nodiscard]] QStringList depreciationTotalCells(const BlueReturn& statement);
[[nodiscard]] QString familySalaryTitle();
// The comma-separated file: every line of every page with its page, section, number,
// caption and exact amounts (plain decimals), then page 3, 専従者給与の内訳 and the findings.
[[nodiscard]] QList<QStringList> blueReturnCsvRows(const BlueReturn& statement);

} // namespace tolva
