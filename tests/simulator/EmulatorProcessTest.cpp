// `ostrel-sim run` as a process: the test plays the port owner on the line it serves.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <termios.h>
#include <unistd.h>

#include "FrameBuffer.h"
#include "FrameBuilder.h"
#include "PollList.h"
#include "SimProcess.h"

using namespace lw;
using lw::sim::hexText;
using lw::test::hasLine;
using lw::test::readWholeFile;
using lw::test::SimProcess;
using lw::test::waitUntil;

namespace {

// One end of a serial line in raw mode, as a port owner opens it.
class LineEnd {
public:
    explicit LineEnd(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd_, 0) << path << ": " << std::strerror(errno);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    explicit LineEnd(int fd) : fd_(fd) {}
    ~LineEnd() { close(); }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    void send(const PollRequest& r) { ASSERT_EQ(::write(fd_, r.data(), r.size()), 8); }
    // Reads until `count` bytes arrived.
    std::vector<uint8_t> receive(size_t count) {
        std::vector<uint8_t> got;
        waitUntil([&] {
            uint8_t buf[256];
            ssize_t n;
            while ((n = ::read(fd_, buf, sizeof buf)) > 0)
                got.insert(got.end(), buf, buf + n);
            return got.size() >= count;
        });
        return got;
    }

private:
    int fd_ = -1;
};

class EmulatorProcess : public ::testing::Test {
protected:
    std::string file(const char* name) const { return (dir / name).string(); }
    bool logged(const std::string& line) {
        return waitUntil([&] { return hasLine(readWholeFile(file("sim.log")), line); });
    }
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("emulator-" + std::to_string(::getpid()));
};

} // namespace

TEST_F(EmulatorProcess, ServesAPtyThroughReopensUntilStopped) {
    SimProcess sim({"--unit", "1:R300S", "--unit", "2:R200S:silent", "--no-drift", "--link",
                    file("line"), "--log", file("sim.log")});
    ASSERT_EQ(sim.path(), file("line"));
    ASSERT_TRUE(std::filesystem::is_symlink(file("line")));

    std::vector<uint8_t> reply;
    {
        LineEnd port(sim.path());
        port.send(pollRequest(1, 24));
        reply = port.receive(53);
        ASSERT_EQ(reply.size(), 53u);
        FrameBuffer rx;
        std::copy(reply.begin(), reply.end(), rx.block());
        EXPECT_TRUE(shortCrcMatches(rx));
        EXPECT_EQ(RxInput(rx, reg::kType), 16);
        port.send(pollRequest(2, 24));
        port.send(pollRequest(3, 24));
    }
    EXPECT_TRUE(logged("request 01 04 00 00 00 18 F0 00"));
    EXPECT_TRUE(logged("reply 1 R300S 24 " + hexText(reply)));
    EXPECT_TRUE(logged("silent 2"));
    EXPECT_TRUE(logged("no-unit 3"));

    // The port closed and opened again: the unit still answers, now the long reply.
    LineEnd again(sim.path());
    again.send(pollRequest(1, 48));
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
    LineEnd port(sim.path());
    port.send(pollRequest(7, 24));
    const std::vector<uint8_t> got = port.receive(58);
    ASSERT_EQ(got.size(), 58u);
    EXPECT_TRUE(logged("reply 7 R200D 24 " + hexText({got.begin(), got.begin() + 53})));
    EXPECT_TRUE(logged("noise " + hexText({got.begin() + 53, got.end()})));
}

TEST_F(EmulatorProcess, OpensAGivenDevice) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string device = ptsname(master);
    LineEnd port(master);
    SimProcess sim(
        {"--unit", "3:R300Q", "--device", device, "--baud", "9600", "--log", file("sim.log")});
    EXPECT_EQ(sim.path(), device);
    port.send(pollRequest(3, 48));
    EXPECT_EQ(port.receive(101).size(), 101u);
}

TEST_F(EmulatorProcess, ExitsWhenAskedOnceTheOtherSideHangsUp) {
    SimProcess sim({"--unit", "1:R200S", "--exit-on-hangup", "--log", file("sim.log")});
    ASSERT_FALSE(sim.path().empty());
    {
        LineEnd port(sim.path());
        port.send(pollRequest(1, 24));
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
