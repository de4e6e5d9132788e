#include "ui/reportpreview.h"

#include "db/outputfile.h"
#include "db/storeerror.h"
#include "ui/prompter.h"
#include "ui/reportstatus.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <list>
#include <functional>

namespace tolva {

namespace {

constexpr int kGapPx = 12;        // between the pages and around them
constexpr std::size_t kKeptPages = 8;  // a maximised window shows at most a few at once
constexpr double kSmallestZoom = 0.25;
constexpr double kLargestZoom = 4.0;

const QList<double> kZoomSteps = {0.5, 0.75, 1.0, 1.25, 1.5, 2.0};
enum class Fit { None, Width, Page };

} // namespace

// The pages one below the other on a grey ground; draws a page when it comes into view and
// keeps the last few drawn.
class PageView final : public QAbstractScrollArea {
public:
    PageView(const ReportPages& pages, QWidget* parent) : QAbstractScrollArea(parent), pages_(pages)
    {
        const QPageLayout layout = pages.pageLayout();
        paperMm_ = layout.fullRect(QPageLayout::Millimeter).size();
        marginsMm_ = layout.margins(QPageLayout::Millimeter);
        verticalScrollBar()->setSingleStep(40);
        horizontalScrollBar()->setSingleStep(40);
        viewport()->setAutoFillBackground(false);
        setFocusPolicy(Qt::StrongFocus);
    }

    std::function<void()> onScrolled;

    [[nodiscard]] double zoom() const { return zoom_; }
    void setZoom(double zoom, Fit fit)
    {
        fit_ = fit;
        const int page = currentPage();
        const double wanted = std::clamp(fit == Fit::None ? zoom : fittingZoom(), kSmallestZoom, kLargestZoom);
        if (std::abs(wanted - zoom_) > 1e-9) {
            zoom_ = wanted;
            kept_.clear();
        }
        updateScrollBars();
        showPage(page);
        viewport()->update();
    }

    [[nodiscard]] int currentPage() const
    {
        if (pages_.pageCount() == 0)
            return 0;
        return std::clamp((verticalScrollBar()->value() + pitch() / 2) / pitch(), 0, pages_.pageCount() - 1);
    }

    void showPage(int page)
    {
        page = std::clamp(page, 0, std::max(0, pages_.pageCount() - 1));
        verticalScrollBar()->setValue(page * pitch());
        viewport()->update();
    }

    [[nodiscard]] int keptPages() const { return int(kept_.size()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), QColor(128, 128, 128));
        const QSize size = pageSize();
        const int top = verticalScrollBar()->value();
        const int contentWidth = size.width() + 2 * kGapPx;
        const int left = (contentWidth <= viewport()->width() ? (viewport()->width() - size.width()) / 2 : kGapPx)
                         - horizontalScrollBar()->value();
        for (int page = std::max(0, (top - kGapPx) / pitch()); page < pages_.pageCount(); ++page) {
            const int y = kGapPx + page * pitch() - top;
            if (y >= viewport()->height())
                break;
            if (y + size.height() <= 0)
                continue;
            painter.drawImage(QPoint(left, y), image(page));
            painter.setPen(QColor(64, 64, 64));
            painter.drawRect(QRect(QPoint(left - 1, y - 1), size + QSize(1, 1)));
        }
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QAbstractScrollArea::resizeEvent(event);
        if (fit_ != Fit::None)
            setZoom(zoom_, fit_);
        else
            updateScrollBars();
    }

    void scrollContentsBy(int, int) override
    {
        viewport()->update();
        if (onScrolled)
            onScrolled();
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Home) {
            showPage(0);
            return;
        }
        if (event->key() == Qt::Key_End) {
            showPage(pages_.pageCount() - 1);
            return;
        }
        QAbstractScrollArea::keyPressEvent(event);
    }

