#include "ui/help.h"

#include "db/storeerror.h"
#include "ui/prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace tolva {

namespace {

const QString kMainPage = QStringLiteral("TMenu");

QString pagePath(const QString& page)
{
    return QDir(helpFolder()).filePath(page + QStringLiteral(".html"));
}

} // namespace

QString helpFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help"));
}

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ヘルプ"));
    // Beside the window it explains, not in front of it: the user reads and works together.
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* tools = new QToolBar(this);
    back_ = tools->addAction(QStringLiteral("← 戻る"));
    back_->setShortcut(QKeySequence::Back);
    back_->setToolTip(QStringLiteral("前のページ (%1)").arg(QKeySequence(QKeySequence::Back).toString(QKeySequence::NativeText)));
    forward_ = tools->addAction(QStringLiteral("進む →"));
    forward_->setShortcut(QKeySequence::Forward);
    forward_->setToolTip(QStringLiteral("次のページ (%1)").arg(QKeySequence(QKeySequence::Forward).toString(QKeySequence::NativeText)));
    QAction* home = tools->addAction(QStringLiteral("メイン画面のヘルプ"));
    QAction* close = tools->addAction(QStringLiteral("閉じる"));
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    layout->addWidget(tools);

    browser_ = new QTextBrowser(this);
    browser_->setSearchPaths({helpFolder()});
    // Links are followed here: pages of the program in this window, anything else (an
    // address on the web) only through the desktop, never silently.
    browser_->setOpenLinks(false);
    layout->addWidget(browser_);

    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
    connect(home, &QAction::triggered, this, [this] { showPage(kMainPage); });
    connect(close, &QAction::triggered, this, &QDialog::close);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::follow);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = browser_->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("ヘルプ") : title);
    });
    resize(640, 600);
}

void HelpWindow::showPage(const QString& page)
{
    const QString path = pagePath(page);
    if (!QFileInfo::exists(path))
        throw StoreError(QStringLiteral("ヘルプページ「%1」が見つかりません。").arg(QDir::toNativeSeparators(path)));
    browser_->setSource(QUrl::fromLocalFile(path));
}

void HelpWindow::follow(const QUrl& url)
{
    const QUrl target = browser_->source().resolved(url);
    if (target.isLocalFile() || target.scheme().isEmpty()) {
        if (!target.fragment().isEmpty() && target.adjusted(QUrl::RemoveFragment) == browser_->source().adjusted(QUrl::RemoveFragment)) {
            browser_->scrollToAnchor(target.fragment());
            return;
        }
        if (!QFileInfo::exists(target.toLocalFile())) {
            prompter().information(this, QStringLiteral("ヘルプページ「%1」が見つかりません。")
                                             .arg(QDir::toNativeSeparators(target.toLocalFile())));
            return;
        }
        browser_->setSource(target);
        return;
    }
    if (!prompter().openUrl(target))
        prompter().information(this, QStringLiteral("「%1」を開くブラウザが見つかりませんでした。").arg(target.toString()));
}

HelpWindow* showHelp(QWidget* parent, const QString& page)
{
    QWidget* owner = parent ? parent->window() : nullptr;
    // One help window per window: asking again shows the new page in it.
    HelpWindow* window = owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window) {
        window = new HelpWindow(owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->showPage(page);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace tolva
