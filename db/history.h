#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <optional>

struct sqlite3;

namespace tolva {

class Database;

// The change history of the journal (shiwakeRireki): every insert, change and delete of a
// shiwake row, written by the journal's own triggers in the same statement as the change, so
// that no path that writes the journal can leave it out. Each history row carries the id and
// the caption of the command that made it, so that a command's changes can be found (and
// taken back) together.
namespace history {

inline constexpr const char* kTableName = "shiwakeRireki";
// The command of a write made while no command was named.
inline constexpr const char* kUnknownCommand = "不明";
// The rows the journal held when its history began (books of an older layout): command id 0.
inline constexpr const char* kBaselineCommand = "履歴の記録開始";
inline constexpr const char* kBaselineOperation = "baseline";

// The command a connection's writes are recorded under. A named command keeps one id for all
// its writes; writes while none is named get a new id per SQLite transaction.
struct CurrentCommand {
    QByteArray name;
    qint64 id = 0;  // 0: none given yet
    int depth = 0;
};

// Registers the SQL functions the journal's triggers call (tolva_command_id,
// tolva_command_name) on a connection, with `state` as the command it writes under (kept
// by the caller). Without them, a write of the journal fails: a program that does not know
// of the history cannot change the journal behind it.
void registerFunctions(sqlite3* db, CurrentCommand* state);
// The same for a connection of its own (a test's, a tool's): the state lives with the
// connection, and every write is of the unknown command.
void registerFunctions(sqlite3* db);

// Names the command the database's writes are recorded under while it lives. Scopes nest: the
// outermost names the command (a copy posts a row, and it is the copy that the user did).
class CommandScope {
public:
    CommandScope(Database& db, const QString& caption);
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    CurrentCommand& state_;
};

// The statements that give a new data folder's books the history (data/schema.sql holds the
// same texts): the table, its index, the triggers on the journal and those that keep the
// history from being changed.
[[nodiscard]] QStringList layoutStatements();
// The same for books of an older layout, then the baseline: every row the journal holds
// without a history recorded as the state its history starts from (command id 0).
[[nodiscard]] QStringList upgradeStatements();

// The shiwake columns each history row keeps before and after the change, in table order.
[[nodiscard]] const QStringList& journalColumns();

struct Entry {
    qint64 seq = 0;
    QString changedAt;  // UTC, yyyy-MM-ddTHH:mm:ss.sssZ
    qint64 commandId = 0;
    QString command;
    QString operation;  // insert, update, delete, baseline
    qint64 rowId = 0;
    // Storage values in journalColumns() order; empty when the row did not exist.
    QVector<QVariant> before;
    QVector<QVariant> after;
};

struct Filter {
    std::optional<qint64> rowId;
    // Days of the change, in local time as the user reads them.
    std::optional<QDate> from;
    std::optional<QDate> to;
};

// The history rows that pass, oldest first. Books without a history give none.
[[nodiscard]] QVector<Entry> read(Database& db, const Filter& filter);

// Where the history disagrees with the journal, empty when it agrees: the last recorded state
// of each row must be the row as it is (and no row when it was last deleted), and every row
// must have a history.
[[nodiscard]] QStringList findings(Database& db);

} // namespace history
} // namespace tolva
