// year-totals, closing-transfers, trial-balance, worksheet and aggregate: the closing menu's
// commands and views, and the period aggregation, over the routines the windows call.
#include "aggregate/aggregategrid.h"
#include "aggregate/periodaggregation.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "closing/closingentries.h"
#include "closing/closinggrid.h"
#include "closing/closingoutput.h"
#include "closing/yearend.h"
#include "db/backup.h"
#include "db/database.h"
#include "db/textformat.h"

#include <QDateTime>

namespace tolva::cli {

namespace {

QByteArray jsonAmount(const Money& amount)
{
    return jsonString(textformat::plainAmount(amount));
}

QByteArray jsonTotals(const std::vector<CodeTotals>& rows)
{
    QByteArray json = "[";
    for (size_t i = 0; i < rows.size(); ++i) {
        const CodeTotals& row = rows[i];
        json += (i ? ",\n" : "\n");
        json += "{\"code\":" + jsonString(row.code) + ",\"Lgaku\":" + jsonAmount(row.debit) + ",\"Rgaku\":" + jsonAmount(row.credit)
                + ",\"LSgaku\":" + jsonAmount(row.adjustmentDebit) + ",\"RSgaku\":" + jsonAmount(row.adjustmentCredit) + "}";
    }
    return json + "]";
}

void printTotals(const std::vector<CodeTotals>& rows, const OutputChoice& output, const QString& heading)
{
    const QStringList titles = {QStringLiteral("コード"), QStringLiteral("借方"), QStringLiteral("貸方"),
                                QStringLiteral("整理借方"), QStringLiteral("整理貸方")};
    auto cells = [](const CodeTotals& row) {
        return QStringList{row.code, textformat::gridAmount(row.debit), textformat::gridAmount(row.credit),
                           textformat::gridAmount(row.adjustmentDebit), textformat::gridAmount(row.adjustmentCredit)};
    };
    if (output.format == Format::Csv) {
        CsvOut out(output.utf8);
        out.row(titles);
        for (const CodeTotals& row : rows)
            out.row(cells(row));
        return;
    }
    QList<TextTable::Column> columns;
    for (int c = 0; c < titles.size(); ++c)
        columns << TextTable::Column{titles[c], c == 0 ? TextTable::Align::Left : TextTable::Align::Right};
    TextTable table(columns);
    for (const CodeTotals& row : rows)
        table.addRow(cells(row));
    writeOut(heading + QStringLiteral("\n\n"));
    table.write();
}

int runYearTotals(const Invocation& invocation)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation);
    const std::optional<int> year = requestedYear(invocation);
    Books books(invocation.dataFolder(), Books::Opening::Full, Books::Purpose::Writing);
    const FiscalPeriod period = yearPeriod(year, books);
    const YearEndAggregation result = aggregateYearEnd(*Database::forFolder(books.folder()), period);
    if (output.format == Format::Json) {
        writeOut("{\"yearCode\":" + jsonString(result.yearCode) + ",\"from\":" + jsonString(textformat::isoDate(period.start))
                 + ",\"to\":" + jsonString(textformat::isoDate(period.end)) + ",\"rowsReplaced\":"
                 + QByteArray::number(result.rowsReplaced) + ",\"rows\":" + jsonTotals(result.rows) + "}\n");
        return kOk;
    }
    printTotals(result.rows, output,
                yearEndMessage(result) + u'\n' + QStringLiteral("期間：") + textformat::period(period.start, period.end));
    return kOk;
}

