#include "RelayServer.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QLoggingCategory>

namespace lw {
namespace {

// For a field engineer, off by default: QT_LOGGING_RULES="levelwatch.relay=true".
Q_LOGGING_CATEGORY(lcRelay, "levelwatch.relay", QtWarningMsg)

const QString kDefaultPortText = QStringLiteral("DefaultPort");
const QString kActiveText = QStringLiteral("Active");
const QString kCouldNotListen = QStringLiteral("Could not TCPPort%1.");
const QString kListenError = QStringLiteral("ERROR: TCPPort %1: %2");
const QString kServerConnect = QStringLiteral("Server1Connect.");
const QString kNewClient1 = QStringLiteral("New Client Connected.123");
const QString kNewClient2 = QStringLiteral("New Client Connected..");
const QString kNewClient3 = QStringLiteral("New Client Connected...");
const QString kNewClientFile = QStringLiteral("New Client Connected \\LastData-%1.bin");
const QString kNewClientPath = QStringLiteral("New Client Connected %1");
const QString kClientUpdate = QStringLiteral("Client Update %1");
const QString kClientUpdateSkipped = QStringLiteral("Client Update skipped %1: %2.");
const QString kBufferDone = QStringLiteral("New Client Connected-Buffer Done");
const QString kCatchUpDone = QStringLiteral("New Client Connected Done.");
const QString kClientDropped = QStringLiteral("Client %1 dropped: %2 bytes not taken.");

// Catch-up blocks are queued only while the socket holds less than this, so a large folder
// neither swells memory nor counts against the client's bound for live blocks.
constexpr qint64 kCatchUpWatermark = 64 * 1024;
constexpr int kListenBacklog = 256;

void writeBlock(RelayConnection& connection, std::span<const uint8_t, kBufferSize> block) {
    connection.write(reinterpret_cast<const char*>(block.data()), kBufferSize);
}

// One byte per character, its low 8 bits, as the service's 8-bit log texts are.
std::string low8Bits(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text)
        out.push_back(static_cast<char>(c.unicode() & 0xFF));
    return out;
}

// The address to listen on; empty, with the reason, when `text` names none.
std::optional<QHostAddress> bindAddressOf(const QString& text, QString& reason) {
    if (text.isEmpty())
        return QHostAddress(QHostAddress::Any);
    QHostAddress address;
    if (address.setAddress(text))
        return address;
    const QHostInfo info = QHostInfo::fromName(text);
    const QList<QHostAddress> addresses = info.addresses();
    if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        reason = QStringLiteral("BindAddress \"%1\" names no address of this machine (%2)")
                     .arg(text, info.errorString());
        return std::nullopt;
    }
    // IPv4 first, as the monitors' link tries it first.
    for (const QHostAddress& a : addresses)
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    return addresses.first();
}

} // namespace

RelayServer::RelayServer(QString folder, LogFunction log, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), log_(std::move(log)) {
    server_.setListenBacklogSize(kListenBacklog);
    connect(&server_, &RelayListener::accepted, this, &RelayServer::acceptClient);
}

RelayServer::~RelayServer() {
    server_.close();
    for (auto& [id, client] : clients_)
        delete client->connection;
}

bool RelayServer::TCPInit(int port, const QString& bindAddress) {
    log(kDefaultPortText, 2);
    log(kActiveText, 2);
    if (server_.isListening())
        return true;
    QString reason;
    if (port < 0 || port > 65535) {
        reason = QStringLiteral("no TCP port number");
    } else if (const auto address = bindAddressOf(bindAddress, reason)) {
        if (server_.listen(*address, static_cast<quint16>(port))) {
            qCDebug(lcRelay) << "listening on" << address->toString() << port;
            return true;
        }
        reason = QStringLiteral("%1 on %2").arg(server_.errorString(), address->toString());
    }
    log(kCouldNotListen.arg(port), 0);
    log(kListenError.arg(port).arg(reason), 0);
    return false;
}

void RelayServer::forward(std::span<const uint8_t, kBufferSize> block) {
    sendToAll(block);
}

void RelayServer::sendStatus(const QString& line, int level) {
    if (statusLevel_ < 0 || level > statusLevel_)
        return;
    pendingStatus_.push_back(makeStatusBlock(low8Bits(line)));
    if (pendingStatus_.size() == 1)
        QMetaObject::invokeMethod(this, &RelayServer::flushStatus, Qt::QueuedConnection);
}

