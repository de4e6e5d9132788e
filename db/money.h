#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <compare>
#include <cstdint>

namespace tolva {

// An exact amount of money: an integer count of ten-thousandths of a yen, the precision
// of the currency fields in the books. There is deliberately no constructor from double:
// every amount that enters the program is parsed from text or read as an integer.
class Money {
public:
    static constexpr qint64 kUnitsPerYen = 10000;

    constexpr Money() = default;

    [[nodiscard]] static constexpr Money fromYen(qint64 yen) { return Money(yen * kUnitsPerYen); }
    [[nodiscard]] static constexpr Money fromUnits(qint64 units) { return Money(units); }

    [[nodiscard]] constexpr qint64 units() const { return units_; }
    [[nodiscard]] constexpr bool isZero() const { return units_ == 0; }
    [[nodiscard]] constexpr bool isNegative() const { return units_ < 0; }

    // Whole yen, rounding half away from zero: how an amount is shown when no decimals are
    // written (grids, status bars, reports).
    [[nodiscard]] constexpr qint64 roundedToYen() const
    {
        const qint64 half = kUnitsPerYen / 2;
        return units_ >= 0 ? (units_ + half) / kUnitsPerYen : -((-units_ + half) / kUnitsPerYen);
    }
    [[nodiscard]] constexpr bool isWholeYen() const { return units_ % kUnitsPerYen == 0; }

    constexpr Money operator-() const { return Money(-units_); }
    constexpr Money operator+(Money o) const { return Money(units_ + o.units_); }
    constexpr Money operator-(Money o) const { return Money(units_ - o.units_); }
    constexpr Money& operator+=(Money o) { units_ += o.units_; return *this; }
    constexpr Money& operator-=(Money o) { units_ -= o.units_; return *this; }
    constexpr auto operator<=>(const Money&) const = default;

private:
    constexpr explicit Money(qint64 units) : units_(units) {}
    qint64 units_ = 0;
};

} // namespace tolva

Q_DECLARE_METATYPE(tolva::Money)
