#include "reports/reportproject.h"

#include "db/storeerror.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <algorithm>

namespace tolva::reports {

namespace {

constexpr double kA4ShortMm = 210.0;
constexpr double kA4LongMm = 297.0;
// Reads one JSON object and remembers which keys were asked for, so that a misspelt key
// ("widht") is reported instead of silently falling back to a default.
class ObjectReader {
public:
    ObjectReader(QJsonObject object, QString where, QString fileName)
        : object_(std::move(object)), where_(std::move(where)), fileName_(std::move(fileName))
    {
    }

    [[nodiscard]] const QString& fileName() const { return fileName_; }

    [[noreturn]] void fail(const QString& key, const QString& problem) const
    {
        const QString place = key.isEmpty() ? where_ : where_ + u'.' + key;
        throw StoreError(QStringLiteral("レポートプロジェクト「%1」の %2: %3").arg(fileName_, place, problem));
    }

    [[nodiscard]] bool has(const QString& key)
    {
        used_.insert(key);
        return object_.contains(key);
    }

    [[nodiscard]] QJsonValue value(const QString& key)
    {
        used_.insert(key);
        return object_.value(key);
    }

    [[nodiscard]] QString requiredString(const QString& key)
    {
        if (!has(key))
            fail(key, QStringLiteral("必要な項目がありません。"));
        return string(key, QString());
    }

    [[nodiscard]] QString string(const QString& key, const QString& fallback)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isString())
            fail(key, QStringLiteral("文字列を指定してください。"));
        return v.toString();
    }

    [[nodiscard]] double number(const QString& key, double fallback, double minimum, double maximum)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isDouble())
            fail(key, QStringLiteral("数値を指定してください。"));
        const double n = v.toDouble();
        if (n < minimum || n > maximum)
            fail(key, QStringLiteral("%1 は範囲外です（%2～%3）。").arg(n).arg(minimum).arg(maximum));
        return n;
    }

    [[nodiscard]] bool boolean(const QString& key, bool fallback)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            fail(key, QStringLiteral("true か false を指定してください。"));
        return v.toBool();
    }

    [[nodiscard]] QJsonObject object(const QString& key)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return {};
        if (!v.isObject())
            fail(key, QStringLiteral("オブジェクト { } を指定してください。"));
        return v.toObject();
    }

    [[nodiscard]] QJsonArray array(const QString& key, bool required)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined()) {
            if (required)
                fail(key, QStringLiteral("必要な項目がありません。"));
            return {};
        }
        if (!v.isArray())
            fail(key, QStringLiteral("配列 [ ] を指定してください。"));
        return v.toArray();
    }

    // One of the listed words; the position in `words` is returned.
    [[nodiscard]] int choice(const QString& key, const QStringList& words, int fallback)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return fallback;
        const int index = v.isString() ? int(words.indexOf(v.toString())) : -1;
        if (index < 0)
            fail(key, QStringLiteral("%1 のいずれかを指定してください。").arg(words.join(QStringLiteral(", "))));
        return index;
    }

    [[nodiscard]] QString childWhere(const QString& key) const { return where_ + u'.' + key; }

    // Every key must have been read by now.
    void finish() const
    {
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (!used_.contains(it.key()))
                fail(it.key(), QStringLiteral("知らない項目です。"));
        }
    }

private:
    QJsonObject object_;
    QString where_;
    QString fileName_;
    QSet<QString> used_;
};

ObjectReader readerOf(const QJsonValue& value, const QString& where, const QString& fileName)
{
    ObjectReader reader(value.toObject(), where, fileName);
    if (!value.isObject())
        reader.fail(QString(), QStringLiteral("オブジェクト { } を指定してください。"));
    return reader;
}

const QStringList kAlignments = {QStringLiteral("left"), QStringLiteral("center"), QStringLiteral("right")};
const QStringList kFormats = {QStringLiteral("text"), QStringLiteral("amount"), QStringLiteral("date")};
const QStringList kOrientations = {QStringLiteral("portrait"), QStringLiteral("landscape")};

QString connection(ObjectReader& reader)
{
    const QString name = reader.requiredString(QStringLiteral("connection"));
    if (!connectionNames().contains(name))
        reader.fail(QStringLiteral("connection"), QStringLiteral("データ接続「%1」はありません（%2）。")
                                                      .arg(name, connectionNames().join(QStringLiteral(", "))));
    return name;
}

