// Polling and reception end to end on a real pty: the poll list drives requests through the
// serial port to `ostrel-sim run`, whose replies come back through the receiver into tank rows.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include "AtomicFile.h"
#include "Files.h"
#include "LiveUpdate.h"
#include "PollList.h"
#include "Receiver.h"
#include "SerialPort.h"
#include "SimProcess.h"
#include "SystemClock.h"
#include "WaitFor.h"

using namespace lw;
using lw::test::hasLine;
using lw::test::readFile;
using lw::test::SimProcess;
using lw::test::waitFor;

namespace {

constexpr int kCom = 1;
constexpr int kIdleMs = 200;

// What a program that owns the port wires together: port, poll list, receiver, idle timer and
// the live update, with the signal-test answer after an accepted reply.
class Link final : public ReceiverListener {
public:
    Link(std::vector<TankRecord> rows, const QString& device) : table(std::move(rows)) {
        ComPortMap ports;
        ports.map(kCom, device);
        port.setPortMap(ports);
        port.setPortNumber(kCom);
        QObject::connect(&port, &SerialPort::dataReceived, [this](const QByteArray& bytes) {
            receiver.ApdComPort1TriggerAvail({reinterpret_cast<const uint8_t*>(bytes.constData()),
                                              static_cast<size_t>(bytes.size())});
        });
        idle.setSingleShot(true);
        idle.setInterval(kIdleMs);
        QObject::connect(&idle, &QTimer::timeout, [this] { receiver.Timer2Timer(); });
    }

    void restartIdleTimer() override { idle.start(); }
    void stopIdleTimer() override { idle.stop(); }
    void typeLearned(int address, int type) override { learned.emplace_back(address, type); }
    void frameAccepted(FrameKind kind, FrameBuffer& rx) override {
        update.NewTankData(rx, registerCount(kind), FrameSource::Serial, clock.now());
        TestWirelessReply(port, rx);
    }

    // One tick of the poll timer.
    void poll() {
        if (const auto p = list.next())
            port.putBytes(p->request);
    }
    std::optional<double> level(const char* id) const {
        const auto row = table.findId(id);
        return row ? table[*row].Level : std::nullopt;
    }

    SerialPort port;
    PollList list;
    Receiver receiver{*this, list};
    QTimer idle;
    TankTable table;
    LiveUpdateHooks hooks;
    Formats formats = Formats::enUS();
    LiveUpdate update{table, hooks, formats};
    SystemClock clock;
    std::vector<std::pair<int, int>> learned;
};

TankRecord row(const char* id, std::optional<int32_t> comType = std::nullopt) {
    TankRecord r;
    r.ID = id;
    r.ComType = comType;
    return r;
}

class SerialLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
    }

    std::string file(const char* name) const { return dir.filePath(name).toStdString(); }
    QString linkPath() const { return dir.filePath("ttyUnits"); }
    std::vector<std::string> simArgs(std::vector<std::string> units, const char* log = "sim.log") {
        units.insert(units.end(), {"--link", linkPath().toStdString(), "--log", file(log)});
        return units;
    }
    bool logged(const std::string& line, const char* log = "sim.log") {
        return waitFor([&] { return hasLine(readFile(file(log)), line); });
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(SerialLink, ThePollListFileDrivesPollingAndRepliesReachTheRows) {
    const std::vector<TankRecord> rows{row("3", 1), row("1003"), row("9012"),
                                       row("8255"), row("4", 2), row("300", 1)};
    // The monitor builds the list and writes the file ...
    PollList monitorList;
    const int k = monitorList.rebuild(rows);
    EXPECT_EQ(pollInterval(k, kPollCycleMs), 1666);
    const QString pollFile = dir.filePath(kPollListFileName);
    ASSERT_FALSE(replaceFileAtomically(pollFile.toStdString(), monitorList.fileText()));
    EXPECT_EQ(readFile(pollFile.toStdString()), "3\r\n12\r\n255\r\n");

    // ... and the owner of the port loads it and polls the plant.
    SimProcess sim(simArgs({"--unit", "3:R200D:3,1003", "--unit", "12:R300S:9012", "--unit",
                            "255:R200S:8255", "--no-drift"}));
    ASSERT_EQ(sim.path(), linkPath().toStdString());
    Link link(rows, linkPath());
    ASSERT_TRUE(link.list.loadFile(pollFile.toStdString()));
    EXPECT_EQ(link.list.count(), 3);
    ASSERT_TRUE(link.port.open()) << link.port.errorString().toStdString();

    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { link.poll(); });
    ticks.start(100);
    ASSERT_TRUE(waitFor([&] {
        return link.level("3") && link.level("1003") && link.level("9012") && link.level("8255");
    }));
    EXPECT_EQ(link.level("3"), 400.0); // R200 tenths
    EXPECT_EQ(link.level("1003"), 450.0);
    EXPECT_EQ(link.level("9012"), 400.0); // R300 hundredths
    EXPECT_EQ(link.level("8255"), 400.0);
    // Unit 12 answered for tank 9012: its own entry learned the type and got the long reply.
    EXPECT_EQ(link.learned, (std::vector<std::pair<int, int>>{{12, 16}}));
    EXPECT_TRUE(logged("request 0C 04 00 00 00 30 F1 03"));
    EXPECT_FALSE(link.level("4"));
    EXPECT_FALSE(link.level("300"));
    EXPECT_TRUE(logged("request 03 04 00 00 00 18 F1 E2"));
}

