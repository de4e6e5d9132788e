#include "closing/aggregation.h"

#include "closing/storedamount.h"
#include "db/codes.h"
#include "db/database.h"
#include "db/storeerror.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"

#include <QSet>

namespace tolva {

namespace {

const QStringList kSubAccountListSql = {
    QStringLiteral("SELECT qCdoe.code, Kamoku02.kamoku, Bunrui.code AS bcode, Bunrui.Name, Bunrui.BP, Bunrui.LR"),
    QStringLiteral(" FROM ((Kamoku INNER JOIN Bunrui ON Kamoku.bunrui = Bunrui.code) INNER JOIN Kamoku02 ON Kamoku.code = "
                   "Kamoku02.bunrui)"),
    QStringLiteral(" INNER JOIN uqSai.sql AS qCdoe ON Kamoku02.code = qCdoe.code"),
    QStringLiteral(" ORDER BY qCdoe.code"),
};

QString tableName(TotalsTable table)
{
    switch (table) {
    case TotalsTable::YearEnd: return QStringLiteral("shisanH");
    case TotalsTable::PeriodAccounts: return QStringLiteral("Sum01");
    case TotalsTable::PeriodSubAccounts: return QStringLiteral("Sum02");
    }
    return {};
}

} // namespace

// Both sums of one side of one code in a single range read of the side's covering index
// (code, sDay, syori, amount): the statement names the code and the date range, which are
// the index's leading columns, and reads nothing but the index.
QString sideSumsSql(const char* codeField, const char* amountField)
{
    return QStringLiteral("SELECT SUM(%2) FILTER (WHERE syori<=%3), SUM(%2) FILTER (WHERE syori=%4)"
                          " FROM shiwake WHERE %1=?1 AND sDay>=?2 AND sDay<=?3")
        .arg(QLatin1String(codeField), QLatin1String(amountField))
        .arg(kLastMovementMode)
        .arg(code(ProcessingMode::ClosingAdjustment));
}

bool CodeTotals::hasPositiveSum() const
{
    const Money zero;
    return debit > zero || credit > zero || adjustmentDebit > zero || adjustmentCredit > zero;
}

QStringList codesToAggregate(Database& db, AggregationLevel level)
{
    const QStringList& local = level == AggregationLevel::Account ? Tdm01Keiri::kAccountListSql : kSubAccountListSql;
    Statement list = db.prepare(db.translation(local.join(u'\n')).sql);
    QStringList codes;
    QSet<QString> seen;
    // A stored query the user replaced may name a code twice; it is still one account.
    while (list.step()) {
        const QString code = list.column(0).toString();
        if (!seen.contains(code)) {
            seen.insert(code);
            codes << code;
        }
    }
    return codes;
}

std::vector<CodeTotals> totalsPerCode(Database& db, AggregationLevel level, const QStringList& codes, const QDate& from,
                                      const QDate& to)
{
    const bool accounts = level == AggregationLevel::Account;
    Statement debits = db.prepare(sideSumsSql(accounts ? "Lcode" : "LScode", "Lgaku"));
    Statement credits = db.prepare(sideSumsSql(accounts ? "Rcode" : "RScode", "Rgaku"));
    const QVariant first = textformat::isoDate(from);
    const QVariant last = textformat::isoDate(to);

    std::vector<CodeTotals> result;
    result.reserve(size_t(codes.size()));
    for (const QString& code : codes) {
        CodeTotals totals;
        totals.code = code;
        for (Statement* side : {&debits, &credits}) {
            side->bind(1, code);
            side->bind(2, first);
            side->bind(3, last);
            if (side->step()) {
                const QString what = QStringLiteral("科目コード「%1」の合計").arg(code);
                const Money movement = storedAmount(*side, 0, what);
                const Money adjustment = storedAmount(*side, 1, what);
                if (side == &debits) {
                    totals.debit = movement;
                    totals.adjustmentDebit = adjustment;
                } else {
                    totals.credit = movement;
                    totals.adjustmentCredit = adjustment;
                }
            }
            side->reset();
        }
        result.push_back(std::move(totals));
    }
    return result;
}

std::vector<CodeTotals> aggregate(Database& db, AggregationLevel level, const QDate& from, const QDate& to)
{
    std::vector<CodeTotals> totals = totalsPerCode(db, level, codesToAggregate(db, level), from, to);
    std::erase_if(totals, [](const CodeTotals& t) { return !t.hasPositiveSum(); });
    return totals;
}

void appendTotals(Database& db, TotalsTable table, const QString& nendo, const std::vector<CodeTotals>& rows)
{
    Statement insert = db.prepare(
        QStringLiteral("INSERT INTO %1 (nendo, kcode, Lgaku, Rgaku, LSgaku, RSgaku) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
            .arg(tableName(table)));
    for (const CodeTotals& row : rows) {
        insert.bind(1, nendo);
        insert.bind(2, row.code);
        insert.bind(3, row.debit.units());
        insert.bind(4, row.credit.units());
        insert.bind(5, row.adjustmentDebit.units());
        insert.bind(6, row.adjustmentCredit.units());
        insert.step();
        insert.reset();
    }
}

} // namespace tolva
