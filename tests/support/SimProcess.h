#pragma once
// `ostrel-sim run` started as a real process for a test: its first output line is the path of
// the line it serves; it is killed, if still running, when the object goes.

#include "ChildProcess.h"

namespace lw::test {

class SimProcess : public ChildProcess {
public:
    explicit SimProcess(const std::vector<std::string>& runArgs)
        : ChildProcess(withProgram(runArgs), {.output = ChildOutput::Piped}), path_(readLine()) {}

    // The line's path; empty when the emulator did not start.
    const std::string& path() const { return path_; }
    void kill(int sig) { signal(sig); }

private:
    static std::vector<std::string> withProgram(const std::vector<std::string>& runArgs) {
        std::vector<std::string> args{LEVELWATCH_BIN_DIR "/ostrel-sim", "run"};
        args.insert(args.end(), runArgs.begin(), runArgs.end());
        return args;
    }

    std::string path_;
};

} // namespace lw::test
