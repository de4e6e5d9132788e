#include "ui/tdm02repo.h"

#include "db/storeerror.h"
#include "db/tdm01keiri.h"
#include "reports/pdfunicode.h"
#include "reports/reportdata.h"
#include "reports/reportrenderer.h"
#include "ui/prompter.h"

#include <QDir>
#include <QPrinter>

namespace tolva {

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

    std::optional<reports::PreparedReport> report = reports::prepareReport(*project_, name, reports::dataModuleConnections(data_));
    if (!report)
        return;

    // The preview may draw the pages more than once (on opening, on printing); it draws
    // from this copy of the rows, never from the datasets again.
    prompter().previewReport(parent, name,
                             [report = std::move(*report)](QPagedPaintDevice& device, const ReportProgress& progress) {
                                 std::vector<char32_t> outsideBmp;
                                 const int pages = reports::paintReport(report.layout, report.data, device, progress, &outsideBmp);
                                 // A PDF saved from the preview searches as it prints, 𠮷 included.
                                 auto* printer = dynamic_cast<QPrinter*>(&device);
                                 if (pages >= 0 && printer && printer->outputFormat() == QPrinter::PdfFormat
                                     && !printer->outputFileName().isEmpty())
                                     reports::restoreTextOutsideBmp(printer->outputFileName(), outsideBmp);
                                 return pages;
                             },
                             pdfPath);
}

} // namespace tolva
