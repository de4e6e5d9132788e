// journal and export journal: the journal window's list and its "CSV出力", on the same
// statements.
#include "cli/chartcodes.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/codes.h"
#include "db/dataset.h"
#include "db/masterlookup.h"
#include "db/querymodel.h"
#include "db/textformat.h"
#include "journal/journalexport.h"
#include "journal/journallist.h"

#include <QScopeGuard>

namespace tolva::cli {

namespace {

enum class Use { List, Export };

// The filter panel's conditions as the options give them, checked before the books open.
struct Conditions {
    Invocation::DateRange range;
    std::optional<QString> debit;
    std::optional<QString> credit;
    std::optional<QString> useCategory;
    std::optional<int> mode;
    [[nodiscard]] bool any() const { return range.from || range.to || debit || credit || useCategory || mode; }
};

Conditions conditionsOf(const Invocation& invocation, Use use)
{
    Conditions c;
    c.range = invocation.dateRange();
    for (auto [name, what, code] : {std::tuple{QStringLiteral("debit"), QStringLiteral("借方"), &c.debit},
                                    std::tuple{QStringLiteral("credit"), QStringLiteral("貸方"), &c.credit}}) {
        *code = invocation.optional(name);
        if (!*code)
            continue;
        requireChartCodeLength(what, **code);
        if (use == Use::Export && (*code)->size() == 6)
            throw UsageError(QStringLiteral("仕訳帳のCSV出力は細目では絞り込めません。%1には分類（2桁）か勘定科目（4桁）のコードを指定してください。")
                                 .arg(what));
    }
    c.useCategory = invocation.optional(QStringLiteral("use"));
    if (c.useCategory && c.useCategory->size() != 4)
        throw UsageError(QStringLiteral("--use には用途の区分のコード（4桁）を指定してください: 「%1」").arg(*c.useCategory));
    if (const std::optional<QString> mode = invocation.optional(QStringLiteral("mode"))) {
        bool ok = false;
        const int value = mode->toInt(&ok);
        if (!ok || !processingModeFromCode(value)) {
            QStringList known;
            for (ProcessingMode m : kProcessingModes)
                known << QString::number(code(m));
            throw UsageError(QStringLiteral("--mode の処理ﾓｰﾄﾞ「%1」はありません（%2）。").arg(*mode, known.join(QStringLiteral("、"))));
        }
        c.mode = value;
    }
    return c;
}

void chooseSide(Books& books, const QString& what, const QString& code, JournalFilter::Side& side, QString& name)
{
    const ChartEntry entry = chartEntry(books, what, code);
    side.ticked = true;
    side.category = code.left(2);
    name = entry.categoryName;
    if (code.size() >= 4) {
        side.accountTicked = true;
        side.account = code.left(4);
        name = entry.accountName;
    }
    if (code.size() == 6) {
        side.subAccountTicked = true;
        side.subAccount = code;
        name = entry.subAccountName;
    }
}

struct Choice {
    JournalFilter filter;
    JournalExportNames names;
};

// The panel ticked as the conditions say, with the names the lists would show.
Choice choiceOf(Books& books, const Conditions& c)
{
    Choice choice;
    JournalFilter& f = choice.filter;
    if (c.range.from || c.range.to) {
        const FiscalPeriod range = books.range(c.range);
        f.period = true;
        f.from = range.start;
        f.to = range.end;
    }
    if (c.debit)
        chooseSide(books, QStringLiteral("借方"), *c.debit, f.debit, choice.names.debit);
    if (c.credit)
        chooseSide(books, QStringLiteral("貸方"), *c.credit, f.credit, choice.names.credit);
    if (c.useCategory) {
        const std::optional<QString> name = findUseCategoryName(books.dm().q16temp1, *c.useCategory);
        if (!name)
            throw UsageError(QStringLiteral("区分のコード「%1」は登録されていません。").arg(*c.useCategory));
        f.useCategory = true;
        f.useCategoryCode = *c.useCategory;
        choice.names.useCategory = *name;
    }
    if (c.mode) {
        f.mode = true;
        f.modeCode = *c.mode;
        // The list of the panel is the books' own; a mode missing from it is named by the program.
        choice.names.mode = findProcessingModeName(books.dm().q16temp1, *c.mode)
                                .value_or(processingModeName(*processingModeFromCode(*c.mode)));
    }
    return choice;
}

QByteArray jsonValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return "null";
    if (value.typeId() == qMetaTypeId<Money>())
        return jsonString(textformat::plainAmount(value.value<Money>()));
    if (value.typeId() == QMetaType::QDate)
        return jsonString(textformat::isoDate(value.toDate()));
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        return QByteArray::number(value.toLongLong());
    return jsonString(value.toString());
}

const std::pair<const char*, const char*> kJsonFields[] = {
    {"id", "id"},           {"date", "sDay"},          {"debitCategory", "Name"},   {"debitAccount", "kamoku"},
    {"debitSubAccount", "kamoku_2"}, {"debit", "Lgaku"}, {"creditCategory", "Name_1"}, {"creditAccount", "kamoku_1"},
    {"creditSubAccount", "kamoku_3"}, {"credit", "Rgaku"}, {"useCategory", "Name_2"}, {"memo", "Memo"},
};

int runJournal(const Invocation& invocation)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation);
    const Conditions conditions = conditionsOf(invocation, Use::List);

    Books books(invocation.dataFolder());
    const Choice choice = choiceOf(books, conditions);
    // "絞込実行" with conditions, "全件表示" without: newest date first either way.
    const JournalListSql statement = conditions.any() ? journallist::narrowed(choice.filter) : journallist::everything();
    if (!statement.ok())
        throw UsageError(statement.problem);
    const std::optional<journallist::Summary> listed =
        statement.hasConditions ? std::optional(journallist::summary(books.folder(), statement)) : std::nullopt;

    Query& list = books.dm().q05shiwakeView;
    list.setUniDirectional(true);
    auto closeList = qScopeGuard([&] {
        list.close();
        list.setUniDirectional(false);
    });
    journallist::open(list, statement);
    const QList<journallist::ListColumn>& columns = journallist::listColumns();
    QList<Field> fields;
    for (const journallist::ListColumn& column : columns)
        fields << list.fieldByName(column.field);

    switch (output.format) {
    case Format::Text: {
        QList<TextTable::Column> titles;
        for (const journallist::ListColumn& column : columns) {
            const bool number = column.field == u"id" || column.field.endsWith(QStringLiteral("gaku"));
            titles << TextTable::Column{column.caption, number ? TextTable::Align::Right : TextTable::Align::Left};
        }
        TextTable table(titles);
        for (; !list.eof(); list.next()) {
            QStringList cells;
            for (const Field& field : std::as_const(fields))
                cells << QueryModel::displayText(field.value());
            table.addRow(cells);
        }
        table.write();
        if (listed)
            writeOut(u'\n' + journallist::totalsText(listed->totals) + u'\n');
        break;
    }
    case Format::Csv: {
        CsvOut out(output.utf8);
        QStringList titles;
        for (const journallist::ListColumn& column : columns)
            titles << column.caption;
        out.row(titles);
        for (; !list.eof(); list.next()) {
            QStringList cells;
            for (const Field& field : std::as_const(fields))
                cells << QueryModel::displayText(field.value());
            out.row(cells);
        }
        break;
    }
    case Format::Json: {
        QList<Field> jsonFields;
        for (const auto& [key, field] : kJsonFields)
            jsonFields << list.fieldByName(QString::fromLatin1(field));
        QByteArray json = "{\"rows\":[";
        bool first = true;
        for (; !list.eof(); list.next()) {
            json += first ? "\n{" : ",\n{";
            first = false;
            for (int i = 0; i < jsonFields.size(); ++i)
                json += (i ? ",\"" : "\"") + QByteArray(kJsonFields[i].first) + "\":" + jsonValue(jsonFields[i].value());
            json += '}';
            if (json.size() > (1 << 20)) {
                writeOut(json);
                json.clear();
            }
        }
        json += "],\"totals\":";
        json += listed ? "{\"debit\":" + jsonString(textformat::plainAmount(listed->totals.debit)) + ",\"credit\":"
                             + jsonString(textformat::plainAmount(listed->totals.credit)) + "}"
                       : QByteArray("null");
        json += "}\n";
        writeOut(json);
        break;
    }
    }
    return kOk;
}

