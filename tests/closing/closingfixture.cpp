#include "tests/closing/closingfixture.h"

#include "db/database.h"

namespace tolva::testing {

std::ostream& operator<<(std::ostream& out, const YearRow& row)
{
    return out << row.nendo.toStdString() << ' ' << row.kcode.toStdString() << ' ' << row.l << ' ' << row.r << ' '
               << row.ls << ' ' << row.rs;
}

std::vector<YearRow> yearRows(const QString& folder)
{
    auto db = Database::forFolder(folder);
    Statement s = db->prepare(QStringLiteral(
        "SELECT nendo, kcode, Lgaku, Rgaku, LSgaku, RSgaku FROM shisanH ORDER BY nendo, kcode"));
    std::vector<YearRow> rows;
    auto yen = [&](int column) {
        const qint64 units = s.columnInt(column);
        return units / Money::kUnitsPerYen;
    };
    while (s.step())
        rows.push_back({s.column(0).toString(), s.column(1).toString(), yen(2), yen(3), yen(4), yen(5)});
    return rows;
}

void addYearRows(const QString& folder, const std::vector<YearRow>& rows)
{
    auto db = Database::forFolder(folder);
    Statement s = db->prepare(QStringLiteral(
        "INSERT INTO shisanH (nendo, kcode, Lgaku, Rgaku, LSgaku, RSgaku) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"));
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

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
