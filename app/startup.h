#pragma once

#include "db/datafolder.h"

#include <QString>

#include <memory>

class QApplication;
class QCoreApplication;
class QProgressDialog;

namespace tolva {

class Tdm01Keiri;
class Tdm02Repo;

namespace startup {

// Japanese conventions whatever the machine's locale: Qt's own Japanese texts for standard
// buttons and dialogs, the Japanese locale for numbers and dates, and a Japanese CJK font.
void applyJapaneseConventions(QApplication& app);

// A notice shown while opening does something long (the whole file read after an unclean end,
// the books brought to a new layout): the program is busy, not hung.
class BusyNotice final : public OpeningObserver {
public:
    BusyNotice();
    ~BusyNotice() override;
    void show(const QString& text);
    void hide();
    void wholeFileCheckStarted(const QString& path) override;
    void stillChecking() override;
    void wholeFileCheckEnded() override;
    void upgrading(int percent) override;
    // What the notice shows now; nothing when it is not shown.
    [[nodiscard]] QString text() const;
    [[nodiscard]] int percent() const;

private:
    void keepPainted();

    std::unique_ptr<QProgressDialog> dialog_;
};

// Makes the data folder ready for this program: lays it out from the template when it is
// missing or empty and the user agrees, takes the folder's lock against a second program, and
// checks the books (with a notice while they take long). Tells the user what is wrong and returns nothing when the program cannot
// go on. Books that cannot be written (a read-only medium, a folder this user may not write)
// are opened for reading, without a lock file, and programState().readOnly says so.
[[nodiscard]] std::unique_ptr<datafolder::Lock> openBooks(const QString& folder,
                                                          const QString& templateDir = datafolder::templateFolder());

// While `lock` holds the books, a process that ends through exit() without returning from
// main (Qt does so when the connection to the display breaks) closes them as a normal exit
// does: the databases with their logs folded in, then the lock. nullptr forgets the lock
// again, before it goes out of scope.
void closeBooksOnExit(std::unique_ptr<datafolder::Lock>* lock);

// The folder that a command-line option names, made absolute. An empty name is refused with a
// StoreError: it would mean the current folder, where nobody means to keep books.
[[nodiscard]] QString folderFromOption(const QString& option, const QString& value);

// Ends the program cleanly on SIGTERM, SIGHUP and SIGINT (a log-out, a shutdown, Ctrl+C): the
// signal leaves every event loop, modal ones too, and no further dialog is shown, so that the
// caller of QApplication::exec() closes the books and releases the folder as on a normal exit.
void quitOnTerminationSignals(QCoreApplication& app);
// True once such a signal has been handled; QApplication::exec() is then not to be entered.
[[nodiscard]] bool terminationRequested();

// The report module, pointed at the report project of the data folder.
[[nodiscard]] std::unique_ptr<Tdm02Repo> createReportModule(Tdm01Keiri& dm, const QString& dataFolder);

} // namespace startup
} // namespace tolva