ReportColumn parseColumn(ObjectReader reader)
{
    ReportColumn column;
    const QJsonValue field = reader.value(QStringLiteral("field"));
    if (field.isString() && !field.toString().isEmpty())
        column.field.name = field.toString();
    else if (field.isDouble() && field.toDouble() >= 0 && field.toDouble() == double(field.toInt()))
        column.field.position = field.toInt();
    else
        reader.fail(QStringLiteral("field"), QStringLiteral("項目名か 0 から数えた項目の位置を指定してください。"));

    column.caption = reader.string(QStringLiteral("caption"), QString());
    column.group = reader.string(QStringLiteral("group"), QString());
    if (!reader.has(QStringLiteral("width")))
        reader.fail(QStringLiteral("width"), QStringLiteral("必要な項目がありません（列の幅を mm で指定します）。"));
    column.widthMm = reader.number(QStringLiteral("width"), 0, 1, 1000);
    column.format = CellFormat(reader.choice(QStringLiteral("format"), kFormats, int(CellFormat::Text)));
    const Alignment natural = column.format == CellFormat::Amount ? Alignment::Right : Alignment::Left;
    column.alignment = Alignment(reader.choice(QStringLiteral("align"), kAlignments, int(natural)));
    column.sum = reader.boolean(QStringLiteral("sum"), false);
    if (column.sum && column.format != CellFormat::Amount)
        reader.fail(QStringLiteral("sum"), QStringLiteral("合計できるのは金額（\"format\": \"amount\"）の列だけです。"));
    reader.finish();
    return column;
}

void parseHeader(ObjectReader reader, ReportLayout& layout, const QString& fileName)
{
    layout.headerConnection = connection(reader);
    const QJsonArray lines = reader.array(QStringLiteral("lines"), true);
    for (int i = 0; i < lines.size(); ++i) {
        ObjectReader line = readerOf(lines[i], reader.childWhere(QStringLiteral("lines[%1]").arg(i)), fileName);
        HeaderLineLayout header;
        header.left = line.string(QStringLiteral("left"), QString());
        header.center = line.string(QStringLiteral("center"), QString());
        header.right = line.string(QStringLiteral("right"), QString());
        line.finish();
        layout.headerLines.push_back(header);
    }
    reader.finish();
}

void parseBody(ObjectReader reader, ReportLayout& layout, const QString& fileName)
{
    layout.bodyConnection = connection(reader);
    const QJsonArray columns = reader.array(QStringLiteral("columns"), true);
    if (columns.isEmpty())
        reader.fail(QStringLiteral("columns"), QStringLiteral("列が一つもありません。"));
    for (int i = 0; i < columns.size(); ++i)
        layout.columns.push_back(
            parseColumn(readerOf(columns[i], reader.childWhere(QStringLiteral("columns[%1]").arg(i)), fileName)));

    if (reader.has(QStringLiteral("totals"))) {
        ObjectReader totals =
            readerOf(reader.value(QStringLiteral("totals")), reader.childWhere(QStringLiteral("totals")), fileName);
        layout.totalsCaption = totals.string(QStringLiteral("caption"), QString());
        totals.finish();
        const bool anySum = std::any_of(layout.columns.begin(), layout.columns.end(),
                                        [](const ReportColumn& c) { return c.sum; });
        if (!anySum)
            reader.fail(QStringLiteral("totals"), QStringLiteral("合計する列（\"sum\": true）がありません。"));
        if (layout.columns.front().sum)
            reader.fail(QStringLiteral("totals"),
                        QStringLiteral("合計行の見出しを書く最初の列は合計する列にできません。"));
    }
    if (reader.has(QStringLiteral("carryForward"))) {
        if (!layout.totalsCaption)
            reader.fail(QStringLiteral("carryForward"), QStringLiteral("繰越行には合計行（\"totals\"）が必要です。"));
        ObjectReader carry = readerOf(reader.value(QStringLiteral("carryForward")),
                                      reader.childWhere(QStringLiteral("carryForward")), fileName);
        layout.carryForward = ReportLayout::CarryForward{carry.string(QStringLiteral("toNext"), QStringLiteral("次頁へ")),
                                                         carry.string(QStringLiteral("fromPrevious"), QStringLiteral("前頁より"))};
        carry.finish();
    }
    reader.finish();
}

