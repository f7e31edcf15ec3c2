// The collector as a process on an emulated serial line: what it stores, logs and relays, and
// how it keeps going when its port, settings or files misbehave.

#include <gtest/gtest.h>

#include <cstring>
#include <poll.h>
#include <sys/stat.h>

#include "FrameBuffer.h"
#include "ServiceProcess.h"

using namespace lw;
using namespace lw::test;

namespace {

// Days since 1899-12-30 of the machine's clock, to the millisecond, as the service stamps
// frames (local time).
double localNow() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    const double seconds = static_cast<double>(ts.tv_sec + local.tm_gmtoff) + ts.tv_nsec / 1e9;
    return seconds / 86400.0 + 25569.0;
}

FrameBuffer savedBlock(const std::string& path) {
    FrameBuffer rx;
    const std::string bytes = readFile(path);
    std::memcpy(rx.block(), bytes.data(), std::min<size_t>(bytes.size(), kBufferSize));
    return rx;
}

std::vector<std::string> historyFiles(const std::filesystem::path& folder, const std::string& id) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 9 && name.substr(9) == "-" + id + ".txt")
            found.push_back(e.path().string());
    }
    return found;
}

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST_F(ServiceTest, CollectsFramesIntoItsTableHistoryAndSavedFrames) {
    writeSettings({{"Debug", {{"Debug", "7"}}}});
    writeFile("OstrelServicePoll.txt", "1\r\n2\r\n");
    startSim({"--unit", "1:R200S", "--unit", "2:R300D:2,77"});
    const double started = localNow();
    startService();

    ASSERT_TRUE(waitUntil([&] {
        const std::string table = readFile(file("LastData.txt"));
        return table.find("\r\n1\t") != std::string::npos &&
               table.find("\r\n77\t") != std::string::npos;
    })) << log();
    ASSERT_TRUE(waitUntil([&] { return !historyFiles(home, "77").empty(); }));

    for (const std::string id : {"1", "2"}) {
        SCOPED_TRACE(id);
        const std::string saved = readFile(file("LastData-" + id + ".bin"));
        ASSERT_EQ(saved.size(), 255u);
        const FrameBuffer rx = savedBlock(file("LastData-" + id + ".bin"));
        EXPECT_TRUE(shortCrcMatches(rx) || longCrcMatches(rx));
        EXPECT_GT(blockTime(rx), started - 1.0 / 1440);
        EXPECT_LT(blockTime(rx), localNow() + 1.0 / 1440);
    }
    for (const std::string id : {"1", "2", "77"}) {
        SCOPED_TRACE(id);
        const auto files = historyFiles(home, id);
        ASSERT_EQ(files.size(), 1u);
        const std::string text = readFile(files[0]);
        EXPECT_EQ(text.rfind("DateTime\tStatus\tLevel\tVolume\tTemperature\tInput1\tInput2\t", 0),
                  0u);
        EXPECT_GE(lineCount(text), 2);
    }
    for (const char* line :
         {"InitializeCriticalSection", "ComPortInitInit", "Serial Data Received on COM1.",
          "Send List.", "Alarms R2S.", "Alarms R3D.", "ERROR: Alarm Change: R200", "LastDataSave"})
        EXPECT_TRUE(logHas(line)) << line;
    stopService();
    EXPECT_TRUE(logHas("ServiceDestroy."));
}

TEST_F(ServiceTest, DebugLevelChoosesTheLinesWritten) {
    struct Case {
        int debug;
        std::vector<std::string> written, notWritten;
    };
    const Case cases[] = {
        {0,
         {"InitializeCriticalSection", "Service Start", "Service Execute.", "Com Port 1 Open."},
         {"Profile1.Create", "Serial Data Received", "PollModbusTimer"}},
        {1,
         {"Serial Data Received on COM1.", "Save LastData.", "COM port 1 open."},
         {"PollModbusTimer", "Alarms R2S.", "Send List."}},
        // Until the level is read, it is 0: the first lines of start-up are written anyway.
        {-1, {"InitializeCriticalSection"}, {"Service Start", "Com Port 1 Open."}},
    };
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startSim({"--unit", "1:R200S"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.debug);
        std::filesystem::remove(file("OstrelServiceLog.txt"));
        std::filesystem::remove(file("LastData-1.bin"));
        writeSettings({{"Debug", {{"Debug", std::to_string(c.debug)}}}});
        startService();
        ASSERT_TRUE(waitFile("LastData-1.bin"));
        service->signal(SIGTERM);
        ASSERT_EQ(service->waitExit(20000), 0);
        for (const std::string& line : c.written)
            EXPECT_TRUE(logHas(line)) << line;
        for (const std::string& line : c.notWritten)
            EXPECT_FALSE(logHas(line)) << line;
    }
}

