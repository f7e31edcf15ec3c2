// The collector judged by a Modbus RTU slave that nobody here wrote: pymodbus serving an R300D
// unit's registers on one end of a socat pty pair, the real OstrelService on the other.

#include <gtest/gtest.h>

#include <sstream>

#include "ServiceProcess.h"

using namespace lw::test;

namespace {

constexpr char kSocat[] = "/usr/bin/socat";
constexpr char kPython[] = "/usr/bin/python3"; // Debian's, which has pymodbus

// An R300D unit at address 2 whose tanks are 21 and 22: registers 1 to 48, written out by hand.
constexpr int kUnitAddress = 2;
// clang-format off
constexpr unsigned kR300DRegisters[48] = {
    121, 0, 0, 100, 200, 4, 3,   // version, alarms, relays, inputs 1 and 2, type R300D, battery
    1,                           // counter
    0, 21, 0, 12345, 0, 5000,    // tank 21: ID, level 123.45, volume 5000 ...
    1, 20, 0, 3,                 // ... decimals 1, temperature 20, status 0, battery code 3
    0, 22, 1, 2, 0, 777,         // tank 22: ID, level 65538 (655.38), volume 777 ...
    0, 0xFFFB, 0, 2,             // ... decimals 0, temperature -5, status 0, battery code 2
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
// clang-format on

std::string registerList() {
    std::ostringstream out;
    for (unsigned v : kR300DRegisters)
        out << (out.tellp() > 0 ? "," : "") << v;
    return out.str();
}

class StandardSlave : public ServiceTest {
protected:
    void TearDown() override {
        // The service goes first, so it never opens a pty number freed by the pair's end.
        service.reset();
        slave.reset();
        if (socat) {
            socat->signal(SIGTERM); // a terminated socat removes its links
            socat->waitExit(10000);
        }
        ServiceTest::TearDown();
    }

    // A pty pair: the service's COM1 on one end, the slave on the other.
    void startSlave() {
        const std::string slaveEnd = (root / "slave-end").string();
        socat = std::make_unique<ChildProcess>(std::vector<std::string>{
            kSocat, "pty,raw,echo=0,link=" + linkPath(1), "pty,raw,echo=0,link=" + slaveEnd});
        ASSERT_TRUE(waitUntil([&] {
            return std::filesystem::exists(linkPath(1)) && std::filesystem::exists(slaveEnd);
        })) << "socat made no pty pair";
        slave = std::make_unique<ChildProcess>(std::vector<std::string>{
            kPython, LEVELWATCH_SOURCE_DIR "/tests/support/modbus_slave.py", slaveEnd,
            std::to_string(kUnitAddress), registerList(), slaveLog()});
    }
    std::string slaveLog() const { return (root / "slave.log").string(); }

    std::unique_ptr<ChildProcess> socat;
    std::unique_ptr<ChildProcess> slave;
};

} // namespace

TEST_F(StandardSlave, AnR300UnitWhoseTanksAreNotItsAddressLearnsItsTypeAndGetsTheLongReply) {
    ASSERT_TRUE(std::filesystem::exists(kSocat)) << "run scripts/install-deps.sh";
    writeSettings({{"Debug", {{"Debug", "1"}}}});
    writeFile("OstrelServicePoll.txt", "2\r\n");
    startSlave();
    startService();

    // The first poll asks for 24 registers; the short reply teaches the polled unit's entry.
    ASSERT_TRUE(waitLog("Modify Tank 2 Display Type = 4")) << log();
    ASSERT_TRUE(waitUntil([&] { return hasLine(readFile(slaveLog()), "read 0 48"); }))
        << readFile(slaveLog());
    EXPECT_TRUE(hasLine(readFile(slaveLog()), "read 0 24"));

    // Tank 22 lives in registers 19 to 28: only the long reply carries it whole.
    ASSERT_TRUE(waitUntil([&] {
        return readFile(file("LastData.txt")).find("\r\n22\t\t0\t655.38\t777\t-5\t") !=
               std::string::npos;
    })) << readFile(file("LastData.txt"));
    const std::string table = readFile(file("LastData.txt"));
    EXPECT_NE(table.find("\r\n21\t\t0\t123.45\t500\t20\t"), std::string::npos) << table;
    // Saved under the first tank's ID.
    EXPECT_TRUE(waitFile("LastData-21.bin"));
    stopService();
}
