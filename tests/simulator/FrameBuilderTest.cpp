#include "FrameBuilder.h"

#include <gtest/gtest.h>

#include "FrameBuffer.h"

using namespace lw;
using namespace lw::sim;

TEST(FrameBuilder, Request) {
    EXPECT_EQ(buildRequest(1, 24), (std::vector<uint8_t>{1, 4, 0, 0, 0, 0x18, 0xF0, 0x00}));
    EXPECT_EQ(buildRequest(1, 48).size(), 8u);
}

TEST(FrameBuilder, RepliesHaveTheirLengthsAndValidChecks) {
    UnitValues u;
    u.dispType = 12;
    u.tanks = {{.id = 100000}, {.id = 2}, {.id = 3}, {.id = 4, .level = 12345}};
    const auto longReply = buildReply(u, 48);
    ASSERT_EQ(longReply.size(), 101u);
    const FrameBuffer rx = FrameBuffer::fromBytes(longReply);
    EXPECT_TRUE(longCrcMatches(rx));
    EXPECT_EQ(rx[3], 96);
    EXPECT_EQ(RxInput(rx, 6), 12);
    EXPECT_EQ(RxInput2(rx, 9), 100000u);
    EXPECT_EQ(RxInput2(rx, 39), 4u);
    EXPECT_EQ(RxInput2(rx, 41), 12345u);

    const auto shortReply = buildReply(u, 24);
    ASSERT_EQ(shortReply.size(), 53u);
    EXPECT_TRUE(shortCrcMatches(FrameBuffer::fromBytes(shortReply)));
    EXPECT_FALSE(shortCrcMatches(FrameBuffer::fromBytes(withBadCrc(shortReply))));
}

TEST(FrameBuilder, R200Layout) {
    UnitValues u;
    u.dispType = 1;
    u.counter = 77;
    u.tanks = {{.id = 7, .temperature = -10, .level = 1234}, {.id = 8, .status = 1}};
    const FrameBuffer rx = FrameBuffer::fromBytes(buildReply(u, 24));
    EXPECT_EQ(RxInput(rx, 8), 7);
    EXPECT_EQ(RxInput(rx, 11), 0xFFF6);
    EXPECT_EQ(RxInput(rx, 12), 1234);
    EXPECT_EQ(RxInput(rx, 15), 8);
    EXPECT_EQ(RxInput(rx, 16), 1);
    EXPECT_EQ(RxInput(rx, 24), 77);
}

TEST(FrameBuilder, RelayBlockCarriesTheTime) {
    UnitValues u;
    const auto block = relayBlock(buildReply(u, 24), 46365.25);
    ASSERT_EQ(block.size(), 255u);
    const FrameBuffer rx = FrameBuffer::fromBytes(block);
    EXPECT_TRUE(shortCrcMatches(rx));
    EXPECT_DOUBLE_EQ(blockTime(rx), 46365.25);
}
