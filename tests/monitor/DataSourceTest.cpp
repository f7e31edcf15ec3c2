// The window against the real things: a running OstrelService relaying an emulated plant, the
// emulator on the window's own serial port, a port another program holds, and the switch
// between the two modes.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QPointer>

#include "DateTime.h"
#include "DetailForm.h"
#include "HistoryFile.h"
#include "LiveDataModel.h"
#include "MonitorFixture.h"
#include "MonitorLink.h"
#include "SerialPort.h"
#include "SimProcess.h"
#include "Sockets.h"

using namespace lw;
using namespace lw::test;

namespace {

class DataSourceTest : public MonitorTest {
protected:
    void TearDown() override {
        MonitorTest::TearDown();
        service.reset();
        sim.reset();
    }
    SimProcess& startSim(std::vector<std::string> args) {
        args.insert(args.end(),
                    {"--link", link().toStdString(), "--log", inDir("sim.log").toStdString()});
        sim = std::make_unique<SimProcess>(args);
        EXPECT_EQ(sim->path(), link().toStdString());
        return *sim;
    }
    double todayNow() const { return SystemClock().now(); }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<ChildProcess> service;
};

TEST_F(DataSourceTest, ARelayedBlockFromTheServiceUpdatesTheRowWithTheBlocksTime) {
    startSim({"--unit", "3:R200S:3:level=1234:volume=3702", "--no-drift"});
    const ReservedPort reserved;
    const int port = reserved.number();
    writeMachine(
        {{"Ports", {{"COM1", link()}}}, {"TCPPortInfo", {{"PortNumber", QString::number(port)}}}});
    writeUser({{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", QString::number(port)}}}});
    writeLiveData({"3\tNorth\t0"});
    // The window's own clock is years away: a row timed by it did not come from the block.
    clock.fixed = encodeDateTime({2031, 1, 1});
    LevelwatchForm& w = start();
    EXPECT_EQ(readText(file("OstrelServicePoll.txt")), "3\r\n") << "the service's list";
    service = std::make_unique<ChildProcess>(
        std::vector<std::string>{LEVELWATCH_BIN_DIR "/OstrelService"},
        ChildOptions{.env = {{"OSTREL_HOME", home().toStdString()},
                             {"OSTREL_SETTINGS_DIR", settings().toStdString()}}});

    ASSERT_TRUE(waitFor([&] { return w.model().LiveData()[0].Level.has_value(); }, 30000))
        << w.statusLine().toStdString();
    const TankRecord& row = w.model().LiveData()[0];
    EXPECT_EQ(row.Level, 123.4);
    ASSERT_TRUE(row.DateTime);
    EXPECT_NEAR(*row.DateTime, todayNow(), 60.0 / 86400);
    const QString today = QString::fromStdString(formatDate(todayNow(), w.formats()));
    EXPECT_TRUE(waitFor([&] { return readText(file("LiveData.txt")).contains(today); }));
    EXPECT_TRUE(w.detail().text().contains("SLAVE ADDRESS=3"));
    // Relayed frames write no history: the service does.
    const HistoryFile history(home().toStdString(), w.formats());
    const std::string historyText = readFile(history.path(3, *clock.fixed));
    EXPECT_EQ(historyText, "");
}

TEST_F(DataSourceTest, SerialModePollsTheUnitsAndWritesHistory) {
    startSim({"--unit", "3:R200D:3,1003", "--unit", "12:R300S:9012"});
    writeMachine({{"Ports", {{"COM3", link()}}}});
    writeUser({{"ComPortInfo", {{"Active", "1"}, {"ComNumber", "3"}}}});
    writeLiveData({"3\tEast\t1", "1003\tWest\t1", "9012\tRemote\t2"});
    LevelwatchForm& w = start();
    EXPECT_EQ(w.statusLine(), "COM port 3 open.");
    EXPECT_EQ(w.link().Client(), nullptr);
    EXPECT_EQ(readText(file("OstrelServicePoll.txt")), "3\r\n12\r\n");
    EXPECT_EQ(w.link().PollModbus().interval(), 2500);

    // The poll timer's ticks, driven here: the R300 unit first teaches its type, then answers.
    const HistoryFile history(home().toStdString(), w.formats());
    const auto rows = [&](uint32_t id) {
        return QString::fromStdString(readFile(history.path(id, todayNow()))).count("\r\n");
    };
    ASSERT_TRUE(waitFor(
        [&] {
            w.link().PollModbusTimer();
            spin(300);
            return rows(3) >= 2 && rows(1003) >= 2 && rows(9012) >= 2;
        },
        30000))
        << w.detail().text().toStdString();
    EXPECT_TRUE(w.detail().text().contains("Modify Tank 12 Display Type = 16"));
    EXPECT_TRUE(w.detail().text().contains(" Poll ID 12"));
    EXPECT_EQ(w.link().PollTanks().entry(2).DispType, 16);
    const TankRecord& remote = w.model().LiveData()[2];
    EXPECT_TRUE(remote.Level.has_value());
    EXPECT_EQ(remote.DispType, 16);
    EXPECT_NEAR(remote.DateTime.value_or(0), todayNow(), 60.0 / 86400);
}

TEST_F(DataSourceTest, APortAnotherProgramHoldsIsSaidToBeBusy) {
    startSim({"--unit", "3:R200S"});
    writeMachine({{"Ports", {{"COM3", link()}}}});
    writeUser({{"ComPortInfo", {{"Active", "1"}, {"ComNumber", "3"}}}});
    ComPortMap ports;
    ports.map(3, link());
    SerialPort holder(ports);
    holder.setPortNumber(3);
    ASSERT_TRUE(holder.open()) << holder.errorString().toStdString();
    LevelwatchForm& w = start();
    EXPECT_TRUE(w.statusLine().startsWith("Could not open COM port 3."))
        << w.statusLine().toStdString();
    EXPECT_TRUE(w.statusLine().contains("busy")) << w.statusLine().toStdString();
}

TEST_F(DataSourceTest, SwitchingModesReplacesTheSource) {
    startSim({"--unit", "3:R200S"});
    writeMachine({{"Ports", {{"COM3", link()}}}});
    writeUser({{"ComPortInfo", {{"ComNumber", "3"}}},
               {"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1"}}}});
    LevelwatchForm& w = start();
    ASSERT_NE(w.link().Client(), nullptr);
    EXPECT_FALSE(w.link().GetApdComPort1().isOpen());

    w.link().setComActive(1);
    w.applyCommSetup(false);
    EXPECT_EQ(w.link().Client(), nullptr) << "the link goes before the port opens";
    EXPECT_TRUE(w.link().GetApdComPort1().isOpen());
    EXPECT_EQ(w.statusLine(), "COM port open 3.");

    w.link().setComActive(0);
    w.applyCommSetup(false);
    EXPECT_FALSE(w.link().GetApdComPort1().isOpen());
    EXPECT_NE(w.link().Client(), nullptr) << "a new link, though nothing changed";
    EXPECT_EQ(w.statusLine(), "Waiting for Service.");

    const QPointer<IndyRx> before(const_cast<IndyRx*>(w.link().Client()));
    w.link().setTcp("127.0.0.1", 2);
    w.applyCommSetup(true);
    EXPECT_TRUE(before.isNull()) << "new link settings: a new link";
    EXPECT_NE(w.link().Client(), nullptr);
}

} // namespace
