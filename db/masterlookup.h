#pragma once

#include "db/codes.h"

#include <QString>

#include <optional>

namespace tolva {

class Query;

// A code of the chart as the windows' lists offer it: a category (2 characters), an account
// (4, beginning with its category's code) or a sub-account (6, beginning with its account's),
// with the names of every level and the normal side of the category.
struct ChartEntry {
    enum class Level { Category, Account, SubAccount };
    Level level = Level::Category;
    QString code;
    QString categoryName;
    QString accountName;     // empty for a category
    QString subAccountName;  // empty for a category or an account
    std::optional<SideCode> side;  // the category's LR
};

// The entry of `code`, read through `query` (a scratch query of the data module; its SQL is
// replaced and it is left closed). Nothing when the code is not 2, 4 or 6 characters long, or
// when the category, the account or the sub-account it names is missing from the masters.
[[nodiscard]] std::optional<ChartEntry> findChartEntry(Query& query, const QString& code);

// The name of a category of a use (`kubun`), or nothing when there is no such code.
[[nodiscard]] std::optional<QString> findUseCategoryName(Query& query, const QString& code);

// The name of a processing mode as the books' own list (`syorik`) calls it, or nothing when the
// list lacks it.
[[nodiscard]] std::optional<QString> findProcessingModeName(Query& query, int mode);

} // namespace tolva
