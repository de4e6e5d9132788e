#include "db/textformat.h"

#include <gtest/gtest.h>

#include <limits>

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
        {"922337203685477", 9223372036854770000},
        {"999999999999999", std::nullopt},  // times 10,000 leaves the 64-bit range: no wrapped value
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

TEST(TextFormat, WhatAUserMayEnterAsAnAmount)
{
    using E = textformat::AmountEntryError;
    struct Case {
        const char* text;
        std::optional<qint64> yen;
        E error;
    };
    const Case cases[] = {
        {"1,234", 1234, E::None},
        {"￥-500", -500, E::None},
        {"12.0", 12, E::None},
        {"999,999,999,999", 999999999999, E::None},
        {"-999999999999", -999999999999, E::None},
        {"0000001000", 1000, E::None},
        {"12.5", std::nullopt, E::FractionOfYen},        // would be shown as 13 and break the totals
        {"0.0001", std::nullopt, E::FractionOfYen},
        {"1000000000000", std::nullopt, E::TooLarge},    // thirteen digits
        {"999999999999999", std::nullopt, E::TooLarge},  // once stored as -8,446,744,073,709,561,616
        {"99999999999999999999999", std::nullopt, E::TooLarge},
        {"abc", std::nullopt, E::NotANumber},
        {"1,2,3", 123, E::None},                         // separators anywhere are dropped
        {"", std::nullopt, E::NotANumber},
    };
    for (const Case& c : cases) {
        const textformat::AmountEntry entry = textformat::parseAmountEntry(QString::fromUtf8(c.text));
        EXPECT_EQ(entry.error, c.error) << c.text;
        EXPECT_EQ(entry.amount, c.yen ? std::optional(Money::fromYen(*c.yen)) : std::nullopt) << c.text;
    }
    EXPECT_TRUE(textformat::amountEntryProblem(E::TooLarge).contains(QStringLiteral("999,999,999,999")));
}

TEST(TextFormat, WhatAUserMayEnterAsADate)
{
    struct Case {
        const char* text;
        QDate date;  // invalid: refused
    };
    const Case cases[] = {
        {"2024/02/29", QDate(2024, 2, 29)},
        {"2024/2/9", QDate(2024, 2, 9)},
        {" 2024-02-29 ", QDate(2024, 2, 29)},
        {"２０２４／０２／２９", QDate(2024, 2, 29)},
        {"2024/02/30", {}},
        {"2024/02/29 junk", {}},  // trailing text is not silently dropped
        {"2024/02-29", {}},
        {"0001/01/01", {}},       // years outside 1900 to 2999
        {"1899/12/31", {}},
        {"3000/01/01", {}},
        {"1900/01/01", QDate(1900, 1, 1)},
    };
    for (const Case& c : cases) {
        const auto parsed = textformat::parseDateEntry(QString::fromUtf8(c.text));
        EXPECT_EQ(parsed.value_or(QDate()), c.date) << c.text;
    }
}

TEST(TextFormat, ControlCharactersNeverReachTheBooks)
{
    EXPECT_EQ(textformat::withoutControlCharacters(QStringLiteral("家賃\t4月\r\n分")), QStringLiteral("家賃 4月  分"));
    EXPECT_EQ(textformat::withoutControlCharacters(QString::fromUtf8("a\0b\x1b[1mc", 9)), QStringLiteral("ab[1mc"));
    EXPECT_EQ(textformat::withoutControlCharacters(QStringLiteral("普通の文")), QStringLiteral("普通の文"));
}

TEST(Money, ArithmeticThatLeavesTheRangeThrowsInsteadOfWrapping)
{
    const Money largest = Money::fromUnits(std::numeric_limits<qint64>::max());
    const Money smallest = Money::fromUnits(std::numeric_limits<qint64>::min());
    EXPECT_THROW((void)(largest + Money::fromUnits(1)), StoreError);
    EXPECT_THROW((void)(smallest - Money::fromUnits(1)), StoreError);
    EXPECT_THROW((void)(-smallest), StoreError);
    EXPECT_THROW((void)Money::fromYen(std::numeric_limits<qint64>::max() / 1000), StoreError);
    Money total = largest;
    EXPECT_THROW(total += largest, StoreError);
    EXPECT_EQ(total, largest);  // a failed step leaves the amount as it was
    EXPECT_EQ((largest - largest + Money::fromYen(1)).units(), 10000);
    EXPECT_EQ(largest.roundedToYen(), std::numeric_limits<qint64>::max() / 10000 + 1);
    EXPECT_EQ(smallest.roundedToYen(), std::numeric_limits<qint64>::min() / 10000 - 1);
}
