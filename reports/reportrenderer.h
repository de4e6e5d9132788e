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

// Draws every page onto `device` (A4 in the layout's orientation and margins) and returns
// the number of pages drawn, or -1 when `progress` stopped it (the pages so far are drawn).
// The characters outside the Basic Multilingual Plane it drew are left in `drawnOutsideBmp`,
// for the caller that wrote a PDF file to give them their text (restoreTextOutsideBmp in
// reports/pdfunicode.h). Paints only: never throws for data it was given.
int paintReport(const ReportLayout& layout, const ReportData& data, QPagedPaintDevice& device,
                const PageProgress& progress = {}, std::vector<char32_t>* drawnOutsideBmp = nullptr);

} // namespace tolva::reports
