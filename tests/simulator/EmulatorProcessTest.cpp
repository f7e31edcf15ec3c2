// `ostrel-sim run` as a process: the test plays the port owner on the line it serves.

#include <gtest/gtest.h>

#include <filesystem>

#include "Files.h"
#include "FrameBuffer.h"
#include "FrameBuilder.h"
#include "PollList.h"
#include "Pty.h"
#include "SimProcess.h"

using namespace lw;
using lw::sim::hexText;
using lw::test::hasLine;
using lw::test::Pty;
using lw::test::readFile;
using lw::test::SimProcess;
using lw::test::TempDir;
using lw::test::waitUntil;

namespace {

class EmulatorProcess : public ::testing::Test {
protected:
    std::string file(const char* name) const { return (dir / name).string(); }
    bool logged(const std::string& line) {
        return waitUntil([&] { return hasLine(readFile(file("sim.log")), line); });
    }
    const TempDir dir{"emulator"};
};

} // namespace

TEST_F(EmulatorProcess, ServesAPtyThroughReopensUntilStopped) {
    SimProcess sim({"--unit", "1:R300S", "--unit", "2:R200S:silent", "--no-drift", "--link",
                    file("line"), "--log", file("sim.log")});
    ASSERT_EQ(sim.path(), file("line"));
    ASSERT_TRUE(std::filesystem::is_symlink(file("line")));

    std::vector<uint8_t> reply;
    {
        Pty port(sim.path());
        port.write(pollRequest(1, 24));
        reply = port.receive(53);
        ASSERT_EQ(reply.size(), 53u);
        FrameBuffer rx;
        std::copy(reply.begin(), reply.end(), rx.block());
        EXPECT_TRUE(shortCrcMatches(rx));
        EXPECT_EQ(RxInput(rx, reg::kType), 16);
        port.write(pollRequest(2, 24));
        port.write(pollRequest(3, 24));
    }
    EXPECT_TRUE(logged("request 01 04 00 00 00 18 F0 00"));
    EXPECT_TRUE(logged("reply 1 R300S 24 " + hexText(reply)));
    EXPECT_TRUE(logged("silent 2"));
    EXPECT_TRUE(logged("no-unit 3"));

    // The port closed and opened again: the unit still answers, now the long reply.
    Pty again(sim.path());
    again.write(pollRequest(1, 48));
    EXPECT_EQ(again.receive(101).size(), 101u);

    sim.kill(SIGTERM);
    EXPECT_EQ(sim.waitExit(10000), 0);
    EXPECT_TRUE(logged("stop"));
    EXPECT_FALSE(std::filesystem::is_symlink(file("line")));
}

TEST_F(EmulatorProcess, SplitPacedRepliesAndNoiseArriveWholeAndInOrder) {
    SimProcess sim({"--unit", "7:R200D", "--split", "4", "--split-delay", "30", "--baud", "19200",
                    "--noise", "5", "--noise-delay", "20", "--log", file("sim.log")});
    ASSERT_FALSE(sim.path().empty());
    Pty port(sim.path());
    port.write(pollRequest(7, 24));
    const std::vector<uint8_t> got = port.receive(58);
    ASSERT_EQ(got.size(), 58u);
    EXPECT_TRUE(logged("reply 7 R200D 24 " + hexText({got.begin(), got.begin() + 53})));
    EXPECT_TRUE(logged("noise " + hexText({got.begin() + 53, got.end()})));
}

TEST_F(EmulatorProcess, OpensAGivenDevice) {
    Pty port;
    SimProcess sim(
        {"--unit", "3:R300Q", "--device", port.path(), "--baud", "9600", "--log", file("sim.log")});
    EXPECT_EQ(sim.path(), port.path());
    port.write(pollRequest(3, 48));
    EXPECT_EQ(port.receive(101).size(), 101u);
}

TEST_F(EmulatorProcess, ExitsWhenAskedOnceTheOtherSideHangsUp) {
    SimProcess sim({"--unit", "1:R200S", "--exit-on-hangup", "--log", file("sim.log")});
    ASSERT_FALSE(sim.path().empty());
    {
        Pty port(sim.path());
        port.write(pollRequest(1, 24));
        EXPECT_EQ(port.receive(53).size(), 53u);
    }
    EXPECT_EQ(sim.waitExit(15000), 0);
    EXPECT_TRUE(logged("hangup"));
}

TEST_F(EmulatorProcess, RefusesABadCommandLine) {
    SimProcess sim({"--unit", "1:R999"});
    EXPECT_EQ(sim.path(), "");
    EXPECT_EQ(sim.waitExit(10000), 2);
}
