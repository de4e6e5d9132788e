#include "reports/csvwriter.h"

#include "db/outputfile.h"
#include "db/storeerror.h"

#include <QDir>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace tolva::csv {

namespace {

constexpr qsizetype kBuffer = 1 << 20;

// ICU's Shift_JIS converter behind this name is the Windows code page (～ is 0x8160, ① is
// 0x8740), not the strict JIS table.
constexpr const char* kCodePage932 = "windows-31j";

// Characters that JIS-based conversion tables and code page 932 map to different code
// points: what a Linux or macOS input method types for 〜 has no place in code page 932,
// while the same-looking ～ has.
char32_t codePage932Twin(char32_t c)
{
    switch (c) {
    case U'\u301C': return U'\uFF5E';  // WAVE DASH -> FULLWIDTH TILDE
    case U'\u2016': return U'\u2225';  // DOUBLE VERTICAL LINE -> PARALLEL TO
    case U'\u2212': return U'\uFF0D';  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    case U'\u00A2': return U'\uFFE0';  // CENT SIGN -> FULLWIDTH CENT SIGN
    case U'\u00A3': return U'\uFFE1';  // POUND SIGN -> FULLWIDTH POUND SIGN
    case U'\u00AC': return U'\uFFE2';  // NOT SIGN -> FULLWIDTH NOT SIGN
    case U'\u2014': return U'\u2015';  // EM DASH -> HORIZONTAL BAR
    default: return c;
    }
}

// The private use area is where the converter's table holds a mapping that does not come
// back (U+F86F is written as the code of №); its characters are checked one by one.
bool isPrivateUse(char16_t u)
{
    return u >= 0xE000 && u <= 0xF8FF;
}

// Whether the whole text can go through the converter in one pass: no look-alike twin to
// replace, and none of the three control characters that the converter's table moves about
// (it writes U+001A as 0x7F, U+001C as 0x1A and U+007F as 0x1C, where code page 932 keeps
// every ASCII code where it is).
bool convertsInOnePass(QStringView text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0x1A || u == 0x1C || u == 0x7F || codePage932Twin(u) != u || isPrivateUse(u))
            return false;
    }
    return true;
}

QStringEncoder newEncoder()
{
    // Stateless: every call is a whole text. A stateful encoder keeps a high surrogate at the
    // end of a text back for the next call, and so would drop it without an error.
    QStringEncoder encoder(kCodePage932, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        throw StoreError(QStringLiteral("文字コード Shift-JIS (コードページ932) の変換を用意できません。"));
    return encoder;
}

// The bytes of one character, or nothing when the code page cannot hold it. An encoder
// that met an error stays in error, so each character gets a fresh one; the answers are
// kept, since a file repeats the same few characters.
std::optional<QByteArray> encodeOne(char32_t c)
{
    static thread_local QHash<char32_t, std::optional<QByteArray>> known;
    const auto it = known.constFind(c);
    if (it != known.constEnd())
        return it.value();
    std::optional<QByteArray> result;
    if (!(c >= 0xD800 && c <= 0xDFFF)) {
        QStringEncoder encoder = newEncoder();
        const QString character = QString::fromUcs4(&c, 1);
        const QByteArray bytes = encoder.encode(character);
        // Every character the code page holds takes at least one byte; one that comes out as
        // nothing without an error (U+FEFF, taken for a byte order mark) was dropped. And it
        // reads back as itself: a look-alike would be a silent change.
        QStringDecoder decoder(kCodePage932, QStringConverter::Flag::Stateless);
        if (!encoder.hasError() && !bytes.isEmpty() && decoder.decode(bytes) == character)
            result = bytes;
    }
    known.insert(c, result);
    return result;
}

} // namespace

QString quoteCell(const QString& cell)
{
    bool needsQuotes = false;
    for (QChar c : cell) {
        if (c.unicode() <= 32 || c == u'"' || c == u',') {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes)
        return cell;
    QString quoted = cell;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString joinRow(const QStringList& cells)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += u',';
        line += quoteCell(cells[i]);
    }
    return line;
}

namespace {

// One converter for every line (opening a converter costs more than converting a line).
QStringEncoder& sharedEncoder()
{
    static thread_local QStringEncoder encoder = newEncoder();
    return encoder;
}

// Lines that convert in one pass are converted together, this many characters at a time.
constexpr qsizetype kPendingChars = 1 << 15;

} // namespace

