#pragma once

#include "db/fiscalperiod.h"

#include <QDate>

class QWidget;

namespace tolva {

class Tdm01Keiri;

// Prints the depreciation list "rGSlist" of the target period: the header row of RepoJyoken
// (when it exists), the shared list query q22GSlist over the period, then the report into
// the preview. The list query and q20Repo are left open for the next run to reopen.
void printDepreciationList(Tdm01Keiri& dm, const FiscalPeriod& target, const QDate& today, QWidget* parent);

} // namespace tolva
