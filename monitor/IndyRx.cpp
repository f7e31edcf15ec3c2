#include "IndyRx.h"

#include <algorithm>
#include <cstring>

#include <QHostInfo>
#include <QLoggingCategory>

namespace lw {
namespace {

// For a field engineer, off by default: QT_LOGGING_RULES="levelwatch.link=true".
Q_LOGGING_CATEGORY(lcLink, "levelwatch.link", QtWarningMsg)

const QString kPrefix = QStringLiteral("Ostrel Service: ");
const QString kResolving = QStringLiteral("Resolving hostname %1.");
const QString kConnecting = QStringLiteral("Connecting to %1.");
const QString kConnected = QStringLiteral("Connected.");
const QString kDisconnecting = QStringLiteral("Disconnecting.");
const QString kDisconnected = QStringLiteral("Disconnected.");
const QString kConnectTimedOut = QStringLiteral("Connect timed out.");

TitcRecord textMessage(Tcommands command, const QString& text) {
    TitcRecord record;
    record.command = command;
    record.data = (kPrefix + text).left(IndyRx::kMaxTextLength);
    return record;
}

} // namespace

QString TitcRecord::serviceStatus() const {
    return QString::fromLatin1(statusText(RxData));
}

IndyRx::IndyRx(QString host, quint16 port, IndyRxTimeouts timeouts, QObject* parent)
    : QObject(parent), host_(std::move(host)), port_(port), timeouts_(timeouts) {
    connectTimer_.setSingleShot(true);
    retryTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this, [this] { connectFailed(kConnectTimedOut); });
    connect(&retryTimer_, &QTimer::timeout, this, &IndyRx::attemptConnect);
    connect(&socket_, &QAbstractSocket::connected, this, &IndyRx::connected);
    connect(&socket_, &QIODevice::readyRead, this, &IndyRx::readBlocks);
    connect(&socket_, &QAbstractSocket::errorOccurred, this, &IndyRx::socketError);
    connect(&socket_, &QAbstractSocket::disconnected, this, [this] {
        if (state_ == State::Connected)
            connectionLost({});
    });
}

IndyRx::~IndyRx() {
    disconnect(&socket_, nullptr, this, nullptr);
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    socket_.abort();
}

void IndyRx::start() {
    attemptConnect();
}

int IndyRx::remainingWaitMs() const {
    switch (state_) {
    case State::Waiting:
        return retryTimer_.remainingTime();
    case State::Resolving:
    case State::Connecting:
        return connectTimer_.remainingTime();
    case State::Connected:
        break;
    }
    return -1;
}

void IndyRx::attemptConnect() {
    pending_.clear();
    connectTimer_.start(timeouts_.connectMs);
    QHostAddress address;
    if (address.setAddress(host_)) {
        connectTo(address);
        return;
    }
    state_ = State::Resolving;
    sendStatus(kResolving.arg(host_));
    lookupId_ = QHostInfo::lookupHost(host_, this, &IndyRx::hostFound);
}

void IndyRx::hostFound(const QHostInfo& info) {
    if (state_ != State::Resolving || info.lookupId() != lookupId_)
        return;
    lookupId_ = -1;
    const QList<QHostAddress> addresses = info.addresses();
    if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
        connectFailed(info.errorString());
        return;
    }
    // IPv4 first: a service bound to 127.0.0.1 does not answer on ::1.
    const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    connectTo(v4 != addresses.end() ? *v4 : addresses.first());
}

void IndyRx::connectTo(const QHostAddress& address) {
    state_ = State::Connecting;
    sendStatus(kConnecting.arg(address.toString()));
    socket_.connectToHost(address, port_, QIODevice::ReadOnly);
}

void IndyRx::connected() {
    connectTimer_.stop();
    state_ = State::Connected;
    sendStatus(kConnected);
}

void IndyRx::socketError(QAbstractSocket::SocketError error) {
    if (state_ == State::Connecting)
        connectFailed(socket_.errorString());
    else if (state_ == State::Connected)
        // The service closing the connection is no error worth a message.
        connectionLost(error == QAbstractSocket::RemoteHostClosedError ? QString()
                                                                       : socket_.errorString());
}

void IndyRx::connectFailed(const QString& reason) {
    connectTimer_.stop();
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    state_ = State::Waiting;
    socket_.abort();
    sendError(reason);
    retryTimer_.start(timeouts_.retryAfterFailedConnectMs);
}

void IndyRx::connectionLost(const QString& reason) {
    state_ = State::Waiting;
    readBlocks(); // whole blocks that arrived before the close still count
    if (!reason.isEmpty())
        sendError(reason);
    sendStatus(kDisconnecting);
    socket_.abort();
    pending_.clear();
    sendStatus(kDisconnected);
    retryTimer_.start(timeouts_.retryAfterLostConnectionMs);
}

void IndyRx::readBlocks() {
    // Blocks arrive in whatever pieces TCP makes of them; a piece is kept until it is whole.
    pending_.append(socket_.readAll());
    qsizetype used = 0;
    for (; pending_.size() - used >= kBufferSize; used += kBufferSize) {
        TitcRecord record;
        record.command = Tcommands::tmData;
        std::memcpy(record.RxData.data(), pending_.constData() + used, kBufferSize);
        emit message(record);
    }
    pending_.remove(0, used);
}

void IndyRx::sendStatus(const QString& text) {
    qCDebug(lcLink).noquote() << host_ << port_ << text;
    emit message(textMessage(Tcommands::tmError, text));
}

void IndyRx::sendError(const QString& text) {
    // Error texts may span lines; the status line shows one.
    QString oneLine = text;
    oneLine.replace('\r', ' ').replace('\n', ' ');
    qCDebug(lcLink).noquote() << host_ << port_ << "error:" << oneLine;
    emit message(textMessage(Tcommands::tmError, oneLine));
}

} // namespace lw
