#pragma once
// The monitor's link to the service: keeps a TCP connection to the relay server, reassembles
// its 255-byte relay blocks and hands each block, and each change of the connection, to the
// window as a message of its own. It only receives; it never sends anything to the service.
//
// Runs on the owner's event loop: connecting, reading and the waits between attempts are all
// asynchronous, so no thread is needed.

#include <cstdint>

#include <QByteArray>
#include <QHostAddress>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include "RelayBlock.h"

class QHostInfo;

namespace lw {

// What a message carries.
enum class Tcommands : uint8_t {
    tmStatus = 0,       // not sent by the link
    tmData = 1,         // one relay block
    tmConnected = 2,    // not sent by the link
    tmDisconnected = 3, // not sent by the link
    tmError = 4,        // a failed connect, a broken connection, or a connection status text
    tmReadTimeout = 5,  // not sent by this link: its reads never time out
};

struct TitcRecord {
    Tcommands command = Tcommands::tmStatus;
    QString data;        // tmError: "Ostrel Service: " + the text, at most 255 characters
    RelayBlock RxData{}; // tmData: the block as received

    // A status text from the service rather than a frame.
    bool isServiceStatus() const { return isStatusBlock(RxData); }
    QString serviceStatus() const;
};

struct IndyRxTimeouts {
    int connectMs = 10000;
    int retryAfterFailedConnectMs = 9000; // after a connect that failed or timed out
    int retryAfterLostConnectionMs = 5000;
};

class IndyRx : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTextLength = 255;

    IndyRx(QString host, quint16 port, IndyRxTimeouts timeouts = {}, QObject* parent = nullptr);
    // Closes the link without further messages.
    ~IndyRx() override;

    // Makes the first connection attempt; from then on the link reconnects by itself.
    void start();
    // While connecting: the time left before the attempt is given up; while waiting: the time
    // left before the next attempt; -1 while connected.
    int remainingWaitMs() const;

signals:
    void message(const lw::TitcRecord& record);

private:
    enum class State { Waiting, Resolving, Connecting, Connected };

    void attemptConnect();
    void hostFound(const QHostInfo& info);
    void connectTo(const QHostAddress& address);
    void connected();
    void socketError(QAbstractSocket::SocketError error);
    void connectFailed(const QString& reason);
    void connectionLost(const QString& reason);
    void readBlocks();
    void sendStatus(const QString& text);
    void sendError(const QString& text);

    const QString host_;
    const quint16 port_;
    const IndyRxTimeouts timeouts_;
    State state_ = State::Waiting;
    int lookupId_ = -1;
    QTcpSocket socket_;
    QTimer connectTimer_;
    QTimer retryTimer_;
    QByteArray pending_; // bytes of a block not yet complete
};

} // namespace lw

Q_DECLARE_METATYPE(lw::TitcRecord)
