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

template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

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

// A started program with its environment; killed, if still running, when the object goes.
class Process {
public:
    Process(std::vector<std::string> args, const std::map<std::string, std::string>& env) {
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e)
            envText.emplace_back(*e);
        for (const auto& [k, v] : env)
            envText.push_back(k + "=" + v);
        std::vector<char*> argv, envp;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
    }
    ~Process() {
        if (running())
            signal(SIGKILL);
        waitExit(10000);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void signal(int sig) { ::kill(pid_, sig); }
    bool running() {
        if (pid_ <= 0 || status_)
            return false;
        int st = 0;
        if (::waitpid(pid_, &st, WNOHANG) == pid_) {
            status_ = st;
            return false;
        }
        return true;
    }
    // The exit code, -1 for a signal; empty while it still runs after `timeoutMs`.
    std::optional<int> waitExit(int timeoutMs) {
        waitUntil([&] { return !running(); }, timeoutMs);
        if (!status_)
            return std::nullopt;
        return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

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

    void startService() {
        service = std::make_unique<Process>(
            std::vector<std::string>{LEVELWATCH_BIN_DIR "/OstrelService"},
            std::map<std::string, std::string>{{"OSTREL_HOME", home.string()},
                                               {"OSTREL_SETTINGS_DIR", settingsDir.string()}});
    }
    // SIGTERM; the service must end cleanly with its closing lines.
    void stopService() {
        service->signal(SIGTERM);
        EXPECT_EQ(service->waitExit(20000), 0);
        EXPECT_TRUE(logHas("Service Stop"));
        EXPECT_TRUE(logHas("Service Execute Terminated."));
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
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::unique_ptr<Process> service;
};

} // namespace lw::test
