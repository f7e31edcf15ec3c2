#pragma once
// TCP on loopback for tests and benchmarks: a port of one's own for a program to listen on, and
// connecting to it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace lw::test {

// A loopback TCP port that the system picked (bound as port 0) and that stays bound while the
// object lives, without listening: no other socket is given it meanwhile, a connection to it is
// refused until a program listens on it, and a program that reuses addresses, as QTcpServer
// and Mosquitto do, can listen on it.
class ReservedPort {
public:
    ReservedPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const int one = 1;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
            ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            const int error = errno;
            if (fd_ >= 0)
                ::close(fd_);
            throw std::system_error(error, std::generic_category(), "reserve a TCP port");
        }
        number_ = ntohs(a.sin_port);
    }
    ~ReservedPort() { ::close(fd_); }
    ReservedPort(const ReservedPort&) = delete;
    ReservedPort& operator=(const ReservedPort&) = delete;

    uint16_t number() const { return number_; }

private:
    int fd_;
    uint16_t number_ = 0;
};

// A connected socket to `ip`:`port`, or -1 when the connection is refused. `receiveBuffer`, when
// not 0, is the socket's receive buffer, set before connecting so the window follows it.
inline int connectTo(const char* ip, uint16_t port, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, ip, &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        return fd;
    ::close(fd);
    return -1;
}

} // namespace lw::test
