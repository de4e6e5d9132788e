#include "reports/reportdata.h"

#include "db/dataset.h"
#include "db/storeerror.h"
#include "db/tdm01keiri.h"

#include <QRegularExpression>

namespace tolva::reports {

namespace {

// Opens a dataset for one read when it is closed, and afterwards leaves it as it was found:
// closed again, or open on its first row.
class DatasetVisit {
public:
    explicit DatasetVisit(Dataset& dataset) : dataset_(dataset), openedHere_(!dataset.isActive())
    {
        if (openedHere_)
            dataset_.open();
        dataset_.first();
    }
    ~DatasetVisit()
    {
        try {
            if (openedHere_)
                dataset_.close();
            else
                dataset_.first();
        } catch (...) {
            // The report's own error, if any, is the one worth showing.
        }
    }
    DatasetVisit(const DatasetVisit&) = delete;
    DatasetVisit& operator=(const DatasetVisit&) = delete;

private:
    Dataset& dataset_;
    bool openedHere_;
};

QString connectionLabel(const QString& connection, const Dataset& dataset)
{
    return QStringLiteral("%1（%2）").arg(connection, dataset.datasetName());
}

Dataset& datasetOf(const ReportLayout& layout, const QString& connection, const ConnectionLookup& connections)
{
    Dataset* dataset = connections ? connections(connection) : nullptr;
    if (!dataset)
        throw StoreError(QStringLiteral("レポート「%1」のデータ接続「%2」にデータセットがありません。").arg(layout.name, connection));
    return *dataset;
}

int fieldIndexOf(const ReportLayout& layout, const QString& connection, Dataset& dataset, const FieldRef& field)
{
    const int index = field.position ? *field.position : dataset.fieldIndex(field.name);
    if (index < 0 || index >= dataset.fieldCount())
        throw StoreError(QStringLiteral("レポート「%1」: データ接続 %2 に%3がありません。")
                             .arg(layout.name, connectionLabel(connection, dataset), field.describe()));
    return index;
}

CellValue cellValue(Dataset& dataset, int index, CellFormat format)
{
    const Field field = dataset.field(index);
    if (field.isNull())
        return {};
    switch (format) {
    case CellFormat::Amount:
        return field.asMoney();
    case CellFormat::Date:
        return field.asDate();
    case CellFormat::Text:
        break;
    }
    return field.asString();
}

// Fills the {Field} placeholders of a header text from the current row.
QString fillPlaceholders(const ReportLayout& layout, const QString& connection, Dataset& dataset, bool hasRow,
                         const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral(R"(\{([^{}]+)\})"));
    QString result;
    qsizetype done = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const int index = fieldIndexOf(layout, connection, dataset, FieldRef{match.captured(1), std::nullopt});
        result += text.mid(done, match.capturedStart() - done);
        if (hasRow)
            result += dataset.field(index).asString();
        done = match.capturedEnd();
    }
    return result + text.mid(done);
}

} // namespace

ReportData readReportData(const ReportLayout& layout, const ConnectionLookup& connections, const ReadProgress& progress)
{
    ReportData data;

    if (!layout.headerConnection.isEmpty()) {
        Dataset& header = datasetOf(layout, layout.headerConnection, connections);
        const DatasetVisit visit(header);
        const bool hasRow = !header.eof();
        for (const HeaderLineLayout& line : layout.headerLines) {
            const auto fill = [&](const QString& text) {
                return fillPlaceholders(layout, layout.headerConnection, header, hasRow, text);
            };
            data.headerLines.push_back(HeaderLine{fill(line.left), fill(line.center), fill(line.right)});
        }
    }

    Dataset& shown = datasetOf(layout, layout.bodyConnection, connections);
    const DatasetVisit visit(shown);
    // A query is read through a one-way copy of itself: a window's list over the same query
    // would otherwise keep every row of a long book in its cache after the report is gone.
    std::unique_ptr<Query> oneWay;
    if (auto* query = dynamic_cast<Query*>(&shown); query && !query->uniDirectional()) {
        oneWay = query->oneWayCopy();
        oneWay->open();
    }
    Dataset& body = oneWay ? *oneWay : shown;
    std::vector<int> indexes;
    indexes.reserve(layout.columns.size());
    for (const ReportColumn& column : layout.columns)
        indexes.push_back(fieldIndexOf(layout, layout.bodyConnection, body, column.field));
    constexpr std::size_t kRowsBetweenProgress = 1000;
    for (; !body.eof(); body.next()) {
        if (progress && data.rows.size() % kRowsBetweenProgress == 0 && !data.rows.empty()
            && !progress(int(data.rows.size())))
            throw ReportStopped{};
        ReportRow row;
        row.reserve(indexes.size());
        for (std::size_t i = 0; i < indexes.size(); ++i)
            row.push_back(cellValue(body, indexes[i], layout.columns[i].format));
        data.rows.push_back(std::move(row));
    }
    return data;
}

ConnectionLookup dataModuleConnections(Tdm01Keiri& data)
{
    return [&data](const QString& name) -> Dataset* {
        if (name == u"RvDataSetConnection1")
            return &data.q20Repo;
        if (name == u"RvDataSetConnection2")
            return &data.q01kamokuL;
        if (name == u"RvDataSetConnection3")
            return &data.q19Repo;
        if (name == u"RvQueryConnection1")
            return &data.q22GSlist;
        if (name == u"RvQueryConnection2")
            return &data.q05shiwakeView;
        if (name == u"RvQueryConnection3")
            return &data.q23Jyouken;
        return nullptr;
    };
}

std::optional<PreparedReport> prepareReport(const ReportProject& project, const QString& name,
                                            const ConnectionLookup& connections, const ReadProgress& progress)
{
    const ReportLayout* found = project.find(name);
    if (!found)
        return std::nullopt;
    PreparedReport report{*found, {}, {}};
    report.data = readReportData(report.layout, connections, progress);
    report.pages = paginate(report.layout, int(report.data.rows.size()));
    return report;
}

} // namespace tolva::reports
