#include "SerialLine.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lw::sim {
namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

speed_t speedOf(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        throw std::invalid_argument("unsupported baud rate " + std::to_string(baud));
    }
}

// No echo, no line editing, no CR/LF translation: the units speak binary.
void makeRaw(int fd, int baud) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        fail("tcgetattr");
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (baud > 0)
        cfsetspeed(&t, speedOf(baud));
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        fail("tcsetattr");
}

} // namespace

SerialLine::SerialLine(int fd, int heldPeerFd, std::string peerPath)
    : fd_(fd), heldPeerFd_(heldPeerFd), peerPath_(std::move(peerPath)) {}

SerialLine::SerialLine(SerialLine&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), heldPeerFd_(std::exchange(other.heldPeerFd_, -1)),
      peerPath_(std::move(other.peerPath_)), linkPath_(std::move(other.linkPath_)) {}

SerialLine::~SerialLine() {
    if (heldPeerFd_ >= 0)
        ::close(heldPeerFd_);
    if (fd_ >= 0)
        ::close(fd_);
}

SerialLine SerialLine::createPty(bool holdPeer) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        fail("posix_openpt");
    SerialLine line(master, -1, {});
    if (grantpt(master) != 0 || unlockpt(master) != 0)
        fail("unlockpt");
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0)
        fail("ptsname_r");
    line.peerPath_ = name;
    // Terminal settings on the master apply to the pair.
    makeRaw(master, 0);
    if (holdPeer) {
        line.heldPeerFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (line.heldPeerFd_ < 0)
            fail(std::string("open ") + name);
    }
    return line;
}

SerialLine SerialLine::openDevice(const std::string& path, int baud) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail("open " + path);
    SerialLine line(fd, -1, path);
    makeRaw(fd, baud);
    return line;
}

void SerialLine::link(const std::string& linkPath) {
    const std::string temp = linkPath + ".new" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(peerPath_.c_str(), temp.c_str()) != 0)
        fail("symlink " + temp);
    if (::rename(temp.c_str(), linkPath.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        fail("rename to " + linkPath);
    }
    linkPath_ = linkPath;
}

void SerialLine::unlink() {
    if (linkPath_.empty())
        return;
    std::vector<char> target(peerPath_.size() + 2);
    const ssize_t n = ::readlink(linkPath_.c_str(), target.data(), target.size());
    if (n >= 0 && std::string(target.data(), static_cast<size_t>(n)) == peerPath_)
        ::unlink(linkPath_.c_str());
    linkPath_.clear();
}

} // namespace lw::sim
