// The rewrite of the local SQL: any text rewrites without a crash, every parameter found is
// numbered, and text inside quotes is never touched.
#include "db/sqldialect.h"
#include "fuzz/fuzzcheck.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace tolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const sqldialect::Translation t = sqldialect::translate(sql, [](const QString&) { return QStringLiteral("SELECT 1 AS code"); });
    FUZZ_CHECK(t.occurrences == sqldialect::parameterOccurrences(sql));
    FUZZ_CHECK(t.distinctNames.size() <= t.occurrences.size());
    for (const QString& name : t.occurrences)
        FUZZ_CHECK(!name.isEmpty());
    (void)sqldialect::bareTableName(sql);
    return 0;
}
