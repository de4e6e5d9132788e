#include "tests/bluereturn/smallyear.h"

#include "tests/ledger/journalrows.h"

namespace tolva::testing {

// A small year of a shop kept with the household in one book: opening balances, sales,
// 雑収入, 家事消費, purchases, inventory at both ends, depreciation of a building and a car,
// and household spending paid from the business account through 事業主貸.
void smallRealisticYear(const QString& folder)
{
    addEntries(folder, {
        // Brought forward on the first day.
        {"2024-01-01", "1111", 200000, "2111", 200000, nullptr, nullptr, nullptr, 21},
        {"2024-01-01", "1112", 1500000, "2111", 1500000, nullptr, nullptr, nullptr, 21},
        {"2024-01-01", "1118", 300000, "2111", 300000, nullptr, nullptr, nullptr, 21},
        {"2024-01-01", "1211", 4000000, "2111", 4000000, nullptr, nullptr, nullptr, 21},
        {"2024-01-01", "1213", 1200000, "2111", 1200000, nullptr, nullptr, nullptr, 21},
        {"2024-01-01", "2111", 700000, "1311", 700000, nullptr, nullptr, nullptr, 21},
        {"2024-01-01", "2111", 6500000, "1503", 6500000, nullptr, nullptr, nullptr, 21},
        // An ordinary row of the first day is a movement, not part of 期首.
        {"2024-01-01", "1112", 50000, "0111", 50000},
        {"2024-01-15", "1112", 800000, "0111", 800000},
        {"2024-03-10", "1114", 450000, "0111", 450000},
        {"2024-03-31", "1112", 12000, "0112", 12000},
        {"2024-06-30", "1501", 30000, "0113", 30000},
        {"2024-02-05", "0311", 400000, "1311", 400000},
        {"2024-07-05", "0311", 250000, "1112", 250000},
        {"2024-04-10", "0314", 36000, "1112", 36000},
        {"2024-05-20", "0316", 24000, "1112", 24000},
        {"2024-08-01", "0329", 3300, "1112", 3300},
        {"2024-09-09", "0399", 1800, "1111", 1800},
        // Household spending: the owner draws from the business account, the household spends.
        {"2024-10-25", "1501", 120000, "1112", 120000},
        {"2024-10-25", "0411", 120000, "0215", 120000},
        // Closing adjustments: depreciation and inventory through the purchases account.
        {"2024-12-31", "0322", 160000, "1211", 160000, nullptr, nullptr, nullptr, 31},
        {"2024-12-31", "0322", 100000, "1213", 100000, nullptr, nullptr, nullptr, 31},
        {"2024-12-31", "0311", 300000, "1118", 300000, nullptr, nullptr, nullptr, 31},
        {"2024-12-31", "1118", 350000, "0311", 350000, nullptr, nullptr, nullptr, 31},
        // The closing's own rows never count.
        {"2024-12-31", "0111", 1300000, "4111", 1300000, nullptr, nullptr, nullptr, 41},
        {"2024-12-31", "5111", 9999, "1112", 9999, nullptr, nullptr, nullptr, 51},
        {"2025-01-01", "1112", 7777, "2111", 7777, nullptr, nullptr, nullptr, 21},
    });
}

} // namespace tolva::testing
