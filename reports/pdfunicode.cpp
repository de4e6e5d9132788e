#include "reports/pdfunicode.h"

#include "reports/reportrenderer.h"

#include <QFile>
#include <QFont>
#include <QGlyphRun>
#include <QRawFont>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextLayout>

#include <algorithm>
#include <bit>
#include <map>
#include <optional>
#include <set>

namespace tolva::reports {

namespace {

// An object of the file: where it starts and ends (the next object or the cross-reference
// table), by the writer's own table.
struct PdfObject {
    qsizetype start = 0;
    qsizetype end = 0;
};

QString normalised(QString name)
{
    name.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
    return name.toLower();
}

std::optional<int> reference(const QByteArray& text, const char* key)
{
    const QRegularExpression pattern(QStringLiteral("/%1\\s+(\\d+)\\s+0\\s+R").arg(QLatin1String(key)));
    const auto match = pattern.match(QString::fromLatin1(text));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

// The glyph numbers a ToUnicode map names, from its bfchar and bfrange entries.
std::set<int> namedGlyphs(const QByteArray& cmap)
{
    std::set<int> named;
    const QString text = QString::fromLatin1(cmap);
    static const QRegularExpression range(QStringLiteral(R"(<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*(\[|<))"));
    static const QRegularExpression blocks(QStringLiteral(R"(beginbf(char|range)(.*?)endbf\1)"),
                                           QRegularExpression::DotMatchesEverythingOption);
    for (auto block = blocks.globalMatch(text); block.hasNext();) {
        const auto b = block.next();
        if (b.captured(1) == QStringLiteral("char")) {
            static const QRegularExpression pair(QStringLiteral(R"(<([0-9A-Fa-f]+)>\s*<[0-9A-Fa-f]*>)"));
            for (auto p = pair.globalMatch(b.captured(2)); p.hasNext();)
                named.insert(p.next().captured(1).toInt(nullptr, 16));
            continue;
        }
        for (auto r = range.globalMatch(b.captured(2)); r.hasNext();) {
            const auto m = r.next();
            for (int g = m.captured(1).toInt(nullptr, 16); g <= m.captured(2).toInt(nullptr, 16); ++g)
                named.insert(g);
        }
    }
    return named;
}

QByteArray utf16Hex(char32_t c)
{
    const QString text = QString::fromUcs4(&c, 1);
    QByteArray hex;
    for (QChar unit : text)
        hex += QByteArray::number(unit.unicode(), 16).rightJustified(4, '0').toUpper();
    return hex;
}

class QtPdf {
public:
    explicit QtPdf(QByteArray bytes) : bytes_(std::move(bytes)) {}

    bool readTable()
    {
        const qsizetype startxref = bytes_.lastIndexOf("startxref");
        if (startxref < 0)
            return false;
        xref_ = bytes_.mid(startxref + 9, 32).trimmed().split('\n').value(0).trimmed().toLongLong();
        if (xref_ <= 0 || xref_ >= bytes_.size() || !bytes_.mid(xref_, 4).startsWith("xref"))
            return false;
        qsizetype pos = bytes_.indexOf('\n', xref_) + 1;
        const QList<QByteArray> head = bytes_.mid(pos, bytes_.indexOf('\n', pos) - pos).trimmed().split(' ');
        if (head.size() != 2 || head[0] != "0")
            return false;
        const int count = head[1].toInt();
        pos = bytes_.indexOf('\n', pos) + 1;
        entriesStart_ = pos;
        for (int i = 0; i < count; ++i) {
            const QByteArray entry = bytes_.mid(pos + qsizetype(i) * 20, 20);
            if (entry.size() != 20)
                return false;
            offsets_.push_back(entry.left(10).toLongLong());
            inUse_.push_back(entry.at(17) == 'n');
        }
        std::vector<qsizetype> starts;
        for (std::size_t i = 0; i < offsets_.size(); ++i)
            if (inUse_[i])
                starts.push_back(offsets_[i]);
        starts.push_back(xref_);
        std::sort(starts.begin(), starts.end());
        for (std::size_t i = 0; i < offsets_.size(); ++i)
            if (inUse_[i]) {
                const auto next = std::upper_bound(starts.begin(), starts.end(), offsets_[i]);
                objects_[int(i)] = {offsets_[i], next == starts.end() ? xref_ : *next};
            }
        return true;
    }

    [[nodiscard]] QByteArray object(int number) const
    {
        const auto found = objects_.find(number);
        return found == objects_.end() ? QByteArray() : bytes_.mid(found->second.start, found->second.end - found->second.start);
    }

    // The data of an unfiltered stream object.
    [[nodiscard]] std::optional<QByteArray> streamData(int number) const
    {
        const QByteArray text = object(number);
        if (text.contains("/Filter"))
            return std::nullopt;
        const qsizetype begin = text.indexOf("stream\n");
        const qsizetype end = text.lastIndexOf("endstream");
        if (begin < 0 || end < begin)
            return std::nullopt;
        QByteArray data = text.mid(begin + 7, end - begin - 7);
        if (data.endsWith('\n'))
            data.chop(1);
        return data;
    }

    void replaceStream(int number, const QByteArray& data)
    {
        replacements_[number] = QByteArrayLiteral("<< /Length ") + QByteArray::number(data.size()) + " >>\nstream\n" + data
                                + "\nendstream\nendobj\n";
    }
    [[nodiscard]] std::vector<int> objectNumbers() const
    {
        std::vector<int> numbers;
        for (const auto& entry : objects_)
            numbers.push_back(entry.first);
        return numbers;
    }
    [[nodiscard]] bool changed() const { return !replacements_.empty(); }

    // The file with the replaced objects, every offset of the table moved with them.
    [[nodiscard]] QByteArray rewritten() const
    {
        QByteArray out;
        out.reserve(bytes_.size() + 4096);
        std::vector<std::pair<qsizetype, int>> order;
        for (const auto& [number, object] : objects_)
            order.push_back({object.start, number});
        std::sort(order.begin(), order.end());
        std::map<int, qsizetype> moved;
        qsizetype copied = 0;
        for (const auto& [start, number] : order) {
            out += bytes_.mid(copied, start - copied);
            moved[number] = out.size();
            const PdfObject& object = objects_.at(number);
            const auto replacement = replacements_.find(number);
            if (replacement == replacements_.end()) {
                out += bytes_.mid(object.start, object.end - object.start);
            } else {
                out += QByteArray::number(number) + " 0 obj\n" + replacement->second;
            }
            copied = object.end;
        }
        out += bytes_.mid(copied, entriesStart_ - copied);
        const qsizetype newXref = out.size() - (entriesStart_ - xref_);
        for (std::size_t i = 0; i < offsets_.size(); ++i) {
            QByteArray entry = bytes_.mid(entriesStart_ + qsizetype(i) * 20, 20);
            if (inUse_[i])
                entry.replace(0, 10, QByteArray::number(moved[int(i)]).rightJustified(10, '0'));
            out += entry;
        }
        const qsizetype afterEntries = entriesStart_ + qsizetype(offsets_.size()) * 20;
        QByteArray tail = bytes_.mid(afterEntries);
        const qsizetype startxref = tail.lastIndexOf("startxref");
        tail = tail.left(startxref) + "startxref\n" + QByteArray::number(newXref) + "\n%%EOF\n";
        out += tail;
        return out;
    }

private:
    QByteArray bytes_;
    qsizetype xref_ = 0;
    qsizetype entriesStart_ = 0;
    std::vector<qsizetype> offsets_;
    std::vector<bool> inUse_;
    std::map<int, PdfObject> objects_;
    std::map<int, QByteArray> replacements_;
};

int countBits(const QByteArray& bits)
{
    int count = 0;
    for (char byte : bits)
        count += std::popcount(static_cast<unsigned char>(byte));
    return count;
}

} // namespace

QString drawingFamily(char32_t c)
{
    QFont font;
    font.setFamilies(fontFamilies());
    font.setStyleHint(QFont::SansSerif);
    QTextLayout layout(QString::fromUcs4(&c, 1), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return runs.isEmpty() ? QString() : runs.first().rawFont().familyName();
}

bool restoreTextOutsideBmp(const QString& pdfPath, const std::vector<char32_t>& drawnInOrder)
{
    if (drawnInOrder.empty())
        return true;
    QFile file(pdfPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QtPdf pdf(file.readAll());
    file.close();
    if (!pdf.readTable())
        return false;

    // The characters per face, in the order they were first drawn.
    std::vector<std::pair<QString, std::vector<char32_t>>> byFamily;
    for (char32_t c : drawnInOrder) {
        const QString family = normalised(drawingFamily(c));
        auto found = std::find_if(byFamily.begin(), byFamily.end(), [&](const auto& f) { return f.first == family; });
        if (found == byFamily.end())
            found = byFamily.insert(byFamily.end(), {family, {}});
        found->second.push_back(c);
    }

    static const QRegularExpression baseFont(QStringLiteral(R"(/BaseFont\s*/([^\s/>\[]+))"));
    for (int number : pdf.objectNumbers()) {
        const QByteArray font = pdf.object(number);
        if (!font.contains("/Subtype /Type0"))
            continue;
        const auto toUnicode = reference(font, "ToUnicode");
        const auto descendantsAt = font.indexOf("/DescendantFonts");
        const auto nameMatch = baseFont.match(QString::fromLatin1(font));
        if (!toUnicode || descendantsAt < 0 || !nameMatch.hasMatch())
            continue;
        static const QRegularExpression firstRef(QStringLiteral(R"((\d+)\s+0\s+R)"));
        const auto descendant = firstRef.match(QString::fromLatin1(font.mid(descendantsAt)));
        if (!descendant.hasMatch())
            continue;
        const auto descriptor = reference(pdf.object(descendant.captured(1).toInt()), "FontDescriptor");
        const auto cidSet = descriptor ? reference(pdf.object(*descriptor), "CIDSet") : std::nullopt;
        const auto bits = cidSet ? pdf.streamData(*cidSet) : std::nullopt;
        const auto cmap = pdf.streamData(*toUnicode);
        if (!bits || !cmap)
            continue;

        const int glyphCount = countBits(*bits);
        const std::set<int> named = namedGlyphs(*cmap);
        std::vector<int> unnamed;
        for (int g = 1; g < glyphCount; ++g)
            if (!named.contains(g))
                unnamed.push_back(g);
        if (unnamed.empty())
            continue;
        const QString name = normalised(nameMatch.captured(1));
        const auto family = std::find_if(byFamily.begin(), byFamily.end(),
                                         [&](const auto& f) { return !f.first.isEmpty() && name.startsWith(f.first); });
        if (family == byFamily.end() || family->second.size() != unnamed.size())
            continue;

        QByteArray entries = QByteArray::number(qsizetype(unnamed.size())) + " beginbfchar\n";
        for (std::size_t i = 0; i < unnamed.size(); ++i)
            entries += '<' + QByteArray::number(unnamed[i], 16).rightJustified(4, '0').toUpper() + "> <"
                       + utf16Hex(family->second[i]) + ">\n";
        entries += "endbfchar\n";
        QByteArray text = *cmap;
        const qsizetype endCmap = text.indexOf("endcmap");
        if (endCmap < 0)
            continue;
        text.insert(endCmap, entries);
        pdf.replaceStream(*toUnicode, text);
    }
    if (!pdf.changed())
        return true;

    QSaveFile out(pdfPath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(pdf.rewritten());
    return out.commit();
}

} // namespace tolva::reports
