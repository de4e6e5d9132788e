#pragma once

#include "db/money.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolva {

class Database;

enum class AggregateView {
    Accounts,     // "科目": 7 columns
    SubAccounts,  // "細目": 13 columns, each amount as an account column and a sub-account column
};

// A line of the view below its two heading rows. `cells` holds every column as the screen
// shows it; the amounts are kept exact beside them for the report work tables and the tests.
struct AggregateLine {
    enum class Kind { Account, SubAccount, Other /* "その他" */, Totals };
    Kind kind = Kind::Account;
    QString code;                               // the account's or sub-account's code; empty on "その他" and "計"
    std::vector<std::optional<Money>> amounts;  // one per column; no value: not an amount or not shown
    QStringList cells;                          // one per column
};

// The figures of a view of the last period aggregation: what the window, the report work
// tables and the comma-separated file each render.
struct AggregateGrid {
    std::optional<AggregateView> view;  // none: nothing shown yet (the window's first grid)
    std::vector<AggregateLine> lines;   // data lines, then the totals line "計"

    [[nodiscard]] int columnCount() const;
};

inline constexpr int kAggregateHeadingRows = 2;
[[nodiscard]] int aggregateColumnCount(AggregateView view);
// The columns a grid has before its first view: no view, empty rows of 6 cells.
inline constexpr int kUnfilledColumns = 6;
inline constexpr int kUnfilledRows = 3;

// The view of the stored Sum01 (and Sum02) rows:
//  - accounts of Sum01 whose account and category exist, in code order, but "2111" (the
//    counter-account of the opening rows) and those without a debit or credit total;
//  - the account view: number, code, name, L and R where not 0, the balance L − R or R − L
//    on the side of its sign; the sub-account view the same (an account is listed when a
//    total is above 0, and its lines add up to the totals line like the account view's), then the
//    account's sub-accounts of Sum02 in code order (those with a total) and a line "その他"
//    for what the account holds beyond them;
//  - the totals line "計" of the account lines, every total written even when 0.
// Only the ordinary totals (Lgaku, Rgaku) are shown; the closing adjustments are not.
[[nodiscard]] AggregateGrid readAggregateGrid(Database& db, AggregateView view);

// The heading rows of a view as the file writes them: the group titles (row 0) and the
// column titles (row 1), one entry per column.
[[nodiscard]] QStringList aggregateGroupTitles(AggregateView view);
[[nodiscard]] QStringList aggregateColumnTitles(AggregateView view);
// Every row of the grid from the group titles to the totals; the first grid's empty rows.
[[nodiscard]] QList<QStringList> aggregateGridRows(const AggregateGrid& grid);

// The code of the account the views leave out.
inline constexpr const char* kLeftOutAccount = "2111";

} // namespace tolva
