#include "db/sqldialect.h"

#include <gtest/gtest.h>

using namespace tolva;

namespace {
QString noStoredQuery(const QString& name)
{
    ADD_FAILURE() << "unexpected stored query " << name.toStdString();
    return {};
}
} // namespace

TEST(SqlDialect, ParametersAreNumberedByOccurrenceAndShareOneValuePerName)
{
    const auto t = sqldialect::translate(
        QStringLiteral("select * from shiwake where (Lcode=:pC or Rcode=:pC) and sDay>=:pD1 and sDay<=:PD2 and Memo<>'a:b'"),
        noStoredQuery);
    EXPECT_EQ(t.occurrences, (QStringList{"pC", "pC", "pD1", "PD2"}));
    EXPECT_EQ(t.distinctNames, (QStringList{"pC", "pD1", "PD2"}));
    EXPECT_EQ(t.sql, QStringLiteral("select * from shiwake where (Lcode=?1 or Rcode=?1) and sDay>=?2 and sDay<=?3 and Memo<>'a:b'"));
}

TEST(SqlDialect, StoredQueryFilesBecomeSubSelects)
{
    QStringList asked;
    const auto t = sqldialect::translate(
        QStringLiteral("SELECT qCdoe.code FROM Kamoku INNER JOIN qUnionCode.sql as qCdoe ON Kamoku.code = qCdoe.code"),
        [&](const QString& name) {
            asked << name;
            return QStringLiteral("SELECT code FROM Kamoku;\n");
        });
    EXPECT_EQ(asked, QStringList{"qUnionCode"});
    EXPECT_EQ(t.sql, QStringLiteral("SELECT qCdoe.code FROM Kamoku INNER JOIN (SELECT code FROM Kamoku) as qCdoe ON Kamoku.code = qCdoe.code"));
}

TEST(SqlDialect, TableExtensionsAndSumColumns)
{
    const auto t = sqldialect::translate(QStringLiteral("SELECT SUM(shiwake.Lgaku) as sLG FROM shiwake.DB where Memo = 'x.db'"),
                                         noStoredQuery);
    EXPECT_EQ(t.sql, QStringLiteral("SELECT SUM(shiwake.Lgaku) as sLG FROM shiwake where Memo = 'x.db'"));
    EXPECT_EQ(t.sumAliases.value(QStringLiteral("slg")), QStringLiteral("lgaku"));
    EXPECT_EQ(sqldialect::bareTableName(QStringLiteral("Jigyounushi.db")), QStringLiteral("Jigyounushi"));
    EXPECT_EQ(sqldialect::bareTableName(QStringLiteral("shiwake.DB")), QStringLiteral("shiwake"));
    EXPECT_EQ(sqldialect::bareTableName(QStringLiteral("kamoku02")), QStringLiteral("kamoku02"));
}
