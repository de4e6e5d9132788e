#pragma once

#include "reportproject.h"
#include "reportrenderer.h"

#include <functional>

namespace tolva {
class Dataset;
}

namespace tolva::reports {

// The dataset behind a data connection's name; nullptr when the name is bound to none.
using ConnectionLookup = std::function<Dataset*(const QString& connection)>;

// Reads what a layout shows from its connections: the header texts from the first row of
// the header connection, and one row per record of the body connection, each cell from the
// column's field.
//
// A dataset found closed is opened for the read and closed again afterwards; one found open
// is read from its first row and left open, back on its first row, so that a caller's
// bound controls show what they showed before. A field the layout names but the dataset
// lacks throws a StoreError naming the report, the connection and the field.
[[nodiscard]] ReportData readReportData(const ReportLayout& layout, const ConnectionLookup& connections);

} // namespace tolva::reports
