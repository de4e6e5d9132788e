#pragma once

#include "ui/help.h"

#include <QTextBrowser>
#include <QWidget>

namespace tolva::testing {

// The file of the page the help window beside `window` shows; empty when none is open.
inline QString shownHelpPage(const QWidget* window)
{
    const auto* help = window ? window->window()->findChild<HelpWindow*>() : nullptr;
    return help && help->isVisible() ? help->browser()->source().toLocalFile() : QString();
}

} // namespace tolva::testing