int runClosingTransfersVerb(const Invocation& invocation)
{
    invocation.expectPositional({});
    const std::optional<int> year = requestedYear(invocation);
    Books books(invocation.dataFolder(), Books::Opening::Full, Books::Purpose::Writing);
    const FiscalPeriod period = yearPeriod(year, books);
    const ClosingTransfers result = runClosingTransfers(
        *Database::forFolder(books.folder()), period, BackupRequest{backupFolder(books.folder()), QDateTime::currentDateTime(), 10});
    if (result.refusal) {
        writeErr(*result.refusal);
        return kFailed;
    }
    writeOut(QStringLiteral("決算振替処理が終了しました（%1）。\n").arg(textformat::period(period.start, period.end))
             + QStringLiteral("削除した行: 決算振替・次期繰越 %1 行、前期繰越 %2 行\n").arg(result.closingRowsRemoved).arg(result.openingRowsRemoved)
             + QStringLiteral("書いた行: 決算振替・次期繰越 %1 行、前期繰越 %2 行\n")
                   .arg(result.written.closing.size())
                   .arg(result.written.opening.size())
             + QStringLiteral("実行前の帳簿のコピー: %1\n").arg(result.backupPath));
    return kOk;
}

// JSON carries every amount exactly, as a decimal string ("1235.0678", "0.5"), as every other
// verb does; the text view keeps the windows' rounding. A cell the grid leaves empty is null.
QByteArray jsonGrid(const ClosingGrid& grid, const QString& heading)
{
    QByteArray json = "{\"heading\":" + jsonString(heading) + ",\"rows\":[";
    const auto textRow = [&](const QStringList& cells) {
        QByteArray row = "[";
        for (qsizetype c = 0; c < cells.size(); ++c)
            row += (c ? "," : "") + jsonString(cells[c]);
        return row + "]";
    };
    json += "\n" + textRow(groupTitles(grid.view)) + ",\n" + textRow(columnTitles(grid.view));
    for (const GridLine& line : grid.lines) {
        QByteArray row = "[" + jsonString(line.number) + "," + jsonString(line.code) + "," + jsonString(line.name);
        for (const std::optional<Money>& amount : line.amounts)
            row += "," + (amount ? jsonString(textformat::plainAmount(*amount)) : QByteArray("null"));
        json += ",\n" + row + "]";
    }
    return json + "]}\n";
}

void printGrid(const QList<QStringList>& rows, int headingRows, const QString& heading)
{
    // The column titles are the grid's last heading row, with the group above each.
    const QStringList& groups = rows.value(0);
    const QStringList& titles = rows.value(headingRows - 1);
    QList<TextTable::Column> columns;
    for (qsizetype c = 0; c < titles.size(); ++c) {
        const QString group = headingRows > 1 ? groups.value(c) : QString();
        const QString title = group.isEmpty() || group == titles[c] ? titles[c] : group + u' ' + titles[c];
        columns << TextTable::Column{title, c >= kFirstAmountColumn ? TextTable::Align::Right : TextTable::Align::Left};
    }
    TextTable table(columns);
    for (qsizetype r = headingRows; r < rows.size(); ++r)
        table.addRow(rows[r]);
    writeOut(heading + QStringLiteral("\n\n"));
    table.write();
}

int runClosingView(const Invocation& invocation, ClosingView view)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation);
    const std::optional<int> year = requestedYear(invocation);
    Books books(invocation.dataFolder());
    const FiscalPeriod period = yearPeriod(year, books);
    const ClosingGrid grid = readClosingGrid(*Database::forFolder(books.folder()), yearCode(period.start), view);
    const QString heading = viewCaption(view) + u'\n' + closingPeriodLine(period);
    if (output.format == Format::Csv) {
        CsvOut out(output.utf8);
        for (const QStringList& row : closingExportRows(grid, closingPeriodLine(period)))
            out.row(row);
        return kOk;
    }
    if (output.format == Format::Json) {
        writeOut(jsonGrid(grid, heading));
        return kOk;
    }
    printGrid(gridRows(grid), kHeadingRows, heading);
    return kOk;
}

int runTrialBalance(const Invocation& invocation)
{
    return runClosingView(invocation, ClosingView::TrialBalance);
}

int runWorksheet(const Invocation& invocation)
{
    return runClosingView(invocation, ClosingView::Worksheet);
}

