#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QWidget;
class QPagedPaintDevice;
class QPrinter;

namespace tolva {

// Told the pages drawn so far and their number as a report is drawn; answers false to stop.
using ReportProgress = std::function<bool(int pagesDone, int pageCount)>;
// Draws the pages of a report onto a paint device (a printer or a PDF writer), telling
// `progress` (which may be empty) page by page. Returns the number of pages drawn, or -1 when
// progress stopped it.
using ReportPainter = std::function<int(QPagedPaintDevice& device, const ReportProgress& progress)>;

// Everything a window asks of the user or of the desktop goes through this one interface:
// message boxes, Yes/No questions, the file-save dialog, the clipboard, the web browser and
// the report preview. The program uses the desktop implementation; tests install a scripted
// one, so nothing ever blocks offscreen.
class Prompter {
public:
    virtual ~Prompter() = default;

    // A plain message with an OK button.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // An error of the store or of a file, with an OK button. The detail, when given, is
    // technical text (SQLite's own words) kept out of the message and shown on request.
    virtual void error(QWidget* parent, const QString& text, const QString& detail = QString()) = 0;
    // How a question looks: a plain question, or a warning before a command that replaces
    // stored figures or opens a window of the year's results.
    enum class QuestionKind { Question, Warning };
    // A question with Yes and No; true only for Yes.
    virtual bool confirm(QWidget* parent, const QString& text, QuestionKind kind = QuestionKind::Question) = 0;
    // A question with はい, いいえ and キャンセル, as before closing a window whose record is
    // still being edited: save, throw away, or stay. Closing the box counts as キャンセル.
    enum class Answer { Yes, No, Cancel };
    virtual Answer ask(QWidget* parent, const QString& text) = 0;
    // The file-save dialog; no value when the user cancels.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                                const QString& proposedName, const QString& filter) = 0;
    virtual void setClipboardText(const QString& text) = 0;
    [[nodiscard]] virtual QString clipboardText() = 0;
    // Opens a page in the default browser; false when no browser could be started.
    virtual bool openUrl(const QUrl& url) = 0;
    // Shows a report's pages in a modal, maximised preview at 100 % from which the user
    // prints or saves a PDF; returns when the preview is closed. While the pages are drawn the
    // "Report Status" window tells how far it got and offers 中止, which closes the preview
    // (or drops the print). A report saved as a PDF is proposed as `pdfPath` (named by what it
    // holds and its period, in the user's documents folder) when given.
    virtual void previewReport(QWidget* parent, const QString& title, const ReportPainter& painter,
                               const QString& pdfPath = QString()) = 0;
};

// What the preview's print button runs: the pages onto the printer, and when the printer writes
// a file (a PDF), that file through the one output routine, so that it is refused before
// anything is written where the books keep their files. A run that progress stopped leaves no
// file. Throws StoreError.
void printReport(QPrinter& printer, const ReportPainter& painter, const ReportProgress& progress = {});

// The prompter in use. The desktop one unless a test installed another.
Prompter& prompter();
// Installs `replacement` (not owned); nullptr restores the desktop prompter.
void setPrompter(Prompter* replacement);

// The program is ending on a signal (a log-out, a shutdown): from now on the desktop prompter
// shows nothing and answers every question with No, so that no dialog holds the exit up.
void stopPrompting();

} // namespace tolva
