#include "textformat.h"

#include <gtest/gtest.h>

using namespace tolva;

TEST(TextFormat, AmountsInGridsAndStatusBars)
{
    struct Case {
        qint64 units;
        const char* grid;
        const char* currency;
        const char* plain;
    };
    const Case cases[] = {
        {0, "0", "￥0", "0"},
        {12340000, "1,234", "￥1,234", "1234"},
        {-5000000, "-500", "-￥500", "-500"},
        {12345678900000, "1,234,567,890", "￥1,234,567,890", "1234567890"},
        {15000, "2", "￥2", "1.5"},          // half a yen rounds away from zero
        {-15000, "-2", "-￥2", "-1.5"},
        {1234, "0", "￥0", "0.1234"},
    };
    for (const Case& c : cases) {
        const Money m = Money::fromUnits(c.units);
        EXPECT_EQ(textformat::gridAmount(m), QString::fromUtf8(c.grid)) << c.units;
        EXPECT_EQ(textformat::currency(m), QString::fromUtf8(c.currency)) << c.units;
        EXPECT_EQ(textformat::plainAmount(m), QString::fromUtf8(c.plain)) << c.units;
    }
}

TEST(TextFormat, ParsesWhatAUserTypesForAnAmount)
{
    struct Case {
        const char* text;
        std::optional<qint64> units;
    };
    const Case cases[] = {
        {"1234", 12340000},
        {"1,234", 12340000},
        {"\\1,234", 12340000},
        {"￥1,234", 12340000},
        {"¥1,234", 12340000},
        {"１，２３４", 12340000},
        {"-500", -5000000},
        {" 12.5 ", 125000},
        {"0.0001", 1},
        {"", std::nullopt},
        {"\\", std::nullopt},
        {"12a", std::nullopt},
        {"1.23456", std::nullopt},  // more precision than the books keep is refused, not rounded
        {"1-2", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto parsed = textformat::parseAmount(QString::fromUtf8(c.text));
        if (c.units) {
            ASSERT_TRUE(parsed.has_value()) << c.text;
            EXPECT_EQ(parsed->units(), *c.units) << c.text;
        } else {
            EXPECT_FALSE(parsed.has_value()) << c.text;
        }
    }
}

TEST(TextFormat, Dates)
{
    const QDate d(2010, 4, 1);
    EXPECT_EQ(textformat::shortDate(d), QStringLiteral("2010/04/01"));
    EXPECT_EQ(textformat::reportDate(d), QStringLiteral("2010/ 04/ 01"));
    EXPECT_EQ(textformat::period(d, QDate(2011, 3, 31)), QStringLiteral("2010/04/01～2011/03/31"));
    EXPECT_EQ(textformat::reportPeriod(d, QDate(2011, 3, 31)), QStringLiteral("2010/ 04/ 01～2011/ 03/ 31"));
    EXPECT_EQ(textformat::parseDate(QStringLiteral("2012/2/29")), QDate(2012, 2, 29));
    EXPECT_EQ(textformat::parseDate(QStringLiteral("2012-02-29")), QDate(2012, 2, 29));
    EXPECT_FALSE(textformat::parseDate(QStringLiteral("2011/2/29")).has_value());
    EXPECT_FALSE(textformat::parseDate(QStringLiteral("abc")).has_value());
}