private:
    [[nodiscard]] double pixelsPerMm(double zoom) const { return logicalDpiX() / 25.4 * zoom; }
    [[nodiscard]] QSize pageSize() const
    {
        return {int(std::lround(paperMm_.width() * pixelsPerMm(zoom_))),
                int(std::lround(paperMm_.height() * pixelsPerMm(zoom_)))};
    }
    [[nodiscard]] int pitch() const { return std::max(1, pageSize().height() + kGapPx); }

    [[nodiscard]] double fittingZoom() const
    {
        const double byWidth = (viewport()->width() - 2.0 * kGapPx) / (paperMm_.width() * pixelsPerMm(1.0));
        if (fit_ == Fit::Width)
            return byWidth;
        const double byHeight = (viewport()->height() - 2.0 * kGapPx) / (paperMm_.height() * pixelsPerMm(1.0));
        return std::min(byWidth, byHeight);
    }

    void updateScrollBars()
    {
        const QSize size = pageSize();
        const int height = kGapPx + pages_.pageCount() * pitch();
        verticalScrollBar()->setPageStep(viewport()->height());
        verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
        horizontalScrollBar()->setPageStep(viewport()->width());
        horizontalScrollBar()->setRange(0, std::max(0, size.width() + 2 * kGapPx - viewport()->width()));
    }

    // The page drawn at the screen's resolution and the zoom: the last few are kept, so that
    // scrolling back and forth does not draw them again, and no more.
    const QImage& image(int page)
    {
        for (auto it = kept_.begin(); it != kept_.end(); ++it)
            if (it->first == page) {
                if (it != kept_.begin())
                    kept_.splice(kept_.begin(), kept_, it);
                return kept_.front().second;
            }
        const double ratio = devicePixelRatioF();
        const QSize size = pageSize();
        QImage image(int(std::lround(size.width() * ratio)), int(std::lround(size.height() * ratio)), QImage::Format_RGB32);
        image.fill(Qt::white);
        const double dotsPerMm = image.width() / paperMm_.width();
        image.setDotsPerMeterX(int(std::lround(dotsPerMm * 1000)));
        image.setDotsPerMeterY(int(std::lround(dotsPerMm * 1000)));
        {
            QPainter painter(&image);
            painter.translate(marginsMm_.left() * dotsPerMm, marginsMm_.top() * dotsPerMm);
            pages_.drawPage(painter, page);
        }
        image.setDevicePixelRatio(ratio);
        kept_.emplace_front(page, std::move(image));
        if (kept_.size() > kKeptPages)
            kept_.pop_back();
        return kept_.front().second;
    }

    const ReportPages& pages_;
    QSizeF paperMm_;
    QMarginsF marginsMm_;
    double zoom_ = 1.0;
    Fit fit_ = Fit::None;
    std::list<std::pair<int, QImage>> kept_;  // the most recently shown first
};

