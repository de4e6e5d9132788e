// ledger CODE and export ledger CODE: the ledger window's lines, built by the same routine.
#include "cli/chartcodes.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/textformat.h"
#include "ledger/ledgerbook.h"
#include "reports/csvwriter.h"

#include <QDir>

namespace tolva::cli {

namespace {

struct BuiltLedger {
    ChartEntry entry;
    FiscalPeriod range;
    Ledger ledger;
};

BuiltLedger build(Books& books, const QString& code, const Invocation::DateRange& given)
{
    BuiltLedger built;
    built.entry = chartEntry(books, QStringLiteral("元帳"), code);
    built.range = books.range(given);
    Query& statement = books.dm().q13motochou;
    built.ledger = buildLedger(statement, ledgerRequestFor(built.entry, built.range.start, built.range.end));
    statement.close();
    return built;
}

QByteArray jsonAmount(const std::optional<Money>& amount)
{
    return amount ? jsonString(textformat::plainAmount(*amount)) : QByteArray("null");
}

QByteArray jsonDate(const QDate& date)
{
    return date.isValid() ? jsonString(textformat::isoDate(date)) : QByteArray("null");
}

const char* kindName(ChartEntry::Level level)
{
    switch (level) {
    case ChartEntry::Level::Category: return "category";
    case ChartEntry::Level::Account: return "account";
    case ChartEntry::Level::SubAccount: break;
    }
    return "subAccount";
}

void printText(const BuiltLedger& built)
{
    QList<TextTable::Column> columns;
    for (int c = 0; c < kLedgerColumns; ++c) {
        const bool right = c == 3 || c == 4 || c == 5 || c == 7;
        columns << TextTable::Column{ledgerTitles()[c], right ? TextTable::Align::Right : TextTable::Align::Left};
    }
    TextTable table(columns);
    for (const LedgerLine& line : built.ledger.lines)
        table.addRow(ledgerCells(line));
    writeOut(ledgerExportTitle(built.entry) + u'\n' + ledgerExportPeriodLine(built.range.start, built.range.end) + QStringLiteral("\n\n"));
    table.write();
    writeOut(u'\n' + ledgerStatusText(built.ledger.totals) + u'\n');
}

void printCsv(const BuiltLedger& built, bool utf8)
{
    CsvOut out(utf8);
    out.row(ledgerTitles());
    for (const LedgerLine& line : built.ledger.lines)
        out.row(ledgerCells(line));
}

void printJson(const BuiltLedger& built)
{
    const Ledger& ledger = built.ledger;
    QByteArray json = "{\"title\":" + jsonString(ledgerExportTitle(built.entry)) + ",\"code\":" + jsonString(built.entry.code)
                      + ",\"kind\":\"" + kindName(built.entry.level) + "\",\"debitType\":"
                      + (built.entry.side == SideCode::Debit ? "true" : "false") + ",\"from\":" + jsonDate(built.range.start)
                      + ",\"to\":" + jsonDate(built.range.end) + ",\"lines\":[";
    for (qsizetype i = 0; i < ledger.lines.size(); ++i) {
        const LedgerLine& line = ledger.lines[i];
        json += (i ? ",\n" : "\n");
        json += "{\"date\":" + jsonDate(line.date) + ",\"description\":" + jsonString(line.description)
                + ",\"kubun\":" + jsonString(line.kubunName) + ",\"id\":" + QByteArray::number(line.id)
                + ",\"debit\":" + jsonAmount(line.debit) + ",\"credit\":" + jsonAmount(line.credit)
                + ",\"side\":" + jsonString(ledgerCell(line, 6)) + ",\"balance\":" + jsonAmount(line.balance) + "}";
        if (json.size() > (1 << 20)) {
            writeOut(json);
            json.clear();
        }
    }
    json += "],\"totals\":{\"debit\":" + jsonAmount(ledger.totals.debit) + ",\"credit\":" + jsonAmount(ledger.totals.credit)
            + ",\"balance\":" + jsonAmount(ledger.totals.balance) + "}}\n";
    writeOut(json);
}

int runLedger(const Invocation& invocation)
{
    invocation.expectPositional({QStringLiteral("CODE")});
    const QString code = invocation.positional().first();
    requireChartCodeLength(QStringLiteral("元帳"), code);
    const OutputChoice output = outputChoice(invocation);
    const Invocation::DateRange given = invocation.dateRange();

    Books books(invocation.dataFolder());
    const BuiltLedger built = build(books, code, given);
    switch (output.format) {
    case Format::Text: printText(built); break;
    case Format::Csv: printCsv(built, output.utf8); break;
    case Format::Json: printJson(built); break;
    }
    return kOk;
}

int runExportLedger(const Invocation& invocation)
{
    invocation.expectPositional({QStringLiteral("CODE")});
    const QString code = invocation.positional().first();
    requireChartCodeLength(QStringLiteral("元帳"), code);
    const std::optional<QString> path = invocation.optional(QStringLiteral("output"));
    if (!path || path->trimmed().isEmpty())
        throw UsageError(QStringLiteral("出力先のファイルを -o FILE で指定してください。"));
    const Invocation::DateRange given = invocation.dateRange();
    checkOutputBeforeOpening(invocation.dataFolder(), *path, outputfile::Purpose::UserFile);

    Books books(invocation.dataFolder());
    const BuiltLedger built = build(books, code, given);
    if (built.ledger.lines.isEmpty()) {
        writeErr(QStringLiteral("期間 %1 にこの元帳の行がないため、出力しません。")
                     .arg(textformat::period(built.range.start, built.range.end)));
        return kFailed;
    }
    const csv::WriteOutcome outcome = writeLedgerExport(
        *path, ledgerExportTitle(built.entry), ledgerExportPeriodLine(built.range.start, built.range.end), built.ledger);
    if (!outcome.lossless()) {
        QList<int> lineNumbers;
        for (int row : outcome.linesWithReplacements)
            lineNumbers << row + 1;
        writeErr(csv::replacementNotice(*path, lineNumbers, ledgerExportNotes(outcome.linesWithReplacements, built.ledger)));
    }
    return kOk;
}

} // namespace

Verb ledgerVerb()
{
    QList<OptionSpec> options = rangeOptions(QStringLiteral("省略すると事業主の会計年度の初日・末日。"));
    options << formatOptions();
    return {{QStringLiteral("ledger")},
            QStringLiteral("CODE"),
            QStringLiteral("元帳: 分類・勘定科目・細目の行を残高とともに表示します"),
            QStringLiteral("CODE（分類は2桁、勘定科目は4桁、細目は6桁）の元帳を、元帳ウィンドウと同じ行・残高・合計で表示します。\n"
                           "残高は分類の貸借区分（LR）が「1」なら借方、そうでなければ貸方で増えます。"),
            options,
            runLedger};
}

Verb exportLedgerVerb()
{
    QList<OptionSpec> options = rangeOptions(QStringLiteral("省略すると事業主の会計年度の初日・末日。"));
    options << OptionSpec{{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("FILE"),
                          QStringLiteral("書き出すファイル（既にあれば置き換えます。拡張子は付けません）。")};
    return {{QStringLiteral("export"), QStringLiteral("ledger")},
            QStringLiteral("CODE -o FILE"),
            QStringLiteral("元帳のCSV出力: 元帳ウィンドウの「CSVファイル出力」と同じファイルを書きます"),
            QStringLiteral("CODE の元帳を、元帳ウィンドウの「CSVファイル出力」と同じ形（表題、期間、空行、見出し、各行。\n"
                           "Shift-JIS、CR LF）で FILE に書き出します。期間に行がなければ何も書きません。"),
            options,
            runExportLedger};
}

} // namespace tolva::cli
