#include "assets/yearrow.h"

#include "db/database.h"
#include "db/depreciation.h"
#include "db/textformat.h"

namespace tolva {

namespace {

Rate storedRate(const QVariant& storage)
{
    if (storage.isNull())
        return {};
    const std::optional<Rate> rate = Rate::fromStoredDouble(storage.toDouble());
    if (!rate)
        throw StoreError(QStringLiteral("償却率 %1 では償却費を計算できません。").arg(storage.toDouble()));
    return *rate;
}

Money storedMoney(const QVariant& storage)
{
    return storage.isNull() ? Money() : Money::fromUnits(storage.toLongLong());
}

} // namespace

YearRowStart prepareYearRow(Database& db, qint64 itemId, const DepreciationPeriods& periods)
{
    Transaction transaction(db);
    YearRowStart start;
    Statement rows = db.prepare(QStringLiteral(
        "SELECT id, dateB, zandakaK, SRate, SMonth, warimashiS, kashitukeR FROM KoteiC WHERE Bid = ? ORDER BY id"));
    rows.bind(1, QVariant(itemId));
    while (rows.step()) {
        const QDate day = QDate::fromString(rows.column(1).toString(), Qt::ISODate);
        if (periodContains(periods.previous, day)) {
            DepreciationInputs in;
            in.base = storedMoney(rows.column(2));
            in.rate = storedRate(rows.column(3));
            in.months = int(rows.column(4).toLongLong());
            in.extra = storedMoney(rows.column(5));
            in.rentalShare = int(rows.column(6).toLongLong());
            start.previousRate = in.rate;
            start.previousEndBalance = depreciationFigures(in).endBalance;
        }
        if (periodContains(periods.target, day)) {
            start.rowId = rows.columnInt(0);
            break;
        }
    }
    if (start.rowId == 0) {
        Statement append = db.prepare(QStringLiteral("INSERT INTO KoteiC (Bid, dateB) VALUES (?, ?)"));
        append.bind(1, QVariant(itemId));
        append.bind(2, QVariant(periods.target.end.toString(Qt::ISODate)));
        append.step();
        start.rowId = db.lastInsertRowId();
        start.created = true;
    }
    transaction.commit();
    return start;
}

YearRowInputs recalculatedInputs(const YearRowInputs& typed, const ItemTerms& item, Money previousEndBalance)
{
    YearRowInputs out = typed;
    if (out.months < 1)
        out.months = 12;
    if (out.rentalShare < 1)
        out.rentalShare = 100;
    // The base is replaced on every recalculation, whatever was typed into it.
    out.base = previousEndBalance.isZero() ? item.price : previousEndBalance;
    if (item.method == kStraightLineMethod && item.usefulLife > 0)
        out.rate = straightLineRate(item.usefulLife, item.acquired);
    return out;
}

} // namespace tolva