int runExportJournal(const Invocation& invocation)
{
    invocation.expectPositional({});
    const std::optional<QString> path = invocation.optional(QStringLiteral("output"));
    if (!path || path->trimmed().isEmpty())
        throw UsageError(QStringLiteral("出力先のファイルを -o FILE で指定してください。"));
    const Conditions conditions = conditionsOf(invocation, Use::Export);
    if (!conditions.any())
        throw UsageError(QStringLiteral("出力条件を指定してください。（--from、--to、--debit、--credit、--use、--mode のどれか）"));
    checkOutputBeforeOpening(invocation.dataFolder(), *path, outputfile::Purpose::UserFile);

    Books books(invocation.dataFolder());
    const Choice choice = choiceOf(books, conditions);
    const journalexport::Outcome outcome = journalexport::write(books.dm().q05shiwakeView, choice.filter, choice.names, *path);
    if (!outcome.written.lossless())
        writeErr(csv::replacementNotice(*path, outcome.lineNumbers, outcome.notes));
    return kOk;
}

QList<OptionSpec> conditionOptions(bool subAccounts)
{
    QList<OptionSpec> options = rangeOptions(QStringLiteral("片方だけなら、もう片方は事業主の会計年度の初日・末日。"));
    const QString codes = subAccounts ? QStringLiteral("分類（2桁）、勘定科目（4桁）、細目（6桁）") : QStringLiteral("分類（2桁）か勘定科目（4桁）");
    options << OptionSpec{{QStringLiteral("debit")}, QStringLiteral("CODE"), QStringLiteral("借方の") + codes + QStringLiteral("で絞り込みます。")}
            << OptionSpec{{QStringLiteral("credit")}, QStringLiteral("CODE"), QStringLiteral("貸方の") + codes + QStringLiteral("で絞り込みます。")}
            << OptionSpec{{QStringLiteral("use")}, QStringLiteral("CODE"), QStringLiteral("用途の区分（4桁）で絞り込みます。")}
            << OptionSpec{{QStringLiteral("mode")}, QStringLiteral("N"), QStringLiteral("処理ﾓｰﾄﾞ（10、21、31、41、51）で絞り込みます。")};
    return options;
}

} // namespace

