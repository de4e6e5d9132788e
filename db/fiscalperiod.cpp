#include "db/fiscalperiod.h"

#include "db/database.h"
#include "db/tdm01keiri.h"

#include <QScopeGuard>

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

namespace {

bool usableMonth(const Field& shime)
{
    return !shime.isNull() && shime.asInteger() >= 1 && shime.asInteger() <= 12;
}

} // namespace

FiscalSettings loadFiscalPeriod(Tdm01Keiri& dm, const QDate& today)
{
    Table& owner = dm.t07Jigyou;
    owner.open();
    auto closeOwner = qScopeGuard([&] { owner.close(); });
    const Field year = owner.fieldByName(QStringLiteral("Nendo"));
    const Field shime = owner.fieldByName(QStringLiteral("shime"));
    // A month outside 1 to 12 would give no period at all; it is treated as an empty one.
    const bool monthUsable = usableMonth(shime);
    if (year.isNull() || !monthUsable) {
        // The first start writes the year and the closing month: both or neither. On an
        // empty table, edit appends: this creates the owner row.
        Transaction transaction(*owner.database());
        owner.edit();
        if (year.isNull())
            owner.fieldByName(QStringLiteral("Nendo")).setInteger(today.year());
        if (!monthUsable)
            owner.fieldByName(QStringLiteral("shime")).setInteger(12);
        owner.post();
        transaction.commit();
    }
    FiscalSettings settings;
    settings.year = int(year.asInteger());
    settings.closingMonth = int(shime.asInteger());
    settings.period = periodForFiscalYear(settings.year, settings.closingMonth);
    return settings;
}

FiscalSettings readFiscalPeriod(Tdm01Keiri& dm, const QDate& today)
{
    Table& owner = dm.t07Jigyou;
    owner.open();
    auto closeOwner = qScopeGuard([&] { owner.close(); });
    FiscalSettings settings;
    settings.year = today.year();
    settings.closingMonth = 12;
    if (!owner.isEmpty()) {
        const Field year = owner.fieldByName(QStringLiteral("Nendo"));
        const Field shime = owner.fieldByName(QStringLiteral("shime"));
        if (!year.isNull())
            settings.year = int(year.asInteger());
        if (usableMonth(shime))
            settings.closingMonth = int(shime.asInteger());
    }
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
