#include "db/storeerror.h"
#include "db/textformat.h"
#include "reports/pdfunicode.h"
#include "reports/reportproject.h"
#include "reports/reportrenderer.h"
#include "tests/reports/pdftext.h"

#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::reports;
using tolva::testing::lineStartingWith;
using tolva::testing::pdfPages;
using tolva::testing::pdfPageSize;

namespace {

// The trial balance layout as shipped in the data folder template.
ReportLayout trialBalanceLayout()
{
    const ReportProject project = readReportProject(QStringLiteral(TOLVA_REPORT_PROJECT));
    const ReportLayout* layout = project.find(QStringLiteral("TlRepo01"));
    if (!layout)
        throw std::logic_error("the shipped project has no TlRepo01");
    return *layout;
}

QString withoutBlanks(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral(R"(\s)")));
}

ReportRow trialRow(const QString& name, qint64 l1, qint64 r1)
{
    return {name, Money::fromYen(l1), Money::fromYen(r1), Money::fromYen(l1 - r1), CellValue()};
}

class RenderedPdf {
public:
    int render(const ReportLayout& layout, const ReportData& data)
    {
        int pages = 0;
        std::vector<char32_t> outsideBmp;
        {
            QPdfWriter writer(path());
            writer.setResolution(300);
            pages = paintReport(layout, data, writer, {}, &outsideBmp);
        }
        EXPECT_TRUE(restoreTextOutsideBmp(path(), outsideBmp));
        return pages;
    }
    [[nodiscard]] QString path() const { return dir_.filePath(QStringLiteral("report.pdf")); }

private:
    QTemporaryDir dir_;
};

} // namespace

TEST(ReportRenderer, PaginatesWithTheTotalsRowTakingARowsPlace)
{
    const ReportLayout withTotals = trialBalanceLayout();
    ReportLayout withoutTotals = withTotals;
    withoutTotals.totalsCaption.reset();
    const int perPage = pageGeometry(withTotals).rowsPerPage;
    ASSERT_GT(perPage, 20) << "a page of the trial balance holds a useful number of rows";

    struct Case {
        const char* guards;
        const ReportLayout& layout;
        int rows;
        std::vector<PageRows> expected;
    };
    const Case cases[] = {
        {"no rows still print the captions and the totals", withTotals, 0, {{0, 0, true}}},
        {"no rows and no totals: one page of captions", withoutTotals, 0, {{0, 0, false}}},
        {"the totals fit below the last row", withTotals, perPage - 1, {{0, perPage - 1, true}}},
        {"a full page pushes the totals onto a page of their own", withTotals, perPage,
         {{0, perPage, false}, {perPage, 0, true}}},
        {"a full page without totals is one page", withoutTotals, perPage, {{0, perPage, false}}},
        {"rows run on over pages without loss", withTotals, 2 * perPage + 3,
         {{0, perPage, false}, {perPage, perPage, false}, {2 * perPage, 3, true}}},
    };
    for (const Case& c : cases) {
        const std::vector<PageRows> pages = paginate(c.layout, c.rows);
        ASSERT_EQ(pages.size(), c.expected.size()) << c.guards;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            EXPECT_EQ(pages[i].firstRow, c.expected[i].firstRow) << c.guards << ", page " << i + 1;
            EXPECT_EQ(pages[i].rowCount, c.expected[i].rowCount) << c.guards << ", page " << i + 1;
            EXPECT_EQ(pages[i].totals, c.expected[i].totals) << c.guards << ", page " << i + 1;
        }
    }
}

TEST(ReportRenderer, LayoutWithoutRoomForARowIsRefused)
{
    ReportLayout layout = trialBalanceLayout();
    layout.orientation = Orientation::Landscape;
    layout.marginTopMm = layout.marginBottomMm = 80;
    layout.rowHeightMm = 12;
    layout.headerLines.resize(4);
    try {
        (void)paginate(layout, 1);
        FAIL() << "a page without room for a row was planned";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("TlRepo01"))) << e.message().toStdString();
    }
}

