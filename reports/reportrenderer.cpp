#include "reports/reportrenderer.h"

#include "db/storeerror.h"
#include "db/textformat.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

#include <cmath>
#include <deque>

namespace tolva::reports {

namespace {

constexpr double kCellPaddingMm = 1.5;
constexpr double kGapBelowHeaderMm = 2.0;
constexpr double kThinLineMm = 0.15;
constexpr double kThickLineMm = 0.4;
// The smallest an amount is shrunk to fit its column: an amount is never cut short,
// since a cut figure reads as a different figure.
constexpr double kSmallestAmountScale = 0.5;
// Text is never cut either: a memo that ends in "…" may read as another memo ("11月分" and
// "1…"). It is set smaller down to this size, then wrapped onto more lines of its row, and
// the row grows when even that is not enough.
constexpr double kSmallestTextPt = 6.5;
constexpr double kTextStepPt = 0.5;
// Wrapping is planned a little narrower than the cell, so that the printer's own metrics,
// which round differently from the plan's, never need one line more than planned.
constexpr double kWrapSlack = 0.96;
constexpr double kRowPaddingMm = 0.6;

double titleHeightMm(const ReportLayout& layout)
{
    return layout.title.isEmpty() ? 0.0 : layout.titleFontSizePt * kMillimetresPerPoint * 1.8;
}

double lineHeightMm(const ReportLayout& layout)
{
    return layout.fontSizePt * kMillimetresPerPoint * 1.6;
}

// Fills pages with rows of the given heights. The carried and total sums take a row of the
// layout's height each. A row taller than a whole page still gets a page of its own.
template <typename HeightOf>
std::vector<PageRows> splitRows(const ReportLayout& layout, const PageGeometry& geometry, int rowCount,
                                const HeightOf& heightOf)
{
    std::vector<PageRows> pages;
    if (geometry.rowsPerPage < 1)
        return pages;
    const bool totals = layout.totalsCaption.has_value();
    const bool carry = layout.carryForward.has_value();
    const double slot = layout.rowHeightMm;
    const double bodyMm = geometry.rowsPerPage * slot;
    constexpr double kTolerance = 1e-6;
    // How many rows from `from` fit in `room`, and the height they take.
    const auto fit = [&](int from, double room) {
        int count = 0;
        double used = 0;
        while (from + count < rowCount) {
            const double height = heightOf(from + count);
            if (used + height > room + kTolerance)
                break;
            used += height;
            ++count;
        }
        return std::pair{count, used};
    };
    int first = 0;
    do {
        PageRows page;
        page.firstRow = first;
        page.broughtForward = carry && !pages.empty();
        const double room = bodyMm - (page.broughtForward ? slot : 0.0);
        auto [count, used] = fit(first, room);
        const bool last = first + count == rowCount && (!totals || used + slot <= room + kTolerance);
        // A page that cannot hold the rest keeps a place at its foot for the sums carried on,
        // and at least one row above it.
        if (carry && !last)
            count = fit(first, room - slot).first;
        if (!last && count == 0 && first < rowCount)
            count = 1;
        page.rowCount = count;
        page.totals = totals && last;
        page.carriedForward = carry && !page.totals;
        pages.push_back(page);
        first += count;
    } while (first < rowCount || (totals && !pages.back().totals));
    return pages;
}

Qt::Alignment qtAlignment(Alignment alignment)
{
    switch (alignment) {
    case Alignment::Left:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case Alignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case Alignment::Right:
        break;
    }
    return Qt::AlignRight | Qt::AlignVCenter;
}

QFont reportFont(double pointSize, bool bold = false)
{
    QFont font;
    font.setFamilies(fontFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

// Text is measured on one fine raster whatever it is drawn on, so that the plan of the pages
// (made before any device exists) and the drawing agree on how a text is set.
class TextMeasure {
public:
    TextMeasure() : image_(1, 1, QImage::Format_Mono)
    {
        const int dotsPerMetre = int(std::lround(kMeasureDpi / 0.0254));
        image_.setDotsPerMeterX(dotsPerMetre);
        image_.setDotsPerMeterY(dotsPerMetre);
    }

    [[nodiscard]] double widthMm(const QString& text, double pointSize) const
    {
        return metrics(pointSize).horizontalAdvance(text) / pixelsPerMm();
    }
    [[nodiscard]] double lineSpacingMm(double pointSize) const { return metrics(pointSize).lineSpacing() / pixelsPerMm(); }
    [[nodiscard]] int wrappedLines(const QString& text, double pointSize, double widthMm) const
    {
        const QFontMetricsF& m = metrics(pointSize);
        const QRectF bounds = m.boundingRect(QRectF(0, 0, widthMm * pixelsPerMm(), 1e9),
                                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, text);
        return std::max(1, int(std::lround(bounds.height() / m.lineSpacing())));
    }

private:
    static constexpr double kMeasureDpi = 1200;
    [[nodiscard]] static double pixelsPerMm() { return kMeasureDpi / 25.4; }
    // Metrics are kept per size: resolving the font for every cell of a long book cost more
    // than measuring its text. Only a few sizes are ever asked for (the steps between the
    // layouts' sizes and the smallest readable one).
    [[nodiscard]] const QFontMetricsF& metrics(double pointSize) const
    {
        const int key = int(std::lround(pointSize * 100));
        for (const auto& [size, metrics] : metrics_)
            if (size == key)
                return metrics;
        metrics_.emplace_back(key, QFontMetricsF(reportFont(pointSize), &image_));
        return metrics_.back().second;
    }

    QImage image_;
    mutable std::deque<std::pair<int, QFontMetricsF>> metrics_;  // a deque keeps references valid
};

const TextMeasure& textMeasure()
{
    static const TextMeasure measure;
    return measure;
}

// How a text is set in its cell: the size, and on how many lines.
struct TextFit {
    double pointSize = 0;
    int lines = 1;
    double heightMm = 0;  // the height those lines need
};

// The largest size that keeps the text on one line, down to the smallest readable size; then
// the largest that wraps it into the row's height; then the smallest, on as many lines as it
// takes (the row grows to hold them).
TextFit fitText(const QString& text, double widthMm, double rowHeightMm, double basePt)
{
    const TextMeasure& measure = textMeasure();
    const double width = widthMm * kWrapSlack;
    for (double pt = basePt; pt >= kSmallestTextPt - 1e-9; pt -= kTextStepPt)
        if (measure.widthMm(text, pt) <= width)
            return {pt, 1, measure.lineSpacingMm(pt)};
    for (double pt = basePt; pt >= kSmallestTextPt - 1e-9; pt -= kTextStepPt) {
        const int lines = measure.wrappedLines(text, pt, width);
        const double height = lines * measure.lineSpacingMm(pt);
        if (height + kRowPaddingMm <= rowHeightMm)
            return {pt, lines, height};
    }
    const int lines = measure.wrappedLines(text, kSmallestTextPt, width);
    return {kSmallestTextPt, lines, lines * measure.lineSpacingMm(kSmallestTextPt)};
}

double textWidthMm(const ReportColumn& column)
{
    return column.widthMm - 2 * kCellPaddingMm;
}

// The height a row needs: the layout's, or more for a text that needs more lines. `textHeight`
// gives the height of a column's text as fitText sets it.
template <typename TextHeight>
double rowHeight(const ReportLayout& layout, const ReportRow& row, const TextHeight& textHeight)
{
    double height = layout.rowHeightMm;
    for (std::size_t i = 0; i < layout.columns.size() && i < row.size(); ++i) {
        if (layout.columns[i].format == CellFormat::Amount)
            continue;
        const QString text = cellText(row[i]);
        if (text.isEmpty())
            continue;
        height = std::max(height, textHeight(i, text) + kRowPaddingMm);
    }
    return height;
}

// Millimetres to the device's pixels; every position is planned in millimetres.
class Scale {
public:
    explicit Scale(const QPaintDevice& device)
        : x_(device.logicalDpiX() / 25.4), y_(device.logicalDpiY() / 25.4)
    {
    }
    [[nodiscard]] double x(double mm) const { return mm * x_; }
    [[nodiscard]] double y(double mm) const { return mm * y_; }
    [[nodiscard]] QRectF rect(double leftMm, double topMm, double widthMm, double heightMm) const
    {
        return {x(leftMm), y(topMm), x(widthMm), y(heightMm)};
    }

private:
    double x_;
    double y_;
};

class PagePainter {
public:
    PagePainter(QPainter& painter, const Scale& scale, const ReportLayout& layout, const PageGeometry& geometry,
                std::vector<char32_t>& outsideBmp)
        : painter_(painter), scale_(scale), layout_(layout), geometry_(geometry),
          tableLeftMm_((geometry.printableWidthMm - layout.tableWidthMm()) / 2.0), outsideBmp_(outsideBmp)
    {
    }

    void drawHeader(const std::vector<HeaderLine>& lines)
    {
        if (geometry_.titleHeightMm > 0) {
            painter_.setFont(reportFont(layout_.titleFontSizePt, true));
            write(scale_.rect(0, 0, geometry_.printableWidthMm, geometry_.titleHeightMm),
                              Qt::AlignCenter, layout_.title);
        }
        // Header lines run over the width of the table, so their left and right texts
        // stand above its first and last columns.
        painter_.setFont(reportFont(layout_.fontSizePt));
        double top = geometry_.headerTopMm;
        for (const HeaderLine& line : lines) {
            const QRectF box = scale_.rect(tableLeftMm_, top, layout_.tableWidthMm(), geometry_.headerLineHeightMm);
            write(box, Qt::AlignLeft | Qt::AlignVCenter, line.left);
            write(box, Qt::AlignHCenter | Qt::AlignVCenter, line.center);
            write(box, Qt::AlignRight | Qt::AlignVCenter, line.right);
            top += geometry_.headerLineHeightMm;
        }
    }

    void drawCaptions()
    {
        const double top = geometry_.captionTopMm;
        const double rowHeight = layout_.rowHeightMm;
        const double height = rowHeight * geometry_.captionRows;
        painter_.fillRect(scale_.rect(tableLeftMm_, top, layout_.tableWidthMm(), height), QColor(236, 236, 236));
        painter_.setFont(reportFont(layout_.fontSizePt));
        setPen(kThinLineMm);

        double left = tableLeftMm_;
        for (std::size_t i = 0; i < layout_.columns.size();) {
            const ReportColumn& column = layout_.columns[i];
            if (column.group.isEmpty()) {
                drawBox(left, top, column.widthMm, height, column.caption, Qt::AlignCenter);
                left += column.widthMm;
                ++i;
                continue;
            }
            // A group spans the adjacent columns of the same group above their captions.
            double groupWidth = 0;
            std::size_t end = i;
            while (end < layout_.columns.size() && layout_.columns[end].group == column.group)
                groupWidth += layout_.columns[end++].widthMm;
            drawBox(left, top, groupWidth, rowHeight, column.group, Qt::AlignCenter);
            for (; i < end; ++i) {
                drawBox(left, top + rowHeight, layout_.columns[i].widthMm, rowHeight, layout_.columns[i].caption,
                        Qt::AlignCenter);
                left += layout_.columns[i].widthMm;
            }
        }
    }

    void drawRow(double top, const ReportRow& row, double height)
    {
        painter_.setFont(reportFont(layout_.fontSizePt));
        double left = tableLeftMm_;
        for (std::size_t i = 0; i < layout_.columns.size(); ++i) {
            const ReportColumn& column = layout_.columns[i];
            const QString text = i < row.size() ? cellText(row[i]) : QString();
            drawCell(left, top, column, text, height);
            left += column.widthMm;
        }
        drawRowLines(top, height);
    }

    void drawTotals(double top, const std::vector<std::optional<Money>>& totals)
    {
        drawSums(top, totals, *layout_.totalsCaption);
    }

    void drawSums(double top, const std::vector<std::optional<Money>>& totals, const QString& caption)
    {
        painter_.setFont(reportFont(layout_.fontSizePt));
        double left = tableLeftMm_;
        for (std::size_t i = 0; i < layout_.columns.size(); ++i) {
            const ReportColumn& column = layout_.columns[i];
            const QString text = i == 0 ? caption
                                 : totals[i] ? cellText(CellValue(*totals[i]))
                                             : QString();
            ReportColumn shown = column;
            if (i == 0)
                shown.alignment = Alignment::Center;
            drawCell(left, top, shown, text, layout_.rowHeightMm);
            left += column.widthMm;
        }
        drawRowLines(top, layout_.rowHeightMm);
        // A heavier rule sets the totals apart from the rows they sum.
        setPen(kThickLineMm);
        painter_.drawLine(QPointF(scale_.x(tableLeftMm_), scale_.y(top)),
                          QPointF(scale_.x(tableLeftMm_ + layout_.tableWidthMm()), scale_.y(top)));
    }

    void drawFrame(double bottomMm)
    {
        setPen(kThickLineMm);
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(scale_.rect(tableLeftMm_, geometry_.captionTopMm, layout_.tableWidthMm(),
                                      bottomMm - geometry_.captionTopMm));
    }

    void drawPageNumber(int page, int pageCount)
    {
        painter_.setFont(reportFont(layout_.fontSizePt));
        write(scale_.rect(0, geometry_.footerTopMm, geometry_.printableWidthMm,
                                      geometry_.printableHeightMm - geometry_.footerTopMm),
                          Qt::AlignCenter, QStringLiteral("%1 / %2").arg(page).arg(pageCount));
    }

private:
    void write(const QRectF& box, int flags, const QString& string)
    {
        for (qsizetype i = 0; i < string.size(); ++i)
            if (string[i].isHighSurrogate() && i + 1 < string.size() && string[i + 1].isLowSurrogate()) {
                const char32_t c = QChar::surrogateToUcs4(string[i], string[i + 1]);
                if (std::find(outsideBmp_.begin(), outsideBmp_.end(), c) == outsideBmp_.end())
                    outsideBmp_.push_back(c);
                ++i;
            }
        painter_.drawText(box, flags, string);
    }

    void setPen(double widthMm) { painter_.setPen(QPen(Qt::black, scale_.x(widthMm))); }

    void drawBox(double left, double top, double width, double height, const QString& text, Qt::Alignment alignment)
    {
        const QRectF box = scale_.rect(left, top, width, height);
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(box);
        write(box, alignment, text);
    }

    void drawCell(double left, double top, const ReportColumn& column, const QString& text, double height)
    {
        if (text.isEmpty())
            return;
        const QRectF box = scale_.rect(left + kCellPaddingMm, top, textWidthMm(column), height);
        if (column.format != CellFormat::Amount) {
            const TextFit fit = fitText(text, textWidthMm(column), layout_.rowHeightMm, layout_.fontSizePt);
            painter_.save();
            painter_.setFont(reportFont(fit.pointSize));
            int flags = int(qtAlignment(column.alignment));
            if (fit.lines > 1)
                flags |= Qt::TextWrapAnywhere;
            write(box, flags, text);
            painter_.restore();
            return;
        }
        const QFontMetricsF metrics(painter_.font(), painter_.device());
        const double width = metrics.horizontalAdvance(text);
        if (width <= box.width()) {
            write(box, qtAlignment(column.alignment), text);
            return;
        }
        painter_.save();
        QFont smaller = painter_.font();
        smaller.setPointSizeF(painter_.font().pointSizeF() * std::max(kSmallestAmountScale, box.width() / width));
        painter_.setFont(smaller);
        write(box, qtAlignment(column.alignment), text);
        painter_.restore();
    }

    void drawRowLines(double top, double height)
    {
        setPen(kThinLineMm);
        const double bottom = top + height;
        painter_.drawLine(QPointF(scale_.x(tableLeftMm_), scale_.y(bottom)),
                          QPointF(scale_.x(tableLeftMm_ + layout_.tableWidthMm()), scale_.y(bottom)));
        double left = tableLeftMm_;
        for (std::size_t i = 0; i + 1 < layout_.columns.size(); ++i) {
            left += layout_.columns[i].widthMm;
            painter_.drawLine(QPointF(scale_.x(left), scale_.y(top)), QPointF(scale_.x(left), scale_.y(bottom)));
        }
    }

    QPainter& painter_;
    const Scale& scale_;
    const ReportLayout& layout_;
    const PageGeometry& geometry_;
    double tableLeftMm_;
    // The characters outside the Basic Multilingual Plane drawn so far, each once, in the
    // order first drawn: what a PDF needs to name their glyphs.
    std::vector<char32_t>& outsideBmp_;
};

} // namespace

const QStringList& fontFamilies()
{
    // VL PGothic first: it draws every character with a glyph of its own, so the PDF writer,
    // which names each glyph by a code point drawn with it, names each one right and the
    // text of a saved report searches and copies as printed (a face that draws 高 and the
    // radical ⾼, or ～ and 〜, with one glyph gives the twin). Then the Japanese gothic faces
    // common on Linux and Windows, so that a machine without it still prints kana and kanji.
    static const QStringList families = {
        QStringLiteral("VL PGothic"),       QStringLiteral("VL Gothic"),     QStringLiteral("Noto Sans CJK JP"),
        QStringLiteral("Noto Sans JP"),     QStringLiteral("Source Han Sans JP"), QStringLiteral("IPAexGothic"),
        QStringLiteral("IPAGothic"),        QStringLiteral("TakaoGothic"),   QStringLiteral("Yu Gothic"),
        QStringLiteral("Meiryo"),           QStringLiteral("MS Gothic"),
    };
    return families;
}

QString cellText(const CellValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    if (const auto* amount = std::get_if<Money>(&value))
        return textformat::gridAmount(*amount);
    if (const auto* date = std::get_if<QDate>(&value))
        return textformat::shortDate(*date);
    return {};
}

std::vector<std::optional<Money>> columnTotals(const ReportLayout& layout, const ReportData& data)
{
    return runningSums(layout, data, int(data.rows.size()));
}

std::vector<std::optional<Money>> runningSums(const ReportLayout& layout, const ReportData& data, int rowCount)
{
    std::vector<std::optional<Money>> totals(layout.columns.size());
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        if (!layout.columns[i].sum)
            continue;
        Money sum;
        for (int r = 0; r < rowCount && r < int(data.rows.size()); ++r) {
            const ReportRow& row = data.rows[std::size_t(r)];
            if (i < row.size())
                if (const auto* amount = std::get_if<Money>(&row[i]))
                    sum += *amount;
        }
        totals[i] = sum;
    }
    return totals;
}

PageGeometry pageGeometry(const ReportLayout& layout)
{
    PageGeometry g;
    g.printableWidthMm = layout.pageWidthMm() - layout.marginLeftMm - layout.marginRightMm;
    g.printableHeightMm = layout.pageHeightMm() - layout.marginTopMm - layout.marginBottomMm;
    g.titleHeightMm = titleHeightMm(layout);
    g.headerLineHeightMm = lineHeightMm(layout);
    g.headerTopMm = g.titleHeightMm;
    const double headerBottom = g.headerTopMm + g.headerLineHeightMm * double(layout.headerLines.size());
    g.captionTopMm = headerBottom > 0 ? headerBottom + kGapBelowHeaderMm : 0.0;
    g.captionRows = layout.hasColumnGroups() ? 2 : 1;
    g.bodyTopMm = g.captionTopMm + layout.rowHeightMm * g.captionRows;
    g.footerTopMm = g.printableHeightMm - lineHeightMm(layout) * 1.5;
    g.rowsPerPage = int(std::floor((g.footerTopMm - g.bodyTopMm) / layout.rowHeightMm + 1e-9));
    return g;
}

std::vector<PageRows> paginate(const ReportLayout& layout, int rowCount)
{
    const PageGeometry geometry = pageGeometry(layout);
    if (geometry.rowsPerPage < 1)
        throw StoreError(QStringLiteral("レポート「%1」は見出しだけでページが埋まり、明細行を印刷できません。"
                                        "余白、見出し行または行の高さを減らしてください。")
                             .arg(layout.name));
    return splitRows(layout, geometry, rowCount, [&layout](int) { return layout.rowHeightMm; });
}

double rowHeightMm(const ReportLayout& layout, const ReportRow& row)
{
    return rowHeight(layout, row, [&layout](std::size_t column, const QString& text) {
        return fitText(text, textWidthMm(layout.columns[column]), layout.rowHeightMm, layout.fontSizePt).heightMm;
    });
}

std::vector<PageRows> paginate(const ReportLayout& layout, const ReportData& data)
{
    const PageGeometry geometry = pageGeometry(layout);
    if (geometry.rowsPerPage < 1)
        return paginate(layout, int(data.rows.size()));
    return splitRows(layout, geometry, int(data.rows.size()),
                     [&](int r) { return rowHeightMm(layout, data.rows[std::size_t(r)]); });
}

LaidOutReport::LaidOutReport(const ReportLayout& layout, const ReportData& data)
    : layout_(&layout), data_(&data), geometry_(pageGeometry(layout))
{
}

std::optional<LaidOutReport> LaidOutReport::layOut(const ReportLayout& layout, const ReportData& data,
                                                   const RowProgress& progress)
{
    LaidOutReport report(layout, data);
    if (report.geometry_.rowsPerPage < 1)
        return report;
    const int rowCount = int(data.rows.size());
    // Each row is measured once: the plan and the drawing of every page use these heights.
    constexpr int kRowsBetweenProgress = 2000;
    // A book repeats its account names and many of its memos: each text is measured once per
    // column (the cache is started again now and then, so that it stays small).
    constexpr qsizetype kCachedTexts = 20'000;
    std::vector<QHash<QString, double>> measured(layout.columns.size());
    const auto textHeight = [&](std::size_t column, const QString& text) {
        QHash<QString, double>& cache = measured[column];
        if (const auto found = cache.constFind(text); found != cache.constEnd())
            return *found;
        if (cache.size() >= kCachedTexts)
            cache.clear();
        const double height =
            fitText(text, textWidthMm(layout.columns[column]), layout.rowHeightMm, layout.fontSizePt).heightMm;
        cache.insert(text, height);
        return height;
    };
    report.rowHeights_.reserve(data.rows.size());
    for (int r = 0; r < rowCount; ++r) {
        if (progress && r % kRowsBetweenProgress == 0 && !progress(r, rowCount))
            return std::nullopt;
        report.rowHeights_.push_back(float(rowHeight(layout, data.rows[std::size_t(r)], textHeight)));
    }
    if (progress && !progress(rowCount, rowCount))
        return std::nullopt;
    report.pages_ = splitRows(layout, report.geometry_, rowCount,
                              [&report](int r) { return double(report.rowHeights_[std::size_t(r)]); });

    // The sums carried onto each page, summed once page by page, so that any page can be drawn
    // alone without summing the rows before it again.
    report.totals_ = columnTotals(layout, data);
    std::vector<std::optional<Money>> carried(layout.columns.size());
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        if (layout.columns[i].sum)
            carried[i] = Money();
    report.carried_.reserve(report.pages_.size());
    for (const PageRows& page : report.pages_) {
        report.carried_.push_back(carried);
        for (int r = page.firstRow; r < page.firstRow + page.rowCount; ++r) {
            const ReportRow& row = data.rows[std::size_t(r)];
            for (std::size_t i = 0; i < carried.size() && i < row.size(); ++i)
                if (carried[i])
                    if (const auto* amount = std::get_if<Money>(&row[i]))
                        *carried[i] += *amount;
        }
    }
    return report;
}

QPageLayout LaidOutReport::pageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4),
                       layout_->orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(layout_->marginLeftMm, layout_->marginTopMm, layout_->marginRightMm, layout_->marginBottomMm),
                       QPageLayout::Millimeter);
}

