#include "fiscalperiod.h"

#include "tdm01keiri.h"

namespace tolva {

FiscalPeriod periodForFiscalYear(int year, int closingMonth)
{
    if (closingMonth == 12)
        return {QDate(year, 1, 1), QDate(year + 1, 1, 1).addDays(-1)};
    return {QDate(year, closingMonth + 1, 1), QDate(year + 1, closingMonth + 1, 1).addDays(-1)};
}

FiscalPeriod periodMovedToYear(const FiscalPeriod& current, int year)
{
    const int shift = year - current.start.year();
    const QDate start(year, current.start.month(), current.start.day());
    const int endYear = current.end.year() + shift;
    const int endMonth = current.end.month();
    const QDate end = endMonth == 12 ? QDate(endYear + 1, 1, 1).addDays(-1) : QDate(endYear, endMonth + 1, 1).addDays(-1);
    return {start, end};
}

FiscalSettings loadFiscalPeriod(Tdm01Keiri& dm, const QDate& today)
{
    Table& owner = dm.t07Jigyou;
    owner.open();
    FiscalSettings settings;
    if (owner.fieldByName(QStringLiteral("Nendo")).isNull()) {
        // On an empty table, edit appends: the first start creates the owner row.
        owner.edit();
        owner.fieldByName(QStringLiteral("Nendo")).setInteger(today.year());
        owner.post();
    }
    settings.year = int(owner.fieldByName(QStringLiteral("Nendo")).asInteger());

    const Field shime = owner.fieldByName(QStringLiteral("shime"));
    const qint64 month = shime.asInteger();
    // A month outside 1 to 12 would give no period at all; it is treated as an empty one.
    if (shime.isNull() || month < 1 || month > 12) {
        owner.edit();
        owner.fieldByName(QStringLiteral("shime")).setInteger(12);
        owner.post();
        settings.closingMonth = 12;
    } else {
        settings.closingMonth = int(month);
    }
    owner.close();
    settings.period = periodForFiscalYear(settings.year, settings.closingMonth);
    return settings;
}

void storeFiscalYear(Tdm01Keiri& dm, int year)
{
    Table& owner = dm.t07Jigyou;
    owner.open();
    owner.edit();
    owner.fieldByName(QStringLiteral("Nendo")).setInteger(year);
    owner.post();
}

} // namespace tolva
