#pragma once

#include "reports/reportproject.h"

#include <QObject>
#include <QString>

#include <optional>

class QWidget;

namespace tolva {

class Dataset;
class Tdm01Keiri;

// The report module: the report project of the data folder and the data connections its
// layouts read, each bound to a dataset of the shared data module. Callers prepare and open
// the datasets, then run a report by name.
class Tdm02Repo : public QObject {
    Q_OBJECT
public:
    explicit Tdm02Repo(Tdm01Keiri& data, QObject* parent = nullptr);

    // Sets the project file to "TlRepo01.rav" in `dataFolder`; it is read on the next run.
    void RvProject1Create(const QString& dataFolder);
    [[nodiscard]] const QString& projectFileName() const { return projectFile_; }

    // The dataset of a data connection ("RvDataSetConnection3" → q19Repo); nullptr for a
    // name that is none of them.
    [[nodiscard]] Dataset* connection(const QString& name) const;

    // Runs the report `name` of the project:
    //  1. reads the project file if it has not been read yet (a missing, unreadable or
    //     malformed file throws a StoreError naming it, and is read again next time);
    //  2. a name the project lacks ends the run quietly;
    //  3. reads the header and body rows from the layout's connections (see readReportData
    //     for how each dataset is left); a long read shows the "Report Status" window, whose
    //     中止 ends the run;
    //  4. plans the pages (a layout that leaves no room for a row throws);
    //  5. shows the pages in the preview of the prompter, titled with the report's name,
    //     and returns when the preview is closed. Saved as a PDF, it is proposed as `pdfPath`.
    void RunReport(const QString& name, QWidget* parent = nullptr, const QString& pdfPath = QString());

private:
    Tdm01Keiri& data_;
    QString projectFile_;
    std::optional<reports::ReportProject> project_;
};

} // namespace tolva