Verb journalVerb()
{
    QList<OptionSpec> options = conditionOptions(true);
    options << formatOptions();
    return {{QStringLiteral("journal")},
            QString(),
            QStringLiteral("仕訳の一覧: 仕訳ウィンドウの絞込み条件で仕訳を表示します"),
            QStringLiteral("仕訳ウィンドウの一覧と同じ列・同じ順（日付の新しい順）で仕訳を表示します。\n"
                           "条件があれば「絞込実行」と同じ意味で絞り込み（分類は借方・貸方の分類そのもの）、借方・貸方の合計を添えます。\n"
                           "条件がなければ「全件表示」と同じく全部の仕訳です。"),
            options,
            runJournal};
}

Verb exportJournalVerb()
{
    QList<OptionSpec> options = conditionOptions(false);
    options << OptionSpec{{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("FILE"),
                          QStringLiteral("書き出すファイル（既にあれば置き換えます。拡張子は付けません）。")};
    return {{QStringLiteral("export"), QStringLiteral("journal")},
            QStringLiteral("-o FILE"),
            QStringLiteral("仕訳帳のCSV出力: 仕訳ウィンドウの「CSV出力」と同じファイルを書きます"),
            QStringLiteral("仕訳ウィンドウの「CSV出力」と同じ形（表題、期間、抽出条件、空行、見出し、日付の古い順の各行。\n"
                           "Shift-JIS、CR LF）で FILE に書き出します。分類の条件は勘定科目のコードの先頭2桁で比べます。\n"
                           "条件が一つもなければ書きません。"),
            options,
            runExportJournal};
}

} // namespace tolva::cli