void RelayServer::flushStatus() {
    const std::vector<RelayBlock> blocks = std::exchange(pendingStatus_, {});
    for (const RelayBlock& block : blocks)
        sendToAll(block);
}

void RelayServer::acceptClient(qintptr descriptor) {
    const quint64 id = nextClientId_++;
    auto client = std::make_unique<Client>();
    client->connection = new RelayConnection(descriptor);
    clients_.emplace(id, std::move(client));
    RelayConnection* connection = clients_.at(id)->connection;
    qCDebug(lcRelay).noquote() << "client" << connection->peer() << "connected;" << clients_.size()
                               << "clients";
    connect(connection, &RelayConnection::bytesWritten, this, [this, id] {
        if (auto it = clients_.find(id); it != clients_.end())
            pumpCatchUp(*it->second);
    });
    connect(connection, &RelayConnection::closed, this, [this, id, connection] {
        qCDebug(lcRelay).noquote() << "client" << connection->peer()
                                   << "gone:" << connection->errorString();
        removeClient(id);
    });
    startCatchUp(id);
}

void RelayServer::startCatchUp(quint64 id) {
    log(kServerConnect, 5);
    log(kNewClient1, 1);
    log(kNewClient2, 1);
    Client& client = *clients_.at(id);
    const std::vector<uint64_t> ids = savedFrameIds();
    client.catchUp.assign(ids.begin(), ids.end());
    pumpCatchUp(client);
}

void RelayServer::pumpCatchUp(Client& client) {
    while (!client.catchUp.empty() && client.connection->bytesToWrite() < kCatchUpWatermark) {
        const uint64_t id = client.catchUp.front();
        client.catchUp.pop_front();
        sendSavedFrame(*client.connection, id);
    }
    if (client.catchUp.empty() && !client.catchUpDone) {
        client.catchUpDone = true;
        log(kCatchUpDone, 1);
    }
}

void RelayServer::sendSavedFrame(RelayConnection& connection, uint64_t id) {
    const QString path = folder_ + '/' + QString::fromStdString(savedFrameFileName(id));
    log(kNewClient3, 1);
    log(kNewClientFile.arg(id), 1);
    log(kNewClientPath.arg(folder_), 1);
    log(kNewClientPath.arg(path), 1);
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (!opened && !file.exists())
        return; // removed since the folder was listed
    log(kClientUpdate.arg(path), 1);
    if (!opened) {
        log(kClientUpdateSkipped.arg(path, file.errorString()), 0);
        return;
    }
    // A short block would shift every later block on this connection: send none rather.
    const QByteArray block = file.read(kBufferSize);
    if (block.size() != kBufferSize) {
        log(kClientUpdateSkipped.arg(path, QStringLiteral("%1 bytes").arg(block.size())), 0);
        return;
    }
    log(kBufferDone, 5);
    connection.write(block.constData(), block.size());
}

std::vector<uint64_t> RelayServer::savedFrameIds() const {
    const QString pattern =
        QString::fromLatin1(kSavedFramePrefix.data(), qsizetype(kSavedFramePrefix.size())) + '*' +
        QString::fromLatin1(kSavedFrameSuffix.data(), qsizetype(kSavedFrameSuffix.size()));
    std::vector<uint64_t> ids;
    for (const QString& name :
         QDir(folder_).entryList({pattern}, QDir::Files | QDir::CaseSensitive))
        if (const auto id = savedFrameFileId(name.toStdString()))
            ids.push_back(*id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

void RelayServer::sendToAll(std::span<const uint8_t, kBufferSize> block) {
    std::vector<quint64> over;
    for (auto& [id, client] : clients_) {
        if (client->connection->bytesToWrite() + kBufferSize > maxPendingBytes_) {
            over.push_back(id);
            continue;
        }
        writeBlock(*client->connection, block);
    }
    for (quint64 id : over) {
        const RelayConnection& connection = *clients_.at(id)->connection;
        log(kClientDropped.arg(connection.peer()).arg(connection.bytesToWrite()), 0);
        removeClient(id);
    }
}

void RelayServer::removeClient(quint64 id) {
    const auto it = clients_.find(id);
    if (it == clients_.end())
        return;
    RelayConnection* connection = it->second->connection;
    clients_.erase(it);
    disconnect(connection, nullptr, this, nullptr);
    // Not deleted at once: this may run inside one of its own signals.
    connection->deleteLater();
}

void RelayServer::log(const QString& text, int level) const {
    if (log_)
        log_(text, level);
}

} // namespace lw