TEST_F(ServiceTest, BadCrcIsLoggedAndNeitherStoredNorSaved) {
    writeSettings();
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startSim({"--unit", "1:R200S", "--bad-crc", "1"});
    startService();
    ASSERT_TRUE(waitLog("CRC Error."));
    ASSERT_TRUE(waitUntil([&] { return log().find(" CRC Error.") != log().rfind(" CRC Error."); }));
    EXPECT_FALSE(std::filesystem::exists(file("LastData-1.bin")));
    EXPECT_EQ(lineCount(readFile(file("LastData.txt"))), 1); // the header alone
    stopService();
}

TEST_F(ServiceTest, AUnitInSignalTestModeGetsItsAnswerOnTheWire) {
    writeSettings({{"Debug", {{"Debug", "1"}}}});
    writeFile("OstrelServicePoll.txt", "5\r\n");
    startSim({"--unit", "5:R200S:signal-test"});
    startService();
    // The emulator logs the "OK" CR it reads back from the line.
    ASSERT_TRUE(waitUntil([&] { return hasLine(readFile(root / "sim.log"), "answer OK"); }))
        << log();
    EXPECT_TRUE(waitLog("Testing Wireless Signal Strength."));
    EXPECT_TRUE(waitFile("LastData-5.bin")); // stored and decoded as any reply
    stopService();
}

TEST_F(ServiceTest, ServiceChangeMovesThePortAndIsReset) {
    writeSettings({{"Debug", {{"Debug", "1"}}}});
    writeFile("OstrelServicePoll.txt", "1\r\n7\r\n");
    startSim({"--unit", "1:R200S"}, 1);
    startSim({"--unit", "7:R200S"}, 2);
    startService();
    ASSERT_TRUE(waitFile("LastData-1.bin"));

    writeSettings({{"Debug", {{"Debug", "1"}}},
                   {"ComPortInfo", {{"ComNumber", "2"}}},
                   {"General", {{"ServiceChange", "1"}}}});
    ASSERT_TRUE(waitLog("Settings Changed"));
    EXPECT_TRUE(
        waitUntil([&] { return settingsText().find("ServiceChange=0") != std::string::npos; }));
    EXPECT_TRUE(waitFile("LastData-7.bin"));
    EXPECT_TRUE(logHas("Com Port 1 Close."));
    EXPECT_TRUE(logHas("Com Port 2 Open."));
    stopService();
}

TEST_F(ServiceTest, MissingPortIsOpenedOnceItAppears) {
    writeSettings();
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startService();
    ASSERT_TRUE(waitLog("2Could not open COM port1."));
    EXPECT_TRUE(service->running());

    startSim({"--unit", "1:R200S"});
    EXPECT_TRUE(waitLog("Com Port 1 Open.", 5000));
    EXPECT_TRUE(waitFile("LastData-1.bin"));
    stopService();
}

TEST_F(ServiceTest, UnpluggedDeviceIsReopenedWhenItReturnsAndNothingStoredIsLost) {
    writeSettings();
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startSim({"--unit", "1:R200S"});
    startService();
    ASSERT_TRUE(waitFile("LastData-1.bin"));
    ASSERT_TRUE(waitUntil([&] { return !historyFiles(home, "1").empty(); }));
    const std::string history = readFile(historyFiles(home, "1")[0]);

    unplug(1);
    ASSERT_TRUE(waitLog("Com Port 1 Close."));
    EXPECT_TRUE(service->running());

    const double replugged = localNow();
    startSim({"--unit", "1:R200S"});
    EXPECT_TRUE(waitUntil([&] {
        return blockTime(savedBlock(file("LastData-1.bin"))) > replugged;
    })) << log();
    EXPECT_EQ(readFile(historyFiles(home, "1")[0]).rfind(history, 0), 0u);
    EXPECT_NE(readFile(file("LastData.txt")).find("\r\n1\t"), std::string::npos);
    stopService();
}

