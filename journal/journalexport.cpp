#include "journalexport.h"

#include "dataset.h"
#include "storeerror.h"
#include "textformat.h"

#include <QScopeGuard>

namespace tolva::journalexport {

namespace {

const QString kTitle = QStringLiteral("仕訳帳（条件抽出）");
const QString kConditionPrefix = QStringLiteral("抽出条件 ");
const QString kHeader = QStringLiteral(R"("ID","月日","借方科目","借方金額","貸方科目","貸方金額","備考","区分")");

QString quoted(const QString& text)
{
    return u'"' + text + u'"';
}

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

QString rowLine(Query& list)
{
    const Field id = list.field(0);
    const Field day = list.fieldByName(QStringLiteral("sDay"));
    const Field debitAccount = list.fieldByName(QStringLiteral("kamoku"));
    const Field debit = list.fieldByName(QStringLiteral("Lgaku"));
    const Field creditAccount = list.fieldByName(QStringLiteral("kamoku_1"));
    const Field credit = list.fieldByName(QStringLiteral("Rgaku"));
    const Field memo = list.fieldByName(QStringLiteral("Memo"));
    const Field useCategory = list.fieldByName(QStringLiteral("Name_2"));
    return bare(id) + u',' + quoted(day.isNull() ? QString() : textformat::shortDate(day.asDate())) + u','
        + quoted(debitAccount.asString()) + u',' + bare(debit) + u',' + quoted(creditAccount.asString()) + u','
        + bare(credit) + u',' + quoted(memo.asString()) + u',' + quoted(useCategory.asString());
}

Outcome write(Query& list, const JournalFilter& filter, const JournalExportNames& names, const QString& path)
{
    const JournalListSql statement = journallist::exported(filter);
    if (!statement.ok())
        throw StoreError(statement.problem);

    QStringList lines = headLines(filter, names);
    const int headCount = int(lines.size());
    QList<qint64> ids;

    const bool wasUniDirectional = list.uniDirectional();
    list.setUniDirectional(true);
    auto leaveList = qScopeGuard([&] {
        list.close();
        list.setUniDirectional(wasUniDirectional);
    });
    journallist::open(list, statement);
    const Field id = list.field(0);
    Outcome outcome;
    for (; !list.eof(); list.next()) {
        lines << rowLine(list);
        ids << id.asInteger();
    }
    outcome.rows = ids.size();
    outcome.written = csv::writeLines(path, lines);
    for (int line : std::as_const(outcome.written.linesWithReplacements)) {
        outcome.lineNumbers << line + 1;
        outcome.notes << (line >= headCount ? QStringLiteral("NO %1").arg(ids[line - headCount]) : QString());
    }
    return outcome;
}

} // namespace tolva::journalexport
