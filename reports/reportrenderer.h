#pragma once

#include "db/money.h"
#include "reports/reportproject.h"

#include <QDate>
#include <QString>

#include <functional>
#include <optional>
#include <variant>
#include <vector>

class QPagedPaintDevice;
class QPageLayout;
class QPainter;

namespace tolva::reports {

// A cell as read from its dataset: nothing (an empty field), text, an amount or a date.
// Formatting is left to the renderer, so that totals are summed from exact amounts.
using CellValue = std::variant<std::monostate, QString, Money, QDate>;
using ReportRow = std::vector<CellValue>;  // one value per column of the layout

// The header texts after their placeholders were filled.
struct HeaderLine {
    QString left;
    QString center;
    QString right;
};

// Everything a report shows besides its layout: plain data, read before any page is drawn,
// so that a preview may ask for the pages again without touching a dataset.
struct ReportData {
    std::vector<HeaderLine> headerLines;  // one per header line of the layout
    std::vector<ReportRow> rows;
};

// The text a cell prints: amounts as in grids ("-1,234"), dates as yyyy/MM/dd.
[[nodiscard]] QString cellText(const CellValue& value);

// Per column: the exact sum of its amounts for a summed column, no value for the others.
// Empty cells count as nothing.
[[nodiscard]] std::vector<std::optional<Money>> columnTotals(const ReportLayout& layout, const ReportData& data);
// The same over the first `rowCount` rows: the sums carried from page to page.
[[nodiscard]] std::vector<std::optional<Money>> runningSums(const ReportLayout& layout, const ReportData& data, int rowCount);

// The vertical plan of every page, in millimetres from the top of the printable area.
struct PageGeometry {
    double printableWidthMm = 0;
    double printableHeightMm = 0;
    double titleHeightMm = 0;     // 0 without a title
    double headerLineHeightMm = 0;
    double headerTopMm = 0;
    double captionTopMm = 0;
    int captionRows = 1;          // 2 when columns are grouped
    double bodyTopMm = 0;
    double footerTopMm = 0;       // where the page number is written
    int rowsPerPage = 0;          // body rows, the totals row counting as one
};
[[nodiscard]] PageGeometry pageGeometry(const ReportLayout& layout);

// The rows of one page.
struct PageRows {
    int firstRow = 0;
    int rowCount = 0;
    bool totals = false;         // the totals row closes this page
    bool broughtForward = false; // the sums so far open this page ("前頁より")
    bool carriedForward = false; // the sums so far close this page ("次頁へ")
};

// Splits the body over pages. No rows still make one page (the captions, and the totals row
// if the layout has one). Throws a StoreError when not one row fits below the header.
[[nodiscard]] std::vector<PageRows> paginate(const ReportLayout& layout, int rowCount);

// The height a row prints at: the layout's, or more when a text of it needs more lines than
// fit at the smallest readable size (text is set smaller, then wrapped, never cut).
[[nodiscard]] double rowHeightMm(const ReportLayout& layout, const ReportRow& row);
// Splits rows of those heights over pages; for a layout without room for a row, as above.
[[nodiscard]] std::vector<PageRows> paginate(const ReportLayout& layout, const ReportData& data);

// The families tried for every text, Japanese-capable ones first.
[[nodiscard]] const QStringList& fontFamilies();

// Told the pages drawn so far and their number, once before the first page and after every
// page; answers false to stop the run.
using PageProgress = std::function<bool(int pagesDone, int pageCount)>;

// A report laid out once, whose pages are then drawn one at a time in any order: a preview
// draws only the pages in view, and a long book never lives in memory as drawings of all its
// pages. Keeps references to `layout` and `data`, which must outlive it.
class LaidOutReport {
public:
    // Told the rows measured so far and their number, now and then; answers false to stop.
    using RowProgress = std::function<bool(int rowsDone, int rowCount)>;

    // Measures every row and splits the rows over pages; no value when `progress` stopped it.
    // Never throws for data it was given (a layout without room for a row has no pages).
    [[nodiscard]] static std::optional<LaidOutReport> layOut(const ReportLayout& layout, const ReportData& data,
                                                             const RowProgress& progress = {});

    [[nodiscard]] int pageCount() const { return int(pages_.size()); }
    // A4 in the layout's orientation, with its margins.
    [[nodiscard]] QPageLayout pageLayout() const;
    // Draws page `page` (from 0) with `painter`, whose origin is the top left corner of the
    // printable area and whose device gives the resolution.
    void drawPage(QPainter& painter, int page) const;
    // The characters outside the Basic Multilingual Plane drawn so far, each once: what a PDF
    // of these pages needs to give them their text (restoreTextOutsideBmp).
    [[nodiscard]] const std::vector<char32_t>& drawnOutsideBmp() const { return outsideBmp_; }
    // Starts that list again, as a new document (a print, a PDF) begins.
    void forgetDrawn() const { outsideBmp_.clear(); }

private:
    LaidOutReport(const ReportLayout& layout, const ReportData& data);

    const ReportLayout* layout_;
    const ReportData* data_;
    PageGeometry geometry_;
    std::vector<PageRows> pages_;
    std::vector<float> rowHeights_;                         // millimetres, one per row
    std::vector<std::vector<std::optional<Money>>> carried_; // per page: the sums of the rows before it
    std::vector<std::optional<Money>> totals_;
    mutable std::vector<char32_t> outsideBmp_;
};

// Draws every page onto `device` (A4 in the layout's orientation and margins) and returns
// the number of pages drawn, or -1 when `progress` stopped it (the pages so far are drawn).
// The characters outside the Basic Multilingual Plane it drew are left in `drawnOutsideBmp`,
// for the caller that wrote a PDF file to give them their text (restoreTextOutsideBmp in
// reports/pdfunicode.h). Paints only: never throws for data it was given.
int paintReport(const ReportLayout& layout, const ReportData& data, QPagedPaintDevice& device,
                const PageProgress& progress = {}, std::vector<char32_t>* drawnOutsideBmp = nullptr);

} // namespace tolva::reports
