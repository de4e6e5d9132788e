#pragma once

#include "cli/command.h"
#include "db/masterlookup.h"

namespace tolva::cli {

// A code on the command line that names a category, an account or a sub-account: refused
// before the books are opened when its length cannot be one of them.
void requireChartCodeLength(const QString& what, const QString& code);

// The chart entry of the code, or a usage error naming it when the masters do not hold it.
[[nodiscard]] ChartEntry chartEntry(Books& books, const QString& what, const QString& code);

} // namespace tolva::cli