void parsePage(ObjectReader reader, ReportLayout& layout)
{
    layout.orientation =
        Orientation(reader.choice(QStringLiteral("orientation"), kOrientations, int(Orientation::Portrait)));
    if (reader.has(QStringLiteral("margins"))) {
        ObjectReader margins = readerOf(reader.value(QStringLiteral("margins")),
                                        reader.childWhere(QStringLiteral("margins")), reader.fileName());
        layout.marginTopMm = margins.number(QStringLiteral("top"), layout.marginTopMm, 0, 80);
        layout.marginBottomMm = margins.number(QStringLiteral("bottom"), layout.marginBottomMm, 0, 80);
        layout.marginLeftMm = margins.number(QStringLiteral("left"), layout.marginLeftMm, 0, 80);
        layout.marginRightMm = margins.number(QStringLiteral("right"), layout.marginRightMm, 0, 80);
        margins.finish();
    }
    reader.finish();
}

ReportLayout parseReport(const QJsonValue& value, int index, const QString& fileName)
{
    // Until the report's name is known its place is its position in the list; after that,
    // its name, which is what a reader of the message looks for.
    ObjectReader unnamed = readerOf(value, QStringLiteral("reports[%1]").arg(index), fileName);
    ReportLayout layout;
    layout.name = unnamed.requiredString(QStringLiteral("name"));
    if (layout.name.isEmpty())
        unnamed.fail(QStringLiteral("name"), QStringLiteral("レポート名が空です。"));

    ObjectReader reader(value.toObject(), QStringLiteral("レポート「%1」").arg(layout.name), fileName);
    (void)reader.value(QStringLiteral("name"));
    layout.title = reader.string(QStringLiteral("title"), QString());
    layout.fontSizePt = reader.number(QStringLiteral("fontSize"), layout.fontSizePt, 5, 24);
    layout.titleFontSizePt = reader.number(QStringLiteral("titleFontSize"), layout.titleFontSizePt, 5, 48);
    layout.rowHeightMm = reader.number(QStringLiteral("rowHeight"), layout.rowHeightMm, 2, 50);
    // A row lower than its text would print each row over the next one.
    const double textHeightMm = layout.fontSizePt * kMillimetresPerPoint * 1.2;
    if (layout.rowHeightMm < textHeightMm)
        reader.fail(QStringLiteral("rowHeight"), QStringLiteral("行の高さ %1 mm は文字の大きさ %2 pt に足りません（%3 mm 以上）。")
                                                     .arg(layout.rowHeightMm)
                                                     .arg(layout.fontSizePt)
                                                     .arg(textHeightMm, 0, 'f', 1));

    if (reader.has(QStringLiteral("page")))
        parsePage(readerOf(reader.value(QStringLiteral("page")), reader.childWhere(QStringLiteral("page")), fileName),
                  layout);
    if (reader.has(QStringLiteral("header")))
        parseHeader(readerOf(reader.value(QStringLiteral("header")), reader.childWhere(QStringLiteral("header")),
                             fileName),
                    layout, fileName);
    if (!reader.has(QStringLiteral("body")))
        reader.fail(QStringLiteral("body"), QStringLiteral("必要な項目がありません。"));
    parseBody(readerOf(reader.value(QStringLiteral("body")), reader.childWhere(QStringLiteral("body")), fileName),
              layout, fileName);
    reader.finish();

    const double printable = layout.pageWidthMm() - layout.marginLeftMm - layout.marginRightMm;
    if (layout.tableWidthMm() > printable + 1e-9)
        reader.fail(QStringLiteral("body.columns"), QStringLiteral("列幅の合計 %1 mm が印刷できる幅 %2 mm を超えています。")
                                                        .arg(layout.tableWidthMm())
                                                        .arg(printable));
    return layout;
}

// 1-based line and column of a byte offset, for a parse error a person can find.
std::pair<int, int> lineAndColumn(const QByteArray& text, int offset)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((text[i] & 0xC0) != 0x80) {  // count characters, not UTF-8 bytes
            ++column;
        }
    }
    return {line, column};
}

} // namespace

