#include "db/rate.h"

#include "db/storeerror.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace tolva {

namespace {

using Int128 = __int128;
using UInt128 = unsigned __int128;

constexpr Int128 kInt128Min = Int128(UInt128(1) << 127);

constexpr qint64 powerOfTen(int exponent)
{
    qint64 power = 1;
    while (exponent-- > 0)
        power *= 10;
    return power;
}

UInt128 magnitudeOf(Int128 value)
{
    return value < 0 ? UInt128(0) - UInt128(value) : UInt128(value);
}

Int128 greatestCommonDivisor(Int128 a, Int128 b)
{
    UInt128 x = magnitudeOf(a);
    UInt128 y = magnitudeOf(b);
    while (y != 0)
        x = std::exchange(y, x % y);
    return Int128(x);
}

// The lowest 128-bit value is refused as well, so that every value kept has a magnitude that
// can be negated.
std::optional<Int128> checkedProduct(Int128 a, Int128 b)
{
    Int128 product;
    if (__builtin_mul_overflow(a, b, &product) || product == kInt128Min)
        return std::nullopt;
    return product;
}

QString groupedDigits(UInt128 magnitude)
{
    QString digits;
    do {
        digits.prepend(QChar(u'0' + char16_t(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return digits;
}

// Sign, digits, point, digits, in ASCII: the one grammar of typed rates and of a double's
// shortest form. Gives the mantissa and scale with trailing zeros of the decimals dropped.
std::optional<std::pair<qint64, int>> parseDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    std::string_view decimals = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto allDigits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || !allDigits(whole) || !allDigits(decimals))
        return std::nullopt;

    while (!decimals.empty() && decimals.back() == '0')
        decimals.remove_suffix(1);
    const std::string digits = std::string(whole) + std::string(decimals);
    const auto firstSignificant = digits.find_first_not_of('0');
    const std::string_view significant = firstSignificant == std::string::npos
        ? std::string_view()
        : std::string_view(digits).substr(firstSignificant);
    if (decimals.size() > std::size_t(Rate::kMaxDigits) || significant.size() > std::size_t(Rate::kMaxDigits))
        return std::nullopt;

    qint64 mantissa = 0;
    for (char c : significant)
        mantissa = mantissa * 10 + (c - '0');
    return std::pair(negative ? -mantissa : mantissa, int(decimals.size()));
}

} // namespace

std::optional<Rate> Rate::fromText(const QString& input)
{
    std::string text;
    for (QChar c : input.trimmed()) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            text += char('0' + (u - u'０'));
        else if (u == u'－' || u == u'−')
            text += '-';
        else if (u == u'＋')
            text += '+';
        else if (u == u'．')
            text += '.';
        else if (u < 0x80)
            text += char(u);
        else
            return std::nullopt;
    }
    const auto decimal = parseDecimal(text);
    if (!decimal)
        return std::nullopt;
    return Rate(decimal->first, decimal->second);
}

std::optional<Rate> Rate::fromStoredDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // Fixed notation without a precision is the shortest text that reads back as the same
    // double, independent of the locale. The largest double needs 309 digits and the smallest
    // subnormal 326 characters.
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc())
        return std::nullopt;
    const auto decimal = parseDecimal(std::string_view(buffer, std::size_t(end - buffer)));
    if (!decimal)
        return std::nullopt;
    return Rate(decimal->first, decimal->second);
}

QString Rate::toText() const
{
    QString digits = QString::number(mantissa_ < 0 ? -mantissa_ : mantissa_).rightJustified(scale_ + 1, u'0');
    if (scale_ > 0)
        digits.insert(digits.size() - scale_, u'.');
    return mantissa_ < 0 ? u'-' + digits : digits;
}

std::strong_ordering operator<=>(const Rate& a, const Rate& b)
{
    // Both mantissas below 10^18 brought to the larger scale stay below 10^36.
    const int scale = std::max(a.scale_, b.scale_);
    const Int128 left = Int128(a.mantissa_) * powerOfTen(scale - a.scale_);
    const Int128 right = Int128(b.mantissa_) * powerOfTen(scale - b.scale_);
    return left <=> right;
}

