#pragma once
// The collector as a real process for a test: a temporary program folder and settings folder,
// the machine-wide settings file, the emulator on a linked pty, and helpers that wait for files
// and log lines with generous deadlines.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Files.h"
#include "SimProcess.h"
#include "Sockets.h"

namespace lw::test {

class ServiceTest : public ::testing::Test {
protected:
    using Settings = std::map<std::string, std::map<std::string, std::string>>;

    void SetUp() override {
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(settingsDir);
    }
    void TearDown() override {
        service.reset();
        sims.clear();
    }

    std::string file(const std::string& name) const { return (home / name).string(); }
    std::string linkPath(int n = 1) const { return (root / ("line" + std::to_string(n))).string(); }

    // The machine-wide settings: [Ports] COM1..COM2 on the test's links, the relay on a free
    // port, then `extra` over them. Replaced whole, as a reader must never see half a file.
    void writeSettings(const Settings& extra = {}) {
        Settings s{{"Ports", {{"COM1", linkPath(1)}, {"COM2", linkPath(2)}}},
                   {"TCPPortInfo", {{"PortNumber", std::to_string(tcpPort)}}}};
        for (const auto& [section, values] : extra)
            for (const auto& [k, v] : values)
                s[section][k] = v;
        const auto temp = settingsDir / "machine.ini.new";
        {
            std::ofstream out(temp);
            for (const auto& [section, values] : s) {
                out << "[" << section << "]\n";
                for (const auto& [k, v] : values)
                    out << k << "=" << v << "\n";
            }
        }
        std::filesystem::rename(temp, settingsDir / "machine.ini");
    }
    // The machine-wide settings as an administrator wrote them, faults and all.
    void writeSettingsText(const std::string& text) {
        const auto temp = settingsDir / "machine.ini.new";
        lw::test::writeFile(temp, text);
        std::filesystem::rename(temp, settingsDir / "machine.ini");
    }
    std::string settingsPath() const { return (settingsDir / "machine.ini").string(); }
    std::string settingsText() const { return readFile(settingsDir / "machine.ini"); }

    // A file in the program folder.
    void writeFile(const std::string& name, const std::string& bytes) const {
        lw::test::writeFile(file(name), bytes);
    }

    // `ostrel-sim run` serving the units on link `n`.
    SimProcess& startSim(std::vector<std::string> args, int n = 1) {
        args.insert(args.end(), {"--link", linkPath(n), "--log", (root / "sim.log").string()});
        sims.push_back(std::make_unique<SimProcess>(args));
        EXPECT_EQ(sims.back()->path(), linkPath(n));
        return *sims.back();
    }

    // The emulator on link `n` pulled out: killed, and its device node gone with it. A killed
    // emulator leaves its link behind, and the pty number it points at is soon reused by other
    // tests running in parallel, which the service would then open.
    void unplug(int n = 1) {
        sims.back()->kill(SIGKILL);
        std::filesystem::remove(linkPath(n));
    }

    // `runAs`: a command that starts the service under another user (the tests run as root,
    // whom folder permissions do not stop).
    void startService(std::vector<std::string> runAs = {}) {
        runAs.push_back(LEVELWATCH_BIN_DIR "/OstrelService");
        std::map<std::string, std::string> env = serviceEnv;
        env["OSTREL_HOME"] = home.string();
        env["OSTREL_SETTINGS_DIR"] = settingsDir.string();
        service = std::make_unique<ChildProcess>(std::move(runAs),
                                                 ChildOptions{.env = env});
    }
    // SIGTERM; the service must end cleanly with its closing lines.
    void stopService() {
        service->signal(SIGTERM);
        EXPECT_EQ(service->waitExit(20000), 0);
        EXPECT_TRUE(logHas("Service Stop"));
        EXPECT_TRUE(logHas("Service Execute Terminated."));
    }

    // `OstrelService <args>` run to its end with the test's folders; its exit code, with
    // standard output and error in `output`.
    int runService(std::vector<std::string> args, std::string& output) const {
        args.insert(args.begin(), LEVELWATCH_BIN_DIR "/OstrelService");
        RunResult r = runToEnd(
            args, {{"OSTREL_HOME", home.string()}, {"OSTREL_SETTINGS_DIR", settingsDir.string()}});
        output = std::move(r.output);
        return r.exitCode;
    }

    std::string log() const { return readFile(file("OstrelServiceLog.txt")); }
    // A log line whose text (after the date and time) starts with `text`.
    bool logHas(const std::string& text) const {
        return log().find(" " + text) != std::string::npos;
    }
    bool waitLog(const std::string& text, int timeoutMs = 20000) const {
        return waitUntil([&] { return logHas(text); }, timeoutMs);
    }
    bool waitFile(const std::string& name, int timeoutMs = 20000) const {
        return waitUntil([&] { return std::filesystem::exists(file(name)); }, timeoutMs);
    }

    const TempDir root{std::string("service-") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    const std::filesystem::path home = root / "home";
    const std::filesystem::path settingsDir = root / "settings";
    // The relay's port: the service is handed one that nothing else is given while it runs.
    const ReservedPort relayPort;
    const int tcpPort = relayPort.number();
    std::map<std::string, std::string> serviceEnv; // more environment for the service
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::unique_ptr<ChildProcess> service;
};

} // namespace lw::test
