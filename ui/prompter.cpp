#include "ui/prompter.h"

#include "db/outputfile.h"
#include "db/storeerror.h"
#include "ui/messagelines.h"
#include "ui/reportstatus.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPaintEngine>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace tolva {

namespace {

bool stopped = false;

// The title of every message box. Windows carry their own captions alone; the program's name
// is said here, where a message may stand in front of any of them.
const QString kMessageTitle = QStringLiteral("Tolva2");

// The text of a message box, broken where its sentences end and in a box wide enough for its
// longest sentence: a message box wraps its text at about half the screen (500 px at most),
// anywhere in a Japanese sentence, and never grows wider than the screen less 480 px (1000 px
// at most). The icon and the margins take the rest of the box.
void setMessageText(QMessageBox& box, const QString& text)
{
    const QScreen* screen = box.parentWidget() ? box.parentWidget()->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
    const int besideText = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box) + 100;
    const int usual = qMin(screenWidth / 2, 500) - besideText;
    const int widest = (screenWidth <= 1024 ? screenWidth : qMin(screenWidth - 480, 1000)) - besideText;
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const MessageLines lines = messageLines(text, QFontMetrics(label ? label->font() : box.font()), usual, widest);
    box.setTextFormat(Qt::PlainText);
    box.setText(lines.text);
    if (label)
        label->setMinimumWidth(qMin(lines.widestLine + 2, widest));
}

class DesktopPrompter final : public Prompter {
public:
    void information(QWidget* parent, const QString& text) override
    {
        if (stopped)
            return;
        QMessageBox box(QMessageBox::Information, kMessageTitle, QString(), QMessageBox::Ok, parent);
        setMessageText(box, text);
        box.exec();
    }

    void error(QWidget* parent, const QString& text, const QString& detail) override
    {
        if (stopped)
            return;
        QMessageBox box(QMessageBox::Critical, kMessageTitle, QString(), QMessageBox::Ok, parent);
        setMessageText(box, text);
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }

    bool confirm(QWidget* parent, const QString& text, QuestionKind kind) override
    {
        if (stopped)
            return false;
        QMessageBox box(kind == QuestionKind::Warning ? QMessageBox::Warning : QMessageBox::Question, kMessageTitle, QString(),
                        QMessageBox::Yes | QMessageBox::No, parent);
        setMessageText(box, text);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    Answer ask(QWidget* parent, const QString& text) override
    {
        // Ending on a signal: what was typed is thrown away, as when a window closes on exit.
        if (stopped)
            return Answer::No;
        QMessageBox box(QMessageBox::Question, kMessageTitle, QString(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                        parent);
        setMessageText(box, text);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return Answer::Cancel;
        }
    }

    std::optional<QString> saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                        const QString& proposedName, const QString& filter) override
    {
        if (stopped)
            return std::nullopt;
        const QString name = QFileDialog::getSaveFileName(parent, caption, QDir(folder).filePath(proposedName), filter);
        if (name.isEmpty())
            return std::nullopt;
        return name;
    }

    void setClipboardText(const QString& text) override { QApplication::clipboard()->setText(text); }
    QString clipboardText() override { return QApplication::clipboard()->text(); }

    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }

    void previewReport(QWidget* parent, const QString& title, const ReportPainter& painter, const QString& pdfPath) override
    {
        if (stopped)
            return;
        showPreview(parent, title, painter, pdfPath);
        // The preview keeps every page as a picture of small pieces; once it is gone, the
        // memory they took goes back to the system instead of staying with the program.
#if __has_include(<malloc.h>)
        malloc_trim(0);
#endif
    }

private:
    static void showPreview(QWidget* parent, const QString& title, const ReportPainter& painter, const QString& pdfPath)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setDocName(title);
        if (!pdfPath.isEmpty()) {
            // The print dialog proposes a file named after the document; with no printer at all
            // the file is the only destination, proposed where the user keeps documents
            // rather than as "<report>.pdf" in the home folder.
            printer.setDocName(QFileInfo(pdfPath).completeBaseName());
            if (printer.outputFormat() == QPrinter::PdfFormat)
                printer.setOutputFileName(pdfPath);
        }
        QPrintPreviewDialog preview(&printer, parent);
        preview.setWindowTitle(QStringLiteral("ﾚﾎﾟｰﾄﾌﾟﾚﾋﾞｭｰ"));
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&painter, &preview](QPrinter* target) {
            ReportStatus status(&preview);
            const ReportProgress progress = [&status](int done, int count) { return status.update(done, count); };
            // The preview draws onto a picture of its own; only a real print may write a file.
            if (target->paintEngine() && target->paintEngine()->type() == QPaintEngine::Picture) {
                // Stopped before the pages were all drawn: a part of a book is not shown.
                if (painter(*target, progress) < 0)
                    QTimer::singleShot(0, &preview, &QDialog::reject);
                return;
            }
            try {
                printReport(*target, painter, progress);
            } catch (const StoreError& e) {
                status.hide();
                prompter().error(&preview, e.message(), e.detail());
            }
        });
        if (auto* widget = preview.findChild<QPrintPreviewWidget*>()) {
            widget->setZoomMode(QPrintPreviewWidget::CustomZoom);
            widget->setZoomFactor(1.0);
        }
        // Maximised; sized to the screen as well, for desktops whose window manager ignores the
        // request.
        if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
            preview.setGeometry(screen->availableGeometry());
        }
        preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
        preview.exec();
    }
};

DesktopPrompter& desktopPrompter()
{
    static DesktopPrompter instance;
    return instance;
}

Prompter* installed = nullptr;

} // namespace

void printReport(QPrinter& printer, const ReportPainter& painter, const ReportProgress& progress)
{
    const QString file = printer.outputFileName();
    if (file.isEmpty()) {
        painter(printer, progress);
        return;
    }
    outputfile::OutputFile out(file);
    printer.setOutputFileName(out.fillPath());
    int pages = 0;
    try {
        pages = painter(printer, progress);
    } catch (...) {
        printer.setOutputFileName(file);
        throw;
    }
    printer.setOutputFileName(file);
    if (pages >= 0)
        out.commit();
}

Prompter& prompter()
{
    return installed ? *installed : desktopPrompter();
}

void setPrompter(Prompter* replacement)
{
    installed = replacement;
}

void stopPrompting()
{
    stopped = true;
}

} // namespace tolva
