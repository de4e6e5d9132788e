#pragma once

#include "assets/depreciationperiod.h"
#include "db/money.h"
#include "db/rate.h"

#include <QString>

namespace tolva {

class Database;

// The yearly row of an item for the target year, found or created, with what the year before
// left: the rate and end balance of the item's last row in the previous period (0 when it has
// none).
struct YearRowStart {
    qint64 rowId = 0;       // KoteiC.id of the target year's row
    bool created = false;   // appended now, dated the target's last day
    Rate previousRate;
    Money previousEndBalance;
};

// Walks the yearly rows of item `itemId` in table order: a row of the previous period gives
// the previous rate and end balance (a later one overrides an earlier), a row of the target
// period is the target row and ends the walk. Without one, a row dated the target's last day
// is appended for the item, everything else empty. Reads and the append are one transaction.
[[nodiscard]] YearRowStart prepareYearRow(Database& db, qint64 itemId, const DepreciationPeriods& periods);

// What a yearly row holds before "再計算" and what it holds after.
struct YearRowInputs {
    Money base;
    Rate rate;
    int months = 0;
    int rentalShare = 0;
    bool operator==(const YearRowInputs&) const = default;
};

// The item's terms the recalculation reads.
struct ItemTerms {
    Money price;          // (ｲ) acquisition price
    QString method;       // syukyakuH; "01" is the straight-line method
    int usefulLife = 0;   // years
    QDate acquired;
};

inline const QString kStraightLineMethod = QStringLiteral("01");

// The recalculation of a yearly row: months below 1 become 12 and a share below 1 becomes
// 100; the base is the previous year's end balance, or the price when that is 0; the
// straight-line method with a useful life takes its rate from the life, any other keeps the
// rate typed.
[[nodiscard]] YearRowInputs recalculatedInputs(const YearRowInputs& typed, const ItemTerms& item,
                                               Money previousEndBalance);

} // namespace tolva
