#pragma once

#include <QString>

namespace tolva::testing {

// A small year 2024 of a shop kept with the household in one book (see the rows).
void smallRealisticYear(const QString& folder);

} // namespace tolva::testing
