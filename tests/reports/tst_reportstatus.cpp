#include "reports/reportproject.h"
#include "reports/reportrenderer.h"
#include "ui/prompter.h"
#include "ui/reportstatus.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::reports;

namespace {

// A journal long enough for many pages.
struct LongJournal {
    LongJournal()
    {
        const ReportProject project = readReportProject(QStringLiteral(TOLVA_REPORT_PROJECT));
        layout = *project.find(QStringLiteral("rShiwake"));
        data.headerLines.resize(layout.headerLines.size());
        for (int i = 1; i <= 2000; ++i)
            data.rows.push_back({QDate(2025, 1, 1), QString::number(i), QStringLiteral("現金"), Money::fromYen(i),
                                 QStringLiteral("売上"), Money::fromYen(i), QStringLiteral("摘要")});
    }
    ReportLayout layout;
    ReportData data;
};

// A click as the window system delivers it: queued, handled only when events run.
void postClick(QWidget* widget)
{
    const QPointF centre = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(centre);
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(widget, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

} // namespace

TEST(ReportStatus, ShowsThePagesDoneAndStopsOnItsButton)
{
    ReportStatus status(nullptr);
    EXPECT_TRUE(status.update(0, 3372));
    ASSERT_TRUE(status.isVisible());
    EXPECT_EQ(status.windowTitle(), QStringLiteral("Report Status"));
    auto* pages = status.findChild<QLabel*>(QStringLiteral("pages"));
    ASSERT_NE(pages, nullptr);
    EXPECT_TRUE(pages->text().contains(QStringLiteral("0 / 3372"))) << pages->text().toStdString();
    EXPECT_TRUE(status.update(120, 3372));
    EXPECT_TRUE(pages->text().contains(QStringLiteral("120 / 3372"))) << pages->text().toStdString();

    auto* stop = status.findChild<QPushButton*>(QStringLiteral("stop"));
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->text(), QStringLiteral("中止"));
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_FALSE(status.update(121, 3372));
}

// The click on 中止 is queued while the pages are drawn; the drawing lets events run, sees
// the click and stops well before the last page.
TEST(ReportStatus, AClickQueuedWhileDrawingStopsTheRun)
{
    const LongJournal journal;
    QTemporaryDir dir;
    QPdfWriter writer(dir.filePath(QStringLiteral("journal.pdf")));
    ReportStatus status(nullptr);
    int lastPage = 0;
    int pageCount = 0;
    const int drawn = paintReport(journal.layout, journal.data, writer, [&](int done, int count) {
        if (done == 1)
            postClick(status.findChild<QPushButton*>(QStringLiteral("stop")));
        lastPage = done;
        pageCount = count;
        return status.update(done, count);
    });
    EXPECT_EQ(drawn, -1);
    EXPECT_GT(pageCount, 40);
    EXPECT_LT(lastPage, pageCount) << "stopped before the end";
}

// A print to a file that is stopped leaves no file, not a part of a book.
TEST(ReportStatus, AStoppedPrintLeavesNoFile)
{
    const LongJournal journal;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("仕訳帳.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    const std::optional<LaidOutReport> pages = LaidOutReport::layOut(journal.layout, journal.data);
    ASSERT_TRUE(pages);
    struct Pages final : ReportPages {
        explicit Pages(const LaidOutReport& laidOut) : laidOut(laidOut) {}
        int pageCount() const override { return laidOut.pageCount(); }
        QPageLayout pageLayout() const override { return laidOut.pageLayout(); }
        void drawPage(QPainter& painter, int page) const override { laidOut.drawPage(painter, page); }
        const LaidOutReport& laidOut;
    } report(*pages);
    EXPECT_EQ(printReport(printer, report, [](int done, int) { return done < 3; }), -1);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(printReport(printer, report, [](int, int) { return true; }), pages->pageCount());
    EXPECT_TRUE(QFileInfo::exists(file));
}
