#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QWidget;
class QPageLayout;
class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace tolva {

// Told the pages (or, while a report is laid out, the rows) done so far and their number;
// answers false to stop.
using ReportProgress = std::function<bool(int done, int count)>;

// A report laid out in pages, each of which is drawn alone and in any order: the preview draws
// only the pages in view, a print draws them one after another.
class ReportPages {
public:
    virtual ~ReportPages() = default;
    [[nodiscard]] virtual int pageCount() const = 0;
    // The paper, its orientation and margins.
    [[nodiscard]] virtual QPageLayout pageLayout() const = 0;
    // Draws page `page` (from 0); the painter's origin is the top left corner of the printable
    // area, its device gives the resolution.
    virtual void drawPage(QPainter& painter, int page) const = 0;
    // The pages about to be drawn make one document (a print, a PDF file), told before the
    // first of them; pdfWritten follows when that document was a PDF written to `file`: a
    // chance to add what the PDF writer leaves out.
    virtual void documentStarts() const {}
    virtual void pdfWritten(const QString& file) const { (void)file; }
};

// Lays a report out, telling `progress` the rows measured; nullptr when progress stopped it.
using ReportLayOut = std::function<std::unique_ptr<ReportPages>(const ReportProgress& progress)>;

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
    // Lays a report out and shows its pages in a modal, maximised preview at 100 % from which
    // the user prints or saves a PDF; returns when the preview is closed. While the report is
    // laid out and while pages are printed, the "Report Status" window tells how far it got and
    // offers 中止, which drops the preview (or the print). A report saved as a PDF is proposed
    // as `pdfPath` (named by what it holds and its period, in the user's documents folder)
    // when given.
    virtual void previewReport(QWidget* parent, const QString& title, const ReportLayOut& layOut,
                               const QString& pdfPath = QString()) = 0;
};

// Draws `pages` onto `device` (the pages of `printer`'s range when it is a printer with one),
// telling `progress`; returns the number of pages drawn, or -1 when progress stopped it.
int paintPages(QPagedPaintDevice& device, const ReportPages& pages, const ReportProgress& progress = {});

// What the preview's print commands run: the pages onto the printer, and when the printer
// writes a file (a PDF), that file through the one output routine, so that it is refused before
// anything is written where the books keep their files. A run that progress stopped leaves no
// file. Returns as paintPages. Throws StoreError.
int printReport(QPrinter& printer, const ReportPages& pages, const ReportProgress& progress = {});

// The prompter in use. The desktop one unless a test installed another.
Prompter& prompter();
// Installs `replacement` (not owned); nullptr restores the desktop prompter.
void setPrompter(Prompter* replacement);

// The program is ending on a signal (a log-out, a shutdown): from now on the desktop prompter
// shows nothing and answers every question with No, so that no dialog holds the exit up.
void stopPrompting();

} // namespace tolva
