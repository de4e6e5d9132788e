// Text into code page 932: whatever the conversion reports as written reads back as the same
// text (its look-alike twins taken into account), and a character it could not hold is always
// reported, never dropped.
#include "fuzz/fuzzcheck.h"
#include "reports/csvwriter.h"

#include <QString>
#include <QStringDecoder>

#include <cstddef>
#include <cstdint>

using namespace tolva;

namespace {

char16_t twin(char16_t c)
{
    switch (c) {
    case u'\u301C': return u'\uFF5E';
    case u'\u2016': return u'\u2225';
    case u'\u2212': return u'\uFF0D';
    case u'\u00A2': return u'\uFFE0';
    case u'\u00A3': return u'\uFFE1';
    case u'\u00AC': return u'\uFFE2';
    case u'\u2014': return u'\u2015';
    default: return c;
    }
}

// Reads code page 932 as Windows does: ASCII codes as themselves (the converter's own table
// moves three control codes about), everything else through the converter.
QString fromCodePage932(const QByteArray& bytes, bool& error)
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            text += QChar(b);
            continue;
        }
        const bool lead = (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
        const qsizetype length = lead && i + 1 < bytes.size() ? 2 : 1;
        QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
        text += decoder.decode(bytes.mid(i, length));
        error = error || decoder.hasError();
        i += length - 1;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // UTF-16 straight from the bytes, so that lone surrogates and every plane are reached.
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    const csv::CodePage932Text encoded = csv::toCodePage932(text);
    bool error = false;
    const QString back = fromCodePage932(encoded.bytes, error);
    FUZZ_CHECK(!error);
    if (!encoded.replaced) {
        QString expected = text;
        for (QChar& c : expected)
            c = QChar(twin(c.unicode()));
        FUZZ_CHECK(back == expected);
    } else {
        FUZZ_CHECK(encoded.bytes.contains('?'));
    }
    return 0;
}
