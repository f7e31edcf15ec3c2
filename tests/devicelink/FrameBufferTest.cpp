#include "FrameBuffer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lw;

TEST(Crc16, KnownVectors) {
    struct Case {
        std::vector<uint8_t> bytes;
        uint16_t expected; // first check byte on the line in the high half
    };
    const Case cases[] = {
        {{0x01, 0x04, 0x00, 0x00, 0x00, 0x18}, 0xF000},
        {{0x01, 0x04, 0x00, 0x00, 0x00, 0x30}, 0xF01E},
        {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x7687},
        {{}, 0xFFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(crc16(c.bytes.data(), c.bytes.size()), c.expected);
}

TEST(Crc16, TablesMatchTheReferenceAlgorithm) {
    EXPECT_EQ(LookupCRCHi[0], 0x00);
    EXPECT_EQ(LookupCRCHi[1], 0xC1);
    EXPECT_EQ(LookupCRCHi[255], 0x40);
    EXPECT_EQ(LookupCRCLo[1], 0xC0);
    EXPECT_EQ(LookupCRCLo[2], 0xC1);
    EXPECT_EQ(LookupCRCLo[255], 0x40);
}

TEST(Crc16, TxRoutineCoversSixBytes) {
    const std::vector<uint8_t> request{0x01, 0x04, 0x00, 0x00, 0x00, 0x18, 0xAA, 0xBB};
    const FrameBuffer tx = FrameBuffer::fromBytes(request);
    EXPECT_EQ(CRC16Tx(tx), 0xF000);
}

TEST(Crc16, ShortAndLongChecksReadTheirOwnCheckBytes) {
    FrameBuffer rx;
    for (int i = 1; i <= 51; ++i)
        rx[i] = static_cast<uint8_t>(i * 7);
    const uint16_t shortCrc = CRC16Rx(rx);
    rx[52] = static_cast<uint8_t>(shortCrc >> 8);
    rx[53] = static_cast<uint8_t>(shortCrc & 0xFF);
    for (int i = 54; i <= 99; ++i)
        rx[i] = static_cast<uint8_t>(i);
    EXPECT_TRUE(shortCrcMatches(rx));
    EXPECT_FALSE(longCrcMatches(rx));

    const uint16_t longCrc = CRC16RxR3(rx);
    rx[100] = static_cast<uint8_t>(longCrc >> 8);
    rx[101] = static_cast<uint8_t>(longCrc & 0xFF);
    EXPECT_TRUE(longCrcMatches(rx));

    rx[10] ^= 0x01;
    EXPECT_FALSE(shortCrcMatches(rx));
    EXPECT_FALSE(longCrcMatches(rx));
}

TEST(Registers, SixteenAndThirtyTwoBit) {
    // Register 1 at positions 4,5; register 9 at 20,21; register 10 at 22,23.
    FrameBuffer rx;
    rx[4] = 0x12;
    rx[5] = 0x34;
    rx[20] = 0x00;
    rx[21] = 0x01;
    rx[22] = 0x86;
    rx[23] = 0xA0;
    EXPECT_EQ(RxInput(rx, 1), 0x1234);
    EXPECT_EQ(RxInput2(rx, 9), 100000u);
    rx[20] = 0xFF;
    EXPECT_EQ(RxInput2(rx, 9), 0xFF0186A0u);
}

TEST(RelayBlock, TimeRoundTripsLittleEndianAtOffset247) {
    FrameBuffer rx;
    setBlockTime(rx, 46000.5);
    EXPECT_DOUBLE_EQ(blockTime(rx), 46000.5);
    // 46000.5 = 0x40E6761000000000
    EXPECT_EQ(rx[248], 0x00);
    EXPECT_EQ(rx[254], 0xE6);
    EXPECT_EQ(rx[255], 0x40);
}