void LaidOutReport::drawPage(QPainter& painter, int p) const
{
    if (p < 0 || p >= pageCount())
        return;
    const ReportLayout& layout = *layout_;
    const PageRows& rows = pages_[std::size_t(p)];
    const std::vector<std::optional<Money>>& carriedIn = carried_[std::size_t(p)];
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const Scale scale(*painter.device());
    PagePainter page(painter, scale, layout, geometry_, outsideBmp_);
    page.drawHeader(data_->headerLines);
    page.drawCaptions();
    double top = geometry_.bodyTopMm;
    if (rows.broughtForward) {
        page.drawSums(top, carriedIn, layout.carryForward->fromPrevious);
        top += layout.rowHeightMm;
    }
    std::vector<std::optional<Money>> carried = carriedIn;
    for (int r = rows.firstRow; r < rows.firstRow + rows.rowCount; ++r) {
        const ReportRow& row = data_->rows[std::size_t(r)];
        const double height = rowHeights_[std::size_t(r)];
        page.drawRow(top, row, height);
        for (std::size_t i = 0; i < carried.size() && i < row.size(); ++i)
            if (carried[i])
                if (const auto* amount = std::get_if<Money>(&row[i]))
                    *carried[i] += *amount;
        top += height;
    }
    if (rows.carriedForward) {
        page.drawSums(top, carried, layout.carryForward->toNext);
        top += layout.rowHeightMm;
    }
    if (rows.totals) {
        page.drawTotals(top, totals_);
        top += layout.rowHeightMm;
    }
    page.drawFrame(top);
    page.drawPageNumber(p + 1, pageCount());
    painter.restore();
}

int paintReport(const ReportLayout& layout, const ReportData& data, QPagedPaintDevice& device,
                const PageProgress& progress, std::vector<char32_t>* drawnOutsideBmp)
{
    const std::optional<LaidOutReport> report = LaidOutReport::layOut(layout, data);
    const int pageCount = report->pageCount();
    if (pageCount == 0)
        return 0;
    if (progress && !progress(0, pageCount))
        return -1;

    const QPageLayout pageLayout = report->pageLayout();
    // A printer may refuse margins below its own; its orientation is still worth having.
    if (!device.setPageLayout(pageLayout))
        device.setPageOrientation(pageLayout.orientation());

    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    for (int p = 0; p < pageCount; ++p) {
        if (p > 0)
            device.newPage();
        report->drawPage(painter, p);
        if (progress && !progress(p + 1, pageCount)) {
            painter.end();
            return -1;
        }
    }
    painter.end();
    if (drawnOutsideBmp)
        *drawnOutsideBmp = report->drawnOutsideBmp();
    return pageCount;
}

} // namespace tolva::reports
