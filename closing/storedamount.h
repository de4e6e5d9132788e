#pragma once

#include "db/money.h"

#include <QString>

namespace tolva {

class Statement;

// An amount read from a result column of the closing's own statements: null reads 0, an
// integer is ten-thousandths of a yen, a real (left by some other writer of the books) only
// when it is a whole number of them. Anything else throws, naming `what` and the value.
[[nodiscard]] Money storedAmount(const Statement& statement, int column, const QString& what);

} // namespace tolva
