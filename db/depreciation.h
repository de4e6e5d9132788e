#pragma once

#include "db/money.h"
#include "db/rate.h"

#include <QDate>

namespace tolva {

class Dataset;

// The inputs of one year of an asset's depreciation, as a yearly row holds them; a null
// field of the row counts as 0.
struct DepreciationInputs {
    Money base;           // (ﾛ) the balance at the start of the year
    Rate rate;            // (ﾊ) a fraction: 0.167
    int months = 0;       // (ﾆ) months of the year depreciated, out of 12
    Money extra;          // (ﾍ) extra depreciation typed by the user
    int rentalShare = 0;  // (ﾁ) percent of the asset used in the business, 100 = all of it
};

// The four figures derived from them, as the depreciation schedule's columns name them.
struct DepreciationFigures {
    Money ordinary;    // (ﾎ) base × rate × months / 12, truncated to hundreds of yen
    Money total;       // (ﾄ) ordinary + extra
    Money expense;     // (ﾘ) total × share %, truncated to hundreds of yen
    Money endBalance;  // (ﾇ) base − total

    friend bool operator==(const DepreciationFigures&, const DepreciationFigures&) = default;
};

// The year's figures, computed exactly (no floating-point product anywhere):
//  1. ordinary = base × rate × months / 12, truncated toward zero to whole hundreds of yen;
//  2. when that would reach the base, ordinary = base − 1 yen: ordinary depreciation leaves
//     at least 1 yen on the books; a base of 0 or less has nothing to depreciate (0);
//  3. total = ordinary + extra;
//  4. expense = total × share / 100, truncated toward zero to whole hundreds of yen;
//  5. end balance = base − total.
[[nodiscard]] DepreciationFigures depreciationFigures(const DepreciationInputs& in);

// The inputs of the current row of a dataset with the yearly row's fields (`zandakaK`,
// `SRate`, `SMonth`, `warimashiS`, `kashitukeR`): the table of yearly rows or the
// depreciation list. The stored rate is read by its shortest decimal form.
[[nodiscard]] DepreciationInputs depreciationInputsOf(Dataset& row);

// The rate a useful life gives under the straight-line method: 1 ÷ life to three decimals,
// rounded up for assets acquired from 1 April 2007 (life 6: 0.167) and down for earlier
// ones (0.166). `usefulLife` must be above 0.
[[nodiscard]] Rate straightLineRate(int usefulLife, const QDate& acquired);

} // namespace tolva
