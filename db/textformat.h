#pragma once

#include "db/money.h"

#include <QDate>
#include <QString>

#include <optional>

namespace tolva {

// Every conversion between amounts or dates and the text a user reads or types lives here,
// so that the whole program writes Japanese conventions regardless of the machine's locale.
namespace textformat {

// Grid cells: whole yen with "," separators and a leading "-" when negative ("-1,234").
[[nodiscard]] QString gridAmount(Money amount);
// Status bars and amount boxes: the Japanese currency format without decimals ("￥1,234").
[[nodiscard]] QString currency(Money amount);
// Plain number as a currency field reads as text: "1234", "1234.5", "-12".
[[nodiscard]] QString plainAmount(Money amount);

// Reads what a user may type for an amount: "1234", "1,234", "\1,234", "￥1,234",
// "¥1,234", full-width digits, a leading sign and up to four decimals. Anything else
// gives no value.
[[nodiscard]] std::optional<Money> parseAmount(const QString& text);

// What a user may type into an amount box: whole yen, at most Money::kMaxEntryYen, in any of
// the forms parseAmount reads. The books keep ten-thousandths, but the program handles whole
// yen: a fraction typed would be shown rounded, and the shown rows would no longer add up.
enum class AmountEntryError { None, NotANumber, FractionOfYen, TooLarge };
struct AmountEntry {
    std::optional<Money> amount;
    AmountEntryError error = AmountEntryError::None;
};
[[nodiscard]] AmountEntry parseAmountEntry(const QString& text);
// Why an entry was refused, for the errors that have a reason of their own ("金額は1円単位で…",
// "金額は999,999,999,999円まで…"); empty for NotANumber, whose words belong to the window.
[[nodiscard]] QString amountEntryProblem(AmountEntryError error);

// yyyy/MM/dd: the period texts and the short date of grids and labels.
[[nodiscard]] QString shortDate(const QDate& date);
// "2010/ 04/ 01": the headers of exports and printed reports.
[[nodiscard]] QString reportDate(const QDate& date);
// Two dates joined by "～" in the given form.
[[nodiscard]] QString period(const QDate& start, const QDate& end);
[[nodiscard]] QString reportPeriod(const QDate& start, const QDate& end);

// Reads a date typed as yyyy/M/d or stored as yyyy-MM-dd.
[[nodiscard]] std::optional<QDate> parseDate(const QString& text);

// A date as a user types it into a box: yyyy/M/d (or with "-" or "."), full-width digits
// allowed, nothing after it, a year from 1900 to 2999. Anything else gives no value rather
// than a date the user did not mean.
inline constexpr int kFirstEntryYear = 1900;
inline constexpr int kLastEntryYear = 2999;
[[nodiscard]] std::optional<QDate> parseDateEntry(const QString& text);

// Text typed or pasted into a one-line box: tabs and line breaks become blanks, every other
// control character goes, so that what is stored is what was seen.
[[nodiscard]] QString withoutControlCharacters(const QString& text);

// The form in which dates are kept in the database: ISO yyyy-MM-dd, which sorts and
// compares as whole days.
[[nodiscard]] QString isoDate(const QDate& date);

} // namespace textformat
} // namespace tolva
