#pragma once

#include "db/storeerror.h"

#include <QMetaType>
#include <QtGlobal>

#include <compare>
#include <cstdint>

namespace tolva {

// An exact amount of money: an integer count of ten-thousandths of a yen, the precision
// of the currency fields in the books. There is deliberately no constructor from double:
// every amount that enters the program is parsed from text or read as an integer.
// Arithmetic is checked: an amount that would leave the 64-bit range throws, it never wraps
// into a wrong figure.
// What every command says when amounts, or a sum of them in SQL, pass the range an amount
// can hold: no figure is better than a wrong one, and the user can look for the amount
// typed with too many digits.
inline QString amountOutOfRange()
{
    return QStringLiteral("金額が大きすぎて計算できません（扱える金額の範囲を超えました）。"
                          "桁を誤って入力した金額がないか、仕訳を確かめてください。");
}

class Money {
public:
    static constexpr qint64 kUnitsPerYen = 10000;
    // The largest amount a user may enter for one row: twelve digits, as the grids are laid
    // out for. A million rows of it still add up inside the range of an amount.
    static constexpr qint64 kMaxEntryYen = 999'999'999'999;

    constexpr Money() = default;

    [[nodiscard]] static constexpr Money fromYen(qint64 yen)
    {
        qint64 units = 0;
        if (__builtin_mul_overflow(yen, kUnitsPerYen, &units))
            overflow();
        return Money(units);
    }
    [[nodiscard]] static constexpr Money fromUnits(qint64 units) { return Money(units); }

    [[nodiscard]] constexpr qint64 units() const { return units_; }
    [[nodiscard]] constexpr bool isZero() const { return units_ == 0; }
    [[nodiscard]] constexpr bool isNegative() const { return units_ < 0; }

    // Whole yen, rounding half away from zero: how an amount is shown when no decimals are
    // written (grids, status bars, reports).
    [[nodiscard]] constexpr qint64 roundedToYen() const
    {
        const qint64 half = kUnitsPerYen / 2;
        const qint64 yen = units_ / kUnitsPerYen;   // toward zero
        const qint64 rest = units_ % kUnitsPerYen;  // with the sign of the amount
        return rest >= half ? yen + 1 : rest <= -half ? yen - 1 : yen;
    }
    [[nodiscard]] constexpr bool isWholeYen() const { return units_ % kUnitsPerYen == 0; }

    constexpr Money operator-() const
    {
        qint64 units = 0;
        if (__builtin_sub_overflow(qint64(0), units_, &units))
            overflow();
        return Money(units);
    }
    constexpr Money operator+(Money o) const
    {
        qint64 units = 0;
        if (__builtin_add_overflow(units_, o.units_, &units))
            overflow();
        return Money(units);
    }
    constexpr Money operator-(Money o) const
    {
        qint64 units = 0;
        if (__builtin_sub_overflow(units_, o.units_, &units))
            overflow();
        return Money(units);
    }
    constexpr Money& operator+=(Money o) { return *this = *this + o; }
    constexpr Money& operator-=(Money o) { return *this = *this - o; }
    constexpr auto operator<=>(const Money&) const = default;

private:
    constexpr explicit Money(qint64 units) : units_(units) {}
    [[noreturn]] static void overflow() { throw StoreError(amountOutOfRange()); }
    qint64 units_ = 0;
};

} // namespace tolva

// A plain integer inside: a QVariant holds it in place instead of on the heap, which a read
// of a million rows with two amounts each notices.
Q_DECLARE_TYPEINFO(tolva::Money, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(tolva::Money)
