#pragma once

#include "db/money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

namespace tolva {

class Query;

// The conditions of the journal window's filter panel, as codes already cut from the chosen
// list items. A ticked condition whose list has nothing chosen holds no value.
struct JournalFilter {
    struct Side {
        bool ticked = false;
        std::optional<QString> category;     // 2 characters
        bool accountTicked = false;
        std::optional<QString> account;      // 4 characters
        bool subAccountTicked = false;
        std::optional<QString> subAccount;   // 6 characters
    };

    bool period = false;
    QDate from;
    QDate to;
    Side debit;
    Side credit;
    bool useCategory = false;
    std::optional<QString> useCategoryCode;  // 4 characters
    bool mode = false;
    std::optional<int> modeCode;
};

// The statement of the journal list and its parameter values by position, or the reason it
// cannot be built (a ticked condition without a value), naming the condition.
struct JournalListSql {
    enum class Order { NewestDateFirst, NewestNumberFirst, OldestDateFirst };

    QString sql;               // the whole statement
    QVariantList params;       // by position
    bool hasConditions = false;
    QString problem;
    QString where;             // the condition text alone (" where …"), empty for none
    // The same conditions as the list's own reader runs them, with their parameters: a
    // category prefix of all digits is a range of codes, which the account index serves
    // (the rows are those of `like`, as codes have neither case nor wildcards).
    QString indexedWhere;
    QVariantList indexedParams;
    [[nodiscard]] const QString& readerWhere() const { return indexedWhere.isEmpty() ? where : indexedWhere; }
    [[nodiscard]] const QVariantList& readerParams() const { return indexedWhere.isEmpty() ? params : indexedParams; }
    Order order = Order::NewestDateFirst;
    [[nodiscard]] bool ok() const { return problem.isEmpty(); }
};

namespace journallist {

// The select list and join chain every journal list shares.
[[nodiscard]] QString baseSql();

// "絞込実行": every condition, the sub-accounts and the stored categories included; newest date
// first. With no condition ticked, the problem is "条件が指定されていません".
[[nodiscard]] JournalListSql narrowed(const JournalFilter& filter);

// The refresh after every change of the current row: the same conditions without the
// sub-accounts, a category matched as the prefix of the account code, newest number first;
// with no condition, the whole journal newest date first.
[[nodiscard]] JournalListSql refreshed(const JournalFilter& filter);

// "全件表示": the whole journal, newest date first.
[[nodiscard]] JournalListSql everything();

// "金額確認": the rows whose debit and credit amounts differ, newest date first.
[[nodiscard]] JournalListSql unbalanced();

// "CSV出力": the refresh's conditions (no sub-accounts, a category as the prefix of the
// account code), oldest date first. With no condition, the problem is "出力条件を指定してください。".
[[nodiscard]] JournalListSql exported(const JournalFilter& filter);

// The rows of an export statement (exported()) with only the columns the file holds: the
// number, the date, the two accounts and amounts, the memo and the category of a use, in this
// order. Same joins that matter, same conditions, same order, so the same rows; the
// sub-accounts' and categories' names the file does not show are not looked up.
[[nodiscard]] QString exportLinesSql(const JournalListSql& exported);

// "仕訳（条件）" and "仕訳（細目）": the conditions of "絞込実行" (sub-accounts and stored
// categories included), oldest date first. With no condition, the problem is
// "出力条件を指定してください。".
[[nodiscard]] JournalListSql printedSelection(const JournalFilter& filter);

// "仕訳帳": every row of the period, oldest date first, with the list's columns but the
// sub-accounts' names.
[[nodiscard]] JournalListSql journalBook(const QDate& from, const QDate& to);

// The columns of the journal list, as the window shows them: the field of the statement and
// its title.
struct ListColumn {
    QString field;
    QString caption;
};
[[nodiscard]] const QList<ListColumn>& listColumns();

// Points the list query at the statement, leaving it closed: whoever reads it opens it.
void prepare(Query& list, const JournalListSql& statement);
// Points the list query at the statement and opens it.
void open(Query& list, const JournalListSql& statement);

struct Totals {
    Money debit;
    Money credit;
};

// How many rows a statement lists and, when it has conditions, the exact sums of their debit
// and credit amounts: what the status bar of a filtered list shows. One pass over the journal
// alone, without the masters' names.
struct Summary {
    qint64 rows = 0;
    Totals totals;
};
// Kept per statement while the books stay as they were, so the window opened again or
// refreshed on the same list does not count the journal again.
[[nodiscard]] Summary summary(const QString& folder, const JournalListSql& statement);

// What this program's connection has written to the books and whether another connection
// has written since: equal values mean no row can have changed.
struct BooksState {
    qint64 ownChanges = -1;
    qint64 dataVersion = -1;
    bool operator==(const BooksState&) const = default;
};
[[nodiscard]] BooksState booksState(const QString& folder);

// "  借方 : ￥12,000,  貸方 : ￥12,000".
[[nodiscard]] QString totalsText(const Totals& totals);

// One journal row as a question about it names it, so that the user knows which row is meant.
struct EntryFacts {
    std::optional<qint64> id;  // none for a row not yet posted
    QDate day;
    QString debitCode;
    QString debitName;
    QString creditCode;
    QString creditName;
    std::optional<Money> debit;
    std::optional<Money> credit;
};
// "NO.9 2026/01/15 借方 5111 消耗品費 / 貸方 1111 現金 8,800円"; each side's amount when they
// differ, and what is missing left out.
[[nodiscard]] QString entryText(const EntryFacts& entry);
// The account's name in the account master; empty for a code it lacks.
[[nodiscard]] QString accountName(const QString& folder, const QString& code);
// The date of the row entered last (the highest number), if it has one.
[[nodiscard]] std::optional<QDate> lastEnteredDate(const QString& folder);

} // namespace journallist
} // namespace tolva
