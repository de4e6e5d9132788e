#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolva::reports {

inline constexpr double kMillimetresPerPoint = 25.4 / 72.0;

// The data connections a layout may read, each bound to one dataset of the shared data
// module (the binding lives in Tdm02Repo).
[[nodiscard]] const QStringList& connectionNames();

enum class Alignment { Left, Center, Right };
enum class CellFormat { Text, Amount, Date };
enum class Orientation { Portrait, Landscape };

// Where a cell's value comes from: a field by name, or by position when a query's result
// repeats a name (the depreciation list selects three fields called "name").
struct FieldRef {
    QString name;
    std::optional<int> position;  // 0-based, set instead of a name

    [[nodiscard]] QString describe() const;
};

struct ReportColumn {
    FieldRef field;
    QString caption;
    // Caption of a group of adjacent columns, written above their own captions
    // ("合計試算表" over 借方 and 貸方). Empty: the caption takes both caption lines.
    QString group;
    double widthMm = 0;
    CellFormat format = CellFormat::Text;
    Alignment alignment = Alignment::Left;
    // Summed into the totals row (amount columns only).
    bool sum = false;
};

// One line of the page header: texts with {Field} placeholders filled from the header
// connection's first row, placed at the left, the centre and the right of the line.
struct HeaderLineLayout {
    QString left;
    QString center;
    QString right;
};

struct ReportLayout {
    QString name;
    QString title;
    Orientation orientation = Orientation::Portrait;
    double marginTopMm = 15;
    double marginBottomMm = 15;
    double marginLeftMm = 15;
    double marginRightMm = 15;
    double fontSizePt = 9;
    double titleFontSizePt = 16;
    double rowHeightMm = 6;

    QString headerConnection;  // empty: no header lines
    std::vector<HeaderLineLayout> headerLines;

    QString bodyConnection;
    std::vector<ReportColumn> columns;
    // The totals row after the last body row, its caption in the first column; no value
    // means no totals row.
    std::optional<QString> totalsCaption;
    // Page sums carried over a page break, as a journal book carries them: at the foot of
    // every page but the last a row with the sums so far ("次頁へ"), at the top of every page
    // but the first the same sums again ("前頁より"). Needs a totals row.
    struct CarryForward {
        QString toNext;
        QString fromPrevious;
    };
    std::optional<CarryForward> carryForward;

    [[nodiscard]] double pageWidthMm() const;
    [[nodiscard]] double pageHeightMm() const;
    [[nodiscard]] double tableWidthMm() const;
    [[nodiscard]] bool hasColumnGroups() const;
};

struct ReportProject {
    QString fileName;
    std::vector<ReportLayout> reports;

    // "Not found" is no error: a name the project lacks runs nothing.
    [[nodiscard]] const ReportLayout* find(const QString& name) const;
};

// Reads a project from its JSON text. Every fault (not JSON, a missing or mistyped key, an
// unknown key, an unknown connection, columns wider than the page) throws a StoreError whose
// message names `fileName`, the report and the place in it.
[[nodiscard]] ReportProject parseReportProject(const QByteArray& json, const QString& fileName);

// Reads and parses the project file; a missing or unreadable file throws a StoreError
// naming it.
[[nodiscard]] ReportProject readReportProject(const QString& fileName);

// The reports the windows run by name: a project that lacks one would be found out only when
// the user prints.
[[nodiscard]] const QStringList& programReports();

// What is wrong with a project file for this program: unreadable, malformed, or without one of
// the reports it runs. Empty when it is whole.
[[nodiscard]] QStringList projectFindings(const QString& fileName);

} // namespace tolva::reports
