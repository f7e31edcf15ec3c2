#pragma once
// The collector's service module: owns the serial port, the poll and receive timers, the relay
// server and the receive pipeline, and wires them together. Start-up, the settings reload at
// every poll tick and the port setup live here; what is done with the bytes is the pipeline's.

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "Clock.h"
#include "Formats.h"
#include "PollFileLoader.h"
#include "PollList.h"
#include "Profile.h"
#include "RelayServer.h"
#include "ScheduleRow.h"
#include "SerialPort.h"
#include "ServiceLog.h"
#include "ServiceMail.h"
#include "ServicePipeline.h"
#include "TankTable.h"

namespace lw {

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
    // list.
    void ComPortInit();

    // The e-mail schedule, loaded from "Email.txt" at start-up.
    Table<ScheduleRow>& ScheduleData() { return mail_.ScheduleData(); }
    const TankTable& LastData() const { return pipeline_.LastData(); }

private:
    void PollModbusTimer();
    void pollNext();
    void SetupPollModbus();
    void Log(const QString& text, int level);

    // ServicePipelineHooks
    double now() const override { return clock_.now(); }
    void restartIdleTimer() override { Timer2_.start(); }
    void stopIdleTimer() override { Timer2_.stop(); }
    bool answerSignalTest(const FrameBuffer& rx) override;
    void forward(std::span<const uint8_t, kBufferSize> block) override;
    const TankTable& tankList() override;
    void SendAlarmEmail(const AlarmEmailArgs& args, std::string_view errorText) override;

    ServiceLog& log_;
    Formats formats_;
    const Clock& clock_;
    Profile Profile1_;
    PollList PollTanks_;
    PollFileLoader pollFile_;
    QString pollFileProblem_; // the last poll list fault logged, so it is logged once
    SerialPort ApdComPort1_;
    RelayServer IdTCPServer1_;
    ServicePipeline pipeline_;
    QTimer Timer2_;
    QTimer PollModbus_;
    TankTable LiveData_;
    std::optional<double> LiveDataFileDate_;
    ServiceMail mail_;
};

} // namespace lw
