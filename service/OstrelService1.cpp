#include "OstrelService1.h"

#include <QFile>
#include <QHostAddress>
#include <QThread>
#include <stdexcept>

#include "CpuAffinity.h"
#include "Paths.h"
#include "Settings.h"
#include "TankTableFile.h"

namespace lw {
namespace {

constexpr int kPollIntervalMs = 1000;
constexpr int kReceiveTimeoutMs = 1000;

std::filesystem::path folderPath() {
    return QFile::encodeName(programFolder()).toStdString();
}

QString fileIn(std::string_view name) {
    return programFile(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

} // namespace

QString settingsFaultLine(const SettingsFault& fault) {
    return QStringLiteral("ERROR: Settings ") + fault.toString();
}

OstrelService1::OstrelService1(ServiceLog& log, const Formats& formats, const Clock& clock,
                               QObject* parent)
    : QObject(parent), log_(log), formats_(formats), clock_(clock),
      Profile1_(SettingsScope::Machine), settings_(readServiceSettings(Profile1_)),
      smtp_(readSmtpSettings(Profile1_)),
      pollFile_(programFile(kPollListFileName)),
      IdTCPServer1_(programFolder(), [this](const QString& text, int level) { Log(text, level); }),
      pipeline_(folderPath(), formats, clock, log, *this, PollTanks_),
      LiveData_(fileIn(kLiveDataFile), formats, log),
      mail_(
          log, formats, clock, [this] { return mailSettings(); },
          [this]() -> const TankTable& { return tankList(); },
          [this]() -> const TankTable& { return LiveData_.loaded(); }, pipeline_.LastData()) {
    // Log lines may come from other threads; status blocks leave from the relay's own.
    log_.setObserver([this](const std::string& line, int level) {
        const QString text = QString::fromStdString(line);
        if (QThread::currentThread() == thread())
            IdTCPServer1_.sendStatus(text, level);
        else
            QMetaObject::invokeMethod(
                this, [this, text, level] { IdTCPServer1_.sendStatus(text, level); },
                Qt::QueuedConnection);
    });

    Timer2_.setSingleShot(true);
    Timer2_.setInterval(kReceiveTimeoutMs);
    connect(&Timer2_, &QTimer::timeout, this, [this] { pipeline_.Timer2Timer(); });
    PollModbus_.setInterval(kPollIntervalMs);
    connect(&PollModbus_, &QTimer::timeout, this, &OstrelService1::PollModbusTimer);

    connect(&ApdComPort1_, &SerialPort::dataReceived, this, [this](const QByteArray& bytes) {
        pipeline_.ApdComPort1TriggerAvail(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                     static_cast<size_t>(bytes.size())));
    });
    connect(&ApdComPort1_, &SerialPort::portOpened, this,
            [this](int n) { Log(QStringLiteral("Com Port %1 Open.").arg(n), 0); });
    connect(&ApdComPort1_, &SerialPort::portClosed, this,
            [this](int n) { Log(QStringLiteral("Com Port %1 Close.").arg(n), 0); });
    // A vanished device closes the port; the next poll tick opens it again once it is back.
    connect(&ApdComPort1_, &SerialPort::errorOccurred, this, [this] {
        Log(QStringLiteral("ERROR: COM%1: %2")
                .arg(ApdComPort1_.portNumber())
                .arg(ApdComPort1_.errorString()),
            0);
    });
}

OstrelService1::~OstrelService1() {
    log_.setObserver({});
    Log(QStringLiteral("ServiceDestroy."), 5);
}

void OstrelService1::ServiceCreate() {
    pinToFirstProcessor();
    mail_.loadSchedule();
    pipeline_.loadLastData();
    Log(QStringLiteral("InitializeCriticalSection"), 0);
    Log(QStringLiteral("Profile1.Create"), 2);
    TCPInit();
    Log(QStringLiteral("TCPInit"), 2);
    ComPortInit();
    Log(QStringLiteral("ComPortInitInit"), 2);
    MqttInit();
    // Once the log level is known; no save is under way before the event loop runs.
    pipeline_.removeStaleTempFiles();
    PollModbus_.start();
    mail_.startTimer();
}

bool OstrelService1::settingsReadable() {
    const std::optional<SettingsFault> fault = Profile1_.check();
    if (!fault) {
        settingsFault_.clear();
        return true;
    }
    const QString line = settingsFaultLine(*fault);
    if (line != settingsFault_)
        Log(line, 0);
    settingsFault_ = line;
    return false;
}

bool OstrelService1::refreshSettings() {
    if (!settingsReadable())
        return false;
    settings_ = readServiceSettings(Profile1_);
    return true;
}

SmtpSettings OstrelService1::mailSettings() {
    if (settingsReadable())
        smtp_ = readSmtpSettings(Profile1_);
    return smtp_;
}

void OstrelService1::TCPInit() {
    refreshSettings();
    IdTCPServer1_.setStatusLevel(settings_.statusLevel);
    log_.setObserverLevel(settings_.statusLevel);
    IdTCPServer1_.TCPInit(settings_.tcpPort, settings_.bindAddress);
}

void OstrelService1::ComPortInit() {
    Log(QStringLiteral("Debug"), 1);
    refreshSettings();
    log_.setDebugLevel(settings_.debugLevel);
    Log(QStringLiteral("portNumber"), 1);
    const SerialSettings& settings = settings_.serial;
    const int n = settings.comNumber;
    Log(QStringLiteral("Port Available"), 1);
    ApdComPort1_.setPortMap(settings_.ports); // a moved device is reopened, or opened below
    if (!ApdComPort1_.isAvailable(n)) {
        Log(QStringLiteral("2Could not open COM port%1.").arg(n), 0);
        SetupPollModbus();
        return;
    }
    Log(QStringLiteral("ComNumber%1.").arg(ApdComPort1_.portNumber()), 1);
    ApdComPort1_.setPortNumber(n); // a failed reopen leaves it closed: opened below
    pipeline_.setPortNumber(n);
    for (const char* name : {"Baud", "Parity", "DataBits", "StopBits"})
        Log(QStringLiteral("%1%2.").arg(QLatin1String(name)).arg(n), 1);
    const SerialPort::LineSettings line{settings.baud, settings.parity, settings.dataBits,
                                        settings.stopBits};
    if (!ApdComPort1_.setLineSettings(line)) {
        Log(QStringLiteral("3Could not open COM port%1.").arg(n), 0);
        SetupPollModbus();
        return;
    }
    Log(QStringLiteral("COM port %1 setup done.").arg(n), 1);
    if (ApdComPort1_.open())
        Log(QStringLiteral("COM port %1 open.").arg(n), 1);
    else
        Log(QStringLiteral("1Could not open COM port%1.").arg(n), 0);
    SetupPollModbus();
}

void OstrelService1::MqttInit() {
    const MqttSettings& s = settings_.mqtt;
    if (mqttSettings_ == s)
        return;
    mqtt_.reset(); // "offline" for the old broker, before a new one is told "online"
    mqttSettings_ = s;
    if (!s.fault.isEmpty()) {
        Log(QStringLiteral("ERROR: MQTT publishing stays off: ") + s.fault, 0);
        return;
    }
    if (!s.enabled())
        return;
    Log(QStringLiteral("MQTT publishing to %1:%2%3 as %4 under %5/")
            .arg(s.host)
            .arg(s.port)
            .arg(s.security == MqttSecurity::Tls ? QStringLiteral(" (TLS)") : QString())
            .arg(s.clientId, s.prefix),
        1);
    mqtt_ = std::make_unique<MqttLink>(s, log_, pipeline_.LastData());
}

void OstrelService1::tanksUpdated(const UpdatedTanks& tanks) {
    if (mqtt_)
        mqtt_->tanksUpdated(tanks, pipeline_.LastData());
}

void OstrelService1::SetupPollModbus() {
    Log(QStringLiteral("SetupPollModbus."), 2);
    pollFile_.forget();
    QString problem;
    if (!loadPollFile())
        problem = QFile::exists(pollFile_.path())
                      ? QStringLiteral("ERROR: %1 could not be read.")
                      : QStringLiteral("ERROR: %1 missing: no unit is polled.");
    // Retried every second while the port is closed: each fault is logged once.
    if (problem != pollFileProblem_ && !problem.isEmpty())
        Log(problem.arg(QLatin1String(kPollListFileName)), 0);
    pollFileProblem_ = problem;
}

// True when the file was there, had changed and loaded.
bool OstrelService1::loadPollFile() {
    bool loaded = false;
    pollFile_.reloadIfChanged(
        [&] { loaded = PollTanks_.loadFile(QFile::encodeName(pollFile_.path()).toStdString()); });
    return loaded;
}

void OstrelService1::PollModbusTimer() {
    Log(QStringLiteral("PollModbusTimer"), 2);
    Log(QStringLiteral("PollModbusTimer."), 2);
    // A file that cannot be read as meant is not taken: the flag stays for its next version.
    if (readInteger(Profile1_, Setting::ServiceChange) == 1 && refreshSettings()) {
        Log(QStringLiteral("PollModbusTimer-ServiceChange"), 2);
        try {
            writeInteger(Profile1_, Setting::ServiceChange, 0);
        } catch (const ProfileError& e) {
            Log(QStringLiteral("ERROR: ServiceChange: %1").arg(QString::fromLocal8Bit(e.what())),
                0);
        }
        TCPInit();
        ComPortInit();
        MqttInit();
        Log(QStringLiteral("Settings Changed"), 1);
    }
    Log(QStringLiteral("PollModbusTimer-Open"), 2);
    if (ApdComPort1_.isOpen())
        pollNext();
    else
        ComPortInit();
    Log(QStringLiteral("PollModbusTimer-Done"), 2);
}

void OstrelService1::pollNext() {
    if (loadPollFile())
        Log(QStringLiteral("SetupPollModbus."), 2);
    const auto poll = PollTanks_.next();
    if (!poll)
        return;
    const int refused = ApdComPort1_.putBytes(poll->request);
    for (int i = 0; i < refused; ++i)
        Log(QStringLiteral("PutChar Error"), 0);
    log_.Log(pollLogText(clock_.now(), formats_, poll->address), 2);
}

bool OstrelService1::answerSignalTest(const FrameBuffer& rx) {
    return TestWirelessReply(ApdComPort1_, rx);
}

void OstrelService1::forward(std::span<const uint8_t, kBufferSize> block) {
    IdTCPServer1_.forward(block);
}

const TankTable& OstrelService1::tankList() {
    return LiveData_.tankList();
}

void OstrelService1::SendAlarmEmail(const AlarmEmailArgs& args, std::string_view errorText) {
    mail_.SendAlarmEmail(args, errorText);
}

void OstrelService1::Log(const QString& text, int level) {
    log_.Log(text.toStdString(), level);
}

} // namespace lw
