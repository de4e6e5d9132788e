// history: the journal's change history, every insert, change and delete of a row with the
// command that made it.
#include "cli/output.h"
#include "cli/verbs.h"
#include "db/database.h"
#include "db/history.h"
#include "db/money.h"
#include "db/textformat.h"

#include <QDateTime>
#include <QTimeZone>

namespace tolva::cli {

namespace {

bool isAmount(const QString& column)
{
    return column.endsWith(QStringLiteral("gaku"));
}

// A stored value as a person reads it: amounts in yen, dates as yyyy/MM/dd.
QString shown(const QString& column, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (isAmount(column) && value.typeId() == QMetaType::LongLong)
        return textformat::plainAmount(Money::fromUnits(value.toLongLong()));
    if (column == u"sDay") {
        const QDate day = QDate::fromString(value.toString(), Qt::ISODate);
        if (day.isValid())
            return textformat::shortDate(day);
    }
    return value.toString();
}

QByteArray jsonValue(const QString& column, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return "null";
    if (isAmount(column) && value.typeId() == QMetaType::LongLong)
        return jsonString(textformat::plainAmount(Money::fromUnits(value.toLongLong())));
    if (value.typeId() == QMetaType::LongLong)
        return QByteArray::number(value.toLongLong());
    return jsonString(value.toString());
}

QString operationCaption(const QString& operation)
{
    if (operation == u"insert")
        return QStringLiteral("追加");
    if (operation == u"update")
        return QStringLiteral("変更");
    if (operation == u"delete")
        return QStringLiteral("削除");
    if (operation == QLatin1String(history::kBaselineOperation))
        return QStringLiteral("記録開始");
    return operation;
}

// When, in the user's local time.
QString localTime(const QString& utc)
{
    QDateTime at = QDateTime::fromString(utc, Qt::ISODateWithMs);
    if (!at.isValid())
        return utc;
    at.setTimeZone(QTimeZone::utc());
    return at.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// What the change did: the fields that changed, old → new; a row written or deleted whole.
QString changeText(const history::Entry& e)
{
    const QStringList& columns = history::journalColumns();
    QStringList parts;
    for (int i = 0; i < columns.size(); ++i) {
        const QVariant before = e.before.value(i);
        const QVariant after = e.after.value(i);
        if (!e.before.isEmpty() && !e.after.isEmpty()) {
            if (before != after || before.isNull() != after.isNull())
                parts << QStringLiteral("%1: %2 → %3").arg(columns[i], shown(columns[i], before), shown(columns[i], after));
        } else {
            const QVariant& value = e.after.isEmpty() ? before : after;
            if (!value.isNull())
                parts << QStringLiteral("%1=%2").arg(columns[i], shown(columns[i], value));
        }
    }
    return parts.join(QStringLiteral(" "));
}

int runHistory(const Invocation& invocation)
{
    invocation.expectPositional({});
    const OutputChoice output = outputChoice(invocation);
    history::Filter filter;
    if (const std::optional<QString> id = invocation.optional(QStringLiteral("id"))) {
        bool ok = false;
        filter.rowId = id->toLongLong(&ok);
        if (!ok || *filter.rowId <= 0)
            throw UsageError(QStringLiteral("--id には仕訳番号（1以上の整数）を指定してください: 「%1」").arg(*id));
    }
    const Invocation::DateRange range = invocation.dateRange();
    if (filter.rowId && (range.from || range.to))
        throw UsageError(QStringLiteral("--id と --from・--to は一緒には指定できません。"));
    filter.from = range.from;
    filter.to = range.to;

    Books books(invocation.dataFolder());
    Database& db = *Database::forFolder(books.folder());
    if (!db.hasTable(QString::fromLatin1(history::kTableName)))
        writeErr(QStringLiteral("この帳簿には仕訳の変更履歴がまだありません。Tolvaか、帳簿を書き換えるコマンドで一度開くと記録が始まります。"));
    const QVector<history::Entry> entries = history::read(db, filter);
    const QStringList& columns = history::journalColumns();

    switch (output.format) {
    case Format::Text: {
        TextTable table({{QStringLiteral("履歴番号"), TextTable::Align::Right},
                         {QStringLiteral("日時"), TextTable::Align::Left},
                         {QStringLiteral("コマンド番号"), TextTable::Align::Right},
                         {QStringLiteral("コマンド"), TextTable::Align::Left},
                         {QStringLiteral("操作"), TextTable::Align::Left},
                         {QStringLiteral("仕訳番号"), TextTable::Align::Right},
                         {QStringLiteral("内容"), TextTable::Align::Left}});
        for (const history::Entry& e : entries)
            table.addRow({QString::number(e.seq), localTime(e.changedAt), QString::number(e.commandId), e.command,
                          operationCaption(e.operation), QString::number(e.rowId), changeText(e)});
        table.write();
        break;
    }
    case Format::Csv: {
        CsvOut out(output.utf8);
        QStringList titles{QStringLiteral("履歴番号"), QStringLiteral("日時(UTC)"), QStringLiteral("コマンド番号"), QStringLiteral("コマンド"),
                           QStringLiteral("操作"), QStringLiteral("仕訳番号")};
        for (const QString& column : columns)
            titles << QStringLiteral("変更前_") + column;
        for (const QString& column : columns)
            titles << QStringLiteral("変更後_") + column;
        out.row(titles);
        for (const history::Entry& e : entries) {
            QStringList cells{QString::number(e.seq), e.changedAt, QString::number(e.commandId), e.command, e.operation,
                              QString::number(e.rowId)};
            for (const QVector<QVariant>* values : {&e.before, &e.after})
                for (int i = 0; i < columns.size(); ++i)
                    cells << shown(columns[i], values->value(i));
            out.row(cells);
        }
        break;
    }
    case Format::Json: {
        const auto row = [&](const QVector<QVariant>& values) -> QByteArray {
            if (values.isEmpty())
                return "null";
            QByteArray json = "{";
            for (int i = 0; i < columns.size(); ++i)
                json += (i ? ",\"" : "\"") + columns[i].toUtf8() + "\":" + jsonValue(columns[i], values[i]);
            return json + '}';
        };
        QByteArray json = "{\"changes\":[";
        bool first = true;
        for (const history::Entry& e : entries) {
            json += first ? "\n{" : ",\n{";
            first = false;
            json += "\"seq\":" + QByteArray::number(e.seq) + ",\"at\":" + jsonString(e.changedAt) + ",\"commandId\":"
                    + QByteArray::number(e.commandId) + ",\"command\":" + jsonString(e.command) + ",\"operation\":"
                    + jsonString(e.operation) + ",\"id\":" + QByteArray::number(e.rowId) + ",\"before\":" + row(e.before)
                    + ",\"after\":" + row(e.after) + '}';
            if (json.size() > (1 << 20)) {
                writeOut(json);
                json.clear();
            }
        }
        json += "]}\n";
        writeOut(json);
        break;
    }
    }
    return kOk;
}

} // namespace

Verb historyVerb()
{
    QList<OptionSpec> options{{{QStringLiteral("id")}, QStringLiteral("N"), QStringLiteral("この仕訳番号の行の履歴だけを示します。")}};
    options << rangeOptions(QStringLiteral("変更した日で絞り込みます（片方だけでも可）。"));
    options << formatOptions();
    return {{QStringLiteral("history")},
            QString(),
            QStringLiteral("仕訳の変更履歴: 仕訳の追加・変更・削除を、したコマンドと前後の内容で示します"),
            QStringLiteral("仕訳の一行ごとの追加・変更・削除を、古い順に、日時・コマンド・変更前と変更後の内容で示します。\n"
                           "--id で一つの仕訳の履歴だけを、--from・--to で変更した日（その日の0時から、ローカル時刻）の範囲を示します。\n"
                           "CSV と JSON の日時は UTC、金額は円の正確な十進数です。"),
            options,
            runHistory};
}

} // namespace tolva::cli
