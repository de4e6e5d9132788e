#include "db/rate.h"

#include "db/storeerror.h"
#include "db/textformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tolva;

namespace {

Money yen(const char* text)
{
    return textformat::parseAmount(QString::fromUtf8(text)).value();
}

Rate rate(const char* text)
{
    return Rate::fromText(QString::fromUtf8(text)).value();
}

Rate stored(double value)
{
    return Rate::fromStoredDouble(value).value();
}

} // namespace

TEST(Rate, AmountTimesRateRoundsOnlyAtTheEndByTheNamedRule)
{
    using enum Rounding;
    struct Case {
        const char* amount;
        Rate factor;
        qint64 times;
        qint64 dividedBy;
        Rounding how;
        const char* expected;
        const char* guards;
    };
    const Case cases[] = {
        {"72900", rate("1"), 1, 1, TowardZeroToHundredYen, "72900", "exact hundreds stay"},
        {"99", rate("1"), 1, 1, TowardZeroToHundredYen, "0", "99 yen truncates to no hundreds"},
        {"-150", rate("1"), 1, 1, TowardZeroToHundredYen, "-100", "negative amounts go toward zero, not down"},
        {"-99.9999", rate("1"), 1, 1, TowardZeroToHundredYen, "0", "a negative amount under a step is zero"},
        {"10", rate("0.333"), 1, 1, TowardZeroToYen, "3", "3.33 yen truncates to yen"},
        {"-10", rate("0.333"), 1, 1, TowardZeroToYen, "-3", "-3.33 yen truncates toward zero"},
        {"1", rate("0.5"), 1, 1, HalfAwayFromZeroToYen, "1", "half a yen goes up"},
        {"-1", rate("0.5"), 1, 1, HalfAwayFromZeroToYen, "-1", "minus half a yen goes down"},
        {"0.4999", rate("1"), 1, 1, HalfAwayFromZeroToYen, "0", "just under half stays"},
        {"1", rate("0.49999999"), 1, 1, HalfAwayFromZeroToYen, "0", "under half by less than a unit stays"},
        {"1", rate("0.50000001"), 1, 1, HalfAwayFromZeroToYen, "1", "over half by less than a unit goes up"},
        {"100", stored(0.7), 1, 1, TowardZeroToYen, "70", "the double nearest 0.7 is below it, the rate is not"},
        {"10000", stored(0.29), 1, 1, TowardZeroToHundredYen, "2900", "the double nearest 0.29 is below it: 2,900 stays"},
        {"10", stored(0.15), 1, 1, HalfAwayFromZeroToYen, "2", "the double nearest 0.15 is below it: 1.5 still goes up"},
        {"300000", stored(0.333), 1, 1, TowardZeroToHundredYen, "99900", "0.333 read from a FLOAT field"},
        {"1000000", rate("0.125"), 7, 12, TowardZeroToHundredYen, "72900", "depreciation: 72,916.67 for 7 of 12 months"},
        {"1000000", rate("12.5"), 7, 1200, TowardZeroToHundredYen, "72900", "the same with the rate in percent"},
        {"123456", rate("33"), 1, 100, TowardZeroToHundredYen, "40700", "a 33% business share of 40,740.48"},
        {"100", rate("1"), 3, 3, TowardZeroToYen, "100", "no rounding in between: 100 / 3 * 3 is 100, not 99.9999"},
        {"900000000000000", rate("12.5"), 7, 1200, TowardZeroToHundredYen, "65625000000000",
         "an intermediate beyond 64 bits still gives an exact result"},
        {"500", rate("-0.5"), 1, -1, TowardZeroToYen, "250", "negative rate and divisor cancel"},
    };
    for (const Case& c : cases) {
        const ExactAmount exact = yen(c.amount) * c.factor * c.times / c.dividedBy;
        EXPECT_EQ(exact.rounded(c.how), yen(c.expected)) << c.guards;
    }
}

TEST(Rate, DividesByARate)
{
    // A tax-excluded amount from a tax-included one.
    EXPECT_EQ((ExactAmount(yen("10800")) / rate("1.08")).rounded(Rounding::TowardZeroToYen), yen("10000"));
    EXPECT_EQ((ExactAmount(yen("-1000")) / rate("-3")).rounded(Rounding::HalfAwayFromZeroToYen), yen("333"));
}

