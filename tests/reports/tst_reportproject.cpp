#include "db/storeerror.h"
#include "reports/reportproject.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::reports;

namespace {

const QString kFile = QStringLiteral("/data/TlRepo01.rav");

const char* const kBody = R"({"connection": "RvDataSetConnection3", "columns": [
    {"field": "kamoku", "caption": "勘定科目", "width": 50},
    {"field": "L1", "caption": "借方", "width": 30, "format": "amount", "sum": true}]})";

// A project of one report "R1": `settings` are written before its body.
QByteArray project(const QString& settings, const QString& body = QString::fromUtf8(kBody))
{
    return QStringLiteral(R"({"reports": [{"name": "R1", %1 "body": %2}]})").arg(settings, body).toUtf8();
}

QString parseError(const QByteArray& json)
{
    try {
        (void)parseReportProject(json, kFile);
    } catch (const StoreError& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(ReportProject, ReadsEverySettingAndItsDefaults)
{
    const QByteArray json = QStringLiteral(R"({"version": 1, "reports": [{
        "name": "rGSlist", "title": "減価償却費の計算",
        "page": {"orientation": "landscape", "margins": {"top": 10, "left": 8}},
        "fontSize": 8, "rowHeight": 5,
        "header": {"connection": "RvQueryConnection3", "lines": [{"left": "{Name01}", "right": "{Name03}"}, {"center": "x"}]},
        "body": {"connection": "RvQueryConnection1", "columns": [
            {"field": 1, "caption": "種類", "width": 40},
            {"field": "gaku", "group": "取得", "caption": "価額", "width": 30, "format": "amount", "sum": true},
            {"field": "dateB", "group": "取得", "caption": "年月", "width": 25, "format": "date", "align": "center"}],
          "totals": {"caption": "合計"}}}]})")
                                 .toUtf8();
    const ReportProject parsed = parseReportProject(json, kFile);
    ASSERT_EQ(parsed.reports.size(), 1u);
    const ReportLayout& layout = *parsed.find(QStringLiteral("rGSlist"));

    EXPECT_EQ(layout.orientation, Orientation::Landscape);
    EXPECT_DOUBLE_EQ(layout.pageWidthMm(), 297.0);
    EXPECT_DOUBLE_EQ(layout.marginTopMm, 10.0);
    EXPECT_DOUBLE_EQ(layout.marginBottomMm, 15.0) << "an unset margin keeps its default";
    EXPECT_EQ(layout.headerConnection, u"RvQueryConnection3");
    ASSERT_EQ(layout.headerLines.size(), 2u);
    EXPECT_EQ(layout.headerLines[0].right, u"{Name03}");
    EXPECT_EQ(layout.bodyConnection, u"RvQueryConnection1");
    ASSERT_EQ(layout.columns.size(), 3u);
    EXPECT_EQ(layout.columns[0].field.position, 1) << "a number names a field by position";
    EXPECT_EQ(layout.columns[0].alignment, Alignment::Left);
    EXPECT_EQ(layout.columns[1].alignment, Alignment::Right) << "amounts are right-aligned unless told otherwise";
    EXPECT_EQ(layout.columns[2].format, CellFormat::Date);
    EXPECT_EQ(layout.columns[2].alignment, Alignment::Center);
    EXPECT_TRUE(layout.hasColumnGroups());
    EXPECT_EQ(layout.totalsCaption, u"合計");
    EXPECT_EQ(parsed.find(QStringLiteral("TlRepo09")), nullptr) << "an unknown name is not found, not an error";
}

