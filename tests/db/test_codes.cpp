#include "db/codes.h"

#include <gtest/gtest.h>

using namespace tolva;

TEST(Codes, EachProcessingModeCountsWhereTheAggregationsCountIt)
{
    struct Case {
        int syori;
        AggregationShare share;
    };
    const Case cases[] = {
        {10, AggregationShare::Movement},
        {21, AggregationShare::Movement},    // the opening rows are ordinary movements
        {0, AggregationShare::Movement},     // like "syori <= 21" in SQL
        {31, AggregationShare::Adjustment},
        {41, AggregationShare::Excluded},    // the closing's own rows are in no total
        {51, AggregationShare::Excluded},
        {30, AggregationShare::Excluded},
    };
    for (const Case& c : cases)
        EXPECT_EQ(aggregationShare(c.syori), c.share) << c.syori;
    for (ProcessingMode mode : kProcessingModes)
        EXPECT_EQ(processingModeFromCode(code(mode)), mode);
    EXPECT_EQ(processingModeFromCode(11), std::nullopt);
}

TEST(Codes, CategoryCodesAreReadFromTheirStoredText)
{
    EXPECT_EQ(codeFromText<SideCode>(QStringLiteral("1")), SideCode::Debit);
    EXPECT_EQ(codeFromText<StatementCode>(QStringLiteral(" 2 ")), StatementCode::ProfitAndLoss);
    EXPECT_EQ(codeFromText<SideCode>(QStringLiteral("4")), std::nullopt);
    EXPECT_EQ(codeFromText<SideCode>(QString()), std::nullopt);
    EXPECT_EQ(codeText(StatementCode::Adjustment), QStringLiteral("3"));
}
