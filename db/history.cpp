#include "db/history.h"

#include "db/database.h"
#include "db/storeerror.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <sqlite3.h>

namespace tolva::history {

namespace {

// tolva_command_id(last): the id of the command being recorded. `last` is the command id of
// the newest history row; a command that has none yet takes the next one, so ids grow with
// the history and a command's rows share one.
void commandIdFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    auto* state = static_cast<CurrentCommand*>(sqlite3_user_data(context));
    const qint64 last = argc > 0 ? sqlite3_value_int64(argv[0]) : 0;
    // An id given to a write that was rolled back may be given again; one below the newest
    // row's belongs to a command that has ended.
    if (state->id == 0 || state->id < last)
        state->id = last + 1;
    sqlite3_result_int64(context, state->id);
}

void commandNameFunction(sqlite3_context* context, int, sqlite3_value**)
{
    auto* state = static_cast<CurrentCommand*>(sqlite3_user_data(context));
    const QByteArray& name = state->name.isEmpty() ? QByteArray(kUnknownCommand) : state->name;
    sqlite3_result_text(context, name.constData(), int(name.size()), SQLITE_TRANSIENT);
}

// Writes while no command is named are one command per transaction.
int endOfTransaction(void* data)
{
    auto* state = static_cast<CurrentCommand*>(data);
    if (state->depth == 0)
        state->id = 0;
    return 0;
}

void rolledBack(void* data)
{
    (void)endOfTransaction(data);
}

void registerWith(sqlite3* db, CurrentCommand* state, void (*destroy)(void*))
{
    // Innocuous: the books' triggers call them and the books do not trust their schema
    // (trusted_schema=OFF) with anything else.
    const int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function_v2(db, "tolva_command_id", 1, flags, state, commandIdFunction, nullptr, nullptr, destroy);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, "tolva_command_name", 0, flags, state, commandNameFunction, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw StoreError(QStringLiteral("仕訳の変更履歴の関数を登録できません: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
    sqlite3_commit_hook(db, endOfTransaction, state);
    sqlite3_rollback_hook(db, rolledBack, state);
}

QString columnList(const QString& prefix, const QString& source = {})
{
    QStringList names;
    for (const QString& column : journalColumns())
        names << (source.isEmpty() ? prefix + column : source + column);
    return names.join(QStringLiteral(", "));
}

QString nulls()
{
    QStringList names;
    for (qsizetype i = 0; i < journalColumns().size(); ++i)
        names << QStringLiteral("NULL");
    return names.join(QStringLiteral(", "));
}

// One history row: the command comes from the connection's functions.
QString recordStatement(const QString& operation, const QString& rowId, const QString& beforeValues, const QString& afterValues,
                        const QString& condition = {})
{
    return QStringLiteral("INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId, %1, %2) "
                          "SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), "
                          "tolva_command_id((SELECT commandId FROM shiwakeRireki ORDER BY seq DESC LIMIT 1)), tolva_command_name(), "
                          "'%3', %4, %5, %6%7;")
        .arg(columnList(QStringLiteral("old_")), columnList(QStringLiteral("new_")), operation, rowId, beforeValues, afterValues,
             condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition);
}

} // namespace

void registerFunctions(sqlite3* db, CurrentCommand* state)
{
    registerWith(db, state, nullptr);
}

void registerFunctions(sqlite3* db)
{
    registerWith(db, new CurrentCommand, [](void* state) { delete static_cast<CurrentCommand*>(state); });
}

CommandScope::CommandScope(Database& db, const QString& caption) : state_(db.currentCommand())
{
    if (state_.depth++ == 0) {
        state_.name = caption.toUtf8();
        state_.id = 0;
    }
}

CommandScope::~CommandScope()
{
    if (--state_.depth == 0) {
        state_.name.clear();
        state_.id = 0;
    }
}

const QStringList& journalColumns()
{
    static const QStringList columns = {
        QStringLiteral("sDay"),    QStringLiteral("Lbunrui"), QStringLiteral("Lcode"), QStringLiteral("LScode"), QStringLiteral("Lgaku"),
        QStringLiteral("Rbunrui"), QStringLiteral("Rcode"),   QStringLiteral("RScode"), QStringLiteral("Rgaku"), QStringLiteral("yoto"),
        QStringLiteral("kubun"),   QStringLiteral("syori"),   QStringLiteral("Memo"),
    };
    return columns;
}

QStringList layoutStatements()
{
    // Each value is kept in a column of its own, as stored (amounts as their exact integers):
    // an empty value costs a byte, and the check compares them with the journal's as they are.
    QStringList columns;
    for (const QString& prefix : {QStringLiteral("old_"), QStringLiteral("new_")})
        for (const QString& column : journalColumns())
            columns << prefix + column;
    QStringList changed;
    for (const QString& column : journalColumns())
        changed << QStringLiteral("old.%1 IS NOT new.%1").arg(column);
    const QString oldValues = columnList({}, QStringLiteral("old."));
    const QString newValues = columnList({}, QStringLiteral("new."));
    return {
        QStringLiteral("CREATE TABLE shiwakeRireki (seq INTEGER PRIMARY KEY, changedAt TEXT NOT NULL, commandId INTEGER NOT NULL, "
                       "command TEXT NOT NULL, op TEXT NOT NULL, rowId INTEGER NOT NULL, %1)")
            .arg(columns.join(QStringLiteral(", "))),
        QStringLiteral("CREATE INDEX shiwakeRireki_rowId ON shiwakeRireki (rowId, seq)"),
        QStringLiteral("CREATE TRIGGER shiwakeRireki_unchanged BEFORE UPDATE ON shiwakeRireki BEGIN "
                       "SELECT RAISE(ABORT, '仕訳の変更履歴は書き換えられません。'); END"),
        QStringLiteral("CREATE TRIGGER shiwakeRireki_kept BEFORE DELETE ON shiwakeRireki BEGIN "
                       "SELECT RAISE(ABORT, '仕訳の変更履歴は削除できません。'); END"),
        QStringLiteral("CREATE TRIGGER shiwake_recorded_insert AFTER INSERT ON shiwake BEGIN %1 END")
            .arg(recordStatement(QStringLiteral("insert"), QStringLiteral("new.id"), nulls(), newValues)),
        QStringLiteral("CREATE TRIGGER shiwake_recorded_delete AFTER DELETE ON shiwake BEGIN %1 END")
            .arg(recordStatement(QStringLiteral("delete"), QStringLiteral("old.id"), oldValues, nulls())),
        // A row given another id is the old one gone and a new one written.
        QStringLiteral("CREATE TRIGGER shiwake_recorded_update AFTER UPDATE ON shiwake WHEN old.id IS NOT new.id OR %1 BEGIN %2 %3 %4 END")
            .arg(changed.join(QStringLiteral(" OR ")),
                 recordStatement(QStringLiteral("update"), QStringLiteral("new.id"), oldValues, newValues, QStringLiteral("old.id = new.id")),
                 recordStatement(QStringLiteral("delete"), QStringLiteral("old.id"), oldValues, nulls(), QStringLiteral("old.id <> new.id")),
                 recordStatement(QStringLiteral("insert"), QStringLiteral("new.id"), nulls(), newValues, QStringLiteral("old.id <> new.id"))),
    };
}

QStringList upgradeStatements()
{
    static const QRegularExpression trigger(QStringLiteral(R"(^CREATE TRIGGER (\w+) )"));
    QStringList statements;
    for (QString statement : layoutStatements()) {
        const QRegularExpressionMatch created = trigger.match(statement);
        if (created.hasMatch())
            statements << QStringLiteral("DROP TRIGGER IF EXISTS ") + created.captured(1);
        statement.replace(QRegularExpression(QStringLiteral(R"(^CREATE (TABLE|INDEX) )")), QStringLiteral("CREATE \\1 IF NOT EXISTS "));
        statements << statement;
    }
    // Rows that have a history already keep it.
    statements << QStringLiteral("INSERT INTO shiwakeRireki (changedAt, commandId, command, op, rowId, %1) "
                                 "SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), 0, '%2', '%3', id, %4 FROM shiwake "
                                 "WHERE NOT EXISTS (SELECT 1 FROM shiwakeRireki h WHERE h.rowId = shiwake.id) ORDER BY id")
                      .arg(columnList(QStringLiteral("new_")), QString::fromUtf8(kBaselineCommand),
                           QString::fromLatin1(kBaselineOperation), columnList({}));
    return statements;
}

QVector<Entry> read(Database& db, const Filter& filter)
{
    QVector<Entry> entries;
    if (!db.hasTable(QString::fromLatin1(kTableName)))
        return entries;
    QStringList conditions;
    QVector<QVariant> values;
    // The day a user names is a local day; the history keeps UTC.
    const auto utc = [](const QDate& day) {
        return QDateTime(day, QTime(0, 0), QTimeZone::systemTimeZone()).toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    };
    if (filter.rowId) {
        conditions << QStringLiteral("rowId = ?%1").arg(values.size() + 1);
        values << QVariant(*filter.rowId);
    }
    if (filter.from) {
        conditions << QStringLiteral("changedAt >= ?%1").arg(values.size() + 1);
        values << QVariant(utc(*filter.from));
    }
    if (filter.to) {
        conditions << QStringLiteral("changedAt < ?%1").arg(values.size() + 1);
        values << QVariant(utc(filter.to->addDays(1)));
    }
    Statement s = db.prepare(QStringLiteral("SELECT seq, changedAt, commandId, command, op, rowId, %1, %2 FROM shiwakeRireki%3 ORDER BY seq")
                                 .arg(columnList(QStringLiteral("old_")), columnList(QStringLiteral("new_")),
                                      conditions.isEmpty() ? QString() : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "))));
    for (int i = 0; i < values.size(); ++i)
        s.bind(i + 1, values[i]);
    const int n = int(journalColumns().size());
    while (s.step()) {
        Entry e;
        e.seq = s.columnInt(0);
        e.changedAt = s.column(1).toString();
        e.commandId = s.columnInt(2);
        e.command = s.column(3).toString();
        e.operation = s.column(4).toString();
        e.rowId = s.columnInt(5);
        if (e.operation == QLatin1String("update") || e.operation == QLatin1String("delete"))
            for (int i = 0; i < n; ++i)
                e.before << s.column(6 + i);
        if (e.operation != QLatin1String("delete"))
            for (int i = 0; i < n; ++i)
                e.after << s.column(6 + n + i);
        entries << e;
    }
    return entries;
}

QStringList findings(Database& db)
{
    QStringList found;
    if (!db.hasTable(QString::fromLatin1(kTableName)))
        return found;
    QStringList differs;
    for (const QString& column : journalColumns())
        differs << QStringLiteral("h.new_%1 IS NOT s.%1").arg(column);
    // The newest history row of each journal row: the row as it is, or none after a delete.
    Statement wrong = db.prepare(QStringLiteral(
        "WITH last AS (SELECT rowId, max(seq) AS seq FROM shiwakeRireki GROUP BY rowId) "
        "SELECT last.rowId FROM last JOIN shiwakeRireki h ON h.seq = last.seq LEFT JOIN shiwake s ON s.id = last.rowId "
        "WHERE CASE WHEN h.op = 'delete' THEN s.id IS NOT NULL ELSE s.id IS NULL OR %1 END ORDER BY last.rowId")
                                     .arg(differs.join(QStringLiteral(" OR "))));
    const auto listed = [](Statement& s, QString sentence) {
        QStringList ids;
        int count = 0;
        while (s.step()) {
            if (++count <= 5)
                ids << QStringLiteral("%1").arg(s.columnInt(0));
        }
        if (count == 0)
            return QString();
        return sentence.arg(count).arg(ids.join(QStringLiteral("、")), count > 5 ? QStringLiteral(" ほか") : QString());
    };
    const QString disagreeing =
        listed(wrong, QStringLiteral("仕訳の変更履歴の最後の記録が仕訳帳と合わない行が %L1 行あります（仕訳番号 %2%3）。"));
    if (!disagreeing.isEmpty())
        found << disagreeing;
    Statement unrecorded = db.prepare(QStringLiteral(
        "SELECT s.id FROM shiwake s WHERE NOT EXISTS (SELECT 1 FROM shiwakeRireki h WHERE h.rowId = s.id) ORDER BY s.id"));
    const QString missing = listed(unrecorded, QStringLiteral("変更履歴のない仕訳が %L1 行あります（仕訳番号 %2%3）。"));
    if (!missing.isEmpty())
        found << missing;
    return found;
}

} // namespace tolva::history
