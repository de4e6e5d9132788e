// A long journal book printed to a PDF as the preview's print button writes it, and looked
// through in the preview: a year of
// 111,248 rows ("rShiwake", the tester's year; TOLVA_BENCH_ROWS=N for another count), made in
// memory so that the run measures the report engine alone. Time, pages, the memory resident
// before and the peak the print adds (from /proc/self/status, the peak reset through
// /proc/self/clear_refs). TOLVA_BENCH_PDF=FILE keeps the PDF there, to look at its pages.
#include "reports/reportproject.h"
#include "reports/reportrenderer.h"
#include "ui/prompter.h"
#include "ui/reportpreview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPageLayout>
#include <QPainter>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace tolva;
using namespace tolva::reports;

namespace {

double statusMiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

int rowCount()
{
    const char* rows = std::getenv("TOLVA_BENCH_ROWS");
    return rows ? std::max(1, std::atoi(rows)) : 111'248;
}

// Household rows: short memos mostly, one in eight too long for its column (set smaller or
// wrapped), six-digit entry numbers.
ReportData journalYear(const ReportLayout& layout, int rows)
{
    static const QStringList accounts{QStringLiteral("現金"), QStringLiteral("普通預金"), QStringLiteral("食費"),
                                      QStringLiteral("水道光熱費"), QStringLiteral("長期前払費用（保険料）"),
                                      QStringLiteral("給料"), QStringLiteral("未払金")};
    static const QStringList memos{QStringLiteral("スーパー"), QStringLiteral("電気代 11月分"),
                                   QStringLiteral("給与振込（配偶者） 11月分"), QStringLiteral("カード引落"),
                                   QStringLiteral("コンビニ"), QStringLiteral("ガソリン"), QStringLiteral("書籍"),
                                   QStringLiteral("固定資産税第3期分（令和7年度） 口座振替・前年の未納分を含む")};
    ReportData data;
    data.headerLines = {{QStringLiteral("期間：2025/ 01/ 01～2025/ 12/ 31"), QString(), QStringLiteral("作成日：2026/ 01/ 10")}};
    data.headerLines.resize(layout.headerLines.size());
    data.rows.reserve(std::size_t(rows));
    const QDate first(2025, 1, 1);
    for (int i = 0; i < rows; ++i) {
        const qint64 yen = 100 + (qint64(i) * 7919) % 250'000;
        data.rows.push_back({first.addDays(i * 365 / rows), QString::number(100'000 + i), accounts[i % accounts.size()],
                             Money::fromYen(yen), accounts[(i + 3) % accounts.size()], Money::fromYen(yen),
                             memos[i % memos.size()]});
    }
    return data;
}

void BM_PrintJournalYearToPdf(benchmark::State& state)
{
    const ReportProject project = readReportProject(QStringLiteral(TOLVA_REPORT_PROJECT));
    const ReportLayout layout = *project.find(QStringLiteral("rShiwake"));
    const ReportData data = journalYear(layout, rowCount());
    QTemporaryDir dir;
    const char* keep = std::getenv("TOLVA_BENCH_PDF");
    const QString file = keep ? QString::fromLocal8Bit(keep) : dir.filePath(QStringLiteral("journal.pdf"));
    const double before = statusMiB("VmRSS");
    resetPeak();
    int pages = 0;
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        pages = paintReport(layout, data, printer);
    }
    state.counters["rows"] = double(data.rows.size());
    state.counters["pages"] = pages;
    state.counters["MiB_before"] = before;
    state.counters["MiB_added_peak"] = statusMiB("VmHWM") - before;
    state.counters["PDF_MiB"] = QFile(file).size() / 1048576.0;
}

// The preview of the same year as a user looks through it: laid out (every row measured), shown
// at 100 %, then 200 pages visited from the first to the last. Memory is counted from before
// the rows were made, so the figure is all the print takes while its preview is open.
void BM_PreviewJournalYear(benchmark::State& state)
{
    const ReportProject project = readReportProject(QStringLiteral(TOLVA_REPORT_PROJECT));
    const ReportLayout layout = *project.find(QStringLiteral("rShiwake"));
    const double before = statusMiB("VmRSS");
    resetPeak();
    const ReportData data = journalYear(layout, rowCount());
    int pages = 0;
    double layOutMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::optional<LaidOutReport> laidOut = LaidOutReport::layOut(layout, data);
        layOutMs = double(timer.nsecsElapsed()) / 1e6;
        struct Pages final : ReportPages {
            explicit Pages(const LaidOutReport& laidOut) : laidOut(laidOut) {}
            int pageCount() const override { return laidOut.pageCount(); }
            QPageLayout pageLayout() const override { return laidOut.pageLayout(); }
            void drawPage(QPainter& painter, int page) const override { laidOut.drawPage(painter, page); }
            const LaidOutReport& laidOut;
        } report(*laidOut);
        pages = report.pageCount();
        ReportPreview preview(report, QStringLiteral("rShiwake"), nullptr);
        preview.show();
        for (int i = 0; i < 200; ++i) {
            preview.showPage(int(qint64(pages - 1) * i / 199));
            preview.repaint();
            QCoreApplication::processEvents();
        }
    }
    state.counters["rows"] = double(data.rows.size());
    state.counters["pages"] = pages;
    state.counters["layout_ms"] = layOutMs;
    state.counters["MiB_before"] = before;
    state.counters["MiB_added_peak"] = statusMiB("VmHWM") - before;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("BM_PrintJournalYearToPdf", BM_PrintJournalYearToPdf)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_PreviewJournalYear", BM_PreviewJournalYear)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
