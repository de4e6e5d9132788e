#include "journal/journalcheck.h"

#include "db/database.h"
#include "db/dataset.h"
#include "db/textformat.h"

#include <QScopeGuard>
#include <QSet>

#include <sqlite3.h>

namespace tolva {

namespace {

struct CodeRule {
    const char* field;
    const char* master;      // table and key column
    JournalFault::Kind kind;
};

// In the order a reader meets the fields of a row: debit side, credit side, use, mode.
const CodeRule kCodeRules[] = {
    {"Lbunrui", "Bunrui", JournalFault::Kind::UnknownCategory},
    {"Lcode", "Kamoku", JournalFault::Kind::UnknownAccount},
    {"LScode", "Kamoku02", JournalFault::Kind::UnknownSubAccount},
    {"Rbunrui", "Bunrui", JournalFault::Kind::UnknownCategory},
    {"Rcode", "Kamoku", JournalFault::Kind::UnknownAccount},
    {"RScode", "Kamoku02", JournalFault::Kind::UnknownSubAccount},
    {"kubun", "kubun", JournalFault::Kind::UnknownUseCategory},
};

// The rules as SQL: a flag per rule, and the rows of `ids` that break one of them.
QString checkSql(const QList<qint64>& ids)
{
    QStringList flags;
    flags << QStringLiteral("(IFNULL(shiwake.Lgaku, 0) <> IFNULL(shiwake.Rgaku, 0)) AS badSides");
    for (const CodeRule& rule : kCodeRules) {
        flags << QStringLiteral("(IFNULL(shiwake.%1, '') <> '' AND shiwake.%1 NOT IN (SELECT code FROM %2)) AS bad%1")
                     .arg(QLatin1String(rule.field), QLatin1String(rule.master));
    }
    flags << QStringLiteral("(shiwake.syori IS NULL OR shiwake.syori NOT IN (SELECT code FROM syorik)) AS badsyori");
    QStringList any;
    for (const QString& flag : flags)
        any << flag.left(flag.lastIndexOf(QStringLiteral(" AS ")));
    // The numbers are integers the journal gave us.
    QStringList numbers;
    for (qint64 id : ids)
        numbers << QString::number(id);
    return QStringLiteral("SELECT shiwake.id, shiwake.sDay, shiwake.Lgaku, shiwake.Rgaku, shiwake.Lbunrui, shiwake.Lcode,"
                          " shiwake.LScode, shiwake.Rbunrui, shiwake.Rcode, shiwake.RScode, shiwake.kubun, shiwake.syori, ")
        + flags.join(QStringLiteral(", ")) + QStringLiteral(" FROM shiwake WHERE (") + any.join(QStringLiteral(" OR "))
        + QStringLiteral(") AND shiwake.id IN (") + numbers.join(u',') + QStringLiteral(") ORDER BY shiwake.id");
}

QSet<QByteArray> masterCodes(Database& db, const char* table)
{
    QSet<QByteArray> codes;
    Statement s = db.prepare(QStringLiteral("SELECT code FROM %1").arg(QLatin1String(table)));
    while (s.step()) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.handle(), 0));
        codes.insert(QByteArray(text, sqlite3_column_bytes(s.handle(), 0)));
    }
    return codes;
}

// The numbers of the rows that break a rule. A million rows are stepped once on SQLite alone,
// their codes looked up in the masters' codes held in memory: a fraction of what asking SQLite
// to look up every code of every row costs. Only these rows are then read with the rules in SQL.
QList<qint64> suspects(Database& db)
{
    QList<QSet<QByteArray>> masters;
    for (const CodeRule& rule : kCodeRules)
        masters << masterCodes(db, rule.master);
    QSet<qint64> modes;
    {
        Statement s = db.prepare(QStringLiteral("SELECT code FROM syorik"));
        while (s.step()) {
            if (sqlite3_column_type(s.handle(), 0) != SQLITE_NULL)
                modes.insert(sqlite3_column_int64(s.handle(), 0));
        }
    }
    QStringList columns;
    for (const CodeRule& rule : kCodeRules)
        columns << QString::fromLatin1(rule.field);
    Statement scan = db.prepare(QStringLiteral("SELECT id, IFNULL(Lgaku, 0) <> IFNULL(Rgaku, 0), syori, ") + columns.join(u',')
                                + QStringLiteral(" FROM shiwake"));
    sqlite3_stmt* row = scan.handle();
    QList<qint64> ids;
    while (scan.step()) {
        bool bad = sqlite3_column_int(row, 1) != 0;
        bad = bad || sqlite3_column_type(row, 2) == SQLITE_NULL || !modes.contains(sqlite3_column_int64(row, 2));
        for (int i = 0; !bad && i < int(masters.size()); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, 3 + i));
            const int length = sqlite3_column_bytes(row, 3 + i);
            bad = text && length > 0 && !masters[i].contains(QByteArray::fromRawData(text, length));
        }
        if (bad)
            ids << sqlite3_column_int64(row, 0);
    }
    return ids;
}

