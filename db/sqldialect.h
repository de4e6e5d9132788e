#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

namespace tolva::sqldialect {

// The local SQL of the books, rewritten into SQLite's:
//  - ":name" parameters become "?N", numbered by distinct name, so that every occurrence
//    of one name shares one value;
//  - a stored query file used as a table ("qUnionCode.sql as qCdoe") becomes a sub-select
//    with the file's text;
//  - a table name with the extension ".DB" loses it.
// Text inside quotes is left alone. Everything else (parenthesised join chains, like,
// case-insensitive names) SQLite accepts as it stands.
struct Translation {
    QString sql;
    // Parameter names by occurrence: occurrence i of the local text is parameter i.
    QStringList occurrences;
    // Distinct names in order of first appearance; name k is bound as "?k+1".
    QStringList distinctNames;
    // "SUM(x) as name" columns: name (lower case) -> summed column (lower case).
    QHash<QString, QString> sumAliases;
};

using StoredQueryReader = std::function<QString(const QString& name)>;

// Scans only the parameters, for a query whose text was set but not yet opened.
[[nodiscard]] QStringList parameterOccurrences(const QString& localSql);

[[nodiscard]] Translation translate(const QString& localSql, const StoredQueryReader& readStoredQuery);

// A table name as the program names it ("shiwake.DB", "Jigyounushi.db", "kamoku02").
[[nodiscard]] QString bareTableName(const QString& name);

} // namespace tolva::sqldialect
