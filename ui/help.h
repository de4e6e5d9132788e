#pragma once

#include <QDialog>
#include <QString>

class QAction;
class QTextBrowser;
class QUrl;

namespace tolva {

// The program's own window of help pages: a text browser over the pages shipped beside the
// program, following the links between them, with back, forward and the main page. No
// browser and no network are needed: the pages are files of the program.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows help/<page>.html; throws StoreError naming the file when it is missing.
    void showPage(const QString& page);

    [[nodiscard]] QTextBrowser* browser() const { return browser_; }
    [[nodiscard]] QAction* backAction() const { return back_; }
    [[nodiscard]] QAction* forwardAction() const { return forward_; }

private:
    void follow(const QUrl& url);
    QTextBrowser* browser_;
    QAction* back_;
    QAction* forward_;
};

// The help command every window offers (its menu and F1): the window's own page in the help
// window, which stays beside the window that asked until either is closed. Throws StoreError
// when the page is missing.
HelpWindow* showHelp(QWidget* parent, const QString& page);

// Where the help pages are: the folder "help" beside the program file.
[[nodiscard]] QString helpFolder();

} // namespace tolva