// Every fault names the file and where in it, so that whoever edits the project can find it.
TEST(ReportProject, RejectsMalformedProjectsWithTheirPlace)
{
    struct Case {
        const char* guards;
        QByteArray json;
        QStringList expected;
    };
    const QString twoColumnsTooWide = QStringLiteral(R"({"connection": "RvDataSetConnection3", "columns": [
        {"field": "kamoku", "width": 150}, {"field": "L1", "width": 50}]})");
    const Case cases[] = {
        {"text that is not JSON", QByteArray("{\"reports\": [\n  {\"name\": }"), {"正しい JSON ではありません", "2 行"}},
        {"a list instead of an object", QByteArray("[]"), {"全体はオブジェクト"}},
        {"no list of reports", QByteArray("{}"), {"全体.reports", "必要な項目がありません"}},
        {"a project of a later version", QByteArray(R"({"version": 2, "reports": []})"), {"全体.version", "version 1"}},
        {"a report without a name", QByteArray(R"({"reports": [{"title": "x"}]})"), {"reports[0].name", "必要な項目がありません"}},
        {"two reports of one name", QStringLiteral(R"({"reports": [{"name": "R1", "body": %1}, {"name": "R1", "body": %1}]})")
                                        .arg(QString::fromUtf8(kBody)).toUtf8(),
         {"レポート「R1」が二つあります"}},
        {"a misspelt key", project(QStringLiteral(R"("titel": "x",)")), {"レポート「R1」.titel", "知らない項目です"}},
        {"a number given as text", project(QStringLiteral(R"("fontSize": "9",)")), {"レポート「R1」.fontSize", "数値"}},
        {"a report without body", QByteArray(R"({"reports": [{"name": "R1"}]})"), {"レポート「R1」.body", "必要な項目がありません"}},
        {"an unknown connection",
         project(QString(), QStringLiteral(R"({"connection": "RvQueryConnection9", "columns": [{"field": "a", "width": 9}]})")),
         {"レポート「R1」.body.connection", "RvQueryConnection9", "RvDataSetConnection3"}},
        {"a body without columns", project(QString(), QStringLiteral(R"({"connection": "RvDataSetConnection3", "columns": []})")),
         {"body.columns", "列が一つもありません"}},
        {"a column without width",
         project(QString(), QStringLiteral(R"({"connection": "RvDataSetConnection3", "columns": [{"field": "a"}]})")),
         {"body.columns[0].width", "必要な項目がありません"}},
        {"a column without field",
         project(QString(), QStringLiteral(R"({"connection": "RvDataSetConnection3", "columns": [{"width": 20}]})")),
         {"body.columns[0].field"}},
        {"an unknown alignment",
         project(QString(), QStringLiteral(R"({"connection": "RvDataSetConnection3", "columns": [{"field": "a", "width": 9, "align": "middle"}]})")),
         {"body.columns[0].align", "left, center, right"}},
        {"a sum over text",
         project(QString(), QStringLiteral(R"({"connection": "RvDataSetConnection3", "columns": [{"field": "a", "width": 9, "sum": true}]})")),
         {"body.columns[0].sum", "金額"}},
        {"a totals row with nothing to sum",
         project(QString(), QStringLiteral(R"({"connection": "RvDataSetConnection3", "columns": [{"field": "a", "width": 9}], "totals": {"caption": "計"}})")),
         {"body.totals", "合計する列"}},
        {"columns wider than the page", project(QString(), twoColumnsTooWide), {"body.columns", "200 mm", "180 mm"}},
        {"rows lower than their text", project(QStringLiteral(R"("fontSize": 20, "rowHeight": 5,)")),
         {"レポート「R1」.rowHeight", "足りません"}},
        {"a landscape page that fits them", project(QStringLiteral(R"("page": {"orientation": "landscape"},)"), twoColumnsTooWide),
         {}},
    };
    for (const Case& c : cases) {
        const QString message = parseError(c.json);
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(message.isEmpty()) << c.guards << ": " << message.toStdString();
            continue;
        }
        EXPECT_TRUE(message.contains(kFile)) << c.guards << ": " << message.toStdString();
        for (const QString& part : c.expected)
            EXPECT_TRUE(message.contains(part)) << c.guards << ": expected \"" << part.toStdString() << "\" in "
                                                << message.toStdString();
    }
}

TEST(ReportProject, MissingOrUnreadableFileNamesTheFile)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("TlRepo01.rav"));
    try {
        (void)readReportProject(missing);
        FAIL() << "a missing project was read";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("見つかりません"))) << e.message().toStdString();
    }

    // A folder where the file should be cannot be read as one.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("TlRepo01.rav")));
    try {
        (void)readReportProject(missing);
        FAIL() << "a folder was read as a project";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.message().toStdString();
    }
}