TEST(ReportRenderer, TotalsSumExactAmountsOfSummedColumnsOnly)
{
    ReportLayout layout = trialBalanceLayout();
    layout.columns[4].sum = false;
    ReportData data;
    data.rows = {
        {QStringLiteral("現金"), Money::fromYen(999'999'999'999), Money::fromUnits(1), CellValue(), Money::fromYen(5)},
        {QStringLiteral("売上"), Money::fromYen(1), Money::fromUnits(-3), Money::fromYen(-300), Money::fromYen(7)},
        {CellValue(), CellValue(), CellValue(), CellValue(), CellValue()},
    };
    const std::vector<std::optional<Money>> totals = columnTotals(layout, data);
    ASSERT_EQ(totals.size(), 5u);
    EXPECT_FALSE(totals[0]) << "the caption column is not summed";
    EXPECT_EQ(totals[1], Money::fromYen(1'000'000'000'000)) << "twelve digits carry into the thirteenth exactly";
    EXPECT_EQ(totals[2], Money::fromUnits(-2)) << "ten-thousandths are kept, not rounded per row";
    EXPECT_EQ(totals[3], Money::fromYen(-300)) << "empty cells count as nothing";
    EXPECT_FALSE(totals[4]) << "a column not marked for summing has no total";
}

// Rows that run over pages repeat the header and the captions on every page, lose and
// repeat no row, number the pages "n / N" and close with the totals on the last page.
TEST(ReportRenderer, PagesRepeatCaptionsAndCarryEveryRowOnce)
{
    const ReportLayout layout = trialBalanceLayout();
    const int perPage = pageGeometry(layout).rowsPerPage;
    ReportData data;
    data.headerLines = {{QStringLiteral("期間：2010/ 04/ 01～2011/ 03/ 31"), QString(), QStringLiteral("作成日：2011/ 05/ 14")}};
    const int rowCount = 2 * perPage + 10;
    for (int i = 1; i <= rowCount; ++i)
        data.rows.push_back(trialRow(QStringLiteral("科目%1").arg(i, 3, 10, QChar(u'0')), 1000 * i, 10 * i));

    RenderedPdf pdf;
    ASSERT_EQ(pdf.render(layout, data), 3);
    const QStringList pages = pdfPages(pdf.path());
    ASSERT_EQ(pages.size(), 3);
    for (int p = 0; p < pages.size(); ++p) {
        for (const QString& text : {QStringLiteral("合計残高試算表"), QStringLiteral("期間：2010/ 04/ 01～2011/ 03/ 31"),
                                    QStringLiteral("作成日：2011/ 05/ 14"), QStringLiteral("勘定科目"),
                                    QStringLiteral("合計試算表"), QStringLiteral("残高試算表"),
                                    })
            EXPECT_TRUE(pages[p].contains(QString(text))) << "page " << p + 1 << " lacks " << text.toStdString();
    }
    for (int p = 0; p < pages.size(); ++p) {
        const QRegularExpression pageNumber(QStringLiteral(R"(^\s*%1\s*/\s*3\s*$)").arg(p + 1),
                                            QRegularExpression::MultilineOption);
        EXPECT_TRUE(pageNumber.match(pages[p]).hasMatch()) << "page " << p + 1 << " is not numbered " << p + 1 << " / 3";
    }
    const QString all = pages.join(u'\n');
    for (int i = 1; i <= rowCount; ++i) {
        const QString name = QStringLiteral("科目%1").arg(i, 3, 10, QChar(u'0'));
        EXPECT_EQ(all.count(name), 1) << name.toStdString();
    }
    // Σ 1000·i and Σ 10·i over i = 1..N; the empty credit balances sum to 0.
    const qint64 n = rowCount;
    const QString totalsLine = lineStartingWith(pages[2], QStringLiteral("計"));
    const QRegularExpression totals(QStringLiteral(R"(計\s+%1\s+%2\s+%3\s+0\s*$)")
                                        .arg(textformat::gridAmount(Money::fromYen(1000 * n * (n + 1) / 2)),
                                             textformat::gridAmount(Money::fromYen(10 * n * (n + 1) / 2)),
                                             textformat::gridAmount(Money::fromYen(990 * n * (n + 1) / 2))));
    EXPECT_TRUE(totals.match(totalsLine).hasMatch()) << totalsLine.toStdString();
    EXPECT_FALSE(pages[0].contains(QRegularExpression(QStringLiteral(R"(^\s*計\s)"), QRegularExpression::MultilineOption)));
}

TEST(ReportRenderer, PageFollowsTheLayoutsOrientation)
{
    struct Case {
        Orientation orientation;
        const char* size;
    };
    for (const Case& c : {Case{Orientation::Portrait, "595 x 842"}, Case{Orientation::Landscape, "842 x 595"}}) {
        ReportLayout layout = trialBalanceLayout();
        layout.orientation = c.orientation;
        RenderedPdf pdf;
        ASSERT_EQ(pdf.render(layout, ReportData{}), 1);
        EXPECT_TRUE(pdfPageSize(pdf.path()).startsWith(QString::fromLatin1(c.size))) << pdfPageSize(pdf.path()).toStdString();
    }
}

// Text too long for its column is shortened; an amount never is, since a cut figure would
// read as another figure.
TEST(ReportRenderer, AmountsAreNeverCutShort)
{
    ReportLayout layout = trialBalanceLayout();
    layout.columns[0].widthMm = 20;
    layout.columns[1].widthMm = 16;
    ReportData data;
    data.rows = {{QStringLiteral("とても長い勘定科目の名前です"), Money::fromYen(-999'999'999'999), CellValue(), CellValue(),
                  CellValue()}};
    RenderedPdf pdf;
    ASSERT_EQ(pdf.render(layout, data), 1);
    const QString text = pdfPages(pdf.path()).join(u'\n');
    EXPECT_EQ(text.count(QStringLiteral("-999,999,999,999")), 2) << "the row and its total:\n" << text.toStdString();
    EXPECT_FALSE(text.contains(u'…')) << text.toStdString();
    // The name wraps beside the amount: read without the amount, its lines follow each other.
    EXPECT_TRUE(withoutBlanks(text).remove(QStringLiteral("-999,999,999,999")).contains(QStringLiteral("とても長い勘定科目の名前です")))
        << text.toStdString();
}

namespace {

const ReportLayout& shippedLayout(const QString& name)
{
    static const ReportProject project = readReportProject(QStringLiteral(TOLVA_REPORT_PROJECT));
    const ReportLayout* layout = project.find(name);
    if (!layout)
        throw std::logic_error("the shipped project lacks a layout");
    return *layout;
}

// A journal row of any of the journal layouts, the named fields filled, the rest empty.
ReportRow journalRow(const ReportLayout& layout, const std::map<QString, CellValue>& fields)
{
    ReportRow row;
    for (const ReportColumn& column : layout.columns) {
        const auto found = fields.find(column.field.name);
        row.push_back(found == fields.end() ? CellValue() : found->second);
    }
    return row;
}

const QStringList kJournalLayouts{QStringLiteral("rShiwake"), QStringLiteral("rShiwakesum"), QStringLiteral("rSaimoku")};

} // namespace

// Books run past entry 9,999: the entry number prints whole up to seven digits, at the body's
// own size, in every journal layout.
TEST(ReportRenderer, JournalEntryNumbersPrintWholeUpToSevenDigits)
{
    for (const QString& name : kJournalLayouts) {
        SCOPED_TRACE(name.toStdString());
        const ReportLayout& layout = shippedLayout(name);
        const auto number = std::find_if(layout.columns.begin(), layout.columns.end(),
                                          [](const ReportColumn& c) { return c.field.name == QStringLiteral("id"); });
        ASSERT_NE(number, layout.columns.end());
        EXPECT_EQ(rowHeightMm(layout, journalRow(layout, {{QStringLiteral("id"), QStringLiteral("8888888")}})),
                  layout.rowHeightMm);

        ReportData data;
        data.headerLines.resize(layout.headerLines.size());
        for (const QString& id : {QStringLiteral("8888888"), QStringLiteral("17800"), QStringLiteral("1")})
            data.rows.push_back(journalRow(layout, {{QStringLiteral("sDay"), QDate(2025, 12, 31)},
                                                    {QStringLiteral("id"), id},
                                                    {QStringLiteral("Lgaku"), Money::fromYen(999'999'999)}}));
        RenderedPdf pdf;
        ASSERT_EQ(pdf.render(layout, data), 1);
        const QString page = pdfPages(pdf.path()).value(0);
        EXPECT_FALSE(page.contains(u'…')) << page.toStdString();
        for (const QString& id : {QStringLiteral("8888888"), QStringLiteral("17800")})
            EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral(R"(2025/12/31\s+%1\s)").arg(id))))
                << id.toStdString() << " not whole in\n" << page.toStdString();
    }
}