TEST(Rate, ReadsPlainDecimalsOnly)
{
    struct Case {
        const char* text;
        const char* reads;  // nullptr: refused
    };
    const Case cases[] = {
        {"0.125", "0.125"},
        {"0.0125", "0.0125"},
        {"12.5", "12.5"},
        {"100", "100"},
        {"-0.5", "-0.5"},
        {"+2", "2"},
        {"0.1250", "0.125"},  // trailing zeros carry no value
        {"007.50", "7.5"},
        {"-0", "0"},
        {" 1.5　", "1.5"},
        {"０．３３３", "0.333"},
        {"－１２．５", "-12.5"},
        {"5.", "5"},  // as amounts read
        {"0.123456789012345678", "0.123456789012345678"},
        {"123456789012345678", "123456789012345678"},
        {"0.1234567890123456789", nullptr},  // one decimal more than is kept
        {"1234567890123456789", nullptr},
        {"", nullptr},
        {".5", nullptr},
        {".", nullptr},
        {"-", nullptr},
        {"1.2.3", nullptr},
        {"--1", nullptr},
        {"1e-3", nullptr},
        {"1,000", nullptr},
        {"12.5%", nullptr},  // whether a figure is a percentage is the caller's rule
        {"0x10", nullptr},
        {"1 2", nullptr},
        {"NaN", nullptr},
        {"１２a", nullptr},
        {"٣", nullptr},
    };
    for (const Case& c : cases) {
        const auto parsed = Rate::fromText(QString::fromUtf8(c.text));
        if (c.reads) {
            ASSERT_TRUE(parsed.has_value()) << c.text;
            EXPECT_EQ(parsed->toText(), QString::fromUtf8(c.reads)) << c.text;
        } else {
            EXPECT_FALSE(parsed.has_value()) << c.text;
        }
    }
}

TEST(Rate, ReadsAStoredDoubleByItsShortestDecimal)
{
    struct Case {
        double value;
        const char* reads;  // nullptr: refused
    };
    const Case cases[] = {
        {0.1, "0.1"},
        {0.333, "0.333"},
        {12.5, "12.5"},
        {100.0, "100"},
        {1e-5, "0.00001"},
        {-0.0, "0"},
        {1.0 / 3.0, "0.3333333333333333"},
        {0.1 + 0.2, "0.30000000000000004"},  // a sum made in floating point is kept as it was stored
        {1e20, nullptr},
        {1e-19, nullptr},
        {std::numeric_limits<double>::max(), nullptr},
        {std::numeric_limits<double>::denorm_min(), nullptr},
        {std::nan(""), nullptr},
        {std::numeric_limits<double>::infinity(), nullptr},
        {-std::numeric_limits<double>::infinity(), nullptr},
    };
    for (const Case& c : cases) {
        const auto read = Rate::fromStoredDouble(c.value);
        if (c.reads) {
            ASSERT_TRUE(read.has_value()) << c.value;
            EXPECT_EQ(read->toText(), QString::fromUtf8(c.reads)) << c.value;
        } else {
            EXPECT_FALSE(read.has_value()) << c.value;
        }
    }
}

TEST(Rate, ComparesByValue)
{
    EXPECT_EQ(rate("0.10"), stored(0.1));
    EXPECT_EQ(rate("-0"), rate("0"));
    EXPECT_LT(rate("0.125"), rate("12.5"));
    EXPECT_LT(rate("-1"), rate("0.000000000000000001"));
    EXPECT_LT(rate("0.333"), stored(1.0 / 3.0));
    EXPECT_GT(rate("100"), rate("99.9999999999999999"));
}

TEST(Rate, RefusesWhatWouldOverflowOrDivideByZero)
{
    const Money largest = Money::fromUnits(std::numeric_limits<qint64>::max());
    const Money lowest = Money::fromUnits(std::numeric_limits<qint64>::min());
    const Rate wide = rate("999999999999999999");
    const auto throwsStoreError = [](auto&& calculation, const char* guards) {
        try {
            calculation();
            ADD_FAILURE() << guards << ": no error";
        } catch (const StoreError& e) {
            EXPECT_FALSE(e.message().isEmpty()) << guards;
        }
    };
    throwsStoreError([&] { (void)(ExactAmount(yen("1")) / 0); }, "division by zero");
    throwsStoreError([&] { (void)(ExactAmount(yen("1")) / rate("0.000")); }, "division by a zero rate");
    throwsStoreError([&] { (void)(largest * wide * wide); }, "a numerator beyond 128 bits");
    throwsStoreError([&] { (void)(ExactAmount(yen("1")) / std::numeric_limits<qint64>::max() / wide / wide); },
                     "a denominator beyond 128 bits");
    throwsStoreError([&] { (void)(ExactAmount(lowest) * std::numeric_limits<qint64>::min() * -2); },
                     "a product of exactly the lowest 128-bit value, which has no magnitude to negate");
    throwsStoreError([&] { (void)(largest * rate("1.0001")).rounded(Rounding::TowardZeroToYen); },
                     "a result beyond Money's range");

    // Factors cancel before they multiply, a new factor against the divisors so far and a new
    // divisor against the product so far; multiplied out, either numerator would need over 128 bits.
    EXPECT_EQ((ExactAmount(largest) / wide / wide * wide * wide).rounded(Rounding::TowardZeroToYen),
              Money::fromYen(std::numeric_limits<qint64>::max() / Money::kUnitsPerYen));
    EXPECT_EQ((yen("0.01") * wide * wide / wide / wide * 10000).rounded(Rounding::TowardZeroToYen), yen("100"));
}

TEST(Rate, RangeErrorNamesTheFigure)
{
    try {
        (void)(ExactAmount(yen("-900000000000000")) * 10).rounded(Rounding::TowardZeroToHundredYen);
        FAIL() << "no error";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("-9,000,000,000,000,000 円"))) << e.message().toStdString();
    }
}
