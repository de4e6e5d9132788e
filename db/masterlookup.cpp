#include "db/masterlookup.h"

#include "db/dataset.h"

#include <QScopeGuard>

namespace tolva {

namespace {

// The first row's fields of `sql` with :pcode bound, or nothing when it has no row.
std::optional<QStringList> firstRow(Query& query, const QString& sql, const QVariant& code, int fields)
{
    query.close();
    query.setSql(sql);
    query.setParam(QStringLiteral("pcode"), code);
    query.open();
    auto closeQuery = qScopeGuard([&] { query.close(); });
    if (query.isEmpty())
        return std::nullopt;
    QStringList values;
    for (int i = 0; i < fields; ++i)
        values << query.field(i).asString().trimmed();
    return values;
}

} // namespace

std::optional<ChartEntry> findChartEntry(Query& query, const QString& code)
{
    ChartEntry entry;
    entry.code = code;
    switch (code.size()) {
    case 2: entry.level = ChartEntry::Level::Category; break;
    case 4: entry.level = ChartEntry::Level::Account; break;
    case 6: entry.level = ChartEntry::Level::SubAccount; break;
    default: return std::nullopt;
    }
    const auto category = firstRow(query, QStringLiteral("select Name, LR from bunrui where code=:pcode"), code.left(2), 2);
    if (!category)
        return std::nullopt;
    entry.categoryName = category->at(0);
    entry.side = codeFromText<SideCode>(category->at(1));
    if (entry.level == ChartEntry::Level::Category)
        return entry;
    const auto account = firstRow(query, QStringLiteral("select kamoku from kamoku where code=:pcode"), code.left(4), 1);
    if (!account)
        return std::nullopt;
    entry.accountName = account->at(0);
    if (entry.level == ChartEntry::Level::Account)
        return entry;
    const auto subAccount = firstRow(query, QStringLiteral("select kamoku from kamoku02 where code=:pcode"), code, 1);
    if (!subAccount)
        return std::nullopt;
    entry.subAccountName = subAccount->at(0);
    return entry;
}

std::optional<QString> findUseCategoryName(Query& query, const QString& code)
{
    const auto row = firstRow(query, QStringLiteral("select Name from kubun where code=:pcode"), code, 1);
    return row ? std::optional<QString>(row->at(0)) : std::nullopt;
}

std::optional<QString> findProcessingModeName(Query& query, int mode)
{
    const auto row = firstRow(query, QStringLiteral("select Name from syorik where code=:pcode"), QVariant(qint64(mode)), 1);
    return row ? std::optional<QString>(row->at(0)) : std::nullopt;
}

} // namespace tolva