CodePage932Text toCodePage932(QStringView text)
{
    CodePage932Text result;
    // Most lines hold only characters the code page has: one pass over the whole text, with
    // one converter for every line (opening a converter costs more than converting a line).
    if (convertsInOnePass(text)) {
        QStringEncoder& encoder = sharedEncoder();
        encoder.resetState();
        result.bytes = encoder.encode(text);
        if (!encoder.hasError())
            return result;
        result.bytes.clear();
    }
    const QList<uint> codePoints = text.toUcs4();
    for (uint codePoint : codePoints) {
        if (codePoint < 0x80) {
            result.bytes += char(codePoint);
            continue;
        }
        if (const auto bytes = encodeOne(codePage932Twin(char32_t(codePoint)))) {
            result.bytes += *bytes;
        } else {
            result.bytes += '?';
            result.replaced = true;
        }
    }
    return result;
}

LineWriter::LineWriter(const QString& path) : path_(path), file_(std::make_unique<outputfile::OutputFile>(path))
{
    buffer_.reserve(kBuffer);
}

LineWriter::~LineWriter() = default;

void LineWriter::add(QStringView line)
{
    if (convertsInOnePass(line)) {
        if (pendingEnds_.isEmpty())
            pendingFirstLine_ = lines_;
        pending_ += line;
        pending_ += QStringLiteral("\r\n");
        pendingEnds_ << pending_.size();
        ++lines_;
        if (pending_.size() >= kPendingChars) {
            convertPending();
            if (buffer_.size() >= kBuffer)
                flush();
        }
        return;
    }
    convertPending();
    const CodePage932Text encoded = toCodePage932(line);
    if (encoded.replaced)
        outcome_.linesWithReplacements << lines_;
    ++lines_;
    buffer_ += encoded.bytes;
    buffer_ += "\r\n";
    if (buffer_.size() >= kBuffer)
        flush();
}

void LineWriter::convertPending()
{
    if (pendingEnds_.isEmpty())
        return;
    QStringEncoder& encoder = sharedEncoder();
    encoder.resetState();
    const QByteArray bytes = encoder.encode(pending_);
    if (!encoder.hasError()) {
        buffer_ += bytes;
    } else {
        // A character the code page lacks after all: line by line, to tell which lines hold "?".
        qsizetype start = 0;
        int line = pendingFirstLine_;
        for (qsizetype end : std::as_const(pendingEnds_)) {
            const CodePage932Text encoded = toCodePage932(QStringView(pending_).mid(start, end - start - 2));
            if (encoded.replaced)
                outcome_.linesWithReplacements << line;
            buffer_ += encoded.bytes;
            buffer_ += "\r\n";
            start = end;
            ++line;
        }
    }
    pending_.clear();
    pendingEnds_.clear();
}

void LineWriter::flush()
{
    convertPending();
    file_->write(buffer_);
    buffer_.clear();
}

WriteOutcome LineWriter::commit()
{
    flush();
    file_->commit();
    return outcome_;
}

WriteOutcome writeLines(const QString& path, const QStringList& lines)
{
    LineWriter writer(path);
    for (const QString& line : lines)
        writer.add(line);
    return writer.commit();
}

WriteOutcome writeRows(const QString& path, const QList<QStringList>& rows)
{
    QStringList lines;
    lines.reserve(rows.size());
    for (const QStringList& row : rows)
        lines << joinRow(row);
    return writeLines(path, lines);
}

QString replacementNotice(const QString& path, const QList<int>& lineNumbers, const QStringList& notes, int listed)
{
    QString text = QStringLiteral("「%1」に書き出しました。\n"
                                  "次の行には Shift-JIS で書けない文字があったため、その文字を「?」に置き換えています。")
                       .arg(QDir::toNativeSeparators(path));
    const int shown = int(qMin<qsizetype>(lineNumbers.size(), listed));
    for (int i = 0; i < shown; ++i) {
        text += QStringLiteral("\n  %1 行目").arg(lineNumbers[i]);
        if (i < notes.size() && !notes[i].isEmpty())
            text += QStringLiteral(" (%1)").arg(notes[i]);
    }
    if (lineNumbers.size() > shown)
        text += QStringLiteral("\n  ほか %1 行").arg(lineNumbers.size() - shown);
    return text;
}

} // namespace tolva::csv
