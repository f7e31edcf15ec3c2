#pragma once
// One monitor's connection to the relay server, on the owner's event loop.
//
// Writes never block: the kernel takes what it can at once and the rest waits, in order, in
// the connection's queue. What the monitor sends is read and dropped. A monitor that shuts
// down its sending side (end of input) has only said it will send nothing more: it goes on
// receiving until a write to it fails or it resets the connection.
//
// Qt's socket classes end a connection at the first end of input, so the connection is kept
// on the descriptor itself.

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTcpServer>

namespace lw {

class RelayConnection final : public QObject {
    Q_OBJECT
public:
    // Takes over an accepted, connected descriptor; closes it when destroyed.
    explicit RelayConnection(qintptr descriptor, QObject* parent = nullptr);
    ~RelayConnection() override;
    RelayConnection(const RelayConnection&) = delete;
    RelayConnection& operator=(const RelayConnection&) = delete;

    // Queues `size` bytes behind what waits; nothing happens once the connection has failed.
    void write(const char* data, qint64 size);
    // Bytes not yet taken by the kernel.
    qint64 bytesToWrite() const { return pending_.size(); }
    // "address:port" of the monitor.
    const QString& peer() const { return peer_; }
    bool failed() const { return failed_; }
    // Why it failed.
    const QString& errorString() const { return error_; }

signals:
    // The kernel took bytes of the queue.
    void bytesWritten();
    // A write failed or the monitor reset the connection; once, and always after control has
    // returned to the event loop, so it never arrives in the middle of a walk over the clients.
    void closed();

private:
    void readAndDrop();
    void flush();
    // False when the send failed for good.
    bool send(const char* data, qint64 size, qint64& sent);
    void fail(int error);

    int fd_;
    QString peer_;
    QSocketNotifier readNotifier_;
    QSocketNotifier writeNotifier_;
    QByteArray pending_;
    bool failed_ = false;
    QString error_;
};

// The relay's listening socket: hands over the descriptor of each accepted connection.
class RelayListener final : public QTcpServer {
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

signals:
    void accepted(qintptr descriptor);

protected:
    void incomingConnection(qintptr descriptor) override { emit accepted(descriptor); }
};

} // namespace lw
