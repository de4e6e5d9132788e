#pragma once

#include <QVariant>

namespace tolva::datasetvalues {

// A parameter value as it is bound: dates as ISO text, money as its exact units.
[[nodiscard]] QVariant parameterStorage(const QVariant& value);

} // namespace tolva::datasetvalues
