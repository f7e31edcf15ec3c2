#include "CodeTables.h"

#include <gtest/gtest.h>

using namespace lw;

TEST(CodeTables, Texts) {
    EXPECT_EQ(statusText(0), "Good");
    EXPECT_EQ(statusText(2), "Unkown");
    EXPECT_EQ(statusText(7), "");
    EXPECT_EQ(statusText(std::nullopt), "");
    EXPECT_EQ(comTypeText(std::nullopt), "Unknown");
    EXPECT_EQ(comTypeText(0), "RS422/485");
    EXPECT_EQ(comTypeText(4), "Satellite");
    EXPECT_EQ(dispTypeText(std::nullopt), "Unkown");
    EXPECT_EQ(dispTypeText(19), "R300I");
    EXPECT_EQ(dispTypeText(2), "");
}

TEST(CodeTables, Battery) {
    const std::pair<int, int32_t> levels[] = {{0, 0}, {1, 0}, {2, 50}, {3, 100}, {4, 0}, {9, 0}};
    for (auto [code, level] : levels)
        EXPECT_EQ(batteryLevel(code), level) << code;
    EXPECT_EQ(batteryWord(0), "Poor");
    EXPECT_EQ(batteryWord(1), "Fair");
    EXPECT_EQ(batteryWord(50), "Fair");
    EXPECT_EQ(batteryWord(51), "Good");
    EXPECT_EQ(batteryWord(-1), "Fair");
    EXPECT_EQ(batteryWord(std::nullopt), "?");
}

TEST(CodeTables, Families) {
    for (int t : {0, 1, 3})
        EXPECT_TRUE(isR200Type(t)) << t;
    for (int t : {4, 8, 12, 16, 19})
        EXPECT_TRUE(isR300Type(t)) << t;
    for (int t : {2, 5, 17, 255})
        EXPECT_EQ(familyOf(t), Family::None) << t;
    EXPECT_EQ(tanksPerReply(12), 4);
    EXPECT_EQ(tanksPerReply(19), 1);
    EXPECT_TRUE(isInterfaceType(3));
    EXPECT_FALSE(isInterfaceType(16));
}
