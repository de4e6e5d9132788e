// Dates as typed and as stored: any text is read or refused; a date read writes back as
// text that reads as the same date.
#include "db/textformat.h"
#include "fuzz/fuzzcheck.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace tolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto date = textformat::parseDateEntry(text)) {
        FUZZ_CHECK(date->isValid());
        FUZZ_CHECK(date->year() >= textformat::kFirstEntryYear && date->year() <= textformat::kLastEntryYear);
        FUZZ_CHECK(textformat::parseDateEntry(textformat::shortDate(*date)) == date);
        FUZZ_CHECK(textformat::parseDate(textformat::isoDate(*date)) == date);
    }
    if (const auto date = textformat::parseDate(text))
        FUZZ_CHECK(date->isValid());
    const QString clean = textformat::withoutControlCharacters(text);
    for (QChar c : clean)
        FUZZ_CHECK(c.unicode() >= 0x20 && !(c.unicode() >= 0x7f && c.unicode() < 0xa0));
    return 0;
}
