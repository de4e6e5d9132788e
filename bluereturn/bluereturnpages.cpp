#include "bluereturn/bluereturnpages.h"

#include "bluereturn/bluereturnoutput.h"
#include "reports/reportrenderer.h"

#include <QFont>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace tolva {

namespace {

constexpr double kMarginMm = 12;
constexpr double kRowMm = 6.2;

// Drawing in millimetres from the printable area's top left.
class Sheet {
public:
    // The painter's origin is the top left corner of the printable area of `layout`.
    Sheet(QPainter& painter, const QPageLayout& layout) : painter_(painter)
    {
        const QRectF paint = layout.paintRect(QPageLayout::Millimeter);
        scale_ = painter.device()->logicalDpiX() / 25.4;
        widthMm_ = paint.width();
        heightMm_ = paint.height();
    }
    [[nodiscard]] double width() const { return widthMm_; }
    [[nodiscard]] double height() const { return heightMm_; }

    void text(double x, double y, double w, double h, const QString& text, Qt::Alignment align, double points = 9, bool bold = false)
    {
        QFont font;
        font.setFamilies(reports::fontFamilies());
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(points);
        font.setBold(bold);
        // Text is shrunk to its box rather than cut, down to a readable size, and then set
        // on two lines: a long caption of the form or a free line's names still print whole.
        QFontMetricsF metrics(font, painter_.device());
        const double room = w * scale_ - 2 * scale_;
        while (metrics.horizontalAdvance(text) > room && font.pointSizeF() > 7) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            metrics = QFontMetricsF(font, painter_.device());
        }
        const bool wrap = metrics.horizontalAdvance(text) > room;
        if (wrap)
            font.setPointSizeF(6.5);
        painter_.setFont(font);
        painter_.setPen(Qt::black);
        painter_.drawText(rect(x + 1, y, w - 2, h), int(align | Qt::AlignVCenter | (wrap ? Qt::TextWordWrap : 0)), text);
    }
    void box(double x, double y, double w, double h, double width = 0.2)
    {
        painter_.setPen(QPen(Qt::black, width * scale_));
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(rect(x, y, w, h));
    }
    void shade(double x, double y, double w, double h)
    {
        painter_.fillRect(rect(x, y, w, h), QColor(235, 242, 235));
    }
    // Wrapped text, the findings in red; returns the height used.
    double paragraph(double x, double y, double w, const QString& text, double points = 8, const QColor& color = QColor(160, 0, 0))
    {
        QFont font;
        font.setFamilies(reports::fontFamilies());
        font.setPointSizeF(points);
        painter_.setFont(font);
        painter_.setPen(color);
        const QRectF bounds = painter_.boundingRect(rect(x, y, w, 1000), int(Qt::AlignLeft | Qt::TextWordWrap), text);
        painter_.drawText(bounds, int(Qt::AlignLeft | Qt::TextWordWrap), text);
        return bounds.height() / scale_;
    }

private:
    [[nodiscard]] QRectF rect(double x, double y, double w, double h) const { return {x * scale_, y * scale_, w * scale_, h * scale_}; }
    QPainter& painter_;
    double scale_ = 1;
    double widthMm_ = 0;
    double heightMm_ = 0;
};

void heading(Sheet& sheet, const BlueReturn& r, const QString& page)
{
    sheet.text(0, 0, sheet.width(), 8, reiwaYearText(r.period) + QStringLiteral("　") + blueReturnTitle(), Qt::AlignHCenter, 13, true);
    sheet.text(0, 9, sheet.width() / 2, 6, page, Qt::AlignLeft, 11, true);
    sheet.text(sheet.width() / 2, 9, sheet.width() / 2, 6, QStringLiteral("自 %1 至 %2").arg(r.period.start.toString(QStringLiteral("yyyy/MM/dd")), r.period.end.toString(QStringLiteral("yyyy/MM/dd"))),
               Qt::AlignRight, 9);
}

// One line of page 1: the number in its box, the caption, the amount right-aligned in yen.
void incomeLine(Sheet& sheet, double x, double y, double w, const StatementRow& row)
{
    const double numberW = 7, amountW = 25;
    const bool total = row.caption == QStringLiteral("計") || row.number == QStringLiteral("⑦") || row.number == QStringLiteral("㉝")
                       || row.number == QStringLiteral("㊶") || row.number == QStringLiteral("㊸");
    if (total)
        sheet.shade(x, y, w, kRowMm);
    sheet.box(x, y, w, kRowMm);
    sheet.box(x + w - amountW, y, amountW, kRowMm);
    sheet.text(x, y, numberW, kRowMm, row.number, Qt::AlignHCenter, 9);
    sheet.text(x + numberW, y, w - numberW - amountW, kRowMm, row.caption, Qt::AlignLeft, 8.5, total);
    sheet.text(x + w - amountW, y, amountW, kRowMm, statementAmount(row.first), Qt::AlignRight, 9.5, total);
}

