#include "RelayConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>

namespace lw {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Reads per wake-up: a monitor that floods the line must not keep the loop from other work.
constexpr int kReadsPerWakeUp = 16;

QString peerOf(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return QStringLiteral("?");
    QHostAddress host(reinterpret_cast<const sockaddr*>(&address));
    const quint16 port = address.ss_family == AF_INET6
                             ? ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port)
                             : ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    return host.toString() + ':' + QString::number(port);
}

} // namespace

RelayConnection::RelayConnection(qintptr descriptor, QObject* parent)
    : QObject(parent), fd_(static_cast<int>(descriptor)), peer_(peerOf(fd_)),
      readNotifier_(descriptor, QSocketNotifier::Read),
      writeNotifier_(descriptor, QSocketNotifier::Write) {
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    writeNotifier_.setEnabled(false);
    connect(&readNotifier_, &QSocketNotifier::activated, this, &RelayConnection::readAndDrop);
    connect(&writeNotifier_, &QSocketNotifier::activated, this, &RelayConnection::flush);
}

RelayConnection::~RelayConnection() {
    readNotifier_.setEnabled(false);
    writeNotifier_.setEnabled(false);
    ::close(fd_);
}

void RelayConnection::write(const char* data, qint64 size) {
    if (failed_ || size <= 0)
        return;
    qint64 sent = 0;
    // Straight to the kernel when nothing waits before it: every frame takes this path once
    // per client, and a queue would add a copy and a later loop round.
    if (pending_.isEmpty() && !send(data, size, sent))
        return;
    if (sent < size) {
        pending_.append(data + sent, size - sent);
        writeNotifier_.setEnabled(true);
    }
}

void RelayConnection::flush() {
    qint64 sent = 0;
    if (!send(pending_.constData(), pending_.size(), sent))
        return;
    pending_.remove(0, sent);
    writeNotifier_.setEnabled(!pending_.isEmpty());
    if (sent > 0)
        emit bytesWritten();
}

bool RelayConnection::send(const char* data, qint64 size, qint64& sent) {
    while (sent < size) {
        const ssize_t n =
            ::send(fd_, data + sent, static_cast<size_t>(size - sent), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        fail(n < 0 ? errno : EPIPE);
        return false;
    }
    return true;
}

void RelayConnection::readAndDrop() {
    char buffer[kReadChunk];
    for (int reads = 0; reads < kReadsPerWakeUp; ++reads) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n == 0) {
            // End of input: the monitor will send nothing more, and may still be reading.
            readNotifier_.setEnabled(false);
            return;
        }
        fail(errno);
        return;
    }
}

void RelayConnection::fail(int error) {
    if (failed_)
        return;
    failed_ = true;
    error_ = QString::fromLocal8Bit(std::strerror(error));
    readNotifier_.setEnabled(false);
    writeNotifier_.setEnabled(false);
    pending_.clear();
    QMetaObject::invokeMethod(this, &RelayConnection::closed, Qt::QueuedConnection);
}

} // namespace lw