QString fieldCaption(const QString& field)
{
    static const QHash<QString, QString> captions = {
        {QStringLiteral("Lbunrui"), QStringLiteral("借方分類")}, {QStringLiteral("Lcode"), QStringLiteral("借方科目")},
        {QStringLiteral("LScode"), QStringLiteral("借方細目")},  {QStringLiteral("Rbunrui"), QStringLiteral("貸方分類")},
        {QStringLiteral("Rcode"), QStringLiteral("貸方科目")},   {QStringLiteral("RScode"), QStringLiteral("貸方細目")},
        {QStringLiteral("kubun"), QStringLiteral("区分")},       {QStringLiteral("syori"), QStringLiteral("処理ﾓｰﾄﾞ")},
    };
    return captions.value(field, field);
}

QString masterCaption(JournalFault::Kind kind)
{
    switch (kind) {
    case JournalFault::Kind::UnknownCategory: return QStringLiteral("分類");
    case JournalFault::Kind::UnknownAccount: return QStringLiteral("勘定科目");
    case JournalFault::Kind::UnknownSubAccount: return QStringLiteral("細目");
    case JournalFault::Kind::UnknownUseCategory: return QStringLiteral("用途区分");
    case JournalFault::Kind::UnknownMode: return QStringLiteral("処理ﾓｰﾄﾞ");
    case JournalFault::Kind::UnequalSides: break;
    }
    return {};
}

// The faults of the rows a check statement lists, in its order.
void readFaults(Query& query, QList<JournalFault>& faults)
{
    const Field id = query.fieldByName(QStringLiteral("id"));
    const Field day = query.fieldByName(QStringLiteral("sDay"));
    const Field lgaku = query.fieldByName(QStringLiteral("Lgaku"));
    const Field rgaku = query.fieldByName(QStringLiteral("Rgaku"));
    const Field badSides = query.fieldByName(QStringLiteral("badSides"));
    const Field syori = query.fieldByName(QStringLiteral("syori"));
    const Field badMode = query.fieldByName(QStringLiteral("badsyori"));
    struct CodeColumn {
        Field value;
        Field bad;
        const CodeRule* rule;
    };
    QList<CodeColumn> codes;
    for (const CodeRule& rule : kCodeRules) {
        const QString field = QString::fromLatin1(rule.field);
        codes << CodeColumn{query.fieldByName(field), query.fieldByName(QStringLiteral("bad") + field), &rule};
    }

    for (; !query.eof(); query.next()) {
        JournalFault base;
        base.id = id.asInteger();
        base.date = day.asDate();
        base.debit = lgaku.asMoney();
        base.credit = rgaku.asMoney();
        if (badSides.asInteger() != 0) {
            JournalFault fault = base;
            fault.kind = JournalFault::Kind::UnequalSides;
            fault.field = QStringLiteral("Lgaku");
            faults << fault;
        }
        for (const CodeColumn& column : std::as_const(codes)) {
            if (column.bad.asInteger() == 0)
                continue;
            JournalFault fault = base;
            fault.kind = column.rule->kind;
            fault.field = QString::fromLatin1(column.rule->field);
            fault.value = column.value.asString();
            faults << fault;
        }
        if (badMode.asInteger() != 0) {
            JournalFault fault = base;
            fault.kind = JournalFault::Kind::UnknownMode;
            fault.field = QStringLiteral("syori");
            fault.value = syori.isNull() ? QString() : syori.asString();
            faults << fault;
        }
    }
}

} // namespace

QList<JournalFault> checkJournal(Query& query)
{
    query.close();
    const bool wasUniDirectional = query.uniDirectional();
    query.setUniDirectional(true);
    auto restore = qScopeGuard([&] {
        query.close();
        query.setUniDirectional(wasUniDirectional);
    });
    QList<JournalFault> faults;
    const QList<qint64> ids = suspects(*query.database());
    // In pieces, so that a statement never grows beyond what SQLite takes.
    constexpr qsizetype kPiece = 500;
    for (qsizetype first = 0; first < ids.size(); first += kPiece) {
        query.setSql(checkSql(ids.mid(first, kPiece)));
        query.open();
        readFaults(query, faults);
        query.close();
    }
    return faults;
}

QString journalFaultText(const JournalFault& fault)
{
    const QString row = fault.date.isValid()
                            ? QStringLiteral("NO %1 (%2)").arg(fault.id).arg(textformat::shortDate(fault.date))
                            : QStringLiteral("NO %1").arg(fault.id);
    if (fault.kind == JournalFault::Kind::UnequalSides) {
        return QStringLiteral("%1: 借方金額 %2 と貸方金額 %3 が一致しません（差額 %4）")
            .arg(row, textformat::gridAmount(fault.debit), textformat::gridAmount(fault.credit),
                 textformat::gridAmount(fault.debit - fault.credit));
    }
    if (fault.value.isEmpty())
        return QStringLiteral("%1: %2がありません").arg(row, fieldCaption(fault.field));
    return QStringLiteral("%1: %2「%3」は%4にありません").arg(row, fieldCaption(fault.field), fault.value, masterCaption(fault.kind));
}

} // namespace tolva
