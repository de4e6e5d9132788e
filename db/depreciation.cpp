#include "db/depreciation.h"

#include "db/dataset.h"

namespace tolva {

DepreciationFigures depreciationFigures(const DepreciationInputs& in)
{
    DepreciationFigures out;
    if (in.base > Money()) {
        const Money ordinary =
            (ExactAmount(in.base) * in.rate * qint64(in.months) / 12).rounded(Rounding::TowardZeroToHundredYen);
        out.ordinary = ordinary < in.base ? ordinary : in.base - Money::fromYen(1);
    }
    out.total = out.ordinary + in.extra;
    out.expense = (ExactAmount(out.total) * qint64(in.rentalShare) / 100).rounded(Rounding::TowardZeroToHundredYen);
    out.endBalance = in.base - out.total;
    return out;
}

DepreciationInputs depreciationInputsOf(Dataset& row)
{
    DepreciationInputs in;
    in.base = row.fieldByName(QStringLiteral("zandakaK")).asMoney();
    const double stored = row.fieldByName(QStringLiteral("SRate")).asFloat();
    const std::optional<Rate> rate = Rate::fromStoredDouble(stored);
    if (!rate)
        throw StoreError(QStringLiteral("償却率 %1 では償却費を計算できません。").arg(stored));
    in.rate = *rate;
    in.months = int(row.fieldByName(QStringLiteral("SMonth")).asInteger());
    in.extra = row.fieldByName(QStringLiteral("warimashiS")).asMoney();
    in.rentalShare = int(row.fieldByName(QStringLiteral("kashitukeR")).asInteger());
    return in;
}

Rate straightLineRate(int usefulLife, const QDate& acquired)
{
    if (usefulLife <= 0)
        throw StoreError(QStringLiteral("耐用年数 %1 からは償却率を求められません。").arg(usefulLife));
    // Thousandths of 1 ÷ life, in integers: 1000 ÷ life rounded up or down.
    const bool roundUp = acquired >= QDate(2007, 4, 1);
    const int thousandths = roundUp ? (1000 + usefulLife - 1) / usefulLife : 1000 / usefulLife;
    return *Rate::fromText(QStringLiteral("%1.%2").arg(thousandths / 1000).arg(thousandths % 1000, 3, 10, QLatin1Char('0')));
}

} // namespace tolva
