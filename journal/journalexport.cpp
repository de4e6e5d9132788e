#include "journal/journalexport.h"

#include "db/database.h"
#include "db/dataset.h"
#include "db/storeerror.h"
#include "db/textformat.h"

#include <QHash>
#include <QScopeGuard>

#include <sqlite3.h>

namespace tolva::journalexport {

namespace {

const QString kTitle = QStringLiteral("仕訳帳（条件抽出）");
// How often a long export says how far it got.
constexpr qint64 kProgressRows = 2000;
const QString kConditionPrefix = QStringLiteral("抽出条件 ");
const QString kHeader = QStringLiteral(R"("ID","月日","借方科目","借方金額","貸方科目","貸方金額","備考","区分")");

// A number as its plain text: the entry number as it is, an amount without separators.
QString bare(const Field& field)
{
    if (field.isNull())
        return {};
    return field.type() == FieldType::Currency ? textformat::plainAmount(field.asMoney()) : field.asString();
}

} // namespace

QString periodText(const JournalFilter& filter)
{
    if (!filter.period)
        return {};
    if (filter.from == filter.to)
        return QStringLiteral("指定日：") + textformat::reportDate(filter.from);
    return QStringLiteral("期間：") + textformat::reportPeriod(filter.from, filter.to);
}

QString conditionText(const JournalFilter& filter, const JournalExportNames& names)
{
    QStringList parts;
    if (filter.debit.ticked)
        parts << (filter.debit.accountTicked ? QStringLiteral("借方科目：") : QStringLiteral("借方区分：")) + names.debit;
    if (filter.credit.ticked)
        parts << (filter.credit.accountTicked ? QStringLiteral("貸方科目：") : QStringLiteral("貸方区分：")) + names.credit;
    if (filter.useCategory)
        parts << QStringLiteral("区分：") + names.useCategory;
    if (filter.mode)
        parts << QStringLiteral("処理ﾓｰﾄﾞ：") + names.mode;
    return parts.join(u' ');
}

QStringList headLines(const JournalFilter& filter, const JournalExportNames& names)
{
    QStringList lines{kTitle, periodText(filter)};
    const QString condition = conditionText(filter, names);
    if (!condition.isEmpty())
        lines << kConditionPrefix + condition;
    lines << QString() << kHeader;
    return lines;
}

namespace {

// A text value inside double quotes, a quote in it doubled: a memo holding a quote stays one
// field for every reader of the file.
void quoted(QString& text, QStringView value)
{
    text += u'"';
    if (value.contains(u'"')) {
        QString doubled = value.toString();
        text += doubled.replace(u'"', QStringLiteral("\"\""));
    } else {
        text += value;
    }
    text += u'"';
}

// The fields of a line, by their place in journallist::exportLinesSql, found once for the
// rows of one opening.
struct LineFields {
    explicit LineFields(Query& rows)
        : id(rows.field(0)), day(rows.field(1)), debitAccount(rows.field(2)), debit(rows.field(3)),
          creditAccount(rows.field(4)), credit(rows.field(5)), memo(rows.field(6)), useCategory(rows.field(7))
    {
    }

    QString line()
    {
        QString text;
        text.reserve(96);
        text += bare(id);
        text += u',';
        quoted(text, day.isNull() ? QString() : dayText(day.asDate()));
        text += u',';
        quoted(text, debitAccount.asString());
        text += u',';
        text += bare(debit);
        text += u',';
        quoted(text, creditAccount.asString());
        text += u',';
        text += bare(credit);
        text += u',';
        quoted(text, memo.asString());
        text += u',';
        quoted(text, useCategory.asString());
        return text;
    }

    // A journal repeats a few thousand days: each is formatted once.
    const QString& dayText(const QDate& date)
    {
        auto it = days.constFind(date.toJulianDay());
        if (it == days.constEnd())
            it = days.insert(date.toJulianDay(), textformat::shortDate(date));
        return it.value();
    }

