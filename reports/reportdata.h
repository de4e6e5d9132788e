#pragma once

#include "reports/reportproject.h"
#include "reports/reportrenderer.h"

#include <functional>

#include <optional>

namespace tolva {
class Dataset;
class Tdm01Keiri;
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
//
// `progress`, when given, is told the body rows read so far every thousand rows; when it
// answers false the read stops with ReportStopped.
using ReadProgress = std::function<bool(int rowsRead)>;
struct ReportStopped {};
[[nodiscard]] ReportData readReportData(const ReportLayout& layout, const ConnectionLookup& connections,
                                        const ReadProgress& progress = {});

// The data connections of the report project, bound to the datasets of the shared data
// module ("RvDataSetConnection3" reads q19Repo); nullptr for any other name.
[[nodiscard]] ConnectionLookup dataModuleConnections(Tdm01Keiri& data);

// A report read and planned, ready to be drawn as often as a preview or printer asks.
struct PreparedReport {
    ReportLayout layout;
    ReportData data;
    std::vector<PageRows> pages;
};

// Everything of running a report but showing it:
//  1. a name the project lacks gives nothing (no error: such a report is simply not run);
//  2. reads the header and body rows from the layout's connections (see readReportData for
//     how each dataset is left);
//  3. plans the pages (a layout that leaves no room for a row throws).
[[nodiscard]] std::optional<PreparedReport> prepareReport(const ReportProject& project, const QString& name,
                                                          const ConnectionLookup& connections,
                                                          const ReadProgress& progress = {});

} // namespace tolva::reports
