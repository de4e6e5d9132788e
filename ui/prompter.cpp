#include "ui/prompter.h"

#include "db/outputfile.h"
#include "db/storeerror.h"
#include "ui/freedmemory.h"
#include "ui/messagelines.h"
#include "ui/reportpreview.h"
#include "ui/reportstatus.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QStyle>

#include <algorithm>


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

    void previewReport(QWidget* parent, const QString& title, const ReportLayOut& layOut, const QString& pdfPath) override
    {
        if (stopped)
            return;
        {
            std::unique_ptr<ReportPages> pages;
            {
                ReportStatus status(parent);
                pages = layOut([&status](int rows, int count) { return status.updateRows(rows, count); });
            }
            if (!pages)
                return;
            ReportPreview preview(*pages, title, parent, pdfPath);
            preview.exec();
        }
        // A long book's rows and the pages last looked at were freed with the preview: the
        // memory they took goes back to the system instead of staying with the program.
        returnFreedMemory();
    }
};

DesktopPrompter& desktopPrompter()
{
    static DesktopPrompter instance;
    return instance;
}

Prompter* installed = nullptr;

} // namespace

int paintPages(QPagedPaintDevice& device, const ReportPages& pages, const ReportProgress& progress)
{
    int first = 0;
    int last = pages.pageCount() - 1;
    auto* printer = dynamic_cast<QPrinter*>(&device);
    if (printer && printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
        first = std::clamp(printer->fromPage() - 1, 0, std::max(0, last));
        last = std::clamp(printer->toPage() > 0 ? printer->toPage() - 1 : last, first, std::max(0, last));
    }
    const int count = last - first + 1;
    if (count <= 0)
        return 0;
    if (progress && !progress(0, count))
        return -1;
    const QPageLayout layout = pages.pageLayout();
    // A printer may refuse margins below its own; its orientation is still worth having.
    if (!device.setPageLayout(layout))
        device.setPageOrientation(layout.orientation());
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    pages.documentStarts();
    for (int p = first; p <= last; ++p) {
        if (p > first)
            device.newPage();
        pages.drawPage(painter, p);
        if (progress && !progress(p - first + 1, count)) {
            painter.end();
            return -1;
        }
    }
    painter.end();
    return count;
}

int printReport(QPrinter& printer, const ReportPages& pages, const ReportProgress& progress)
{
    const QString file = printer.outputFileName();
    if (file.isEmpty())
        return paintPages(printer, pages, progress);
    outputfile::OutputFile out(file);
    printer.setOutputFileName(out.fillPath());
    int drawn = 0;
    try {
        drawn = paintPages(printer, pages, progress);
        if (drawn >= 0 && printer.outputFormat() == QPrinter::PdfFormat)
            pages.pdfWritten(out.fillPath());
    } catch (...) {
        printer.setOutputFileName(file);
        throw;
    }
    printer.setOutputFileName(file);
    if (drawn >= 0)
        out.commit();
    return drawn;
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