    Field id, day, debitAccount, debit, creditAccount, credit, memo, useCategory;
    QHash<qint64, QString> days;
};

// The lines read straight from SQLite, without the dataset layer, as long as every value has
// its usual storage: whole numbers for the number and the amounts, ISO text for the date, text
// or nothing for the names and the memo. Those read the same either way. Anything else (books
// written by another program, say) answers false, and the export starts over through a query,
// whose conversions are the program's one definition of them.
bool writeStraight(Database& db, const JournalListSql& statement, csv::LineWriter& file, QList<qint64>& ids,
                   const Progress& progress)
{
    Statement rows = db.prepare(db.translation(journallist::exportLinesSql(statement)).sql);
    for (int i = 0; i < statement.params.size(); ++i) {
        const QVariant& value = statement.params[i];
        if (value.typeId() == QMetaType::QDate)
            rows.bind(i + 1, textformat::isoDate(value.toDate()));
        else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
            rows.bind(i + 1, QVariant(value.toLongLong()));
        else
            rows.bind(i + 1, value);
    }
    sqlite3_stmt* row = rows.handle();
    auto text = [row](int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, column)),
                                 sqlite3_column_bytes(row, column));
    };
    auto isText = [row](int column) {
        const int type = sqlite3_column_type(row, column);
        return type == SQLITE_TEXT || type == SQLITE_NULL;
    };
    auto amount = [row](int column, QString& line) {
        const int type = sqlite3_column_type(row, column);
        if (type == SQLITE_INTEGER)
            line += textformat::plainAmount(Money::fromUnits(sqlite3_column_int64(row, column)));
        return type == SQLITE_INTEGER || type == SQLITE_NULL;
    };
    QString line;
    while (rows.step()) {
        if (sqlite3_column_type(row, 0) != SQLITE_INTEGER || !isText(1) || !isText(2) || !isText(4) || !isText(6)
            || !isText(7))
            return false;
        line.clear();
        const qint64 id = sqlite3_column_int64(row, 0);
        line += QString::number(id);
        line += u',';
        QString day = text(1);
        if (!day.isEmpty()) {
            if (day.size() != 10 || day[4] != u'-' || day[7] != u'-'
                || !QDate(day.left(4).toInt(), day.mid(5, 2).toInt(), day.mid(8, 2).toInt()).isValid())
                return false;
            day[4] = u'/';
            day[7] = u'/';
        }
        quoted(line, day);
        line += u',';
        quoted(line, text(2));
        line += u',';
        if (!amount(3, line))
            return false;
        line += u',';
        quoted(line, text(4));
        line += u',';
        if (!amount(5, line))
            return false;
        line += u',';
        quoted(line, text(6));
        line += u',';
        quoted(line, text(7));
        file.add(line);
        ids << id;
        // The file is still beside its target: stopping here leaves an existing file whole.
        if (progress && ids.size() % kProgressRows == 0 && !progress(ids.size()))
            throw ExportCancelled();
    }
    return true;
}

} // namespace

Outcome write(Query& list, const JournalFilter& filter, const JournalExportNames& names, const QString& path,
              const Progress& progress)
{
    const JournalListSql statement = journallist::exported(filter);
    if (!statement.ok())
        throw StoreError(statement.problem);

    const QStringList head = headLines(filter, names);
    // The list is left set to the export's statement, closed, for whoever shows it next.
    auto leaveList = qScopeGuard([&] { journallist::prepare(list, statement); });

    QList<qint64> ids;
    Outcome outcome;
    std::optional<csv::LineWriter> file;
    file.emplace(path);
    for (const QString& line : head)
        file->add(line);
    if (!writeStraight(*Database::forFolder(list.databaseName()), statement, *file, ids, progress)) {
        // Values of unusual storage: the lines again, read through a query with only the
        // columns they show.
        file.emplace(path);
        for (const QString& line : head)
            file->add(line);
        ids.clear();
        Query rows(QStringLiteral("journalexport"));
        rows.setDatabaseName(list.databaseName());
        rows.setUniDirectional(true);
        rows.setSql(journallist::exportLinesSql(statement));
        for (int i = 0; i < statement.params.size(); ++i)
            rows.setParam(i, statement.params[i]);
        rows.open();
        auto closeRows = qScopeGuard([&] { rows.close(); });
        LineFields fields(rows);
        for (; !rows.eof(); rows.next()) {
            file->add(fields.line());
            ids << fields.id.asInteger();
            if (progress && ids.size() % kProgressRows == 0 && !progress(ids.size()))
                throw ExportCancelled();
        }
    }
    outcome.rows = ids.size();
    outcome.written = file->commit();
    const int headCount = int(head.size());
    for (int line : std::as_const(outcome.written.linesWithReplacements)) {
        outcome.lineNumbers << line + 1;
        outcome.notes << (line >= headCount ? QStringLiteral("NO %1").arg(ids[line - headCount]) : QString());
    }
    return outcome;
}

} // namespace tolva::journalexport
