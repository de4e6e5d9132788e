#include "reports/bookscheck.h"

#include "db/database.h"
#include "db/history.h"
#include "reports/reportproject.h"

#include <QDir>

#include <sqlite3.h>

namespace tolva::bookscheck {

QList<Item> checkFolderFiles(Database& db, bool repair)
{
    QList<Item> items;
    items << Item{QStringLiteral("問合せファイル（%1）").arg(requiredStoredQueries().join(QStringLiteral("、"))), db.storedQueryFindings(), {}};
    items << Item{QStringLiteral("レポートのプロジェクト（%1）").arg(QString::fromLatin1(kReportProjectFileName)),
                  reports::projectFindings(QDir(db.folder()).filePath(QString::fromLatin1(kReportProjectFileName))),
                  {}};
    Item counts{QStringLiteral("仕訳の行数の記録（RowCount、DayCount）"), {}, {}};
    // Books that may only be read are told, not put right.
    if (repair && sqlite3_db_readonly(db.handle(), "main") == 0)
        counts.repaired = db.repairCounts();
    else
        counts.findings = db.countDrift();
    items << counts;
    items << Item{QStringLiteral("仕訳の変更履歴（shiwakeRireki）"), history::findings(db), {}};
    return items;
}

} // namespace tolva::bookscheck
