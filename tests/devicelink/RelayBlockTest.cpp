#include "RelayBlock.h"

#include <gtest/gtest.h>

#include <string>

#include "FrameBuilder.h"

using namespace lw;

TEST(RelayBlock, StatusBlockCarriesTheTextZeroPaddedAndCutToOneBlock) {
    struct Case {
        std::string text;
        std::string readBack;
    };
    const std::string longText(300, 'q');
    const Case cases[] = {
        {"", ""},
        {"1/2/2026 10:00:00 AM Service Start", "1/2/2026 10:00:00 AM Service Start"},
        {longText, longText.substr(0, kBufferSize - 8)}, // no terminating zero: the block's end
        {std::string("ab\0cd", 5), "ab"},
    };
    for (const Case& c : cases) {
        const RelayBlock b = makeStatusBlock(c.text);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "Service:");
        EXPECT_TRUE(isStatusBlock(b));
        EXPECT_EQ(statusText(b), c.readBack);
        if (c.text.size() < kBufferSize - 8u) {
            EXPECT_EQ(b.back(), 0);
        }
    }
}

TEST(RelayBlock, FramesAreNotStatusBlocks) {
    sim::UnitValues unit;
    unit.tanks = {{.id = 4}};
    for (int registers : {24, 48}) {
        const auto block = sim::relayBlock(sim::buildReply(unit, registers), 46000.5);
        RelayBlock b{};
        std::copy(block.begin(), block.end(), b.begin());
        EXPECT_FALSE(isStatusBlock(b));
    }
    // The monitor looks at seven characters only.
    RelayBlock b{};
    const std::string service = "Service-status";
    std::copy(service.begin(), service.end(), b.begin());
    EXPECT_TRUE(isStatusBlock(b));
    EXPECT_EQ(statusText(b), "status");
}

TEST(RelayBlock, SavedFrameFileNames) {
    EXPECT_EQ(savedFrameFileName(12), "LastData-12.bin");
    const std::pair<const char*, std::optional<uint64_t>> names[] = {
        {"LastData-0.bin", 0},
        {"LastData-12.bin", 12},
        {"LastData-10000.bin", 10000},
        {"LastData-007.bin", std::nullopt},
        {"LastData--1.bin", std::nullopt},
        {"LastData-.bin", std::nullopt},
        {"LastData-1x.bin", std::nullopt},
        {"LastData-1.bin.tmp", std::nullopt},
        {"lastdata-1.bin", std::nullopt},
        {"LastData-99999999999999999999.bin", std::nullopt},
    };
    for (const auto& [name, id] : names)
        EXPECT_EQ(savedFrameFileId(name), id) << name;
}
