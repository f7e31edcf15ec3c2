#include "RunCommand.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <unistd.h>

#include "CodeTables.h"
#include "FrameBuffer.h"
#include "FrameBuilder.h"
#include "RequestScanner.h"
#include "SerialLine.h"

namespace lw::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A line whose other end stays closed this long counts as hung up; shorter gaps are the
// programs probing or reopening the port.
constexpr milliseconds kHangupGrace{300};
constexpr milliseconds kHungRecheck{20};
constexpr int kBitsPerByte = 10; // start, 8 data, stop

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &b, 1);
}

void installSignalHandlers() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

class Log {
public:
    Log(const std::string& file, bool times)
        : out_(file.empty() ? stderr : std::fopen(file.c_str(), "a")), owned_(!file.empty()),
          times_(times) {
        if (!out_)
            throw std::system_error(errno, std::generic_category(), "open " + file);
    }
    ~Log() {
        if (owned_)
            std::fclose(out_);
    }
    void line(const std::string& text) {
        if (times_) {
            const auto ms = std::chrono::duration_cast<milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
            std::fprintf(out_, "%lld.%03lld ", static_cast<long long>(ms / 1000),
                         static_cast<long long>(ms % 1000));
        }
        std::fprintf(out_, "%s\n", text.c_str());
        std::fflush(out_);
    }

private:
    FILE* out_;
    bool owned_;
    bool times_;
};

struct Chunk {
    SteadyClock::time_point due;
    std::vector<uint8_t> bytes;
};

class Emulator {
public:
    explicit Emulator(const RunOptions& o)
        : options_(o), line_(o.device.empty() ? SerialLine::createPty(!o.exitOnHangup)
                                              : SerialLine::openDevice(o.device, o.baud)),
          plant_(o.units, o.plant), log_(o.logFile, o.logTimes) {
        if (!o.link.empty())
            line_.link(o.link);
    }
    ~Emulator() { line_.unlink(); }

    const std::string& announcedPath() const {
        return options_.link.empty() ? line_.peerPath() : options_.link;
    }

    int run() {
        for (;;) {
            const bool recheckOnly = hungSince_.has_value();
            pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {line_.fd(), 0, 0}};
            if (!recheckOnly)
                fds[1].events = static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0));
            const int n = ::poll(fds, recheckOnly ? 1 : 2, timeoutMs());
            if (n < 0 && errno != EINTR)
                throw std::system_error(errno, std::generic_category(), "poll");
            if (fds[0].revents & POLLIN) {
                log_.line("stop");
                return 0;
            }
            if (recheckOnly) {
                fds[1] = {line_.fd(), POLLIN, 0};
                ::poll(&fds[1], 1, 0);
            }
            bool hung = fds[1].revents & (POLLHUP | POLLERR);
            if (fds[1].revents & POLLIN)
                hung = !readAll() || hung;
            if (hung && endOfLine())
                return 0;
            if (!hung)
                hungSince_.reset();
            writeDue();
        }
    }

