#include "common/numeric.h"

#include <gtest/gtest.h>

#include <limits>

struct NumericCase {
    const char* text;
    double value;
};

class NumericValueTest : public testing::TestWithParam<NumericCase> {};

TEST_P(NumericValueTest, ReadsTheNumberAtTheStart) {
    EXPECT_DOUBLE_EQ(NumericValue(GetParam().text), GetParam().value)
        << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumericValueTest,
    testing::Values(NumericCase{"12", 12}, NumericCase{"07", 7}, NumericCase{"", 0},
                    NumericCase{"abc", 0}, NumericCase{"COM3", 0}, NumericCase{"  \t\r\n42", 42},
                    NumericCase{"-5", -5}, NumericCase{"+5", 5}, NumericCase{"3.75", 3.75},
                    NumericCase{".5", 0.5}, NumericCase{"5.", 5}, NumericCase{"1e2", 100},
                    NumericCase{"1E+2", 100}, NumericCase{"25d-1", 2.5}, NumericCase{"2D1", 20},
                    NumericCase{"3e", 3}, NumericCase{"3e+", 3}, NumericCase{"12abc", 12},
                    NumericCase{"12 34", 12}, NumericCase{"-", 0}, NumericCase{".", 0},
                    NumericCase{"\"3\"", 0}, NumericCase{"300", 300}));

TEST(RoundToInteger, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToInteger(0.5), 0);
    EXPECT_EQ(RoundToInteger(1.5), 2);
    EXPECT_EQ(RoundToInteger(2.5), 2);
    EXPECT_EQ(RoundToInteger(-2.5), -2);
    EXPECT_EQ(RoundToInteger(2.5000001), 3);
    EXPECT_EQ(RoundToInteger(9.4999), 9);
    EXPECT_EQ(IntegerValue("16.5"), 16);
    EXPECT_EQ(IntegerValue("17.5"), 18);
}

TEST(RoundToInteger, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(IntegerValue("1e300"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(IntegerValue("-1e300"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(RoundToInteger(std::numeric_limits<double>::quiet_NaN()), 0);
}