TEST_F(SerialLink, AShortR300ReplyTeachesTheListAndTheNextRequestAsksForTheLongOne) {
    SimProcess sim(simArgs({"--unit", "1:R300T", "--no-drift"}));
    ASSERT_FALSE(sim.path().empty());
    Link link({row("1"), row("1001"), row("2001")}, linkPath());
    link.list.load("1\r\n");
    ASSERT_TRUE(link.port.open());

    link.poll();
    EXPECT_TRUE(logged("request 01 04 00 00 00 18 F0 00"));
    ASSERT_TRUE(waitFor([&] { return !link.learned.empty(); }));
    EXPECT_EQ(link.learned, (std::vector<std::pair<int, int>>{{1, 8}}));
    EXPECT_EQ(link.list.learnedType(1), 8);
    EXPECT_FALSE(link.level("1")); // the teaching reply itself is dropped

    link.poll();
    EXPECT_TRUE(logged("request 01 04 00 00 00 30 F0 1E"));
    ASSERT_TRUE(waitFor([&] { return link.level("2001").has_value(); }));
    EXPECT_EQ(link.level("1"), 400.0);
    EXPECT_EQ(link.level("1001"), 450.0);
    EXPECT_EQ(link.level("2001"), 500.0);
    EXPECT_EQ(link.table[*link.table.findId("2001")].DispType, 8);
}

TEST_F(SerialLink, ASignalTestReplyIsAnsweredOnTheWire) {
    SimProcess sim(simArgs({"--unit", "5:R200S:signal-test"}));
    ASSERT_FALSE(sim.path().empty());
    Link link({row("5")}, linkPath());
    link.list.load("5");
    ASSERT_TRUE(link.port.open());
    link.poll();
    EXPECT_TRUE(logged("answer OK"));
    EXPECT_TRUE(link.level("5")); // decoded as usual before the answer
}

TEST_F(SerialLink, ADeviceThatVanishesMidReplyIsReopenedWhenItReturns) {
    Link link({row("1")}, linkPath());
    link.list.load("1");
    QSignalSpy closed(&link.port, &SerialPort::portClosed);
    {
        // At 1200 baud a reply takes about half a second: time to pull the plug halfway.
        SimProcess sim(simArgs({"--unit", "1:R200S", "--baud", "1200"}, "first.log"));
        ASSERT_FALSE(sim.path().empty());
        ASSERT_TRUE(link.port.open());
        link.poll();
        ASSERT_TRUE(waitFor([&] { return link.receiver.RxCount() > 0; }));
        sim.kill(SIGKILL);
        // Unplugged: the device node goes too. A killed emulator leaves its link behind, and
        // the pty number it points at is soon reused by other tests running in parallel.
        QFile::remove(linkPath());
        ASSERT_TRUE(waitFor([&] { return closed.count() == 1; }));
    }
    EXPECT_FALSE(link.port.isOpen());
    EXPECT_EQ(link.port.error(), SerialPort::ResourceError);
    EXPECT_FALSE(link.port.isAvailable(kCom));
    EXPECT_FALSE(link.level("1"));
    ASSERT_TRUE(waitFor([&] { return link.receiver.RxCount() == 0; })); // the idle timer

    SimProcess again(simArgs({"--unit", "1:R200S:level=1234", "--no-drift"}, "second.log"));
    ASSERT_TRUE(waitFor([&] { return link.port.isAvailable(kCom); }));
    ASSERT_TRUE(link.port.open()) << link.port.errorString().toStdString();
    link.poll();
    ASSERT_TRUE(waitFor([&] { return link.level("1").has_value(); }));
    EXPECT_EQ(link.level("1"), 123.4);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
