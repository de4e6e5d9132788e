#pragma once

#include <QString>

#include <functional>
#include <initializer_list>

class QWidget;

namespace tolva {

class Dataset;

// The question a window asks before it closes while one of its records is still being edited.
inline const QString kSaveQuestion = QStringLiteral("保存しますか？");

// Whether `datasets` hold a record the user changed and did not save: a dataset in edit or
// insert mode with a changed field, or with text typed into one of the window's boxes bound
// to it. A record put into edit mode and left untouched is not a change.
[[nodiscard]] bool holdsUnsavedRecord(const QWidget& window, std::initializer_list<Dataset*> datasets);

// What a window runs before it closes: with no unsaved record it may close. Otherwise it asks
// "保存しますか？": はい runs `save` (the window's own post, with its checks) and closes only when
// every record was stored; いいえ throws the changes away and closes; キャンセル stays.
// Returns true when the window may close.
[[nodiscard]] bool mayClose(QWidget& window, std::initializer_list<Dataset*> datasets, const std::function<void()>& save);

} // namespace tolva
