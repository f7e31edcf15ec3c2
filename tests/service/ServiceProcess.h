#pragma once
// The collector as a real process for a test: a temporary program folder and settings folder,
// the machine-wide settings file, the emulator on a linked pty, and helpers that wait for files
// and log lines with generous deadlines.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"

namespace lw::test {

// A TCP port that nothing listens on at the moment.
inline int freeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

class ServiceTest : public ::testing::Test {
protected:
    using Settings = std::map<std::string, std::map<std::string, std::string>>;

    void SetUp() override {
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(settingsDir);
        tcpPort = freeTcpPort();
    }
    void TearDown() override {
        service.reset();
        sims.clear();
        std::filesystem::remove_all(root);
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
        std::ofstream(temp, std::ios::binary) << text;
        std::filesystem::rename(temp, settingsDir / "machine.ini");
    }
    std::string settingsPath() const { return (settingsDir / "machine.ini").string(); }
    std::string settingsText() const {
        return readWholeFile((settingsDir / "machine.ini").string());
    }

    void writeFile(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
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
                                                 ChildOptions{.env = env, .readFirstLine = false});
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
    int runService(const std::string& args, std::string& output) const {
        const std::string out = (root / "run.out").string();
        const std::string command = "OSTREL_HOME='" + home.string() + "' OSTREL_SETTINGS_DIR='" +
                                    settingsDir.string() + "' " LEVELWATCH_BIN_DIR
                                    "/OstrelService " +
                                    args + " > '" + out + "' 2>&1";
        const int status = std::system(command.c_str());
        output = readWholeFile(out);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string log() const { return readWholeFile(file("OstrelServiceLog.txt")); }
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

    const std::filesystem::path root =
        std::filesystem::temp_directory_path() /
        ("service-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::filesystem::path home = root / "home";
    const std::filesystem::path settingsDir = root / "settings";
    int tcpPort = 0;
    std::map<std::string, std::string> serviceEnv; // more environment for the service
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::unique_ptr<ChildProcess> service;
};

} // namespace lw::test