void pageOne(Sheet& sheet, const BlueReturn& r)
{
    heading(sheet, r, QStringLiteral("損益計算書"));
    // Three columns as on the form: sales and cost of sales; the expenses to 貸倒金; the rest.
    const double gap = 3;
    const double w = (sheet.width() - 2 * gap) / 3;
    double columnTop = 20;
    int column = 0;
    double y = columnTop;
    QString section;
    for (const StatementRow& row : r.incomeStatement) {
        if (row.number == QStringLiteral("⑧") || row.number == QStringLiteral("㉕")) {
            ++column;
            y = columnTop;
        }
        const double x = column * (w + gap);
        if (!row.section.isEmpty() && row.section != section) {
            sheet.text(x, y, w, kRowMm, row.section, Qt::AlignLeft, 8.5, true);
            y += kRowMm;
        } else if (row.section.isEmpty() && !section.isEmpty()) {
            y += 1.5;
        }
        section = row.section;
        incomeLine(sheet, x, y, w, row);
        y += kRowMm;
    }
    double bottom = columnTop + 32 * kRowMm;
    sheet.text(0, bottom, sheet.width(), kRowMm,
               QStringLiteral("青色申告特別控除額の選択：%1円（控除前の所得金額を限度）").arg(statementAmount(Money::fromYen(r.chosenDeduction))),
               Qt::AlignLeft, 8.5);
}

void pageTwo(Sheet& sheet, const BlueReturn& r)
{
    heading(sheet, r, QStringLiteral("月別売上（収入）金額及び仕入金額"));
    const double x = 0, monthW = 30, amountW = 45;
    double y = 20;
    sheet.shade(x, y, monthW + 2 * amountW, kRowMm);
    sheet.box(x, y, monthW, kRowMm);
    sheet.box(x + monthW, y, amountW, kRowMm);
    sheet.box(x + monthW + amountW, y, amountW, kRowMm);
    sheet.text(x, y, monthW, kRowMm, QStringLiteral("月"), Qt::AlignHCenter, 9, true);
    sheet.text(x + monthW, y, amountW, kRowMm, QStringLiteral("売上（収入）金額"), Qt::AlignHCenter, 9, true);
    sheet.text(x + monthW + amountW, y, amountW, kRowMm, QStringLiteral("仕入金額"), Qt::AlignHCenter, 9, true);
    y += kRowMm;
    for (const StatementRow& row : r.monthly) {
        const bool total = row.caption == QStringLiteral("計");
        if (total)
            sheet.shade(x, y, monthW + 2 * amountW, kRowMm);
        sheet.box(x, y, monthW, kRowMm);
        sheet.box(x + monthW, y, amountW, kRowMm);
        sheet.box(x + monthW + amountW, y, amountW, kRowMm);
        sheet.text(x, y, monthW, kRowMm, row.caption, Qt::AlignHCenter, 9, total);
        sheet.text(x + monthW, y, amountW, kRowMm, statementAmount(row.first), Qt::AlignRight, 9.5, total);
        sheet.text(x + monthW + amountW, y, amountW, kRowMm, statementAmount(row.second), Qt::AlignRight, 9.5, total);
        y += kRowMm;
    }
    y += 6;
    sheet.text(0, y, sheet.width(), kRowMm, familySalaryTitle(), Qt::AlignLeft, 10, true);
    y += kRowMm;
    const double nameW = 60, monthsW = 25;
    const QStringList titles = {QStringLiteral("氏名（細目）"), QStringLiteral("従事月数"), QStringLiteral("支給額")};
    const double widths[] = {nameW, monthsW, amountW};
    double cx = 0;
    for (int c = 0; c < 3; ++c) {
        sheet.shade(cx, y, widths[c], kRowMm);
        sheet.box(cx, y, widths[c], kRowMm);
        sheet.text(cx, y, widths[c], kRowMm, titles[c], Qt::AlignHCenter, 9, true);
        cx += widths[c];
    }
    y += kRowMm;
    Money total;
    for (const FamilySalaryRow& row : r.familySalaryRows) {
        const QStringList cells = {row.name, QString::number(row.months), statementAmount(row.amount)};
        total += row.amount;
        cx = 0;
        for (int c = 0; c < 3; ++c) {
            sheet.box(cx, y, widths[c], kRowMm);
            sheet.text(cx, y, widths[c], kRowMm, cells[c], c == 0 ? Qt::AlignLeft : Qt::AlignRight, 9);
            cx += widths[c];
        }
        y += kRowMm;
    }
    sheet.box(0, y, nameW + monthsW + amountW, kRowMm);
    sheet.text(0, y, nameW, kRowMm, QStringLiteral("計"), Qt::AlignHCenter, 9, true);
    sheet.text(nameW + monthsW, y, amountW, kRowMm, statementAmount(total), Qt::AlignRight, 9.5, true);
}

