#pragma once

#include "ui/prompter.h"

#include <QDir>
#include <QPrinter>
#include <QStringList>

#include <deque>
#include <functional>
#include <stdexcept>

namespace tolva::testing {

// A prompter whose answers are scripted by the test and which records every message.
// Questions without a scripted answer fail the test instead of blocking.
class ScriptedPrompter final : public Prompter {
public:
    ScriptedPrompter() { setPrompter(this); }
    ~ScriptedPrompter() override { setPrompter(nullptr); }

    struct Message {
        enum Kind { Information, Error, Question } kind;
        QString text;
        QString detail;  // of an error
        QuestionKind questionKind = QuestionKind::Question;  // of a question: the icon it is asked with
    };

    std::vector<Message> messages;
    std::deque<bool> answers;                   // for confirm
    std::deque<Answer> choices;                 // for ask (はい / いいえ / キャンセル)
    std::deque<std::optional<QString>> fileNames;  // for saveFileName
    QStringList proposedPaths;                   // the folder and name each file dialog proposed
    QString clipboard;
    std::vector<QUrl> openedUrls;
    QString reportPdfPath;                       // where previewReport renders, if set
    QStringList previewedReports;
    QStringList proposedPdfPaths;                // the PDF proposed for each previewed report
    // Called while a message is open, for a test to look at the window behind it.
    std::function<void(const Message&)> onMessage;
    int pagesRendered = 0;

    void information(QWidget*, const QString& text) override
    {
        messages.push_back({Message::Information, text, {}});
        if (onMessage)
            onMessage(messages.back());
    }
    void error(QWidget*, const QString& text, const QString& detail = QString()) override
    {
        messages.push_back({Message::Error, text, detail});
        if (onMessage)
            onMessage(messages.back());
    }
    bool confirm(QWidget*, const QString& text, QuestionKind kind = QuestionKind::Question) override
    {
        messages.push_back({Message::Question, text, {}, kind});
        if (onMessage)
            onMessage(messages.back());
        if (answers.empty())
            throw std::logic_error("unscripted question: " + text.toStdString());
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    Answer ask(QWidget*, const QString& text) override
    {
        messages.push_back({Message::Question, text, {}});
        if (onMessage)
            onMessage(messages.back());
        if (choices.empty())
            throw std::logic_error("unscripted question: " + text.toStdString());
        const Answer answer = choices.front();
        choices.pop_front();
        return answer;
    }
    std::optional<QString> saveFileName(QWidget*, const QString&, const QString& folder, const QString& proposedName,
                                        const QString&) override
    {
        proposedPaths << QDir(folder).filePath(proposedName);
        if (fileNames.empty())
            throw std::logic_error("unscripted file dialog");
        auto name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
    void setClipboardText(const QString& text) override { clipboard = text; }
    QString clipboardText() override { return clipboard; }
    bool openUrl(const QUrl& url) override
    {
        openedUrls.push_back(url);
        return true;
    }
    void previewReport(QWidget*, const QString& title, const ReportLayOut& layOut, const QString& pdfPath = QString()) override
    {
        previewedReports << title;
        proposedPdfPaths << pdfPath;
        if (reportPdfPath.isEmpty())
            return;
        const std::unique_ptr<ReportPages> pages = layOut({});
        if (!pages)
            return;
        // A printer writing a PDF, as the preview's PDF保存 gives the report.
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(reportPdfPath);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setResolution(300);
        pagesRendered = paintPages(printer, *pages);
        if (pagesRendered >= 0)
            pages->pdfWritten(reportPdfPath);
    }

    [[nodiscard]] QStringList texts(Message::Kind kind) const
    {
        QStringList result;
        for (const auto& m : messages)
            if (m.kind == kind)
                result << m.text;
        return result;
    }
};

} // namespace tolva::testing
