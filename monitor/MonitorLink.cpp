#include "MonitorLink.h"

#include <QFile>

#include "DateTime.h"
#include "TableFile.h"

namespace lw {
namespace {

const QString kCrcError = QStringLiteral("CRC Error!");
const QString kModifyTank = QStringLiteral("Modify Tank %1 Display Type = %2");
const QString kTestingWireless = QStringLiteral(" Testing Wireless Signal Strength");
const QString kDisconnectedText = QStringLiteral("Ostrel Service: Disconnected.");
const QString kPortBusy =
    QStringLiteral(" The port is busy: another program, such as the service, holds it.");
const QString kPollFileError = QStringLiteral("ERROR: %1: %2");

QString latin(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

MonitorLink::MonitorLink(const Clock& clock, const Formats& formats, QObject* parent)
    : QObject(parent), clock_(clock), formats_(formats), receiver_(*this, PollTanks_) {
    Timer2_.setSingleShot(true);
    Timer2_.setInterval(kReceiveTimeoutMs);
    connect(&Timer2_, &QTimer::timeout, this, [this] { receiver_.Timer2Timer(); });
    PollModbus_.setInterval(kPollCycleMs);
    connect(&PollModbus_, &QTimer::timeout, this, &MonitorLink::PollModbusTimer);
    connect(&ApdComPort1_, &SerialPort::dataReceived, this, [this](const QByteArray& bytes) {
        receiver_.ApdComPort1TriggerAvail(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                     static_cast<size_t>(bytes.size())));
    });
    connect(&ApdComPort1_, &SerialPort::errorOccurred, this, [this] {
        emit detailLine(QStringLiteral("ERROR: COM%1: %2")
                            .arg(ApdComPort1_.portNumber())
                            .arg(ApdComPort1_.errorString()));
    });
}

MonitorLink::~MonitorLink() {
    stopLink();
    ApdComPort1_.close();
}

void MonitorLink::setTcp(const QString& address, int port) {
    TCPAddress_ = address;
    TCPPort_ = port;
}

void MonitorLink::start() {
    if (ComActive_ == 1) {
        openPort(kComPortOpen);
        return;
    }
    startLink();
    emit status(latin(kWaitingForService));
}

void MonitorLink::switchMode(bool linkSettingsChanged) {
    if (ComActive_ == 1) {
        // The link goes before the port opens: one source at a time.
        stopLink();
        openPort(kComPortOpenAfterSwitch);
        return;
    }
    ApdComPort1_.close();
    Timer2_.stop();
    if (linkSettingsChanged)
        stopLink();
    if (!Client_)
        startLink();
    emit status(Client_ ? latin(kWaitingForService) : latin(kCouldNotSetupService));
}

void MonitorLink::openPort(const char* openedText) {
    if (ApdComPort1_.open())
        emit status(latin(openedText).arg(ApdComPort1_.portNumber()));
    else
        emit status(openFailure());
}

QString MonitorLink::openFailure() const {
    const int n = ApdComPort1_.portNumber();
    QString text = latin(kCouldNotOpenComPort).arg(n);
    // A port that exists but will not open is held by another program: no two may poll it.
    if (ApdComPort1_.error() == SerialPort::PermissionError && ApdComPort1_.isAvailable(n))
        text += kPortBusy;
    else if (!ApdComPort1_.errorString().isEmpty())
        text += ' ' + ApdComPort1_.errorString();
    return text;
}

void MonitorLink::startLink() {
    Client_ = std::make_unique<IndyRx>(TCPAddress_, static_cast<quint16>(TCPPort_), linkTimeouts_);
    connect(Client_.get(), &IndyRx::message, this, &MonitorLink::OnMyMessage);
    Client_->start();
}

void MonitorLink::stopLink() {
    Client_.reset();
}

void MonitorLink::SetupPollModbus(std::span<const TankRecord> rows, const QString& pollFile) {
    PollModbus_.stop();
    const int entries = PollTanks_.rebuild(rows);
    PollModbus_.setInterval(pollInterval(entries, PollModbus_.interval()));
    // The service starts its sweep over whenever the file's date changes, so the same list is
    // not written again: a frame that only teaches a display type would send the service back
    // to its first unit each time.
    const std::filesystem::path path = QFile::encodeName(pollFile).toStdString();
    const std::string text = PollTanks_.fileText();
    try {
        std::error_code missing;
        if (!std::filesystem::exists(path, missing) || readWholeFile(path) != text)
            writeWholeFile(path, text);
    } catch (const std::exception& e) {
        emit detailLine(kPollFileError.arg(QString::fromLatin1(kPollListFileName),
                                           QString::fromLocal8Bit(e.what())));
    }
    PollModbus_.start();
}

void MonitorLink::PollModbusTimer() {
    if (!ApdComPort1_.isOpen())
        return;
    const auto poll = PollTanks_.next();
    if (!poll)
        return;
    ApdComPort1_.putBytes(poll->request);
    emit detailLine(QString::fromStdString(pollLogText(clock_.now(), formats_, poll->address)));
}

void MonitorLink::OnMyMessage(const TitcRecord& record) {
    switch (record.command) {
    case Tcommands::tmData: {
        emit status(latin(kDataReceived));
        if (record.isServiceStatus()) {
            ServiceStatus_ = record.serviceStatus();
            emit serviceStatusChanged(ServiceStatus_);
            emit status(ServiceStatus_);
            return;
        }
        const FrameBuffer rx = FrameBuffer::fromBytes(record.RxData);
        switch (checkRelayedBlock(rx)) {
        case CrcMatch::Short:
            emit frameReady(rx, kShortRegisterCount, FrameSource::Relayed);
            break;
        case CrcMatch::Long:
            emit frameReady(rx, kLongRegisterCount, FrameSource::Relayed);
            break;
        case CrcMatch::None:
            break;
        }
        return;
    }
    case Tcommands::tmReadTimeout:
        emit status(record.data);
        return;
    case Tcommands::tmError:
        if (record.data == kDisconnectedText)
            emit serviceStatusChanged(nowText() + latin(kServiceDisconnected));
        emit status(record.data);
        return;
    default:
        return;
    }
}

void MonitorLink::crcError(FrameKind kind) {
    // A short R200 reply that fails its check is dropped without a word.
    if (kind == FrameKind::ShortR200)
        return;
    emit detailLine(QStringLiteral("DATE=") + nowText());
    emit detailLine(kCrcError);
}

void MonitorLink::typeLearned(int address, int type) {
    emit detailLine(kModifyTank.arg(address).arg(type));
}

void MonitorLink::frameAccepted(FrameKind kind, FrameBuffer& rx) {
    emit frameReady(rx, registerCount(kind), FrameSource::Serial);
    if (TestWirelessReply(ApdComPort1_, rx)) {
        emit status(nowText() + kTestingWireless);
        emit detailLine(QString::fromLatin1(kWirelessTestText));
    }
}

QString MonitorLink::nowText() const {
    return QString::fromStdString(formatDateTime(clock_.now(), formats_));
}

} // namespace lw