TEST_F(ServiceTest, RelayClientGetsSavedFramesThenLiveBlocks) {
    writeSettings();
    writeFile("OstrelServicePoll.txt", "3\r\n12\r\n");
    startSim({"--unit", "3:R200S", "--unit", "12:R200S"});
    startService();
    ASSERT_TRUE(waitFile("LastData-3.bin"));
    ASSERT_TRUE(waitFile("LastData-12.bin"));
    // No frames while the client catches up, so the saved ones are all it can get first.
    unplug(1);
    ASSERT_TRUE(waitLog("Com Port 1 Close."));

    const int fd = connectTo("127.0.0.1", tcpPort);
    ASSERT_GE(fd, 0);
    auto readBlock = [&] {
        FrameBuffer rx;
        size_t got = 0;
        while (got < kBufferSize) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20000) <= 0)
                break;
            const ssize_t n = ::read(fd, rx.block() + got, kBufferSize - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        EXPECT_EQ(got, static_cast<size_t>(kBufferSize));
        return rx;
    };
    for (const std::string id : {"3", "12"}) {
        const FrameBuffer rx = readBlock();
        EXPECT_EQ(std::to_string(RxInput(rx, 8)), id);
        EXPECT_EQ(readFile(file("LastData-" + id + ".bin")),
                  std::string(reinterpret_cast<const char*>(rx.block()), kBufferSize));
    }

    const double replugged = localNow();
    startSim({"--unit", "3:R200S", "--unit", "12:R200S"});
    const FrameBuffer live = readBlock();
    ::close(fd);
    EXPECT_TRUE(shortCrcMatches(live));
    EXPECT_GT(blockTime(live), replugged);
    stopService();
}

TEST_F(ServiceTest, StartsWithBrokenFilesLogsThemAndKeepsGoodRows) {
    writeSettings();
    const std::string header =
        "ID\tTankName\tStatus\tLevel\tVolume\tTemperature\tLevelBelow\tVolumeBelow\tLevelAbove\t"
        "VolumeAbove\tInput1\tInput2\tAlarm1\tAlarm2\tAlarm3\tAlarm4\tRelay1\tRelay2\tRelay3\t"
        "Relay4\tBatDisplay\tBatSender\tDateTime\tComType\tDispType\r\n";
    writeFile("LastData.txt",
              header + "500\t\t0\t12.5\r\n501\t\t0\t7\r\n502\t\t0\tnot a number\r\n");
    writeFile("LiveData.txt", "garbage\tno\r\n1\t\tx\ty\r\n");
    writeFile("Email.txt", "Email\tDataType\r\nsomeone@example.com\tevery day\r\n");
    writeFile("OstrelServicePoll.txt", "junk\r\n1\r\n");
    startSim({"--unit", "1:R200S"});
    startService();

    ASSERT_TRUE(waitLog("ERROR: Alarm Change: R200"));
    ASSERT_TRUE(waitUntil(
        [&] { return readFile(file("LastData.txt")).find("\r\n1\t") != std::string::npos; }));
    EXPECT_TRUE(logHas("ERROR: LastData.txt"));
    EXPECT_TRUE(logHas("ERROR: Email.txt"));
    const std::string table = readFile(file("LastData.txt"));
    for (const char* row : {"\r\n500\t\t0\t12.5\t", "\r\n501\t\t0\t7\t", "\r\n1\t"})
        EXPECT_NE(table.find(row), std::string::npos) << row;
    stopService();
}

