#include "cli/output.h"

#include "db/cancellation.h"
#include "db/textformat.h"
#include "reports/csvwriter.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace tolva::cli {

void writeOut(const QByteArray& bytes)
{
    cancellation::throwIfRequested();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void writeOut(const QString& text)
{
    writeOut(text.toUtf8());
}

void writeErr(const QString& text)
{
    std::fflush(stdout);
    const QByteArray bytes = (text.endsWith(u'\n') ? text : text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

namespace {

bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF)
        || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF)
        || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
        || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F)
        || (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

int charWidth(char32_t c)
{
    if (c < 0x7F)
        return c < 0x20 ? 0 : 1;
    if (c < 0xA0)
        return 0;
    if (isWide(c))
        return 2;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing || category == QChar::Other_Format ? 0 : 1;
}

} // namespace

int displayWidth(QStringView text)
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        width += charWidth(c);
    }
    return width;
}

TextTable::TextTable(QList<Column> columns) : columns_(std::move(columns))
{
    for (const Column& column : columns_)
        widths_ << displayWidth(column.title);
}

void TextTable::addRow(QStringList cells)
{
    for (qsizetype c = 0; c < cells.size(); ++c) {
        QString& cell = cells[c];
        for (QChar ch : std::as_const(cell)) {
            if (ch.unicode() < 0x20 || (ch.unicode() >= 0x7f && ch.unicode() < 0xa0) || ch.unicode() == 0x2028 || ch.unicode() == 0x2029) {
                cell = textformat::withoutControlCharacters(cell);
                break;
            }
        }
        const int width = displayWidth(cell);
        cellWidths_ << width;
        if (c < widths_.size())
            widths_[c] = qMax(widths_[c], width);
    }
    rowStarts_ << cellWidths_.size() - cells.size();
    rows_ << std::move(cells);
}

template <typename Sink>
void TextTable::renderInto(Sink&& sink) const
{
    QString out;
    auto line = [&](const QStringList& cells, const int* cellWidths) {
        out.clear();
        for (int c = 0; c < columns_.size(); ++c) {
            if (c > 0)
                out += QStringLiteral("  ");
            if (c >= cells.size()) {
                out += QString(widths_[c], u' ');
                continue;
            }
            const int blanks = qMax(0, widths_[c] - cellWidths[c]);
            if (columns_[c].align == Align::Right) {
                out.append(QString(blanks, u' ')).append(cells[c]);
            } else {
                out.append(cells[c]).append(QString(blanks, u' '));
            }
        }
        while (out.endsWith(u' '))
            out.chop(1);
        out += u'\n';
        sink(out);
    };
    QStringList titles;
    QList<int> titleWidths;
    for (const Column& column : columns_) {
        titles << column.title;
        titleWidths << displayWidth(column.title);
    }
    line(titles, titleWidths.constData());
    int total = 0;
    for (int w : widths_)
        total += w;
    sink(QString(total + 2 * qMax<qsizetype>(0, widths_.size() - 1), u'-') + u'\n');
    for (qsizetype r = 0; r < rows_.size(); ++r)
        line(rows_[r], cellWidths_.constData() + rowStarts_[r]);
}

QString TextTable::render() const
{
    QString text;
    renderInto([&](const QString& piece) { text += piece; });
    return text;
}

void TextTable::write() const
{
    QByteArray buffer;
    buffer.reserve(1 << 20);
    renderInto([&](const QString& piece) {
        buffer += piece.toUtf8();
        if (buffer.size() >= (1 << 20) - 4096) {
            writeOut(buffer);
            buffer.clear();
        }
    });
    writeOut(buffer);
}

QList<OptionSpec> formatOptions(bool csv)
{
    QList<OptionSpec> options{
        {{QStringLiteral("format")}, QStringLiteral("FORMAT"),
         csv ? QStringLiteral("出力の形式: text（表、既定）、csv、json（UTF-8）")
             : QStringLiteral("出力の形式: text（既定）、json（UTF-8）")}};
    if (csv)
        options << OptionSpec{{QStringLiteral("encoding")}, QStringLiteral("ENCODING"),
                              QStringLiteral("csv の文字コード: cp932（Shift-JIS、既定）、utf-8")};
    return options;
}

OutputChoice outputChoice(const Invocation& invocation, bool csv)
{
    OutputChoice choice;
    const QString format = invocation.value(QStringLiteral("format")).toLower();
    if (format.isEmpty() || format == u"text")
        choice.format = Format::Text;
    else if (format == u"json")
        choice.format = Format::Json;
    else if (format == u"csv" && csv)
        choice.format = Format::Csv;
    else
        throw UsageError(QStringLiteral("--format に「%1」は指定できません（%2）。")
                             .arg(format, csv ? QStringLiteral("text、csv、json") : QStringLiteral("text、json")));
    if (csv && invocation.isSet(QStringLiteral("encoding"))) {
        const QString encoding = invocation.value(QStringLiteral("encoding")).toLower();
        if (encoding == u"utf-8" || encoding == u"utf8")
            choice.utf8 = true;
        else if (encoding != u"cp932" && encoding != u"shift-jis" && encoding != u"sjis")
            throw UsageError(QStringLiteral("--encoding に「%1」は指定できません（cp932、utf-8）。").arg(encoding));
        if (choice.format != Format::Csv)
            throw UsageError(QStringLiteral("--encoding は --format csv と一緒に指定してください。"));
    }
    return choice;
}

CsvOut::~CsvOut()
{
    flush();
    std::fflush(stdout);
    if (!replaced_.isEmpty())
        writeErr(csv::replacementNotice(QStringLiteral("標準出力"), replaced_));
}

void CsvOut::row(const QStringList& cells)
{
    line(csv::joinRow(cells));
}

void CsvOut::line(const QString& text)
{
    ++lines_;
    if (utf8_) {
        buffer_ += text.toUtf8();
    } else {
        const csv::CodePage932Text encoded = csv::toCodePage932(text);
        if (encoded.replaced)
            replaced_ << lines_;
        buffer_ += encoded.bytes;
    }
    buffer_ += "\r\n";
    if (buffer_.size() > (1 << 20))
        flush();
}

void CsvOut::flush()
{
    writeOut(buffer_);
    buffer_.clear();
}

QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace tolva::cli
