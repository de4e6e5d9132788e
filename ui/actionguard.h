#pragma once

#include "db/storeerror.h"

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace tolva {

// Thrown by an action that has told the user why it stops (a check before posting, say):
// guarded() ends the action there without a message of its own.
struct ActionStopped {};

// Runs one user action. An error of the store, of a file or anything else that escapes it is
// shown in a message box and stops the action there; nothing reaches Qt's event loop.
// Returns false when the action failed.
bool guarded(QWidget* parent, const std::function<void()>& action);

} // namespace tolva