// A printed book never loses text: a memo or account name too long for its column is set
// smaller, then wrapped onto more lines of its row, and the row grows when it must; the page
// then holds fewer rows, and every row still prints once.
TEST(ReportRenderer, LongMemosAndNamesWrapInsteadOfBeingCut)
{
    const QString monthly = QStringLiteral("給与振込（配偶者） 11月分");
    const QString longMemo = QStringLiteral("固定資産税第3期分（令和7年度） 口座振替 ・ 前年の未納分を含む、"
                                            "督促状の延滞金を加算して支払った。領収書は別綴りに保管する");
    const QString longName = QStringLiteral("長期前払費用（保険料・保証料）");
    for (const QString& name : kJournalLayouts) {
        SCOPED_TRACE(name.toStdString());
        const ReportLayout& layout = shippedLayout(name);
        const ReportRow monthlyRow = journalRow(layout, {{QStringLiteral("Memo"), monthly}});
        const ReportRow longRow = journalRow(layout, {{QStringLiteral("Memo"), longMemo}});
        const ReportRow longNameRow = journalRow(layout, {{QStringLiteral("kamoku_1"), longName}});
        EXPECT_LE(rowHeightMm(layout, monthlyRow), layout.rowHeightMm + 1.0)
            << "a memo a little too wide stays within about its row";
        EXPECT_GT(rowHeightMm(layout, longRow), layout.rowHeightMm) << "a memo of three lines makes its row taller";

        ReportData data;
        data.headerLines.resize(layout.headerLines.size());
        data.rows = {monthlyRow, longRow, longNameRow, journalRow(layout, {{QStringLiteral("id"), QStringLiteral("13")}})};
        RenderedPdf pdf;
        ASSERT_EQ(pdf.render(layout, data), 1);
        const QString page = pdfPages(pdf.path()).value(0);
        const QString flat = withoutBlanks(page);
        EXPECT_FALSE(page.contains(u'…')) << page.toStdString();
        EXPECT_TRUE(flat.contains(withoutBlanks(monthly))) << page.toStdString();
        EXPECT_TRUE(flat.contains(withoutBlanks(longName))) << page.toStdString();
        EXPECT_TRUE(flat.contains(withoutBlanks(longMemo))) << "the memo's lines follow each other:\n" << page.toStdString();

        const int perPage = pageGeometry(layout).rowsPerPage;
        ReportData tall;
        tall.rows.assign(std::size_t(perPage), longRow);
        const std::vector<PageRows> pages = paginate(layout, tall);
        ASSERT_GT(pages.size(), 1u) << "taller rows take more pages";
        int printed = 0;
        for (const PageRows& p : pages)
            printed += p.rowCount;
        EXPECT_EQ(printed, perPage) << "every row once";
    }
}

