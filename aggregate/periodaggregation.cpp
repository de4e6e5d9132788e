#include "aggregate/periodaggregation.h"

#include "db/database.h"
#include "db/textformat.h"

namespace tolva {

namespace {

const QString kStatusCode = QStringLiteral("01");
const QString kTimestampFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

DateRange previousMonth(const QDate& start)
{
    const QDate first = QDate(start.year(), start.month(), 1).addMonths(-1);
    return {first, first.addMonths(1).addDays(-1)};
}

DateRange nextMonth(const QDate& start)
{
    const QDate first = QDate(start.year(), start.month(), 1).addMonths(1);
    return {first, first.addMonths(1).addDays(-1)};
}

DateRange monthOf(const QDate& day)
{
    const QDate first(day.year(), day.month(), 1);
    return {first, first.addMonths(1).addDays(-1)};
}

std::optional<AggregationStatus> readAggregationStatus(Database& db)
{
    Statement row = db.prepare(QStringLiteral("SELECT jdate, sdate, edate FROM sjyoken WHERE code=?1"));
    row.bind(1, kStatusCode);
    if (!row.step())
        return std::nullopt;
    AggregationStatus status;
    status.ranAt = QDateTime::fromString(row.column(0).toString(), kTimestampFormat);
    status.range.start = textformat::parseDate(row.column(1).toString()).value_or(QDate());
    status.range.end = textformat::parseDate(row.column(2).toString()).value_or(QDate());
    return status;
}

QString statusRunText(const std::optional<AggregationStatus>& status)
{
    QString text = QStringLiteral("集計状況：");
    if (!status || !status->ranAt.isValid())
        return text;
    text += textformat::shortDate(status->ranAt.date());
    if (status->ranAt.time() != QTime(0, 0))
        text += u' ' + status->ranAt.time().toString(QStringLiteral("H:mm:ss"));
    return text;
}

QString statusRangeText(const std::optional<AggregationStatus>& status)
{
    QString text = QStringLiteral("集計条件：");
    if (!status)
        return text;
    return text + textformat::period(status->range.start, status->range.end);
}

PeriodAggregation aggregatePeriod(Database& db, const DateRange& range, const QDateTime& now)
{
    PeriodAggregation result;
    // The store keeps whole seconds; the status read back is the one written.
    result.status = {QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second())), range};

    Transaction transaction(db);
    Statement update = db.prepare(QStringLiteral("UPDATE sjyoken SET jdate=?2, sdate=?3, edate=?4 WHERE code=?1"));
    Statement insert = db.prepare(QStringLiteral("INSERT INTO sjyoken (code, jdate, sdate, edate) VALUES (?1, ?2, ?3, ?4)"));
    for (Statement* status : {&update, &insert}) {
        status->bind(1, kStatusCode);
        status->bind(2, result.status.ranAt.toString(kTimestampFormat));
        status->bind(3, textformat::isoDate(range.start));
        status->bind(4, textformat::isoDate(range.end));
        status->step();
        if (db.changes() > 0)
            break;
    }

    // Sub-accounts first, then accounts: the order the run has always written them in.
    db.exec(QStringLiteral("DELETE FROM Sum02"));
    result.subAccounts = aggregate(db, AggregationLevel::SubAccount, range.start, range.end);
    appendTotals(db, TotalsTable::PeriodSubAccounts, QString(), result.subAccounts);

    db.exec(QStringLiteral("DELETE FROM Sum01"));
    result.accounts = aggregate(db, AggregationLevel::Account, range.start, range.end);
    appendTotals(db, TotalsTable::PeriodAccounts, QString(), result.accounts);

    transaction.commit();
    return result;
}

QString periodAggregationQuestion()
{
    return QStringLiteral("指定期間について科目・細目毎の集計処理を行います。実行しますか？");
}

QString periodAggregationMessage()
{
    return QStringLiteral("集計が終了しました。");
}

QString emptyRangeNotice(const DateRange& range)
{
    return QStringLiteral("開始日 %1 が終了日 %2 より後のため、集計した期間に日がありません。")
        .arg(textformat::shortDate(range.start), textformat::shortDate(range.end));
}

} // namespace tolva
