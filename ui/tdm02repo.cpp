#include "ui/tdm02repo.h"

#include "db/storeerror.h"
#include "db/tdm01keiri.h"
#include "reports/pdfunicode.h"
#include "reports/reportdata.h"
#include "reports/reportrenderer.h"
#include "ui/prompter.h"

#include <QDir>
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

void Tdm02Repo::RunReport(const QString& name, QWidget* parent)
{
    if (projectFile_.isEmpty())
        throw StoreError(QStringLiteral("レポートプロジェクトのファイルが設定されていません。"));
    if (!project_)
        project_ = reports::readReportProject(projectFile_);

    std::optional<reports::PreparedReport> report = reports::prepareReport(*project_, name, reports::dataModuleConnections(data_));
    if (!report)
        return;

    // The preview draws its pages from this copy of the rows, never from the datasets again.
    auto prepared = std::make_shared<const reports::PreparedReport>(std::move(*report));
    // The pages take the rows over, so that they go when the preview closes.
    prompter().previewReport(parent, name, [prepared](const ReportProgress& progress) mutable -> std::unique_ptr<ReportPages> {
        if (!prepared)
            return nullptr;
        std::optional<reports::LaidOutReport> laidOut =
            reports::LaidOutReport::layOut(prepared->layout, prepared->data, progress);
        if (!laidOut)
            return nullptr;
        return std::make_unique<ProjectReportPages>(std::move(prepared), std::move(*laidOut));
    });
}

} // namespace tolva
