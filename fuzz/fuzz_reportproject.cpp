// The report project file: any bytes are read as a project or refused with the store's
// error, never anything else, and a project read plans its pages for any number of rows.
#include "db/storeerror.h"
#include "fuzz/fuzzcheck.h"
#include "reports/reportproject.h"
#include "reports/reportrenderer.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace tolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const reports::ReportProject project = reports::parseReportProject(json, QStringLiteral("fuzz.rav"));
        for (const reports::ReportLayout& layout : project.reports) {
            try {
                for (int rows : {0, 1, 250}) {
                    const auto pages = reports::paginate(layout, rows);
                    FUZZ_CHECK(!pages.empty());
                    int counted = 0;
                    for (const auto& page : pages)
                        counted += page.rowCount;
                    FUZZ_CHECK(counted == rows);
                }
            } catch (const StoreError&) {
                // A layout with no room for a row is refused when planned.
            }
        }
    } catch (const StoreError& e) {
        FUZZ_CHECK(!e.message().isEmpty());
    }
    return 0;
}
