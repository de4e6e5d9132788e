#pragma once

#include "db/money.h"

namespace tolva::testing {

// Whole yen as an amount.
[[nodiscard]] inline Money yen(qint64 value)
{
    return Money::fromYen(value);
}

} // namespace tolva::testing