int runAggregate(const Invocation& invocation)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation);
    const Invocation::DateRange given = invocation.dateRange();
    if (!given.from || !given.to)
        throw UsageError(QStringLiteral("集計する期間を --from と --to で指定してください。"));
    Books books(invocation.dataFolder(), Books::Opening::Full);
    const PeriodAggregation result =
        aggregatePeriod(*Database::forFolder(books.folder()), DateRange{*given.from, *given.to}, QDateTime::currentDateTime());
    // On books that can only be read the sums are made in memory (Database::workTables).
    if (books.readOnly())
        writeErr(QStringLiteral("帳簿は読み取り専用のため、集計の結果は Sum01・Sum02 に記録していません。"));
    if (output.format == Format::Json) {
        writeOut("{\"from\":" + jsonString(textformat::isoDate(*given.from)) + ",\"to\":" + jsonString(textformat::isoDate(*given.to))
                 + ",\"accounts\":" + jsonTotals(result.accounts) + ",\"subAccounts\":" + jsonTotals(result.subAccounts) + "}\n");
        return kOk;
    }
    const QString range = QStringLiteral("期間：") + textformat::period(*given.from, *given.to);
    printTotals(result.accounts, output, periodAggregationMessage() + u'\n' + range + QStringLiteral("\n勘定科目"));
    if (output.format == Format::Text) {
        writeOut(QStringLiteral("\n"));
        printTotals(result.subAccounts, output, QStringLiteral("細目"));
    }
    return kOk;
}

} // namespace

Verb yearTotalsVerb()
{
    return {{QStringLiteral("year-totals")},
            QString(),
            QStringLiteral("決算の集計処理: 年度の勘定科目ごとの合計を shisanH に書きます"),
            QStringLiteral("決算メニューの「集計処理」と同じく、年度の期間の仕訳を勘定科目ごとに合計し（処理ﾓｰﾄﾞ 21 以下と 31 を別に、\n"
                           "41・51 は含めず）、その年度の shisanH の行を置き換えます。"),
            yearOption() + formatOptions(),
            runYearTotals};
}

Verb closingTransfersVerb()
{
    return {{QStringLiteral("closing-transfers")},
            QString(),
            QStringLiteral("決算振替処理: 年度の決算振替・次期繰越と翌期の前期繰越の行を書きます"),
            QStringLiteral("決算メニューの「決算振替処理」と同じく、最後の集計処理の結果から決算振替と繰越の仕訳を書きます。\n"
                           "前回の行は置き換えます。実行前に帳簿をデータフォルダの backup に複製します。"),
            yearOption(),
            runClosingTransfersVerb};
}

Verb trialBalanceVerb()
{
    return {{QStringLiteral("trial-balance")},
            QString(),
            QStringLiteral("合計残高試算表: 最後の集計処理による試算表を表示します"),
            QStringLiteral("決算メニューの試算表と同じ行・合計を表示します（--format csv は「合計残高試算表.csv」と同じ行）。"),
            yearOption() + formatOptions(),
            runTrialBalance};
}

Verb worksheetVerb()
{
    return {{QStringLiteral("worksheet")},
            QString(),
            QStringLiteral("精算表: 最後の集計処理による精算表を表示します"),
            QStringLiteral("決算メニューの精算表と同じ行・利益（損失）・合計を表示します（--format csv は「精算表.csv」と同じ行）。"),
            yearOption() + formatOptions(),
            runWorksheet};
}

Verb aggregateVerb()
{
    return {{QStringLiteral("aggregate")},
            QString(),
            QStringLiteral("科目・細目集計: 期間の勘定科目・細目ごとの合計を Sum01・Sum02 に書きます"),
            QStringLiteral("集計表の「集計実行」と同じく、期間の仕訳を勘定科目（Sum01）と細目（Sum02）ごとに合計し、\n"
                           "集計の条件を記録します。読み取り専用の帳簿（書き込みできない場所のもの）では、集計して表示するだけで\n"
                           "記録はしません。"),
            rangeOptions(QStringLiteral("省略できません。")) + formatOptions(),
            runAggregate};
}

} // namespace tolva::cli
