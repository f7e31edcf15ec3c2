#pragma once
// Programs started as real processes by a test or a benchmark.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "Wait.h"

namespace lw::test {

// Where a child's standard output and error go.
enum class ChildOutput {
    Inherited,       // where this process's go
    Piped,           // its output to us (readLine, readToEnd); its errors where ours go
    PipedWithErrors, // both to us, in the order written
    Discarded,       // both to /dev/null
};

struct ChildOptions {
    std::map<std::string, std::string> env = {}; // set in its environment, over this process's
    ChildOutput output = ChildOutput::Inherited;
    // Its standard input a pipe from us that closes when the object goes, or this process ends:
    // for a child that ends at the end of its input.
    bool pipedInput = false;
};

// A started program; killed, if still running, when the object goes.
class ChildProcess {
public:
    // `args[0]` is the program's path. Throws std::system_error when it cannot be started.
    explicit ChildProcess(const std::vector<std::string>& args, const ChildOptions& options = {}) {
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!options.env.contains(entry.substr(0, entry.find('='))))
                envText.push_back(entry);
        }
        for (const auto& [k, v] : options.env)
            envText.push_back(k + "=" + v);
        std::vector<char*> argv, envp;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (std::string& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        // Our ends are closed in every program started later (O_CLOEXEC), so that only this
        // child holds the other ends.
        int in[2] = {-1, -1};
        int out[2] = {-1, -1};
        if ((options.pipedInput && ::pipe2(in, O_CLOEXEC) != 0) ||
            (piped(options.output) && ::pipe2(out, O_CLOEXEC) != 0))
            throw std::system_error(errno, std::generic_category(), "pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (in[0] >= 0)
            posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        if (out[1] >= 0)
            posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (options.output == ChildOutput::Discarded)
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (options.output == ChildOutput::PipedWithErrors ||
            options.output == ChildOutput::Discarded)
            posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        for (int fd : {in[0], out[1]})
            if (fd >= 0)
                ::close(fd);
        input_ = in[1];
        output_ = out[0];
        if (rc != 0) {
            pid_ = -1;
            closeInput();
            throw std::system_error(rc, std::generic_category(), "start " + args[0]);
        }
    }
    ~ChildProcess() {
        closeInput();
        if (running())
            signal(SIGKILL);
        waitExit(10000);
        if (output_ >= 0)
            ::close(output_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next line of its output, without the newline; empty at the end of its output. Read
    // byte by byte, so nothing after the line is taken from the pipe.
    std::string readLine() {
        std::string line;
        char c;
        while (output_ >= 0 && ::read(output_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    // All of its output until it closes it (at its end, as a rule).
    std::string readToEnd() {
        std::string text;
        char buf[4096];
        ssize_t n;
        while (output_ >= 0 && (n = ::read(output_, buf, sizeof buf)) > 0)
            text.append(buf, static_cast<size_t>(n));
        return text;
    }
    void closeInput() {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
    }

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
    static bool piped(ChildOutput o) {
        return o == ChildOutput::Piped || o == ChildOutput::PipedWithErrors;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::optional<int> status_;
};

struct RunResult {
    int exitCode = -1; // -1 for a signal, or a run that did not end
    std::string output;
};

// Runs `args` to its end with `env` set, taking its output as `output` says.
inline RunResult runToEnd(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& env = {},
                          ChildOutput output = ChildOutput::PipedWithErrors) {
    ChildProcess child(args, {.env = env, .output = output});
    RunResult r;
    r.output = child.readToEnd();
    r.exitCode = child.waitExit(kWaitMs).value_or(-1);
    return r;
}

} // namespace lw::test
