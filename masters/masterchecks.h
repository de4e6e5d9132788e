#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace tolva {

class Database;

// The checks of the master windows and what the books say about a code, as plain functions:
// a window calls them before it posts or deletes, and so can a test or a batch front end.
namespace masters {

// The five kinds of master rows. Their codes carry meaning by length and prefix: every list
// of the program shows "code name" and takes the code back by cutting the item's first
// characters, and the journal filters find an account's rows by its category's prefix.
enum class Master { Category, Account, SubAccount, Use, UseCategory };

// How long a code of the kind is: 2, 4, 6, 2 and 4 characters.
[[nodiscard]] int codeLength(Master master);
// The kind whose code a code of this kind begins with (the category of an account, the
// account of a sub-account, the use of a use category); none for categories and uses.
[[nodiscard]] std::optional<Master> parentOf(Master master);
// The table and its name field ("Kamoku", "kamoku").
[[nodiscard]] QString tableOf(Master master);
[[nodiscard]] QString nameFieldOf(Master master);
// The field of the row that holds its parent's code ("bunrui", "yoto"); empty for none.
[[nodiscard]] QString parentFieldOf(Master master);
// What the user calls a row of the kind ("科目", "細目", "用途", …).
[[nodiscard]] QString wordFor(Master master);

// What the window's boxes hold when its post button is pressed.
struct Entry {
    QString code;    // the code box
    QString name;    // the name box
    QString parent;  // the code chosen in the drop-down of the parent; empty when none is
};

// The checks of the post button in the window's order; the message of the first that fails.
// Categories have none; a use category and a sub-account name their parent's box "区分" in
// the message, as the windows always have.
[[nodiscard]] std::optional<QString> entryProblem(Master master, const Entry& entry);

// The code's form: its length, and its parent's code at its start.
[[nodiscard]] std::optional<QString> codeFormProblem(Master master, const QString& code, const QString& parent);

// What the books say against posting `code` under `parent` into the row `rowId` (0 for a
// new row): the code's form, when the row is new or its code or parent changes (a row kept
// from older books may be renamed as it is); a code another row already has; and a new code
// for a row that journal rows or year-end totals still use, which would leave them behind.
[[nodiscard]] std::optional<QString> postProblem(Database& db, Master master, const QString& code,
                                                 const QString& parent, qint64 rowId);

// The rows of the books that use a code.
struct Usage {
    qint64 journalRows = 0;  // shiwake rows naming it on either side
    qint64 yearTotals = 0;   // shisanH rows of the year-end aggregation (accounts only)
    [[nodiscard]] bool any() const { return journalRows > 0 || yearTotals > 0; }
};

// A category is used by the rows filed under it and by the rows of its accounts: without it
// the aggregations, which join every account to its category, would drop them.
[[nodiscard]] Usage usageOf(Database& db, Master master, const QString& code);

// Why the stored row `rowId` may not be deleted: rows of the books still use its code, and
// every list, ledger, aggregation and closing would silently lose them.
[[nodiscard]] std::optional<QString> deletionProblem(Database& db, Master master, qint64 rowId);

// The closing month of the owner row: 1 to 12, or the fiscal period cannot be computed.
[[nodiscard]] std::optional<QString> closingMonthProblem(const QVariant& month);

} // namespace masters
} // namespace tolva