private:
    // False when the other side is gone (end of file or an I/O error).
    bool readAll() {
        uint8_t buf[256];
        for (;;) {
            const ssize_t n = ::read(line_.fd(), buf, sizeof buf);
            if (n > 0) {
                for (ssize_t i = 0; i < n; ++i)
                    heard(buf[i]);
                continue;
            }
            return n < 0 && (errno == EAGAIN || errno == EINTR);
        }
    }

    // True when the emulator should stop because the line stayed hung up.
    bool endOfLine() {
        const auto now = SteadyClock::now();
        if (!hungSince_)
            hungSince_ = now;
        if (options_.exitOnHangup && now - *hungSince_ >= kHangupGrace) {
            log_.line("hangup");
            return true;
        }
        return false;
    }

    void heard(uint8_t byte) {
        switch (scanner_.feed(byte)) {
        case RequestScanner::Found::Nothing:
            return;
        case RequestScanner::Found::WirelessAnswer:
            log_.line("answer OK");
            return;
        case RequestScanner::Found::Request:
            break;
        }
        const PollRequest& req = scanner_.request();
        log_.line("request " + hexText({req.begin(), req.end()}));
        const Answer a = plant_.answer(req);
        const std::string address = std::to_string(req[0]);
        switch (a.kind) {
        case Answer::Kind::NoUnit:
            log_.line("no-unit " + address);
            return;
        case Answer::Kind::Silent:
            log_.line("silent " + address);
            return;
        case Answer::Kind::Unsupported:
            log_.line("unsupported " + address);
            return;
        case Answer::Kind::Reply:
            break;
        }
        log_.line("reply " + address + " " + std::string(dispTypeText(a.dispType)) + " " +
                  std::to_string(a.registerCount) + " " + hexText(a.bytes) +
                  (a.badCrc ? " bad-crc" : ""));
        schedule(a.bytes, SteadyClock::now() + milliseconds(options_.turnaroundMs));
        if (options_.noiseBytes > 0) {
            const std::vector<uint8_t> noise = plant_.noise(options_.noiseBytes);
            log_.line("noise " + hexText(noise));
            schedule(noise, lineFreeAt_ + milliseconds(options_.noiseDelayMs));
        }
    }

    // Queues bytes for the line, after whatever is queued, in pieces and at the line's pace.
    void schedule(const std::vector<uint8_t>& bytes, SteadyClock::time_point start) {
        auto t = std::max(start, lineFreeAt_);
        const size_t parts = std::clamp<size_t>(static_cast<size_t>(options_.splitParts), 1,
                                                std::max<size_t>(bytes.size(), 1));
        const auto byteTime =
            options_.baud > 0
                ? std::chrono::duration_cast<SteadyClock::duration>(
                      std::chrono::duration<double>(double{kBitsPerByte} / options_.baud))
                : SteadyClock::duration::zero();
        size_t from = 0;
        for (size_t p = 0; p < parts; ++p) {
            const size_t to = bytes.size() * (p + 1) / parts;
            if (p > 0)
                t += milliseconds(options_.splitDelayMs);
            if (byteTime == SteadyClock::duration::zero()) {
                out_.push_back({t,
                                {bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(to)}});
            } else {
                for (size_t i = from; i < to; ++i, t += byteTime)
                    out_.push_back({t, {bytes[i]}});
            }
            from = to;
        }
        lineFreeAt_ = t;
    }

    void writeDue() {
        writeBlocked_ = false;
        const auto now = SteadyClock::now();
        while (!out_.empty() && out_.front().due <= now) {
            std::vector<uint8_t>& b = out_.front().bytes;
            const ssize_t n = ::write(line_.fd(), b.data(), b.size());
            if (n < 0 && errno == EAGAIN) {
                writeBlocked_ = true;
                return;
            }
            if (n >= 0 && static_cast<size_t>(n) < b.size()) {
                b.erase(b.begin(), b.begin() + n);
                continue;
            }
            out_.pop_front(); // written, or the line refused it: a unit does not retry
        }
    }

    int timeoutMs() const {
        if (hungSince_)
            return static_cast<int>(kHungRecheck.count());
        if (out_.empty() || writeBlocked_)
            return -1;
        const auto wait = out_.front().due - SteadyClock::now();
        if (wait <= SteadyClock::duration::zero())
            return 0;
        return static_cast<int>(std::chrono::ceil<milliseconds>(wait).count());
    }

    const RunOptions& options_;
    SerialLine line_;
    Plant plant_;
    Log log_;
    RequestScanner scanner_;
    std::deque<Chunk> out_;
    SteadyClock::time_point lineFreeAt_{};
    std::optional<SteadyClock::time_point> hungSince_;
    bool writeBlocked_ = false;
};

int intArg(const std::string& name, const std::string& value, int min, int max) {
    int v = 0;
    const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() || v < min ||
        v > max)
        throw ConfigError(name + ": '" + value + "' is not a number from " + std::to_string(min) +
                          " to " + std::to_string(max));
    return v;
}