// What a saved report holds as text is what it prints: every heading of every shipped layout
// comes back out of the PDF as the same characters, never a radical or a dash that only looks
// the same, so a search for "残高" or "～" finds it.
TEST(ReportRenderer, EveryLayoutsPdfExtractsAsTheTextItPrints)
{
    const ReportProject project = readReportProject(QStringLiteral(TOLVA_REPORT_PROJECT));
    ASSERT_GE(project.reports.size(), 7u);
    for (const ReportLayout& layout : project.reports) {
        SCOPED_TRACE(layout.name.toStdString());
        ReportData data;
        for (std::size_t i = 0; i < layout.headerLines.size(); ++i)
            data.headerLines.push_back({QStringLiteral("期間：2024/ 04/ 01～2025/ 03/ 31"), QString(),
                                        QStringLiteral("作成日：2025/ 04/ 10")});
        ReportRow row;
        for (const ReportColumn& column : layout.columns)
            row.push_back(column.format == CellFormat::Amount ? CellValue(Money::fromYen(1234))
                                                              : CellValue(QStringLiteral("高")));
        data.rows.push_back(row);
        RenderedPdf pdf;
        ASSERT_EQ(pdf.render(layout, data), 1);
        const QStringList pages = pdfPages(pdf.path());
        ASSERT_EQ(pages.size(), 1);
        const QString& page = pages[0];

        QStringList expected{layout.title, QStringLiteral("期間：2024/ 04/ 01～2025/ 03/ 31"), QStringLiteral("作成日：2025/ 04/ 10")};
        for (const ReportColumn& column : layout.columns) {
            expected << column.caption.split(u'\n');
            if (!column.group.isEmpty())
                expected << column.group;
        }
        if (layout.totalsCaption)
            expected << *layout.totalsCaption;
        for (const QString& text : expected)
            EXPECT_TRUE(page.contains(text)) << text.toStdString() << " not in\n" << page.toStdString();
        for (QChar c : page) {
            const char16_t u = c.unicode();
            EXPECT_FALSE((u >= 0x2E80 && u <= 0x2FDF) || u == 0x301C) << "U+" << std::hex << int(u) << " in\n"
                                                                        << page.toStdString();
        }
    }
}

