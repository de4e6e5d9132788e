#include "closing/yearend.h"

#include "db/database.h"
#include "db/textformat.h"

namespace tolva {

QString yearCode(const QDate& periodStart)
{
    // Characters 3 and 4 of the date written yyyy/MM/dd.
    return textformat::shortDate(periodStart).mid(2, 2);
}

YearEndAggregation aggregateYearEnd(Database& db, const FiscalPeriod& period)
{
    YearEndAggregation result;
    result.yearCode = yearCode(period.start);

    Transaction transaction(db);
    Statement remove = db.prepare(QStringLiteral("DELETE FROM shisanH WHERE nendo=?1"));
    remove.bind(1, result.yearCode);
    remove.step();
    result.rowsReplaced = db.changes();

    result.rows = aggregate(db, AggregationLevel::Account, period.start, period.end);
    appendTotals(db, TotalsTable::YearEnd, result.yearCode, result.rows);
    transaction.commit();
    return result;
}

QString yearEndMessage(const YearEndAggregation&)
{
    return QStringLiteral("集計が終了しました。");
}

} // namespace tolva
