#pragma once

#include "masters/masterchecks.h"

#include <QString>

#include <functional>

class QAction;
class QLabel;
class QListWidget;
class QMenuBar;
class QWidget;

namespace tolva {

class DbLookupCombo;
class DbNavigator;
class Query;
class Table;

// What the master windows share: their code lists and how their checks stop an action.
namespace masters {

// Fills a list box with one "code name" item per row of the query, from the row's first two
// fields; no item is selected afterwards.
void fillCodeList(QListWidget* list, Query& query);
// The code of an item: its first `length` characters; empty for no item.
[[nodiscard]] QString codeOfItem(const QListWidget* list, int row, int length);

// The code chosen in a drop-down, empty when none is.
[[nodiscard]] QString chosenCode(const DbLookupCombo* box);

// Shows the message in a plain message box and stops the action: the row stays as it is.
[[noreturn]] void refuse(QWidget* parent, const QString& message);

// The row the table's current record was read from; 0 for a record being inserted.
[[nodiscard]] qint64 storedRowId(const Table& table);

// The post button: the window's own checks of its boxes, then what the books say.
void checkPostButton(QWidget* parent, Table& table, Master master, const Entry& entry);
// The delete button: a row that the books still use stays.
void checkDeleteButton(QWidget* parent, Table& table, Master master);
// Every other way a record is posted (moving off it, a click in a list, the refresh button)
// skips the window's checks but never what the books say: the code's form, a duplicate and
// a used code changed. `master` tells what the table holds now. Dropped with `window`.
void checkEveryPost(QWidget* window, Table& table, std::function<Master()> master);

// The window's menu "ﾍﾙﾌﾟ" with its item "ｻﾎﾟｰﾄｻｲﾄ", running `handler`.
QAction* addHelpMenu(QMenuBar* bar, QWidget* window, const std::function<void()>& handler);

// A caption above a control, in a slightly smaller font.
[[nodiscard]] QLabel* smallCaption(const QString& text, QWidget* parent);

} // namespace masters
} // namespace tolva
