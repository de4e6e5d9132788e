#include "tests/aggregate/aggregatefixture.h"

#include "db/database.h"
#include "db/money.h"

namespace tolva::testing {

std::vector<YearRow> sumRows(Database& db, const QString& table)
{
    Statement s = db.prepare(QStringLiteral("SELECT nendo, kcode, Lgaku, Rgaku, LSgaku, RSgaku FROM %1 ORDER BY kcode").arg(table));
    std::vector<YearRow> rows;
    auto yen = [&](int column) { return s.columnInt(column) / Money::kUnitsPerYen; };
    while (s.step())
        rows.push_back({s.column(0).toString(), s.column(1).toString(), yen(2), yen(3), yen(4), yen(5)});
    return rows;
}

void addSumRows(Database& db, const QString& table, const std::vector<YearRow>& rows)
{
    Statement s = db.prepare(
        QStringLiteral("INSERT INTO %1 (nendo, kcode, Lgaku, Rgaku, LSgaku, RSgaku) VALUES (?1, ?2, ?3, ?4, ?5, ?6)").arg(table));
    for (const YearRow& row : rows) {
        s.bind(1, row.nendo);
        s.bind(2, row.kcode);
        s.bind(3, Money::fromYen(row.l).units());
        s.bind(4, Money::fromYen(row.r).units());
        s.bind(5, Money::fromYen(row.ls).units());
        s.bind(6, Money::fromYen(row.rs).units());
        s.step();
        s.reset();
    }
}

} // namespace tolva::testing
