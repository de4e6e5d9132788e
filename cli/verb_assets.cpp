// depreciation: the depreciation list of a fiscal year, as the asset register prints it.
#include "assets/depreciationlist.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/database.h"
#include "db/textformat.h"

namespace tolva::cli {

namespace {

QString quantityText(const std::optional<double>& quantity)
{
    return quantity ? QString::number(*quantity, 'g', 15) : QString();
}

QString monthText(const QDate& day)
{
    return day.isValid() ? day.toString(QStringLiteral("yyyy/MM")) : QString();
}

// The columns of the depreciation schedule of the blue-return statement, in its order.
const QList<TextTable::Column>& scheduleColumns()
{
    using A = TextTable::Align;
    static const QList<TextTable::Column> columns = {
        {QStringLiteral("名称"), A::Left},          {QStringLiteral("種別"), A::Left},
        {QStringLiteral("面積又は数量"), A::Right}, {QStringLiteral("取得年月"), A::Left},
        {QStringLiteral("(ｲ)取得価額"), A::Right},  {QStringLiteral("(ﾛ)償却の基礎"), A::Right},
        {QStringLiteral("償却方法"), A::Left},      {QStringLiteral("耐用年数"), A::Right},
        {QStringLiteral("(ﾊ)償却率"), A::Right},    {QStringLiteral("(ﾆ)償却期間"), A::Right},
        {QStringLiteral("(ﾎ)普通償却費"), A::Right}, {QStringLiteral("(ﾍ)割増償却費"), A::Right},
        {QStringLiteral("(ﾄ)償却費合計"), A::Right}, {QStringLiteral("(ﾁ)貸付割合"), A::Right},
        {QStringLiteral("(ﾘ)必要経費算入額"), A::Right}, {QStringLiteral("(ﾇ)未償却残高"), A::Right},
        {QStringLiteral("摘要"), A::Left},
    };
    return columns;
}

struct Totals {
    Money price, base, ordinary, extra, total, expense, endBalance;

    void add(const DepreciationListRow& row)
    {
        price = price + row.price;
        base = base + row.inputs.base;
        ordinary = ordinary + row.figures.ordinary;
        extra = extra + row.inputs.extra;
        total = total + row.figures.total;
        expense = expense + row.figures.expense;
        endBalance = endBalance + row.figures.endBalance;
    }
};

QStringList cells(const DepreciationListRow& row, QString (*amount)(Money))
{
    return {row.property,
            row.kind,
            quantityText(row.quantity),
            monthText(row.acquired),
            amount(row.price),
            amount(row.inputs.base),
            row.method,
            QString::number(row.usefulLife),
            row.inputs.rate.toText(),
            QStringLiteral("%1/12").arg(row.inputs.months),
            amount(row.figures.ordinary),
            amount(row.inputs.extra),
            amount(row.figures.total),
            QString::number(row.inputs.rentalShare) + u'%',
            amount(row.figures.expense),
            amount(row.figures.endBalance),
            row.category};
}

QStringList totalCells(const Totals& t)
{
    using textformat::gridAmount;
    return {QStringLiteral("計"), {}, {}, {}, gridAmount(t.price), gridAmount(t.base), {}, {}, {}, {},
            gridAmount(t.ordinary), gridAmount(t.extra), gridAmount(t.total), {}, gridAmount(t.expense),
            gridAmount(t.endBalance), {}};
}

QByteArray jsonAmount(Money amount)
{
    return jsonString(textformat::plainAmount(amount));
}

QByteArray jsonRow(const DepreciationListRow& row)
{
    return "{\"property\":" + jsonString(row.property) + ",\"kind\":" + jsonString(row.kind)
           + ",\"category\":" + jsonString(row.category) + ",\"quantity\":"
           + (row.quantity ? QByteArray::number(*row.quantity, 'g', 15) : QByteArray("null"))
           + ",\"acquired\":" + jsonString(textformat::isoDate(row.acquired)) + ",\"price\":" + jsonAmount(row.price)
           + ",\"base\":" + jsonAmount(row.inputs.base) + ",\"method\":" + jsonString(row.method)
           + ",\"usefulLife\":" + QByteArray::number(row.usefulLife) + ",\"rate\":" + jsonString(row.inputs.rate.toText())
           + ",\"months\":" + QByteArray::number(row.inputs.months) + ",\"ordinary\":" + jsonAmount(row.figures.ordinary)
           + ",\"extra\":" + jsonAmount(row.inputs.extra) + ",\"total\":" + jsonAmount(row.figures.total)
           + ",\"share\":" + QByteArray::number(row.inputs.rentalShare) + ",\"expense\":" + jsonAmount(row.figures.expense)
           + ",\"endBalance\":" + jsonAmount(row.figures.endBalance) + ",\"depreciationDate\":"
           + jsonString(textformat::isoDate(row.depreciationDate)) + "}";
}

int runDepreciation(const Invocation& invocation)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation);
    const std::optional<int> year = requestedYear(invocation);
    Books books(invocation.dataFolder());
    const FiscalPeriod period = yearPeriod(year, books);
    const std::vector<DepreciationListRow> rows = depreciationListRows(*Database::forFolder(books.folder()), period);
    Totals totals;
    for (const DepreciationListRow& row : rows)
        totals.add(row);

    if (output.format == Format::Json) {
        QByteArray json = "{\"from\":" + jsonString(textformat::isoDate(period.start)) + ",\"to\":"
                          + jsonString(textformat::isoDate(period.end)) + ",\"rows\":[";
        for (size_t i = 0; i < rows.size(); ++i)
            json += (i ? ",\n" : "\n") + jsonRow(rows[i]);
        json += "],\"totals\":{\"price\":" + jsonAmount(totals.price) + ",\"base\":" + jsonAmount(totals.base)
                + ",\"ordinary\":" + jsonAmount(totals.ordinary) + ",\"extra\":" + jsonAmount(totals.extra)
                + ",\"total\":" + jsonAmount(totals.total) + ",\"expense\":" + jsonAmount(totals.expense)
                + ",\"endBalance\":" + jsonAmount(totals.endBalance) + "}}\n";
        writeOut(json);
        return kOk;
    }
    if (output.format == Format::Csv) {
        CsvOut out(output.utf8);
        QStringList titles;
        for (const TextTable::Column& column : scheduleColumns())
            titles << column.title;
        out.row(titles);
        for (const DepreciationListRow& row : rows)
            out.row(cells(row, textformat::plainAmount));
        return kOk;
    }
    TextTable table(scheduleColumns());
    for (const DepreciationListRow& row : rows)
        table.addRow(cells(row, textformat::gridAmount));
    table.addRow(totalCells(totals));
    writeOut(QStringLiteral("減価償却費の計算\n") + depreciationListPeriodText(period) + QStringLiteral("\n\n"));
    table.write();
    return kOk;
}

} // namespace

Verb depreciationVerb()
{
    return {{QStringLiteral("depreciation")},
            QString(),
            QStringLiteral("減価償却費の計算: 年度の償却一覧を表示します"),
            QStringLiteral("固定資産の「償却一覧」と同じ行（年度内の償却日の行、物件・取得日の順）を青色申告決算書の"
                           "減価償却費の計算の列の順に表示し、金額の列の計を添えます。"),
            yearOption() + formatOptions(),
            runDepreciation};
}

} // namespace tolva::cli
