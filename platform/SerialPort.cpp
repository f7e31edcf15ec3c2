#include "SerialPort.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "PollList.h"

namespace lw {
namespace {

// For a field engineer, off by default: QT_LOGGING_RULES="levelwatch.serial*=true".
Q_LOGGING_CATEGORY(lcSerial, "levelwatch.serial", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFrames, "levelwatch.serial.frames", QtWarningMsg)

SerialPort::Error openErrorOf(QSerialPort::SerialPortError e) {
    switch (e) {
    case QSerialPort::DeviceNotFoundError:
        return SerialPort::DeviceNotFoundError;
    case QSerialPort::PermissionError:
        return SerialPort::PermissionError;
    case QSerialPort::UnsupportedOperationError:
        return SerialPort::SettingsError;
    default:
        return SerialPort::OpenError;
    }
}

bool validSettings(const SerialPort::LineSettings& s) {
    return s.baud > 0 && s.dataBits >= 5 && s.dataBits <= 8 && (s.stopBits == 1 || s.stopBits == 2);
}

} // namespace

SerialPort::SerialPort(ComPortMap ports, QObject* parent)
    : QObject(parent), ports_(std::move(ports)) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialPort::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPort::onPortError);
}

SerialPort::~SerialPort() = default;

bool SerialPort::isAvailable(int comNumber) const {
    return isDeviceAvailable(ports_.devicePath(comNumber));
}

bool SerialPort::isDeviceAvailable(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    ::close(fd);
    return true;
}

QSerialPort::Parity SerialPort::qtParity(Parity parity) {
    switch (parity) {
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::Even:
        return QSerialPort::EvenParity;
    case Parity::Mark:
        return QSerialPort::MarkParity;
    case Parity::Space:
        return QSerialPort::SpaceParity;
    case Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

bool SerialPort::setPortMap(ComPortMap ports) {
    const bool moves = ports.devicePath(portNumber_) != ports_.devicePath(portNumber_);
    ports_ = std::move(ports);
    if (!moves || !isOpen())
        return true;
    close();
    return open();
}

bool SerialPort::setPortNumber(int comNumber) {
    if (comNumber == portNumber_)
        return true;
    const bool wasOpen = isOpen();
    close();
    portNumber_ = comNumber;
    return !wasOpen || open();
}

bool SerialPort::setLineSettings(const LineSettings& settings) {
    if (!validSettings(settings)) {
        setError(SettingsError, tr("Unsupported line settings"));
        return false;
    }
    if (isOpen() && !applySettings(port_, settings)) {
        const QString reason = port_.errorString();
        applySettings(port_, settings_);
        setError(SettingsError, reason);
        return false;
    }
    settings_ = settings;
    return true;
}

bool SerialPort::open() {
    if (isOpen())
        return true;
    const QString path = ports_.devicePath(portNumber_);
    if (path.isEmpty()) {
        setError(DeviceNotFoundError, tr("COM%1 is no port").arg(portNumber_));
        return false;
    }
    port_.setPortName(path);
    applySettings(port_, settings_);
    if (!port_.open(QIODevice::ReadWrite)) {
        setError(openErrorOf(port_.error()),
                 tr("COM%1 (%2): %3").arg(portNumber_).arg(path, port_.errorString()));
        return false;
    }
    setError(NoError, {});
    qCDebug(lcSerial) << "COM" << portNumber_ << "open at" << path << settings_.baud << "baud,"
                      << settings_.dataBits << "data bits," << settings_.stopBits << "stop bits";
    emit portOpened(portNumber_);
    return true;
}

void SerialPort::close() {
    if (!port_.isOpen())
        return;
    port_.close();
    qCDebug(lcSerial) << "COM" << portNumber_ << "closed";
    emit portClosed(portNumber_);
}

bool SerialPort::isOpen() const {
    return port_.isOpen();
}

bool SerialPort::putChar(uint8_t byte) {
    if (!isOpen()) {
        setError(NotOpenError, tr("COM%1 is not open").arg(portNumber_));
        return false;
    }
    if (port_.putChar(static_cast<char>(byte)))
        return true;
    setError(WriteError, port_.errorString());
    return false;
}

int SerialPort::putBytes(std::span<const uint8_t> bytes) {
    int refused = 0;
    for (uint8_t b : bytes)
        refused += putChar(b) ? 0 : 1;
    if (refused < static_cast<int>(bytes.size()))
        port_.flush();
    qCDebug(lcFrames).noquote()
        << QStringLiteral("COM%1 >").arg(portNumber_)
        << QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))
               .toHex(' ');
    return refused;
}

void SerialPort::setError(Error error, const QString& text) {
    error_ = error;
    errorString_ = text;
}

bool SerialPort::applySettings(QSerialPort& port, const LineSettings& s) {
    return port.setBaudRate(s.baud) && port.setParity(qtParity(s.parity)) &&
           port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
           port.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

void SerialPort::onReadyRead() {
    const QByteArray bytes = port_.readAll();
    if (bytes.isEmpty())
        return;
    qCDebug(lcFrames).noquote() << QStringLiteral("COM%1 <").arg(portNumber_) << bytes.toHex(' ');
    emit dataReceived(bytes);
}

void SerialPort::onPortError(QSerialPort::SerialPortError error) {
    // Failures to open are reported by open(); here only what happens to an open port.
    if (!port_.isOpen() || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    if (error == QSerialPort::WriteError) {
        setError(WriteError, port_.errorString());
        emit errorOccurred(WriteError);
        return;
    }
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // The device is gone: a read error repeats for as long as the port stays open, so close
    // it now, after the port has finished its own handling of the event.
    setError(ResourceError, port_.errorString());
    qCDebug(lcSerial) << "COM" << portNumber_ << "went away:" << port_.errorString();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (error_ == ResourceError && port_.isOpen()) {
                close();
                emit errorOccurred(ResourceError);
            }
        },
        Qt::QueuedConnection);
}

bool TestWirelessReply(SerialPort& port, const FrameBuffer& rx) {
    if (!isSignalTestReply(rx) || !port.isOpen())
        return false;
    port.putBytes(kWirelessTestAnswer);
    return true;
}

} // namespace lw
