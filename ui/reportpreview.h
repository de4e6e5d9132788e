#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QSpinBox;

namespace tolva {

class ReportPages;
class PageView;

// The report preview: the pages one below the other, at 100 % to begin with, with page
// navigation, zoom, 印刷 and PDF保存. Only the pages in view are drawn, and only the last few
// drawn are kept as images, so that a book of thousands of pages takes no more memory than a
// page of it (a print preview that records every page first took hundreds of megabytes).
class ReportPreview final : public QDialog {
public:
    // `pages` must outlive the preview. A PDF is proposed as `pdfPath` when given, otherwise as
    // the title in the user's documents folder.
    ReportPreview(const ReportPages& pages, const QString& title, QWidget* parent, const QString& pdfPath = QString());
    ~ReportPreview() override;

    // The page at the top of the view, from 0.
    [[nodiscard]] int currentPage() const;
    void showPage(int page);
    // 1.0 is the paper's real size on the screen.
    [[nodiscard]] double zoom() const;
    void setZoom(double zoom);
    // How many pages are kept drawn at this moment (bounded whatever the report's length).
    [[nodiscard]] int keptPages() const;

private:
    void print();
    void savePdf();
    void followView();

    const ReportPages& pages_;
    QString title_;
    QString pdfPath_;
    PageView* view_;
    QSpinBox* page_;
    QLabel* pageCount_;
    QComboBox* zoom_;
};

} // namespace tolva
