#pragma once
// Where the monitor's frames come from, in one of two modes: in serial mode it owns the serial
// port, polls the units from its poll list and assembles their replies; in service mode the
// link client brings the blocks that the service relays. Either way each accepted frame goes
// out through frameReady, and what happens on the line is reported as Detail lines and
// status texts.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <span>

#include "Clock.h"
#include "Formats.h"
#include "IndyRx.h"
#include "LiveUpdate.h"
#include "PollList.h"
#include "Receiver.h"
#include "SerialPort.h"

namespace lw {

// The texts the mode wiring shows on the status line.
inline constexpr char kWaitingForService[] = "Waiting for Service.";
inline constexpr char kCouldNotOpenComPort[] = "Could not open COM port %1.";
inline constexpr char kComPortOpen[] = "COM port %1 open.";
inline constexpr char kComPortOpenAfterSwitch[] = "COM port open %1.";
inline constexpr char kCouldNotSetupService[] = "Could not setup connection to Service.";
inline constexpr char kDataReceived[] = "Data Received";
inline constexpr char kServiceDisconnected[] = " Service Disconnected.";

class MonitorLink : public QObject, private ReceiverListener {
    Q_OBJECT
public:
    static constexpr int kReceiveTimeoutMs = 200;

    MonitorLink(const Clock& clock, const Formats& formats, QObject* parent = nullptr);
    ~MonitorLink() override;

    void setFormats(const Formats& formats) { formats_ = formats; }

    // The mode and where the service is. ComActive = 1 is serial mode; TCPActive is always its
    // complement.
    int ComActive() const { return ComActive_; }
    int TCPActive() const { return ComActive_ == 1 ? 0 : 1; }
    void setComActive(int comActive) { ComActive_ = comActive; }
    const QString& TCPAddress() const { return TCPAddress_; }
    int TCPPort() const { return TCPPort_; }
    void setTcp(const QString& address, int port);
    // Time-outs of the link client (tests shorten them).
    void setLinkTimeouts(const IndyRxTimeouts& timeouts) { linkTimeouts_ = timeouts; }

    SerialPort& GetApdComPort1() { return ApdComPort1_; }
    const PollList& PollTanks() const { return PollTanks_; }
    const IndyRx* Client() const { return Client_.get(); }
    // The last status text the service sent.
    const QString& ServiceStatus() const { return ServiceStatus_; }

    // Start-up: opens the port in serial mode, starts the link in service mode.
    void start();
    // After the communications window: serial mode stops the link and opens the port; service
    // mode closes the port and starts a link, a new one when the address or port changed.
    void switchMode(bool linkSettingsChanged);

    // Rebuilds the poll list from the rows in display order and writes the poll list file;
    // polling restarts at the first entry with the interval for the new list.
    void SetupPollModbus(std::span<const TankRecord> rows, const QString& pollFile);
    // Polling stops until the next SetupPollModbus.
    void stopPolling() { PollModbus_.stop(); }
    const QTimer& PollModbus() const { return PollModbus_; }
    // The poll timer's tick: the next request goes out (serial mode, port open).
    void PollModbusTimer();

    // A message of the link client.
    void OnMyMessage(const TitcRecord& record);

signals:
    void frameReady(const lw::FrameBuffer& rx, int registerCount, lw::FrameSource source);
    void detailLine(const QString& line);
    void status(const QString& text);
    // The service status box of the communications window: a status text of the service, or
    // the time of a disconnection.
    void serviceStatusChanged(const QString& text);

private:
    // ReceiverListener
    void restartIdleTimer() override { Timer2_.start(); }
    void stopIdleTimer() override { Timer2_.stop(); }
    void crcError(FrameKind kind) override;
    void typeLearned(int address, int type) override;
    void frameAccepted(FrameKind kind, FrameBuffer& rx) override;

    void openPort(const char* openedText);
    void startLink();
    void stopLink();
    QString openFailure() const;
    QString nowText() const;

    const Clock& clock_;
    Formats formats_;
    int ComActive_ = 0;
    QString TCPAddress_ = QStringLiteral("localhost");
    int TCPPort_ = 6000;
    QString ServiceStatus_;
    IndyRxTimeouts linkTimeouts_;
    SerialPort ApdComPort1_;
    PollList PollTanks_;
    Receiver receiver_;
    QTimer Timer2_;
    QTimer PollModbus_;
    std::unique_ptr<IndyRx> Client_;
};

} // namespace lw
