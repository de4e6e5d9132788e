#include "ui/tdm02repo.h"

#include "db/storeerror.h"
#include "db/tdm01keiri.h"
#include "reports/pdfunicode.h"
#include "reports/reportdata.h"
#include "reports/reportrenderer.h"
#include "ui/prompter.h"
#include "ui/reportstatus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPageLayout>

namespace tolva {

namespace {

// A report of the project, laid out, as the preview and the printer ask for its pages.
class ProjectReportPages final : public ReportPages {
public:
    ProjectReportPages(std::shared_ptr<const reports::PreparedReport> report, reports::LaidOutReport laidOut)
        : report_(std::move(report)), laidOut_(std::move(laidOut))
    {
    }
    int pageCount() const override { return laidOut_.pageCount(); }
    QPageLayout pageLayout() const override { return laidOut_.pageLayout(); }
    void drawPage(QPainter& painter, int page) const override { laidOut_.drawPage(painter, page); }
    void documentStarts() const override { laidOut_.forgetDrawn(); }
    // A saved PDF searches as it prints, 𠮷 included.
    void pdfWritten(const QString& file) const override
    {
        reports::restoreTextOutsideBmp(file, laidOut_.drawnOutsideBmp());
    }

private:
    std::shared_ptr<const reports::PreparedReport> report_;  // the rows laidOut_ draws
    reports::LaidOutReport laidOut_;
};

} // namespace

Tdm02Repo::Tdm02Repo(Tdm01Keiri& data, QObject* parent) : QObject(parent), data_(data)
{
    setObjectName(QStringLiteral("dm02Repo"));
}

void Tdm02Repo::RvProject1Create(const QString& dataFolder)
{
    projectFile_ = QDir(dataFolder).filePath(QString::fromLatin1(kReportProjectFileName));
    project_.reset();
}

Dataset* Tdm02Repo::connection(const QString& name) const
{
    return reports::dataModuleConnections(data_)(name);
}

void Tdm02Repo::RunReport(const QString& name, QWidget* parent, const QString& pdfPath)
{
    if (projectFile_.isEmpty())
        throw StoreError(QStringLiteral("レポートプロジェクトのファイルが設定されていません。"));
    if (!project_)
        project_ = reports::readReportProject(projectFile_);

    // A long read shows the status window (and keeps the program answering) after a moment;
    // a short one shows nothing.
    constexpr qint64 kQuietReadMs = 300;
    std::unique_ptr<ReportStatus> status;
    QElapsedTimer reading;
    reading.start();
    const reports::ReadProgress progress = [&](int rows) {
        if (!status) {
            if (reading.elapsed() < kQuietReadMs)
                return true;
            status = std::make_unique<ReportStatus>(parent);
        }
        return status->updateRows(rows, -1);
    };
    std::optional<reports::PreparedReport> report;
    try {
        report = reports::prepareReport(*project_, name, reports::dataModuleConnections(data_), progress);
    } catch (const reports::ReportStopped&) {
        return;
    }
    status.reset();
    if (!report)
        return;

    // The preview draws its pages from this copy of the rows, never from the datasets again.
    // The pages take the rows over, so that they go when the preview closes.
    auto rows = std::make_shared<const reports::PreparedReport>(std::move(*report));
    report.reset();
    prompter().previewReport(parent, name, [prepared = std::move(rows)](const ReportProgress& progress) mutable -> std::unique_ptr<ReportPages> {
        if (!prepared)
            return nullptr;
        std::optional<reports::LaidOutReport> laidOut =
            reports::LaidOutReport::layOut(prepared->layout, prepared->data, progress);
        if (!laidOut)
            return nullptr;
        return std::make_unique<ProjectReportPages>(std::move(prepared), std::move(*laidOut));
    }, pdfPath);
}

} // namespace tolva