ExactAmount::ExactAmount(Money amount) : numerator_(amount.units()), denominator_(1) {}

std::optional<ExactAmount> ExactAmount::timesFraction(Int128 numerator, Int128 denominator) const
{
    const Int128 common = greatestCommonDivisor(numerator, denominator);
    numerator /= common;
    denominator /= common;
    // Cancelling across before multiplying keeps the intermediates inside 128 bits whenever
    // the reduced result fits, and leaves the result in lowest terms.
    const Int128 across = greatestCommonDivisor(numerator_, denominator);
    const Int128 down = greatestCommonDivisor(numerator, denominator_);
    const auto resultNumerator = checkedProduct(numerator_ / across, numerator / down);
    const auto resultDenominator = checkedProduct(denominator_ / down, denominator / across);
    if (!resultNumerator || !resultDenominator)
        return std::nullopt;
    if (*resultNumerator == 0)
        return ExactAmount(0, 1);
    return ExactAmount(*resultNumerator, *resultDenominator);
}

namespace {

[[noreturn]] void throwTooLarge(const QString& operation)
{
    throw StoreError(QStringLiteral("金額の計算で%1ときに、途中の値が扱える桁数を超えました。").arg(operation));
}

} // namespace

ExactAmount ExactAmount::operator*(const Rate& factor) const
{
    if (const auto product = timesFraction(factor.mantissa_, powerOfTen(factor.scale_)))
        return *product;
    throwTooLarge(QStringLiteral("率 %1 を掛けた").arg(factor.toText()));
}

ExactAmount ExactAmount::operator*(qint64 factor) const
{
    if (const auto product = timesFraction(factor, 1))
        return *product;
    throwTooLarge(QStringLiteral("%1 を掛けた").arg(factor));
}

ExactAmount ExactAmount::operator/(const Rate& divisor) const
{
    if (divisor.isZero())
        throw StoreError(QStringLiteral("金額を率 0 で割ることはできません。"));
    const Int128 sign = divisor.mantissa_ < 0 ? -1 : 1;
    if (const auto quotient = timesFraction(sign * powerOfTen(divisor.scale_), sign * divisor.mantissa_))
        return *quotient;
    throwTooLarge(QStringLiteral("率 %1 で割った").arg(divisor.toText()));
}

ExactAmount ExactAmount::operator/(qint64 divisor) const
{
    if (divisor == 0)
        throw StoreError(QStringLiteral("金額を 0 で割ることはできません。"));
    const Int128 sign = divisor < 0 ? -1 : 1;
    if (const auto quotient = timesFraction(sign, sign * Int128(divisor)))
        return *quotient;
    throwTooLarge(QStringLiteral("%1 で割った").arg(divisor));
}

Money ExactAmount::rounded(Rounding how) const
{
    qint64 step = Money::kUnitsPerYen;
    bool halfAway = false;
    switch (how) {
    case Rounding::TowardZeroToYen:
        break;
    case Rounding::TowardZeroToHundredYen:
        step = 100 * Money::kUnitsPerYen;
        break;
    case Rounding::HalfAwayFromZeroToYen:
        halfAway = true;
        break;
    }

    // Rounding works on the magnitude and puts the sign back, so both directions are
    // symmetric about zero.
    const UInt128 units = magnitudeOf(numerator_) / UInt128(denominator_);
    UInt128 steps = units / UInt128(step);
    // The whole units past the last step decide alone: the fraction of a unit that the
    // division dropped is below one, and half a step is a whole number of units.
    if (halfAway && units % UInt128(step) >= UInt128(step / 2))
        ++steps;
    const UInt128 resultUnits = steps * UInt128(step);

    if (resultUnits > UInt128(std::numeric_limits<qint64>::max())) {
        const QString yen = groupedDigits(resultUnits / UInt128(Money::kUnitsPerYen));
        throw StoreError(QStringLiteral("計算結果 %1 円は金額として扱える範囲を超えています。")
                             .arg(numerator_ < 0 ? u'-' + yen : yen));
    }
    const qint64 result = qint64(resultUnits);
    return Money::fromUnits(numerator_ < 0 ? -result : result);
}

} // namespace tolva
