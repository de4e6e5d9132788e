#include "ui/windowsetup.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace tolva {

namespace {

const char kFitted[] = "tolvaFittedToScreen";

bool isHelpCommand(const QAction* action)
{
    QString text = action->text();
    text.remove(u'&');
    return text == QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ") || text == QStringLiteral("サポートサイト") || text.startsWith(QStringLiteral("サポートサイト("));
}

// The room the window manager's frame takes around the client area: known once the window
// has been on the screen, estimated from the style's title bar before.
QSize frameRoom(const QWidget& window)
{
    const QSize known = window.frameGeometry().size() - window.geometry().size();
    if (window.testAttribute(Qt::WA_WState_Created) && known.height() > 0)
        return known;
    const int titleBar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return {8, titleBar + 8};
}

} // namespace

void fitWindowInto(QWidget& window, const QRect& available)
{
    if (available.isEmpty())
        return;
    const QSize room = available.size() - frameRoom(window);
    QSize size = window.size();
    if (size.width() <= room.width() && size.height() <= room.height())
        return;
    // What the layout needs at least, and no more: the grids and lists give up their rows and
    // show scroll bars, the buttons and boxes keep their size.
    QSize least = window.minimumSizeHint().expandedTo(QSize(1, 1));
    if (QLayout* layout = window.layout())
        least = least.expandedTo(layout->totalMinimumSize());
    const QSize target(qMax(qMin(size.width(), room.width()), qMin(least.width(), room.width())),
                       qMax(qMin(size.height(), room.height()), qMin(least.height(), room.height())));
    // A fixed or minimum size set by the window itself would hold it above the screen.
    if (window.minimumWidth() > target.width() || window.minimumHeight() > target.height())
        window.setMinimumSize(window.minimumSize().boundedTo(target));
    if (window.maximumWidth() < QWIDGETSIZE_MAX || window.maximumHeight() < QWIDGETSIZE_MAX)
        window.setMaximumSize(window.maximumSize().expandedTo(target));
    window.resize(target);
    // Keep it inside the area, its frame with it.
    QRect frame(window.pos(), window.size() + frameRoom(window));
    if (frame.right() > available.right())
        frame.moveRight(available.right());
    if (frame.bottom() > available.bottom())
        frame.moveBottom(available.bottom());
    if (frame.left() < available.left())
        frame.moveLeft(available.left());
    if (frame.top() < available.top())
        frame.moveTop(available.top());
    window.move(frame.topLeft());
}

void fitWindowToScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen && window.parentWidget())
        screen = window.parentWidget()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        fitWindowInto(window, screen->availableGeometry());
}

void bindHelpKey(QWidget& window)
{
    for (QAction* action : window.findChildren<QAction*>()) {
        if (!isHelpCommand(action) || !action->shortcut().isEmpty())
            continue;
        action->setShortcut(QKeySequence::HelpContents);
        action->setShortcutContext(Qt::WindowShortcut);
        return;
    }
}

WindowSetup::WindowSetup(QObject* parent)
    : QObject(parent)
{
}

void WindowSetup::install()
{
    static WindowSetup* setup = nullptr;
    if (!setup) {
        setup = new WindowSetup(qApp);
        qApp->installEventFilter(setup);
    }
}

bool WindowSetup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog)) {
            bindHelpKey(*widget);
            if (!widget->property(kFitted).toBool()) {
                widget->setProperty(kFitted, true);
                fitWindowToScreen(*widget);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tolva
