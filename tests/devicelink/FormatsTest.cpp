#include "Formats.h"

#include <gtest/gtest.h>

using namespace lw;

TEST(NumberText, GeneralFormat) {
    const Formats us = Formats::enUS();
    const std::pair<double, const char*> cases[] = {
        {0, "0"},
        {350, "350"},
        {12.5, "12.5"},
        {-10, "-10"},
        {123.45, "123.45"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {2.5e20, "2.5E20"},
        {1e15, "1E15"},
        {999999999999999, "999999999999999"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {-0.00012345, "-0.00012345"},
        {4294967295.0 / 10, "429496729.5"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(formatNumber(value, us), text) << value;
    EXPECT_EQ(formatNumber(1234.5, Formats::commaDecimal()), "1234,5");
}

TEST(NumberText, ParsesWithTheDecimalSeparator) {
    EXPECT_EQ(parseNumber("1234.5", Formats::enUS()), 1234.5);
    EXPECT_EQ(parseNumber("1234,5", Formats::commaDecimal()), 1234.5);
    EXPECT_EQ(parseNumber("2.5E20", Formats::enUS()), 2.5e20);
    EXPECT_EQ(parseNumber("-7", Formats::enUS()), -7);
    for (const char* bad : {"", "12a", "1,5", " 1", "1e"})
        EXPECT_EQ(parseNumber(bad, Formats::enUS()), std::nullopt) << bad;
    EXPECT_EQ(parseNumber("1.5", Formats::commaDecimal()), std::nullopt);
}

TEST(NumberText, Integers) {
    EXPECT_EQ(parseInteger("9600"), 9600);
    EXPECT_EQ(parseInteger("-1"), -1);
    for (const char* bad : {"", "x", "12 ", "99999999999", "-", "1.0"})
        EXPECT_EQ(parseInteger(bad), std::nullopt) << bad;
}
