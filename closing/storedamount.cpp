#include "closing/storedamount.h"

#include "db/database.h"
#include "db/storeerror.h"

#include <cmath>

namespace tolva {

Money storedAmount(const Statement& statement, int column, const QString& what)
{
    const QVariant value = statement.column(column);
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::LongLong)
        return Money::fromUnits(value.toLongLong());
    if (value.typeId() == QMetaType::Double) {
        const double units = value.toDouble();
        if (std::isfinite(units) && units == std::trunc(units) && std::fabs(units) < 9.0e15)
            return Money::fromUnits(qint64(units));
    }
    throw StoreError(QStringLiteral("%1の金額「%2」を正確な金額として読めません。").arg(what, value.toString()));
}

} // namespace tolva
