#pragma once
// One end of a serial line for a test, raw and non-blocking: the master end of a new pty pair,
// whose other end a program under test opens as its port, or a device opened as a port owner
// opens it.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Wait.h"

namespace lw::test {

class Pty {
public:
    // A new pty pair; `path()` names its other end.
    Pty() : fd_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0)
            fail("new pty");
        path_ = ::ptsname(fd_);
        makeRaw();
    }
    // The device at `device`; `path()` names it.
    explicit Pty(const std::string& device)
        : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)), path_(device) {
        if (fd_ < 0)
            fail("open " + device);
        makeRaw();
    }
    ~Pty() { close(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }

    // Throws std::system_error unless every byte was taken.
    void write(std::span<const uint8_t> bytes) {
        if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            fail("write " + path_);
    }
    void write(std::string_view bytes) {
        write({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    }
    // Whatever the other end has sent by now.
    std::vector<uint8_t> readAvailable() {
        std::vector<uint8_t> out;
        uint8_t buf[512];
        ssize_t n;
        while ((n = ::read(fd_, buf, sizeof buf)) > 0)
            out.insert(out.end(), buf, buf + n);
        return out;
    }
    // What arrives until `count` bytes have, or the deadline has passed.
    std::vector<uint8_t> receive(size_t count, int timeoutMs = kWaitMs) {
        std::vector<uint8_t> got;
        waitUntil(
            [&] {
                const std::vector<uint8_t> more = readAvailable();
                got.insert(got.end(), more.begin(), more.end());
                return got.size() >= count;
            },
            timeoutMs);
        return got;
    }
    // The line's settings as the other end last set them.
    termios settings() const {
        termios t{};
        ::tcgetattr(fd_, &t);
        return t;
    }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    void makeRaw() {
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    [[noreturn]] void fail(const std::string& what) {
        const int error = errno;
        close();
        throw std::system_error(error, std::generic_category(), what);
    }

    int fd_;
    std::string path_;
};

} // namespace lw::test
