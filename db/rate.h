#pragma once

#include "db/money.h"

#include <QString>

#include <compare>
#include <optional>

namespace tolva {

// An exact decimal factor: a rate (0.125), a percentage (12.5) or a share (0.333), held as
// mantissa / 10^scale. Rates come from what a user types or from FLOAT fields of the books;
// holding them as decimals means 0.7 is seven tenths, not the binary double just below it
// that would truncate 70 yen to 69.
class Rate {
public:
    // Significant digits and decimals a rate may carry: enough for any double's shortest
    // form (at most 17 digits), little enough that two mantissas multiply inside 128 bits.
    static constexpr int kMaxDigits = 18;

    constexpr Rate() = default;

    // A plain decimal: an optional sign, digits, optionally "." and more digits; full-width
    // digits, sign and point as parseAmount reads them, surrounding spaces ignored. No
    // grouping, exponent or "%": whether 12.5 is a percentage is the caller's rule.
    [[nodiscard]] static std::optional<Rate> fromText(const QString& text);
    // A FLOAT field's value by its shortest decimal form (0.1 is exactly one tenth). NaN,
    // infinities and values beyond kMaxDigits give no value.
    [[nodiscard]] static std::optional<Rate> fromStoredDouble(double value);

    // Plain decimal text without exponent or trailing zeros: "0.125", "-12.5", "100".
    [[nodiscard]] QString toText() const;

    [[nodiscard]] constexpr bool isZero() const { return mantissa_ == 0; }

    // Rates are kept without trailing zeros, so equal values have equal members.
    friend constexpr bool operator==(const Rate&, const Rate&) = default;
    friend std::strong_ordering operator<=>(const Rate& a, const Rate& b);

private:
    friend class ExactAmount;
    constexpr Rate(qint64 mantissa, int scale) : mantissa_(mantissa), scale_(scale) {}

    qint64 mantissa_ = 0;
    int scale_ = 0;
};

// How an exact amount becomes money: the step it lands on and the direction it goes.
enum class Rounding {
    TowardZeroToYen,          // -1.9 yen → -1 yen
    TowardZeroToHundredYen,   // depreciation and business shares: -150 yen → -100 yen
    HalfAwayFromZeroToYen,    // 0.5 yen → 1 yen, -0.5 yen → -1 yen
};

// An amount multiplied and divided without rounding: an exact fraction of Money's units
// (numerator over a positive denominator, in lowest terms, in 128 bits). It becomes Money
// only through rounded(), where the rule is named:
//
//     (ExactAmount(cost) * rate * months / 12).rounded(Rounding::TowardZeroToHundredYen)
//
// A step whose result would not fit in 128 bits, a division by zero and a rounded result
// beyond Money's range throw StoreError; nothing wraps.
class ExactAmount {
public:
    explicit ExactAmount(Money amount);

    [[nodiscard]] ExactAmount operator*(const Rate& factor) const;
    [[nodiscard]] ExactAmount operator*(qint64 factor) const;
    [[nodiscard]] ExactAmount operator/(const Rate& divisor) const;
    [[nodiscard]] ExactAmount operator/(qint64 divisor) const;

    [[nodiscard]] Money rounded(Rounding how) const;

private:
    // GCC and Clang's 128-bit integer; Qt 6.4 has no portable name for it yet.
    using Int128 = __int128;

    ExactAmount(Int128 numerator, Int128 denominator) : numerator_(numerator), denominator_(denominator) {}
    // This amount times numerator / denominator (denominator > 0); no value when a part of the
    // result would not fit in 128 bits.
    [[nodiscard]] std::optional<ExactAmount> timesFraction(Int128 numerator, Int128 denominator) const;

    Int128 numerator_;
    Int128 denominator_;
};

[[nodiscard]] inline ExactAmount operator*(Money amount, const Rate& factor) { return ExactAmount(amount) * factor; }

} // namespace tolva