// Names outside the Basic Multilingual Plane (𠮷 of 𠮷野家, 𩸽) are drawn by a fallback face;
// the saved PDF still reads back as the same text in every layout, in a cell and in a header,
// so a search for "𠮷野家仕入" finds the row.
TEST(ReportRenderer, TextOutsideTheBasicPlaneExtractsAsPrinted)
{
    const QString name = QStringLiteral("𠮷野家仕入");
    const QString header = QStringLiteral("𩸽の干物店");
    const ReportProject project = readReportProject(QStringLiteral(TOLVA_REPORT_PROJECT));
    for (const ReportLayout& layout : project.reports) {
        SCOPED_TRACE(layout.name.toStdString());
        ReportData data;
        for (std::size_t i = 0; i < layout.headerLines.size(); ++i)
            data.headerLines.push_back({header, QString(), QString()});
        // One text column filled per row, so that a name wrapped in a narrow column reads back
        // on lines of its own.
        for (std::size_t i = 0; i < layout.columns.size(); ++i) {
            if (layout.columns[i].format != CellFormat::Text)
                continue;
            ReportRow row(layout.columns.size());
            row[i] = name;
            data.rows.push_back(row);
        }
        RenderedPdf pdf;
        ASSERT_EQ(pdf.render(layout, data), 1);
        const QString page = withoutBlanks(pdfPages(pdf.path()).value(0));
        const auto textColumns = std::count_if(layout.columns.begin(), layout.columns.end(), [](const ReportColumn& c) {
            return c.format == CellFormat::Text;
        });
        EXPECT_EQ(page.count(name), textColumns) << page.toStdString();
        if (!layout.headerLines.empty())
            EXPECT_TRUE(page.contains(header)) << page.toStdString();
    }
}
