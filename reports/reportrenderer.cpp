#include "reports/reportrenderer.h"

#include "db/storeerror.h"
#include "db/textformat.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

#include <cmath>

namespace tolva::reports {

namespace {

constexpr double kCellPaddingMm = 1.5;
constexpr double kGapBelowHeaderMm = 2.0;
constexpr double kThinLineMm = 0.15;
constexpr double kThickLineMm = 0.4;
// The smallest an amount is shrunk to fit its column: an amount is never cut short,
// since a cut figure reads as a different figure.
constexpr double kSmallestAmountScale = 0.5;

double titleHeightMm(const ReportLayout& layout)
{
    return layout.title.isEmpty() ? 0.0 : layout.titleFontSizePt * kMillimetresPerPoint * 1.8;
}

double lineHeightMm(const ReportLayout& layout)
{
    return layout.fontSizePt * kMillimetresPerPoint * 1.6;
}

std::vector<PageRows> splitRows(const ReportLayout& layout, int rowsPerPage, int rowCount)
{
    std::vector<PageRows> pages;
    if (rowsPerPage < 1)
        return pages;
    const bool totals = layout.totalsCaption.has_value();
    const bool carry = layout.carryForward.has_value();
    const int slotCount = rowCount + (totals ? 1 : 0);
    int first = 0;
    do {
        PageRows page;
        page.firstRow = first;
        page.broughtForward = carry && !pages.empty();
        int room = rowsPerPage - (page.broughtForward ? 1 : 0);
        // A page that cannot hold the rest keeps a place at its foot for the sums carried on,
        // and at least one row above it.
        const bool last = slotCount - first <= room;
        if (carry && !last)
            room = std::max(1, room - 1);
        const int slotsOnPage = std::min(room, slotCount - first);
        page.rowCount = std::min(slotsOnPage, rowCount - first);
        page.totals = totals && first + slotsOnPage == slotCount;
        page.carriedForward = carry && !page.totals;
        pages.push_back(page);
        first += slotsOnPage;
    } while (first < slotCount);
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

// Millimetres to the device's pixels; every position is planned in millimetres.
class Scale {
public:
    explicit Scale(const QPagedPaintDevice& device)
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
    PagePainter(QPainter& painter, const Scale& scale, const ReportLayout& layout, const PageGeometry& geometry)
        : painter_(painter), scale_(scale), layout_(layout), geometry_(geometry),
          tableLeftMm_((geometry.printableWidthMm - layout.tableWidthMm()) / 2.0)
    {
    }

    void drawHeader(const std::vector<HeaderLine>& lines)
    {
        if (geometry_.titleHeightMm > 0) {
            painter_.setFont(reportFont(layout_.titleFontSizePt, true));
            painter_.drawText(scale_.rect(0, 0, geometry_.printableWidthMm, geometry_.titleHeightMm),
                              Qt::AlignCenter, layout_.title);
        }
        // Header lines run over the width of the table, so their left and right texts
        // stand above its first and last columns.
        painter_.setFont(reportFont(layout_.fontSizePt));
        double top = geometry_.headerTopMm;
        for (const HeaderLine& line : lines) {
            const QRectF box = scale_.rect(tableLeftMm_, top, layout_.tableWidthMm(), geometry_.headerLineHeightMm);
            painter_.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, line.left);
            painter_.drawText(box, Qt::AlignHCenter | Qt::AlignVCenter, line.center);
            painter_.drawText(box, Qt::AlignRight | Qt::AlignVCenter, line.right);
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

    void drawRow(double top, const ReportRow& row)
    {
        painter_.setFont(reportFont(layout_.fontSizePt));
        double left = tableLeftMm_;
        for (std::size_t i = 0; i < layout_.columns.size(); ++i) {
            const ReportColumn& column = layout_.columns[i];
            const QString text = i < row.size() ? cellText(row[i]) : QString();
            drawCell(left, top, column, text);
            left += column.widthMm;
        }
        drawRowLines(top);
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
            drawCell(left, top, shown, text);
            left += column.widthMm;
        }
        drawRowLines(top);
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
        painter_.drawText(scale_.rect(0, geometry_.footerTopMm, geometry_.printableWidthMm,
                                      geometry_.printableHeightMm - geometry_.footerTopMm),
                          Qt::AlignCenter, QStringLiteral("%1 / %2").arg(page).arg(pageCount));
    }

private:
    void setPen(double widthMm) { painter_.setPen(QPen(Qt::black, scale_.x(widthMm))); }

    void drawBox(double left, double top, double width, double height, const QString& text, Qt::Alignment alignment)
    {
        const QRectF box = scale_.rect(left, top, width, height);
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(box);
        painter_.drawText(box, alignment, text);
    }

    void drawCell(double left, double top, const ReportColumn& column, const QString& text)
    {
        if (text.isEmpty())
            return;
        const QRectF box = scale_.rect(left + kCellPaddingMm, top, column.widthMm - 2 * kCellPaddingMm,
                                       layout_.rowHeightMm);
        const QFontMetricsF metrics(painter_.font(), painter_.device());
        const double width = metrics.horizontalAdvance(text);
        if (width <= box.width()) {
            painter_.drawText(box, qtAlignment(column.alignment), text);
            return;
        }
        if (column.format != CellFormat::Amount) {
            painter_.drawText(box, qtAlignment(column.alignment),
                              metrics.elidedText(text, Qt::ElideRight, box.width()));
            return;
        }
        painter_.save();
        QFont smaller = painter_.font();
        smaller.setPointSizeF(painter_.font().pointSizeF() * std::max(kSmallestAmountScale, box.width() / width));
        painter_.setFont(smaller);
        painter_.drawText(box, qtAlignment(column.alignment), text);
        painter_.restore();
    }

    void drawRowLines(double top)
    {
        setPen(kThinLineMm);
        const double bottom = top + layout_.rowHeightMm;
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
    return splitRows(layout, geometry.rowsPerPage, rowCount);
}

int paintReport(const ReportLayout& layout, const ReportData& data, QPagedPaintDevice& device)
{
    const PageGeometry geometry = pageGeometry(layout);
    const std::vector<PageRows> pages = splitRows(layout, geometry.rowsPerPage, int(data.rows.size()));
    if (pages.empty())
        return 0;

    const QPageLayout pageLayout(
        QPageSize(QPageSize::A4),
        layout.orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(layout.marginLeftMm, layout.marginTopMm, layout.marginRightMm, layout.marginBottomMm),
        QPageLayout::Millimeter);
    // A printer may refuse margins below its own; its orientation is still worth having.
    if (!device.setPageLayout(pageLayout))
        device.setPageOrientation(pageLayout.orientation());

    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const Scale scale(device);
    const std::vector<std::optional<Money>> totals = columnTotals(layout, data);
    PagePainter page(painter, scale, layout, geometry);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        if (p > 0)
            device.newPage();
        page.drawHeader(data.headerLines);
        page.drawCaptions();
        double top = geometry.bodyTopMm;
        if (pages[p].broughtForward) {
            page.drawSums(top, runningSums(layout, data, pages[p].firstRow), layout.carryForward->fromPrevious);
            top += layout.rowHeightMm;
        }
        for (int r = pages[p].firstRow; r < pages[p].firstRow + pages[p].rowCount; ++r) {
            page.drawRow(top, data.rows[std::size_t(r)]);
            top += layout.rowHeightMm;
        }
        if (pages[p].carriedForward) {
            page.drawSums(top, runningSums(layout, data, pages[p].firstRow + pages[p].rowCount), layout.carryForward->toNext);
            top += layout.rowHeightMm;
        }
        if (pages[p].totals) {
            page.drawTotals(top, totals);
            top += layout.rowHeightMm;
        }
        page.drawFrame(top);
        page.drawPageNumber(int(p) + 1, int(pages.size()));
    }
    painter.end();
    return int(pages.size());
}

} // namespace tolva::reports
