// What a user may type as an amount: any text is read or refused, never misread. What is
// read writes back as text that reads as the same amount, and an entry stays within the
// whole yen the books take.
#include "db/textformat.h"
#include "fuzz/fuzzcheck.h"

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace tolva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto amount = textformat::parseAmount(text)) {
        FUZZ_CHECK(textformat::parseAmount(textformat::plainAmount(*amount)) == amount);
        FUZZ_CHECK(!textformat::gridAmount(*amount).isEmpty());
    }
    const textformat::AmountEntry entry = textformat::parseAmountEntry(text);
    FUZZ_CHECK(entry.amount.has_value() == (entry.error == textformat::AmountEntryError::None));
    if (entry.amount) {
        FUZZ_CHECK(entry.amount->isWholeYen());
        const qint64 yen = entry.amount->roundedToYen();
        FUZZ_CHECK(yen <= Money::kMaxEntryYen && yen >= -Money::kMaxEntryYen);
        FUZZ_CHECK(textformat::parseAmountEntry(textformat::currency(*entry.amount)).amount == entry.amount);
    }
    return 0;
}
