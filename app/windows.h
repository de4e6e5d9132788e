#pragma once

namespace tolva {

// Registers with the main window every window that has been built, so that its button and
// menu item open it. Called once at start-up (and by tests that drive the main window).
void registerWindows();

} // namespace tolva
