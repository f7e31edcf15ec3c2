#pragma once
// The collector's service module: owns the serial port, the poll and receive timers, the relay
// server and the receive pipeline, and wires them together. Start-up, the settings reload at
// every poll tick and the port setup live here; what is done with the bytes is the pipeline's.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "Clock.h"
#include "Formats.h"
#include "FileWatch.h"
#include "MqttLink.h"
#include "PollList.h"
#include "Profile.h"
#include "RelayServer.h"
#include "ScheduleRow.h"
#include "SerialPort.h"
#include "Settings.h"
#include "ServiceLog.h"
#include "ServiceMail.h"
#include "ServicePipeline.h"
#include "TankListFile.h"
#include "TankTable.h"

namespace lw {

// The level-0 line for machine-wide settings that cannot be read as meant: at start-up, before
// the service ends, and at a reload, which then keeps the settings the service runs with.
QString settingsFaultLine(const SettingsFault& fault);

class OstrelService1 final : public QObject, private ServicePipelineHooks {
    Q_OBJECT
public:
    OstrelService1(ServiceLog& log, const Formats& formats, const Clock& clock,
                   QObject* parent = nullptr);
    ~OstrelService1() override;

    // The start-up sequence; the timers run from its end.
    void ServiceCreate();

    // Reads the relay settings and starts listening; a listening server keeps its port.
    void TCPInit();
    // Reads the log level and the serial settings, sets up and opens the port, loads the poll
    // list. Settings that cannot be read as meant leave those it runs with in place.
    void ComPortInit();
    // Starts, restarts or ends publishing to the MQTT broker when its settings changed.
    void MqttInit();

    // The e-mail schedule, loaded from "Email.txt" at start-up.
    Table<ScheduleRow>& ScheduleData() { return mail_.ScheduleData(); }
    const TankTable& LastData() const { return pipeline_.LastData(); }

private:
    // The machine-wide settings read again, unless the file cannot be read as meant: then they
    // stay as they are and the fault is logged, once per fault. True when read.
    bool refreshSettings();
    // Whether the machine-wide settings file reads as meant; a fault is logged once.
    bool settingsReadable();
    // The mail settings, read afresh before every mail; while the file cannot be read as meant,
    // the last good ones.
    SmtpSettings mailSettings();
    void PollModbusTimer();
    void pollNext();
    void SetupPollModbus();
    bool loadPollFile();
    void Log(const QString& text, int level);

    // ServicePipelineHooks
    void restartIdleTimer() override { Timer2_.start(); }
    void stopIdleTimer() override { Timer2_.stop(); }
    bool answerSignalTest(const FrameBuffer& rx) override;
    void forward(std::span<const uint8_t, kBufferSize> block) override;
    const TankTable& tankList() override;
    void SendAlarmEmail(const AlarmEmailArgs& args, std::string_view errorText) override;
    void tanksUpdated(const UpdatedTanks& tanks) override;

    ServiceLog& log_;
    Formats formats_;
    const Clock& clock_;
    Profile Profile1_;
    ServiceSettings settings_;
    QString settingsFault_; // the fault line logged last, so it is logged once
    SmtpSettings smtp_;
    PollList PollTanks_;
    FileWatch pollFile_;
    QString pollFileProblem_; // the last poll list fault logged, so it is logged once
    SerialPort ApdComPort1_;
    RelayServer IdTCPServer1_;
    ServicePipeline pipeline_;
    QTimer Timer2_;
    QTimer PollModbus_;
    TankListFile LiveData_;
    ServiceMail mail_;
    std::optional<MqttSettings> mqttSettings_; // what publishing runs with; empty before start
    std::unique_ptr<MqttLink> mqtt_;
};

} // namespace lw
