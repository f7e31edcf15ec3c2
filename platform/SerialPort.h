#pragma once
// The serial port to the display units, by COM number.
//
// COM<n> is the device that the port's COM map names (see ComPorts.h); the owner reads the map
// from its settings and hands it over. The port reads everything that arrives as it arrives and hands
// it on in order, so no byte is lost between events. When the device goes away (a USB adapter
// unplugged, a pty's other end closed) the port closes itself and says so; its owner opens it
// again when the device is back.

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <cstdint>
#include <span>

#include "ComPorts.h"
#include "FrameBuffer.h"

namespace lw {

class SerialPort : public QObject {
    Q_OBJECT
public:
    enum Error {
        NoError,
        DeviceNotFoundError, // no device at the mapped path
        PermissionError,     // the device exists but may not be opened
        OpenError,           // any other failure to open
        SettingsError,       // the device or the values refused the line settings
        WriteError,
        ResourceError, // the device went away while open
        NotOpenError,
    };
    Q_ENUM(Error)

    struct LineSettings {
        qint32 baud = 9600;
        Parity parity = Parity::None;
        int dataBits = 8; // 5..8
        int stopBits = 1; // 1 or 2
        bool operator==(const LineSettings&) const = default;
    };

    explicit SerialPort(ComPortMap ports = {}, QObject* parent = nullptr);
    ~SerialPort() override;

    // Where COM<n> lives. An open port whose device the new map moves is closed and opened
    // again there; false when that reopening failed (the port is then closed).
    bool setPortMap(ComPortMap ports);
    const ComPortMap& portMap() const { return ports_; }
    // The device of COM<n> exists and can be opened, or is busy (held open by another
    // program, this port included).
    bool isAvailable(int comNumber) const;
    static bool isDeviceAvailable(const QString& path);
    static QSerialPort::Parity qtParity(Parity parity);

    int portNumber() const { return portNumber_; }
    // A new number moves an open port: it is closed and opened again at the new device.
    // Returns false when that reopening failed (the port is then closed).
    bool setPortNumber(int comNumber);
    const LineSettings& lineSettings() const { return settings_; }
    // Applied at once to an open port. False when refused; the port keeps its old settings.
    bool setLineSettings(const LineSettings& settings);

    // Opens COM<portNumber()> with the line settings; no effect when already open.
    // Returns whether the port is open.
    bool open();
    void close();
    bool isOpen() const;

    // Queues one byte for sending; false when the port refused it (closed, failed).
    bool putChar(uint8_t byte);
    // Sends the bytes one at a time and starts writing at once. Returns the number of bytes
    // the port refused.
    int putBytes(std::span<const uint8_t> bytes);

    Error error() const { return error_; }
    QString errorString() const { return errorString_; }

signals:
    // Every byte that arrived since the last signal, in order.
    void dataReceived(const QByteArray& bytes);
    void portOpened(int comNumber);
    void portClosed(int comNumber);
    void errorOccurred(lw::SerialPort::Error error);

private:
    void setError(Error error, const QString& text);
    bool applySettings(QSerialPort& port, const LineSettings& settings);
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    ComPortMap ports_;
    int portNumber_ = 1;
    LineSettings settings_;
    Error error_ = NoError;
    QString errorString_;
};

// After an accepted reply: a unit in wireless signal-test mode (function 0x40) gets "OK" CR
// when the port is open. Returns whether the answer was sent; the caller then reports it.
bool TestWirelessReply(SerialPort& port, const FrameBuffer& rx);

} // namespace lw
