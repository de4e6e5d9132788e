#include "assets/depreciationreport.h"

#include "assets/depreciationlist.h"
#include "db/outputfile.h"
#include "db/tdm01keiri.h"
#include "ui/tdm02repo.h"

#include <QScopeGuard>

namespace tolva {

void printDepreciationList(Tdm01Keiri& dm, const FiscalPeriod& target, const QDate& today, QWidget* parent)
{
    writeDepreciationListHeader(*dm.q23Jyouken.database(), target, today);
    dm.q23Jyouken.close();
    dm.q23Jyouken.open();
    auto closeHeader = qScopeGuard([&] { dm.q23Jyouken.close(); });

    dm.q22GSlist.close();
    dm.q22GSlist.setParam(QStringLiteral("sdate"), target.start);
    dm.q22GSlist.setParam(QStringLiteral("eDate"), target.end);
    dm.q22GSlist.open();
    dm.q20Repo.close();
    dm.q20Repo.setSql(QStringLiteral("SELECT * FROM Repo02"));
    dm.q20Repo.open();

    Tdm02Repo reports(dm);
    reports.RvProject1Create(dm.q22GSlist.databaseName());
    // Saved as a PDF: "減価償却明細_2026.pdf" in the documents folder.
    reports.RunReport(kDepreciationListReport, parent,
                      outputfile::defaultOutputPath({QStringLiteral("減価償却明細"), outputfile::periodNamePart(target.start, target.end, target)},
                                                    QStringLiteral("pdf")));
}

} // namespace tolva
