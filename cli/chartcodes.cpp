#include "cli/chartcodes.h"

namespace tolva::cli {

void requireChartCodeLength(const QString& what, const QString& code)
{
    if (code.size() != 2 && code.size() != 4 && code.size() != 6)
        throw UsageError(QStringLiteral("%1のコード「%2」は、分類なら2桁、勘定科目なら4桁、細目なら6桁で指定してください。").arg(what, code));
}

ChartEntry chartEntry(Books& books, const QString& what, const QString& code)
{
    requireChartCodeLength(what, code);
    const std::optional<ChartEntry> entry = findChartEntry(books.dm().q16temp1, code);
    if (!entry) {
        const QString level = code.size() == 2 ? QStringLiteral("分類") : code.size() == 4 ? QStringLiteral("勘定科目") : QStringLiteral("細目");
        throw UsageError(QStringLiteral("%1のコード「%2」の%3は登録されていません。").arg(what, code, level));
    }
    return *entry;
}

} // namespace tolva::cli
