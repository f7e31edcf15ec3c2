// The decode tool run as a process, as scripts and operators use it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DateTime.h"
#include "FrameBuilder.h"

using namespace lw;
using namespace lw::sim;

namespace {

using Lines = std::vector<std::string>;

struct Result {
    int exitCode = -1;
    Lines out;
};

// `ostrel-sim <args>` run to its end: its exit code and the lines of its standard output.
Result runTool(std::vector<std::string> args) {
    args.insert(args.begin(), LEVELWATCH_BIN_DIR "/ostrel-sim");
    const lw::test::RunResult run = lw::test::runToEnd(args, {}, lw::test::ChildOutput::Piped);
    Result r{run.exitCode, {}};
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        r.out.push_back(line);
    return r;
}

// Everything after the Detail window's closing line of one space.
Lines slotLines(const Lines& out) {
    const auto end = std::find(out.begin(), out.end(), " ");
    return end == out.end() ? Lines{} : Lines(end + 1, out.end());
}

} // namespace

TEST(DecodeTool, RelayBlockPrintsDetailAndTheFieldsWrittenPerSlot) {
    UnitValues u;
    u.address = 7;
    u.dispType = 1;
    u.alarms = 0x0002;
    u.input1 = 10;
    u.tanks = {{.id = 7, .temperature = -4, .level = 1234, .volume = 12345, .volumeDecimals = 2},
               {.id = 8, .status = 1}};
    const double accepted = encodeDateTime({2026, 12, 9, 14, 5, 9});
    const Result r = runTool({"decode", hexText(relayBlock(buildReply(u, 24), accepted))});
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out[0], "DATE=12/9/2026 2:05:09 PM");
    const std::string time = "DateTime=" + formatNumber(accepted, Formats::enUS());
    EXPECT_EQ(slotLines(r.out),
              (Lines{"slot 1 ID=7", "Alarm1=False", "Alarm2=True", "Alarm3=False", "Alarm4=False",
                     "BatDisplay=100", "Input1=10", "Input2=0", time, "DispType=1", "Status=0",
                     "BatSender=100", "Temperature=-4", "Level=123.4", "Volume=123.45",
                     // Tank 2 reports a bad status: nothing after it is written.
                     "slot 2 ID=8", "Alarm1=False", "Alarm2=True", "Alarm3=False", "Alarm4=False",
                     "BatDisplay=100", "Input1=10", "Input2=0", time, "DispType=1", "Status=1"}));
}

TEST(DecodeTool, LongFrameWithATankIdBeyondFiveDigits) {
    UnitValues u;
    u.dispType = 4;
    u.tanks = {{.id = 100000, .level = 5}, {.id = 2, .level = 12345, .volume = 70000}};
    const Result r = runTool({"decode", hexText(buildReply(u, 48))});
    ASSERT_EQ(r.exitCode, 0);
    const Lines slots = slotLines(r.out);
    ASSERT_GE(slots.size(), 2u);
    EXPECT_EQ(slots[0], "slot 1 ID=100000"); // no row can hold this ID: nothing written
    EXPECT_EQ(slots[1], "slot 2 ID=2");
    EXPECT_NE(std::find(slots.begin(), slots.end(), "Level=123.45"), slots.end());
    EXPECT_NE(std::find(slots.begin(), slots.end(), "Volume=70000"), slots.end());
}

TEST(DecodeTool, RejectsWhatIsNoFrame) {
    UnitValues u;
    u.tanks = {{.id = 7}};
    const auto frame = buildReply(u, 24);
    struct Case {
        Lines args;
        int exitCode;
        Lines out;
    };
    const Case cases[] = {
        {{"decode", hexText(withBadCrc(frame))}, 1, {"no valid frame"}},
        {{"decode", hexText(std::vector<uint8_t>(frame.begin(), frame.end() - 1))},
         1,
         {"no valid frame"}},
        {{"decode", "01", "04", "3"}, 2, {}},
        {{"decode", "not hex"}, 2, {}},
        {{"decode", hexText(std::vector<uint8_t>(256, 0))}, 2, {}},
        {{}, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args).substr(0, 40));
        const Result r = runTool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.out, c.out);
    }
}