TEST_F(ServiceTest, ReadOnlyProgramFolderLogsTheFailedSavesAndKeepsTheTable) {
    // Run as "nobody": root writes anywhere. The folder is not writable for the service; only the
    // log file in it is, so that the failures can be read.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to run the service as another user";
    writeSettings({{"Debug", {{"Debug", "0"}}}});
    const std::string table = "ID\tTankName\tStatus\tLevel\r\n500\t\t0\t12.5\r\n";
    writeFile("LastData.txt", table);
    writeFile("OstrelServicePoll.txt", "1\r\n");
    writeFile("OstrelServiceLog.txt", "");
    namespace fs = std::filesystem;
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chown(file("OstrelServiceLog.txt").c_str(), kNobody, kNobody), 0);
    fs::permissions(root, fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(home, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(settingsDir / "machine.ini", fs::perms::others_read, fs::perm_options::add);
    SimProcess& sim = startSim({"--unit", "1:R200S"});
    ASSERT_EQ(::chmod(fs::canonical(sim.path()).c_str(), 0666), 0);

    startService({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    ASSERT_TRUE(waitLog("ERROR: LastData-1.bin")) << log();
    ASSERT_TRUE(waitLog("ERROR: LastData.txt")) << log();
    EXPECT_TRUE(service->running());
    EXPECT_EQ(readFile(file("LastData.txt")), table);
    EXPECT_FALSE(fs::exists(file("LastData-1.bin")));
    stopService();
}

TEST_F(ServiceTest, SettingsItCannotReadStopTheStartAndAreNotTakenAtAReload) {
    // A quote left open swallows every section after it: with defaults the service would poll
    // another port and relay on every address.
    const std::string broken = "[Ports]\nCOM1=" + linkPath(1) + "\n[STMP]\nHost=\"smtp\n" +
                               "[TCPPortInfo]\nPortNumber=" + std::to_string(tcpPort) + "\n";
    const std::string fault = "ERROR: Settings " + settingsPath() +
                              " line 4: a double quote is not closed on this line";
    writeSettingsText(broken);
    std::string output;
    EXPECT_EQ(runService({}, output), 78);
    EXPECT_NE(output.find(fault), std::string::npos) << output;
    EXPECT_TRUE(logHas(fault)) << log();
    EXPECT_EQ(runService({"SETTINGS"}, output), 78);
    EXPECT_EQ(output.rfind("ERROR: " + fault.substr(16), 0), 0u) << output;

    // Running: a broken version with the reload flag is not taken, and the flag stays.
    writeSettings();
    EXPECT_EQ(runService({"SETTINGS"}, output), 0) << output;
    EXPECT_NE(output.find("[TCPPortInfo] PortNumber = " + std::to_string(tcpPort) + " (file)"),
              std::string::npos)
        << output;
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startSim({"--unit", "1:R200S"});
    startService();
    ASSERT_TRUE(waitFile("LastData-1.bin"));
    writeSettingsText("ServiceChange=1\n[ComPortInfo]\nComNumber=2\n" + broken);
    ASSERT_TRUE(waitLog(fault)) << log();
    std::filesystem::remove(file("LastData-1.bin"));
    EXPECT_TRUE(waitFile("LastData-1.bin")) << "still polling COM1";
    EXPECT_NE(settingsText().find("ServiceChange=1"), std::string::npos);
    EXPECT_FALSE(logHas("Settings Changed"));
    stopService();
}

TEST_F(ServiceTest, ServiceChangeOtherThanOneIsLeftAlone) {
    writeSettings({{"Debug", {{"Debug", "2"}}}, {"General", {{"ServiceChange", "2"}}}});
    startService();
    ASSERT_TRUE(waitUntil([&] {
        const std::string text = log();
        size_t ticks = 0;
        for (size_t at = text.find(" PollModbusTimer-Done"); at != std::string::npos;
             at = text.find(" PollModbusTimer-Done", at + 1))
            ++ticks;
        return ticks >= 3;
    }));
    EXPECT_NE(settingsText().find("ServiceChange=2"), std::string::npos);
    EXPECT_FALSE(logHas("PollModbusTimer-ServiceChange"));
    EXPECT_FALSE(logHas("Settings Changed"));
    stopService();
}

TEST_F(ServiceTest, RelayListensOnlyWhereBindAddressSaysAndSendsStatusUpToStatusLevel) {
    const std::string port = std::to_string(tcpPort);
    writeSettings({{"TCPPortInfo",
                    {{"PortNumber", port}, {"BindAddress", "localhost"}, {"StatusLevel", "1"}}}});
    startService();
    int fd = -1;
    ASSERT_TRUE(waitUntil([&] { return (fd = connectTo("127.0.0.1", tcpPort)) >= 0; }));
    EXPECT_EQ(connectTo("127.0.0.2", tcpPort), -1) << "listens beyond the loopback address";
    // The catch-up's lines are level 1: the client hears of its own connection.
    std::string received;
    char buf[kBufferSize];
    while (received.find("New Client Connected.123") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 20000), 0) << received;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        ASSERT_GT(n, 0);
        received.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(received.rfind("Service:", 0), 0u);
    ::close(fd);
    stopService();

    // A name that resolves to nothing: no relay at all rather than one on every address.
    writeSettings({{"TCPPortInfo", {{"PortNumber", port}, {"BindAddress", "no-such-host.invalid"}}}});
    startService();
    ASSERT_TRUE(waitLog("Could not TCPPort" + port + "."));
    EXPECT_TRUE(logHas("ERROR: TCPPort " + port + ": BindAddress"));
    EXPECT_EQ(connectTo("127.0.0.1", tcpPort), -1);
    EXPECT_TRUE(service->running());
    stopService();
}
