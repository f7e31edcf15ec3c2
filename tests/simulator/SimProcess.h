#pragma once
// `ostrel-sim run` started as a real process for a test: its first output line is the path of
// the line it serves; it is killed, if still running, when the object goes.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lw::test {

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool hasLine(const std::string& text, const std::string& line) {
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (l == line)
            return true;
    return false;
}

class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& runArgs) {
        std::vector<std::string> args{LEVELWATCH_BIN_DIR "/ostrel-sim", "run"};
        args.insert(args.end(), runArgs.begin(), runArgs.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) { // only async-signal-safe calls until exec
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        // The first line, read byte by byte so nothing after it is taken from the pipe.
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            path_ += c;
        ::close(out[0]);
    }
    ~SimProcess() {
        if (running())
            kill(SIGKILL);
        waitExit(10000);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The line's path; empty when the emulator did not start.
    const std::string& path() const { return path_; }

    void kill(int sig) {
        if (pid_ > 0)
            ::kill(pid_, sig);
    }
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
    // The exit code once the process has ended, -1 for a signal; empty while it runs.
    std::optional<int> waitExit(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!status_)
            return std::nullopt;
        return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string path_;
};

} // namespace lw::test
