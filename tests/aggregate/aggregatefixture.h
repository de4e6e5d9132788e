#pragma once

#include "tests/closing/closingfixture.h"

#include <QString>

#include <vector>

namespace tolva {
class Database;
}

namespace tolva::testing {

// Every row of Sum01 or Sum02, by code, in whole yen.
[[nodiscard]] std::vector<YearRow> sumRows(Database& db, const QString& table);
// Writes rows into Sum01 or Sum02 as a run would have left them.
void addSumRows(Database& db, const QString& table, const std::vector<YearRow>& rows);

} // namespace tolva::testing
