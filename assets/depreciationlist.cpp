#include "assets/depreciationlist.h"

#include "db/database.h"
#include "db/dataset.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"

namespace tolva {

std::vector<DepreciationListRow> depreciationListRows(Database& db, const FiscalPeriod& period)
{
    Query list(QStringLiteral("depreciationList"));
    list.setDatabaseName(db.folder());
    list.setSql(Tdm01Keiri::kDepreciationListSql);
    list.setParam(QStringLiteral("sdate"), period.start);
    list.setParam(QStringLiteral("eDate"), period.end);
    list.open();
    std::vector<DepreciationListRow> rows;
    for (list.first(); !list.eof(); list.next()) {
        DepreciationListRow row;
        row.property = list.fieldByName(QStringLiteral("name")).asString();
        row.category = list.fieldByName(QStringLiteral("name_1")).asString();
        row.kind = list.fieldByName(QStringLiteral("Name_2")).asString();
        const Field quantity = list.fieldByName(QStringLiteral("Quantity"));
        if (!quantity.isNull())
            row.quantity = quantity.asFloat();
        row.acquired = list.fieldByName(QStringLiteral("dateB")).asDate();
        row.price = list.fieldByName(QStringLiteral("gaku")).asMoney();
        row.method = list.fieldByName(QStringLiteral("name_3")).asString();
        row.usefulLife = int(list.fieldByName(QStringLiteral("Tnen")).asInteger());
        row.depreciationDate = list.fieldByName(QStringLiteral("dateB_1")).asDate();
        row.inputs = depreciationInputsOf(list);
        row.figures = depreciationFigures(row.inputs);
        rows.push_back(std::move(row));
    }
    list.close();
    return rows;
}

QString depreciationListPeriodText(const FiscalPeriod& period)
{
    if (period.start == period.end)
        return QStringLiteral("指定日：") + textformat::reportDate(period.start);
    return QStringLiteral("期間：") + textformat::reportDate(period.start) + QStringLiteral("～")
           + textformat::reportDate(period.end);
}

bool writeDepreciationListHeader(Database& db, const FiscalPeriod& period, const QDate& today)
{
    Transaction transaction(db);
    Statement update = db.prepare(QStringLiteral("UPDATE RepoJyoken SET Name01=?1, Name03=?2 WHERE no=1"));
    update.bind(1, depreciationListPeriodText(period));
    update.bind(2, QStringLiteral("作成日：") + textformat::reportDate(today));
    update.step();
    const bool written = db.changes() > 0;
    transaction.commit();
    return written;
}

} // namespace tolva