double rateArg(const std::string& name, const std::string& value) {
    size_t used = 0;
    double v = -1;
    try {
        v = std::stod(value, &used);
    } catch (const std::exception&) {
    }
    if (used != value.size() || !(v >= 0 && v <= 1))
        throw ConfigError(name + ": '" + value + "' is not a rate from 0 to 1");
    return v;
}

} // namespace

std::string runUsage() {
    return "usage: ostrel-sim run --unit ADDR:TYPE[:ID,ID,...][:KEY=VALUE...][:silent]"
           "[:signal-test][:steady] [--unit ...]\n"
           "         [--plant FILE] [--device PATH] [--link PATH] [--log FILE] [--log-times]\n"
           "         [--seed N] [--no-drift] [--turnaround MS] [--baud N] [--bad-crc RATE]\n"
           "         [--split N] [--split-delay MS] [--signal-test] [--noise N]\n"
           "         [--noise-delay MS] [--exit-on-hangup]\n"
           "  TYPE: R200S R200D R200I R300S R300D R300T R300Q R300I\n"
           "  KEY (unit): version alarms relays input1 input2 battery counter\n"
           "  KEY (tank, one value or one per tank): status level volume decimals temp sbattery\n";
}

RunOptions parseRunOptions(const std::vector<std::string>& args) {
    RunOptions o;
    bool signalTest = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw ConfigError(a + " needs a value");
            return args[++i];
        };
        if (a == "--unit") {
            o.units.push_back(parseUnitConfig(value()));
        } else if (a == "--plant") {
            const std::string& file = value();
            std::ifstream in(file);
            if (!in)
                throw ConfigError("cannot read plant file " + file);
            for (UnitConfig& u : parsePlantFile(in))
                o.units.push_back(std::move(u));
        } else if (a == "--device") {
            o.device = value();
        } else if (a == "--link") {
            o.link = value();
        } else if (a == "--log") {
            o.logFile = value();
        } else if (a == "--log-times") {
            o.logTimes = true;
        } else if (a == "--seed") {
            o.plant.seed = static_cast<uint32_t>(intArg(a, value(), 0, 0x7FFFFFFF));
        } else if (a == "--no-drift") {
            o.plant.drift = false;
        } else if (a == "--turnaround") {
            o.turnaroundMs = intArg(a, value(), 0, 60000);
        } else if (a == "--baud") {
            o.baud = intArg(a, value(), 0, 115200);
        } else if (a == "--bad-crc") {
            o.plant.badCrcRate = rateArg(a, value());
        } else if (a == "--split") {
            o.splitParts = intArg(a, value(), 1, 101);
        } else if (a == "--split-delay") {
            o.splitDelayMs = intArg(a, value(), 0, 60000);
        } else if (a == "--signal-test") {
            signalTest = true;
        } else if (a == "--noise") {
            o.noiseBytes = intArg(a, value(), 0, 4096);
        } else if (a == "--noise-delay") {
            o.noiseDelayMs = intArg(a, value(), 0, 60000);
        } else if (a == "--exit-on-hangup") {
            o.exitOnHangup = true;
        } else {
            throw ConfigError("unknown option '" + a + "'");
        }
    }
    if (o.units.empty())
        throw ConfigError("no units: give --unit or --plant");
    for (size_t i = 0; i < o.units.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (o.units[i].values.address == o.units[j].values.address)
                throw ConfigError("two units at address " +
                                  std::to_string(o.units[i].values.address));
    if (signalTest)
        for (UnitConfig& u : o.units)
            u.values.function = kFunctionSignalTest;
    return o;
}

int runCommand(const std::vector<std::string>& args) {
    RunOptions options;
    try {
        options = parseRunOptions(args);
    } catch (const ConfigError& e) {
        std::cerr << "ostrel-sim run: " << e.what() << "\n" << runUsage();
        return 2;
    }
    try {
        installSignalHandlers();
        Emulator emulator(options);
        std::cout << emulator.announcedPath() << std::endl;
        return emulator.run();
    } catch (const std::exception& e) {
        std::cerr << "ostrel-sim run: " << e.what() << "\n";
        return 1;
    }
}

} // namespace lw::sim