ReportPreview::ReportPreview(const ReportPages& pages, const QString& title, QWidget* parent, const QString& pdfPath)
    : QDialog(parent), pages_(pages), title_(title),
      pdfPath_(pdfPath.isEmpty() ? outputfile::defaultOutputPath({title}, QStringLiteral("pdf")) : pdfPath),
      view_(new PageView(pages, this)), page_(new QSpinBox(this)),
      pageCount_(new QLabel(this)), zoom_(new QComboBox(this))
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("ﾚﾎﾟｰﾄﾌﾟﾚﾋﾞｭｰ"));
    view_->setObjectName(QStringLiteral("pages"));
    const int count = pages.pageCount();

    auto* tools = new QToolBar(this);
    QAction* print = tools->addAction(QStringLiteral("印刷..."), this, &ReportPreview::print);
    print->setShortcut(QKeySequence::Print);
    print->setToolTip(QStringLiteral("印刷 (%1)").arg(print->shortcut().toString(QKeySequence::NativeText)));
    print->setObjectName(QStringLiteral("print"));
    QAction* pdf = tools->addAction(QStringLiteral("PDF保存..."), this, &ReportPreview::savePdf);
    pdf->setObjectName(QStringLiteral("savePdf"));
    tools->addSeparator();
    tools->addAction(QStringLiteral("先頭"), this, [this] { showPage(0); })->setObjectName(QStringLiteral("firstPage"));
    tools->addAction(QStringLiteral("前頁"), this, [this] { showPage(currentPage() - 1); })->setObjectName(QStringLiteral("previousPage"));
    page_->setObjectName(QStringLiteral("page"));
    page_->setRange(1, std::max(1, count));
    page_->setKeyboardTracking(false);
    page_->setAlignment(Qt::AlignRight);
    tools->addWidget(page_);
    pageCount_->setText(QStringLiteral(" / %1 ").arg(count));
    tools->addWidget(pageCount_);
    tools->addAction(QStringLiteral("次頁"), this, [this] { showPage(currentPage() + 1); })->setObjectName(QStringLiteral("nextPage"));
    tools->addAction(QStringLiteral("最終"), this, [this, count] { showPage(count - 1); })->setObjectName(QStringLiteral("lastPage"));
    tools->addSeparator();
    zoom_->setObjectName(QStringLiteral("zoom"));
    for (double step : kZoomSteps)
        zoom_->addItem(QStringLiteral("%1%").arg(int(std::lround(step * 100))), step);
    zoom_->addItem(QStringLiteral("ページ幅"), -1.0);
    zoom_->addItem(QStringLiteral("ページ全体"), -2.0);
    zoom_->setCurrentIndex(int(kZoomSteps.indexOf(1.0)));
    tools->addWidget(zoom_);
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tools->addWidget(spacer);
    tools->addAction(QStringLiteral("閉じる"), this, &QDialog::reject)->setObjectName(QStringLiteral("close"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(view_, 1);

    connect(page_, &QSpinBox::valueChanged, this, [this](int page) {
        if (page - 1 != currentPage())
            showPage(page - 1);
    });
    connect(zoom_, &QComboBox::activated, this, [this](int index) {
        const double value = zoom_->itemData(index).toDouble();
        view_->setZoom(value, value == -1.0 ? Fit::Width : value == -2.0 ? Fit::Page : Fit::None);
    });
    view_->onScrolled = [this] { followView(); };

    // Maximised; sized to the screen as well, for desktops whose window manager ignores the
    // request.
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    view_->setFocus();
}

ReportPreview::~ReportPreview() = default;

int ReportPreview::currentPage() const
{
    return view_->currentPage();
}

void ReportPreview::showPage(int page)
{
    view_->showPage(page);
    followView();
}

double ReportPreview::zoom() const
{
    return view_->zoom();
}

void ReportPreview::setZoom(double zoom)
{
    view_->setZoom(zoom, Fit::None);
}

int ReportPreview::keptPages() const
{
    return view_->keptPages();
}

void ReportPreview::followView()
{
    const QSignalBlocker quiet(page_);
    page_->setValue(currentPage() + 1);
}

void ReportPreview::print()
{
    QPrinter printer(QPrinter::HighResolution);
    // The print dialog proposes a file named after the document; with no printer at all the
    // file is the only destination, proposed where the user keeps documents.
    printer.setDocName(QFileInfo(pdfPath_).completeBaseName());
    if (printer.outputFormat() == QPrinter::PdfFormat)
        printer.setOutputFileName(pdfPath_);
    printer.setPageLayout(pages_.pageLayout());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, std::max(1, pages_.pageCount()));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ReportStatus status(this);
    try {
        printReport(printer, pages_, [&status](int done, int count) { return status.update(done, count); });
    } catch (const StoreError& e) {
        status.hide();
        prompter().error(this, e.message(), e.detail());
    }
}

void ReportPreview::savePdf()
{
    const QFileInfo proposed(pdfPath_);
    const std::optional<QString> file = prompter().saveFileName(this, QStringLiteral("PDFファイルに保存"), proposed.path(),
                                                                proposed.fileName(), QStringLiteral("PDF (*.pdf)"));
    if (!file)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*file);
    printer.setDocName(title_);
    printer.setPageLayout(pages_.pageLayout());
    ReportStatus status(this);
    try {
        printReport(printer, pages_, [&status](int done, int count) { return status.update(done, count); });
    } catch (const StoreError& e) {
        status.hide();
        prompter().error(this, e.message(), e.detail());
    }
}

} // namespace tolva
