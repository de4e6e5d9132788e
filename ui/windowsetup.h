#pragma once

#include <QObject>
#include <QRect>

class QWidget;

namespace tolva {

// Fits a window into `available` (a screen's free area): a window larger than it is made
// smaller, never below what its layout needs to stay usable, and moved so that its frame,
// title bar included, lies inside. A window that fits is left as it is.
void fitWindowInto(QWidget& window, const QRect& available);
// The same on the screen the window is on (or the primary screen).
void fitWindowToScreen(QWidget& window);

// What every window gets when it is shown, in one place instead of in each window: it fits
// the screen the first time it is shown (a window laid out for 1,000 pixels of height is
// taller than the screen at a scale of 1.5), and F1 runs its help command (the menu command
// "ｻﾎﾟｰﾄｻｲﾄ" or "サポートサイト") and is shown beside that command.
class WindowSetup : public QObject {
    Q_OBJECT
public:
    explicit WindowSetup(QObject* parent = nullptr);
    // Installs one filter on the application; the program's main does this once.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Gives the window's help command the key F1, when it has one and no key yet.
void bindHelpKey(QWidget& window);

} // namespace tolva