void pageThree(Sheet& sheet, const BlueReturn& r)
{
    heading(sheet, r, QStringLiteral("減価償却費の計算"));
    const QStringList titles = depreciationTitles();
    // Relative widths of the form's columns.
    const double weights[] = {3.2, 1.2, 1.8, 2.0, 2.0, 1.4, 1.0, 1.4, 1.1, 2.0, 1.6, 2.0, 1.1, 2.0, 2.0};
    double sum = 0;
    for (double weight : weights)
        sum += weight;
    const double unit = sheet.width() / sum;
    double y = 20;
    const double titleH = 14;
    double x = 0;
    for (int c = 0; c < titles.size(); ++c) {
        const double w = weights[c] * unit;
        sheet.shade(x, y, w, titleH);
        sheet.box(x, y, w, titleH);
        sheet.paragraph(x + 0.5, y + 1, w - 1, titles[c], 6, Qt::black);
        x += w;
    }
    y += titleH;
    const auto line = [&](const QStringList& cells, bool bold) {
        double cx = 0;
        for (int c = 0; c < cells.size() && c < titles.size(); ++c) {
            const double w = weights[c] * unit;
            sheet.box(cx, y, w, kRowMm);
            sheet.text(cx, y, w, kRowMm, cells[c], c == 0 || c == 5 ? Qt::AlignLeft : Qt::AlignRight, 7, bold);
            cx += w;
        }
        y += kRowMm;
    };
    for (const DepreciationListRow& row : r.depreciation)
        line(depreciationCells(row), false);
    line(depreciationTotalCells(r), true);
    y += 4;
    for (const StatementFinding& finding : r.findings)
        if (finding.kind == StatementFinding::Kind::DepreciationDiffers)
            y += sheet.paragraph(0, y, sheet.width(), finding.message) + 2;
}

void pageFour(Sheet& sheet, const BlueReturn& r)
{
    heading(sheet, r, QStringLiteral("貸借対照表（資産負債調）"));
    const double gap = 4;
    const double half = (sheet.width() - gap) / 2;
    const double amountW = 27;
    const double captionW = half - 2 * amountW;
    const auto side = [&](double x, const QString& section, const QString& title) {
        double y = 20;
        sheet.shade(x, y, half, kRowMm * 2);
        sheet.box(x, y, half, kRowMm * 2);
        sheet.text(x, y, half, kRowMm, title, Qt::AlignHCenter, 9.5, true);
        sheet.text(x, y + kRowMm, captionW, kRowMm, QStringLiteral("科目"), Qt::AlignHCenter, 9, true);
        sheet.text(x + captionW, y + kRowMm, amountW, kRowMm,
                   QStringLiteral("%1月%2日（期首）").arg(r.period.start.month()).arg(r.period.start.day()), Qt::AlignHCenter, 7.5, true);
        sheet.text(x + captionW + amountW, y + kRowMm, amountW, kRowMm,
                   QStringLiteral("%1月%2日（期末）").arg(r.period.end.month()).arg(r.period.end.day()), Qt::AlignHCenter, 7.5, true);
        y += 2 * kRowMm;
        for (const StatementRow& row : r.balanceSheet) {
            if (row.section != section)
                continue;
            const bool total = row.caption == QStringLiteral("合計");
            if (total)
                sheet.shade(x, y, half, kRowMm);
            sheet.box(x, y, captionW, kRowMm);
            sheet.box(x + captionW, y, amountW, kRowMm);
            sheet.box(x + captionW + amountW, y, amountW, kRowMm);
            sheet.text(x, y, captionW, kRowMm, row.caption, total ? Qt::AlignHCenter : Qt::AlignLeft, 8.5, total);
            sheet.text(x + captionW, y, amountW, kRowMm, statementAmount(row.first), Qt::AlignRight, 9, total);
            sheet.text(x + captionW + amountW, y, amountW, kRowMm, statementAmount(row.second), Qt::AlignRight, 9, total);
            y += kRowMm;
        }
        return y;
    };
    const double left = side(0, QStringLiteral("資産の部"), QStringLiteral("資産の部"));
    const double right = side(half + gap, QStringLiteral("負債・資本の部"), QStringLiteral("負債・資本の部"));
    double y = std::max(left, right) + 4;
    for (const StatementFinding& finding : r.findings)
        if (finding.kind != StatementFinding::Kind::DepreciationDiffers)
            y += sheet.paragraph(0, y, sheet.width(), finding.message) + 2;
}

} // namespace

QString reiwaYearText(const FiscalPeriod& period)
{
    const int reiwa = period.start.year() - 2018;
    return reiwa == 1 ? QStringLiteral("令和元年分") : QStringLiteral("令和%1年分").arg(reiwa);
}

QPageLayout blueReturnPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                       QPageLayout::Millimeter);
}

void drawBlueReturnPage(const BlueReturn& statement, QPainter& painter, int page)
{
    void (*const pages[kBlueReturnPages])(Sheet&, const BlueReturn&) = {pageOne, pageTwo, pageThree, pageFour};
    if (page < 0 || page >= kBlueReturnPages)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    Sheet sheet(painter, blueReturnPageLayout());
    pages[page](sheet, statement);
    painter.restore();
}

} // namespace tolva
