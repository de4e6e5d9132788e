#pragma once

#include <QString>

class QWidget;

namespace tolva {

// The help command every window offers: asks before going to the browser, then opens the
// window's own help page, shipped beside the program in help/<page>.html.
void showHelp(QWidget* parent, const QString& page);

// Where the help pages are: the folder "help" beside the program file.
[[nodiscard]] QString helpFolder();

} // namespace tolva
