#include "tdm02repo.h"

#include "prompter.h"
#include "reportdata.h"
#include "reportrenderer.h"
#include "storeerror.h"
#include "tdm01keiri.h"

#include <QDir>

namespace tolva {

Tdm02Repo::Tdm02Repo(Tdm01Keiri& data, QObject* parent) : QObject(parent), data_(data)
{
    setObjectName(QStringLiteral("dm02Repo"));
}

void Tdm02Repo::RvProject1Create(const QString& dataFolder)
{
    projectFile_ = QDir(dataFolder).filePath(QStringLiteral("TlRepo01.rav"));
    project_.reset();
}

Dataset* Tdm02Repo::connection(const QString& name) const
{
    if (name == u"RvDataSetConnection1")
        return &data_.q20Repo;
    if (name == u"RvDataSetConnection2")
        return &data_.q01kamokuL;
    if (name == u"RvDataSetConnection3")
        return &data_.q19Repo;
    if (name == u"RvQueryConnection1")
        return &data_.q22GSlist;
    if (name == u"RvQueryConnection2")
        return &data_.q05shiwakeView;
    if (name == u"RvQueryConnection3")
        return &data_.q23Jyouken;
    return nullptr;
}

void Tdm02Repo::RunReport(const QString& name, QWidget* parent)
{
    if (projectFile_.isEmpty())
        throw StoreError(QStringLiteral("レポートプロジェクトのファイルが設定されていません。"));
    if (!project_)
        project_ = reports::readReportProject(projectFile_);

    const reports::ReportLayout* found = project_->find(name);
    if (!found)
        return;
    const reports::ReportLayout layout = *found;

    reports::ReportData data =
        reports::readReportData(layout, [this](const QString& connectionName) { return connection(connectionName); });
    (void)reports::paginate(layout, int(data.rows.size()));

    // The preview may draw the pages more than once (on opening, on printing); it draws
    // from this copy of the rows, never from the datasets again.
    prompter().previewReport(parent, name, [layout, data = std::move(data)](QPagedPaintDevice& device) {
        return reports::paintReport(layout, data, device);
    });
}

} // namespace tolva
