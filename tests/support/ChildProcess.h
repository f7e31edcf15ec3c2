#pragma once
// Programs started as real processes for a test, and waiting on what they do with generous
// deadlines, so a loaded machine slows a test down instead of failing it.

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace lw::test {

template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

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

struct ChildOptions {
    std::map<std::string, std::string> env; // added to this process's environment
    bool readFirstLine = false;             // take the first line of its standard output
};

// A started program; killed, if still running, when the object goes.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> args, const ChildOptions& options = {}) {
        // Everything the child needs is built before the fork: after it, only exec.
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e)
            envText.emplace_back(*e);
        for (const auto& [k, v] : options.env)
            envText.push_back(k + "=" + v);
        std::vector<char*> argv, envp;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        int out[2] = {-1, -1};
        if (options.readFirstLine && ::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            if (out[1] >= 0) {
                ::dup2(out[1], STDOUT_FILENO);
                ::close(out[0]);
                ::close(out[1]);
            }
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (out[1] >= 0) {
            ::close(out[1]);
            // Byte by byte, so nothing after the first line is taken from the pipe.
            char c;
            while (::read(out[0], &c, 1) == 1 && c != '\n')
                firstLine_ += c;
            ::close(out[0]);
        }
    }
    ~ChildProcess() {
        if (running())
            signal(SIGKILL);
        waitExit(10000);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    const std::string& firstLine() const { return firstLine_; }

    void signal(int sig) {
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
    std::string firstLine_;
};

} // namespace lw::test
