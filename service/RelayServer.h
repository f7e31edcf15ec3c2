#pragma once
// The relay server: every frame the service accepts goes, as a 255-byte relay block, to every
// connected monitor; a monitor that connects first receives the saved block of each unit.
//
// Everything runs on the owner's event loop. Writes never block: each client has a bounded
// queue, and a client that lets its queue grow past the bound is dropped, so one slow monitor
// can delay neither reception nor the other monitors.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include <QHostAddress>
#include <QObject>
#include <QString>

#include "RelayBlock.h"
#include "RelayConnection.h"

namespace lw {

class RelayServer : public QObject {
    Q_OBJECT
public:
    // Receives each log line of the server with its level (0 errors .. 7 per-frame steps).
    using LogFunction = std::function<void(const QString& text, int level)>;

    static constexpr qint64 kDefaultMaxPendingBytes = 1 << 20;

    // `folder` holds the saved-frame files "LastData-<ID>.bin" sent to each new client.
    RelayServer(QString folder, LogFunction log, QObject* parent = nullptr);
    ~RelayServer() override;

    // Starts listening on `port` at `bindAddress`: empty for every local address, else a
    // numeric address or a host name (its first IPv4 address, else its first). A server that is
    // already listening keeps its port and address until it is destroyed, so this may be called
    // at every settings reload: it only retries an activation that failed. Returns false after
    // logging "Could not TCPPort<port>." and the reason (level 0) when the port cannot be used,
    // and listens nowhere when the bind address names none: never wider than asked.
    bool TCPInit(int port, const QString& bindAddress = {});
    bool isListening() const { return server_.isListening(); }
    quint16 serverPort() const { return server_.serverPort(); }
    QHostAddress serverAddress() const { return server_.serverAddress(); }

    // Sends one relay block to every connected client. The receive pipeline logs "Send List."
    // (level 7) for frames of the R200 family before calling: only it knows the family.
    void forward(std::span<const uint8_t, kBufferSize> block);

    // Service log lines of `maxLevel` or lower go to the clients as "Service:" status blocks;
    // a negative level (the default) sends none.
    void setStatusLevel(int maxLevel) { statusLevel_ = maxLevel; }
    // `line` is the log line as written to the log file: date-time, a blank, the text. Safe to
    // call from the log function itself: the block goes out once control returns to the loop.
    void sendStatus(const QString& line, int level);

    // The bound of a client's queue, in bytes not yet taken by its socket.
    void setMaxPendingBytes(qint64 bytes) { maxPendingBytes_ = bytes; }
    int clientCount() const { return static_cast<int>(clients_.size()); }

private:
    struct Client {
        RelayConnection* connection = nullptr;
        std::deque<uint64_t> catchUp; // IDs of saved frames still to send, ascending
        bool catchUpDone = false;
    };

    void acceptClient(qintptr descriptor);
    void startCatchUp(quint64 id);
    void pumpCatchUp(Client& client);
    void sendSavedFrame(RelayConnection& connection, uint64_t id);
    std::vector<uint64_t> savedFrameIds() const; // ascending
    void sendToAll(std::span<const uint8_t, kBufferSize> block);
    void flushStatus();
    void removeClient(quint64 id);
    void log(const QString& text, int level) const;

    QString folder_;
    LogFunction log_;
    RelayListener server_;
    std::map<quint64, std::unique_ptr<Client>> clients_; // in connection order
    quint64 nextClientId_ = 0;
    qint64 maxPendingBytes_ = kDefaultMaxPendingBytes;
    int statusLevel_ = -1;
    std::vector<RelayBlock> pendingStatus_;
};

} // namespace lw
