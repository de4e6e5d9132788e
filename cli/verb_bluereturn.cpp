// blue-return: the blue-return statement of a fiscal year, as its window shows it.
#include "bluereturn/bluereturn.h"
#include "bluereturn/bluereturnoutput.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/database.h"
#include "db/textformat.h"

namespace tolva::cli {

namespace {

const QString kDeduction = QStringLiteral("deduction");

std::optional<qint64> requestedDeduction(const Invocation& invocation)
{
    if (!invocation.isSet(kDeduction))
        return std::nullopt;
    bool ok = false;
    const qint64 yen = invocation.value(kDeduction).toLongLong(&ok);
    const auto& choices = specialDeductionChoices();
    if (!ok || std::find(choices.begin(), choices.end(), yen) == choices.end())
        throw UsageError(QStringLiteral("--deduction は 650000、550000、100000 のいずれかです（「%1」）。").arg(invocation.value(kDeduction)));
    return yen;
}

QByteArray jsonAmount(const std::optional<Money>& amount)
{
    return amount ? jsonString(textformat::plainAmount(*amount)) : QByteArray("null");
}

QByteArray jsonCodes(const QStringList& codes)
{
    QByteArray json = "[";
    for (qsizetype i = 0; i < codes.size(); ++i)
        json += (i ? "," : "") + jsonString(codes[i]);
    return json + "]";
}

QByteArray jsonLine(const StatementRow& line)
{
    QByteArray json = "{\"page\":" + QByteArray::number(line.page) + ",\"section\":" + jsonString(line.section)
                      + ",\"number\":" + jsonString(line.number) + ",\"caption\":" + jsonString(line.caption);
    switch (line.page) {
    case 2: json += ",\"sales\":" + jsonAmount(line.first) + ",\"purchases\":" + jsonAmount(line.second); break;
    case 4: json += ",\"opening\":" + jsonAmount(line.first) + ",\"closing\":" + jsonAmount(line.second); break;
    default: json += ",\"amount\":" + jsonAmount(line.first); break;
    }
    return json + ",\"accounts\":" + jsonCodes(line.accounts) + "}";
}

QByteArray findingKind(StatementFinding::Kind kind)
{
    switch (kind) {
    case StatementFinding::Kind::DepreciationDiffers: return "depreciationDiffers";
    case StatementFinding::Kind::OpeningUnbalanced: return "openingUnbalanced";
    case StatementFinding::Kind::ClosingUnbalanced: return "closingUnbalanced";
    }
    return {};
}

QByteArray statementJson(const BlueReturn& r)
{
    QByteArray json = "{\"from\":" + jsonString(textformat::isoDate(r.period.start)) + ",\"to\":"
                      + jsonString(textformat::isoDate(r.period.end)) + ",\"chosenDeduction\":"
                      + jsonString(QString::number(r.chosenDeduction)) + ",\"lines\":[";
    bool first = true;
    for (const std::vector<StatementRow>* page : {&r.incomeStatement, &r.monthly, &r.balanceSheet})
        for (const StatementRow& line : *page) {
            json += (first ? "\n" : ",\n") + jsonLine(line);
            first = false;
        }
    json += "],\n\"familySalary\":[";
    for (size_t i = 0; i < r.familySalaryRows.size(); ++i) {
        const FamilySalaryRow& row = r.familySalaryRows[i];
        json += (i ? "," : "") + QByteArray("{\"name\":") + jsonString(row.name) + ",\"months\":" + QByteArray::number(row.months)
                + ",\"amount\":" + jsonString(textformat::plainAmount(row.amount)) + "}";
    }
    json += "],\n\"depreciation\":{\"rows\":[";
    for (size_t i = 0; i < r.depreciation.size(); ++i) {
        const DepreciationListRow& row = r.depreciation[i];
        json += (i ? ",\n" : "\n") + QByteArray("{\"property\":") + jsonString(row.property) + ",\"kind\":" + jsonString(row.kind)
                + ",\"acquired\":" + jsonString(textformat::isoDate(row.acquired)) + ",\"price\":" + jsonAmount(row.price)
                + ",\"base\":" + jsonAmount(row.inputs.base) + ",\"method\":" + jsonString(row.method) + ",\"usefulLife\":"
                + QByteArray::number(row.usefulLife) + ",\"rate\":" + jsonString(row.inputs.rate.toText()) + ",\"months\":"
                + QByteArray::number(row.inputs.months) + ",\"ordinary\":" + jsonAmount(row.figures.ordinary) + ",\"extra\":"
                + jsonAmount(row.inputs.extra) + ",\"total\":" + jsonAmount(row.figures.total) + ",\"share\":"
                + QByteArray::number(row.inputs.rentalShare) + ",\"expense\":" + jsonAmount(row.figures.expense)
                + ",\"endBalance\":" + jsonAmount(row.figures.endBalance) + "}";
    }
    json += "],\"expenseTotal\":" + jsonAmount(r.depreciationExpenseTotal) + ",\"journalDepreciation\":" + jsonAmount(r.journalDepreciation)
            + "},\n\"findings\":[";
    for (size_t i = 0; i < r.findings.size(); ++i)
        json += (i ? ",\n" : "\n") + QByteArray("{\"kind\":\"") + findingKind(r.findings[i].kind) + "\",\"message\":"
                + jsonString(r.findings[i].message) + ",\"accounts\":" + jsonCodes(r.findings[i].accounts) + "}";
    return json + "]}\n";
}

void printPage(const QString& title, const std::vector<StatementRow>& rows, int page)
{
    QList<TextTable::Column> columns = {{QStringLiteral("区分"), TextTable::Align::Left},
                                        {QStringLiteral("番号"), TextTable::Align::Left},
                                        {QStringLiteral("項目"), TextTable::Align::Left}};
    for (const QString& amount : statementAmountTitles(page))
        columns << TextTable::Column{amount, TextTable::Align::Right};
    TextTable table(columns);
    for (const StatementRow& row : rows) {
        QStringList cells = {row.section, row.number, row.caption, statementAmount(row.first)};
        if (columns.size() > 4)
            cells << statementAmount(row.second);
        table.addRow(cells);
    }
    writeOut(u'\n' + title + QStringLiteral("\n\n"));
    table.write();
}

int runBlueReturn(const Invocation& invocation)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation);
    const std::optional<int> year = requestedYear(invocation);
    const std::optional<qint64> deduction = requestedDeduction(invocation);
    Books books(invocation.dataFolder());
    const FiscalPeriod period = yearPeriod(year, books);
    const BlueReturn r = computeBlueReturn(*Database::forFolder(books.folder()), period, deduction);
    const int status = r.findings.empty() ? kOk : kFailed;
    if (output.format == Format::Json) {
        writeOut(statementJson(r));
        return status;
    }
    if (output.format == Format::Csv) {
        CsvOut out(output.utf8);
        for (const QStringList& row : blueReturnCsvRows(r))
            out.row(row);
        return status;
    }
    const QStringList titles = blueReturnPageTitles();
    writeOut(blueReturnTitle() + u'\n' + blueReturnPeriodLine(r) + u'\n');
    printPage(titles[0], r.incomeStatement, 1);
    printPage(titles[1], r.monthly, 2);
    if (!r.familySalaryRows.empty()) {
        TextTable family({{QStringLiteral("氏名（細目）"), TextTable::Align::Left},
                          {QStringLiteral("従事月数"), TextTable::Align::Right},
                          {QStringLiteral("支給額"), TextTable::Align::Right}});
        for (const FamilySalaryRow& row : r.familySalaryRows)
            family.addRow({row.name, QString::number(row.months), textformat::gridAmount(row.amount)});
        writeOut(u'\n' + familySalaryTitle() + QStringLiteral("\n\n"));
        family.write();
    }
    QList<TextTable::Column> columns;
    for (const QString& title : depreciationTitles())
        columns << TextTable::Column{title, columns.isEmpty() || title == QStringLiteral("償却方法") ? TextTable::Align::Left
                                                                                                  : TextTable::Align::Right};
    TextTable schedule(columns);
    for (const DepreciationListRow& row : r.depreciation)
        schedule.addRow(depreciationCells(row));
    schedule.addRow(depreciationTotalCells(r));
    writeOut(u'\n' + titles[2] + QStringLiteral("\n\n"));
    schedule.write();
    printPage(titles[3], r.balanceSheet, 4);
    for (const StatementFinding& finding : r.findings)
        writeErr(finding.message);
    return status;
}

} // namespace

Verb blueReturnVerb()
{
    return {{QStringLiteral("blue-return")},
            QString(),
            QStringLiteral("青色申告決算書（一般用）: 損益計算書、月別売上・仕入、減価償却費の計算、貸借対照表"),
            QStringLiteral("年度の仕訳から青色申告決算書の4頁分を計算して表示します（帳簿には何も書きません）。"
                           "どの科目をどの行に載せるかは決算書の科目設定（ウィンドウ）に従います。"
                           "減価償却費の計算の計と仕訳の減価償却費の差、貸借対照表の期首・期末の貸借の差があれば"
                           "その内容を標準エラー（JSON では findings）に示し、終了コード 1 を返します。"),
            yearOption() + QList<OptionSpec>{{{kDeduction},
                                              QStringLiteral("YEN"),
                                              QStringLiteral("青色申告特別控除額 650000、550000 または 100000（省略時はその年度の設定、"
                                                             "設定がなければ 650000）")}}
                + formatOptions(),
            runBlueReturn};
}

} // namespace tolva::cli