const QStringList& connectionNames()
{
    static const QStringList names = {
        QStringLiteral("RvDataSetConnection1"), QStringLiteral("RvDataSetConnection2"),
        QStringLiteral("RvDataSetConnection3"), QStringLiteral("RvQueryConnection1"),
        QStringLiteral("RvQueryConnection2"),   QStringLiteral("RvQueryConnection3"),
    };
    return names;
}

const QStringList& programReports()
{
    // 合計試算表 / 精算表 / 細目の集計, the depreciation list, and the three journal books.
    static const QStringList names = {
        QStringLiteral("TlRepo01"), QStringLiteral("TlRepo02"),    QStringLiteral("TlRepo03"), QStringLiteral("rGSlist"),
        QStringLiteral("rShiwake"), QStringLiteral("rShiwakesum"), QStringLiteral("rSaimoku"),
    };
    return names;
}

QStringList projectFindings(const QString& fileName)
{
    ReportProject project;
    try {
        project = readReportProject(fileName);
    } catch (const StoreError& e) {
        return {e.message()};
    }
    QStringList findings;
    for (const QString& name : programReports()) {
        if (!project.find(name))
            findings << QStringLiteral("レポートのプロジェクト「%1」にレポート「%2」がありません。")
                            .arg(QDir::toNativeSeparators(fileName), name);
    }
    return findings;
}

QString FieldRef::describe() const
{
    return position ? QStringLiteral("%1 番目の項目").arg(*position + 1) : QStringLiteral("項目「%1」").arg(name);
}

double ReportLayout::pageWidthMm() const
{
    return orientation == Orientation::Portrait ? kA4ShortMm : kA4LongMm;
}

double ReportLayout::pageHeightMm() const
{
    return orientation == Orientation::Portrait ? kA4LongMm : kA4ShortMm;
}

double ReportLayout::tableWidthMm() const
{
    double width = 0;
    for (const ReportColumn& c : columns)
        width += c.widthMm;
    return width;
}

bool ReportLayout::hasColumnGroups() const
{
    return std::any_of(columns.begin(), columns.end(), [](const ReportColumn& c) { return !c.group.isEmpty(); });
}

const ReportLayout* ReportProject::find(const QString& name) const
{
    for (const ReportLayout& layout : reports) {
        if (layout.name == name)
            return &layout;
    }
    return nullptr;
}

ReportProject parseReportProject(const QByteArray& json, const QString& fileName)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        const auto [line, column] = lineAndColumn(json, error.offset);
        throw StoreError(QStringLiteral("レポートプロジェクト「%1」は正しい JSON ではありません（%2 行 %3 文字目: %4）。")
                             .arg(fileName)
                             .arg(line)
                             .arg(column)
                             .arg(error.errorString()));
    }
    if (!document.isObject())
        throw StoreError(QStringLiteral("レポートプロジェクト「%1」の全体はオブジェクト { } でなければなりません。").arg(fileName));

    ObjectReader root(document.object(), QStringLiteral("全体"), fileName);
    // The version lets a later program tell an older layout from a newer one; this one
    // reads version 1 only.
    if (const double version = root.number(QStringLiteral("version"), 1, 0, 1000); version != 1)
        root.fail(QStringLiteral("version"), QStringLiteral("このプログラムが読めるのは version 1 です（%1）。").arg(version));
    ReportProject project;
    project.fileName = fileName;
    const QJsonArray reports = root.array(QStringLiteral("reports"), true);
    root.finish();
    for (int i = 0; i < reports.size(); ++i) {
        ReportLayout layout = parseReport(reports[i], i, fileName);
        if (project.find(layout.name))
            throw StoreError(QStringLiteral("レポートプロジェクト「%1」にレポート「%2」が二つあります。").arg(fileName, layout.name));
        project.reports.push_back(std::move(layout));
    }
    return project;
}

ReportProject readReportProject(const QString& fileName)
{
    QFile file(fileName);
    if (!file.exists())
        throw StoreError(QStringLiteral("レポートプロジェクト「%1」が見つかりません。").arg(fileName));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("レポートプロジェクト「%1」を開けません: %2").arg(fileName, file.errorString()));
    return parseReportProject(file.readAll(), fileName);
}

} // namespace tolva::reports
