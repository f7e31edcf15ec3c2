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
