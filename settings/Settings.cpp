#include "Settings.h"

#include <QSysInfo>

#include <array>

namespace lw {
namespace {

constexpr auto kMachine = SettingsScope::Machine;
constexpr auto kUser = SettingsScope::User;
constexpr auto kInt = SettingKind::Integer;
constexpr auto kStr = SettingKind::String;

const QString kProductKey = QString::fromLatin1(kProductKeyPath);

constexpr int kMqttPort = 1883;
constexpr int kMqttTlsPort = 8883;
constexpr std::array<const char*, 2> kMqttSecurityTexts{"None", "TLS"};

// Section and value names are part of the stored format, misspellings included.
constexpr auto kSettings = [] {
    using enum Setting;
    return std::to_array<SettingInfo>({
        {ServiceChange, kMachine, "", "ServiceChange", kInt, 0, ""},
        {ServiceComNumber, kMachine, "ComPortInfo", "ComNumber", kInt, 1, ""},
        {ServiceBaud, kMachine, "ComPortInfo", "Baud", kInt, 9600, ""},
        {ServiceParity, kMachine, "ComPortInfo", "Parity", kStr, 0, "None"},
        {ServiceDataBits, kMachine, "ComPortInfo", "DataBits", kInt, 8, ""},
        {ServiceStopBits, kMachine, "ComPortInfo", "StopBits", kInt, 1, ""},
        {ServicePortNumber, kMachine, "TCPPortInfo", "PortNumber", kInt, 6000, ""},
        {ServiceBindAddress, kMachine, "TCPPortInfo", "BindAddress", kStr, 0, ""},
        {ServiceStatusLevel, kMachine, "TCPPortInfo", "StatusLevel", kInt, -1, ""},
        {Debug, kMachine, "Debug", "Debug", kInt, 0, ""},
        {SmtpHost, kMachine, "STMP", "Host", kStr, 0, ""},
        {SmtpUsername, kMachine, "STMP", "Username", kStr, 0, ""},
        {SmtpPassword, kMachine, "STMP", "Password", kStr, 0, ""},
        {SmtpPort, kMachine, "STMP", "Port", kInt, 25, ""},
        {SmtpAuth, kMachine, "STMP", "Auth", kStr, 0, "Default"},
        {SmtpEmail, kMachine, "STMP", "Email", kStr, 0, ""},
        {SmtpEmailName, kMachine, "STMP", "EmailName", kStr, 0, ""},
        {SmtpTestEmail, kMachine, "STMP", "TestEmail", kStr, 0, ""},
        {SmtpSecurity, kMachine, "STMP", "Security", kStr, 0, "None"},
        {SmtpCAFile, kMachine, "STMP", "CAFile", kStr, 0, ""},
        {MqttHost, kMachine, "MQTT", "Host", kStr, 0, ""},
        {MqttPort, kMachine, "MQTT", "Port", kInt, kMqttPort, ""},
        {MqttSecurity, kMachine, "MQTT", "Security", kStr, 0, "None"},
        {MqttCAFile, kMachine, "MQTT", "CAFile", kStr, 0, ""},
        {MqttUsername, kMachine, "MQTT", "Username", kStr, 0, ""},
        {MqttPassword, kMachine, "MQTT", "Password", kStr, 0, ""},
        {MqttClientId, kMachine, "MQTT", "ClientId", kStr, 0, "", true},
        {MqttPrefix, kMachine, "MQTT", "Prefix", kStr, 0, "", true},
        {MqttQoS, kMachine, "MQTT", "QoS", kInt, 1, ""},
        {MqttRetain, kMachine, "MQTT", "Retain", kInt, 1, ""},
        {MqttDiscovery, kMachine, "MQTT", "Discovery", kInt, 0, ""},

        {ComNumber, kUser, "ComPortInfo", "ComNumber", kInt, 1, ""},
        {Baud, kUser, "ComPortInfo", "Baud", kInt, 9600, ""},
        {Parity, kUser, "ComPortInfo", "Parity", kStr, 0, "None"},
        {DataBits, kUser, "ComPortInfo", "DataBits", kInt, 8, ""},
        {StopBits, kUser, "ComPortInfo", "StopBits", kInt, 1, ""},
        {ComActive, kUser, "ComPortInfo", "Active", kInt, 0, ""},
        {TcpActive, kUser, "TCPIPInfo", "Active", kInt, 1, ""},
        {TcpPort, kUser, "TCPIPInfo", "Port", kInt, 6000, "", true},
        {TcpAddress, kUser, "TCPIPInfo", "Address", kStr, 0, "localhost", true},
        {Top, kUser, "Properities", "Top", kInt, 0, ""},
        {Left, kUser, "Properities", "Left", kInt, 0, ""},
        {Height, kUser, "Properities", "Height", kInt, 530, ""},
        {Width, kUser, "Properities", "Width", kInt, 675, ""},
        {ShowTrend, kUser, "Properities", "ShowTrend", kInt, 1, ""},
        {ShowLevel, kUser, "Properities", "ShowLevel", kInt, 1, ""},
        {ShowVolume, kUser, "Properities", "ShowVolume", kInt, 1, ""},
        {ShowTemp, kUser, "Properities", "ShowTemp", kInt, 1, ""},
        {ShowLevelAbove, kUser, "Properities", "ShowLevelAbove", kInt, 0, ""},
        {ShowVolumeAbove, kUser, "Properities", "ShowVolumeAbove", kInt, 0, ""},
        {ShowLevelBelow, kUser, "Properities", "ShowLevelBelow", kInt, 0, ""},
        {ShowVolumeBelow, kUser, "Properities", "ShowVolumeBelow", kInt, 0, ""},
        {ShowInput1, kUser, "Properities", "ShowInput1", kInt, 0, ""},
        {ShowInput2, kUser, "Properities", "ShowInput2", kInt, 0, ""},
        {ShowAlarm1, kUser, "Properities", "ShowAlarm1", kInt, 1, ""},
        {ShowAlarm2, kUser, "Properities", "ShowAlarm2", kInt, 1, ""},
        {ShowAlarm3, kUser, "Properities", "ShowAlarm3", kInt, 1, ""},
        {ShowAlarm4, kUser, "Properities", "ShowAlarm4", kInt, 1, ""},
        {ShowRelay1, kUser, "Properities", "ShowRelay1", kInt, 0, ""},
        {ShowRelay2, kUser, "Properities", "ShowRelay2", kInt, 0, ""},
        {ShowRelay3, kUser, "Properities", "ShowRelay3", kInt, 0, ""},
        {ShowRelay4, kUser, "Properities", "ShowRelay4", kInt, 0, ""},
        {ShowBatteryDisplay, kUser, "Properities", "ShowBatteryDisplay", kInt, 1, ""},
        {ShowBatterySender, kUser, "Properities", "ShowBatterySender", kInt, 1, ""},
        {ShowComType, kUser, "Properities", "ShowComType", kInt, 0, ""},
        {ShowDispType, kUser, "Properities", "ShowDispType", kInt, 0, ""},
        {ShowHistDate, kUser, "Properities", "ShowHistDate", kInt, 1, ""},
        {ShowHistLevel, kUser, "Properities", "ShowHistLevel", kInt, 1, ""},
        {ShowHistVolume, kUser, "Properities", "ShowHistVolume", kInt, 1, ""},
        {ShowHistTemp, kUser, "Properities", "ShowHistTemp", kInt, 1, ""},
        {ShowHistLevelAbove, kUser, "Properities", "ShowHistLevelAbove", kInt, 0, ""},
        {ShowHistVolumeAbove, kUser, "Properities", "ShowHistVolumeAbove", kInt, 0, ""},
        {ShowHistLevelBelow, kUser, "Properities", "ShowHistLevelBelow", kInt, 0, ""},
        {ShowHistVolumeBelow, kUser, "Properities", "ShowHistVolumeBelow", kInt, 0, ""},
        {ShowHistInput1, kUser, "Properities", "ShowHistInput1", kInt, 0, ""},
        {ShowHistInput2, kUser, "Properities", "ShowHistInput2", kInt, 0, ""},
        {ShowMonthlyDate, kUser, "Properities", "ShowMonthlyDate", kInt, 1, ""},
        {ShowMonthlyLevel, kUser, "Properities", "ShowMonthlyLevel", kInt, 1, ""},
        {ShowMonthlyVolume, kUser, "Properities", "ShowMonthlyVolume", kInt, 1, ""},
        {ShowMonthlyTemp, kUser, "Properities", "ShowMonthlyTemp", kInt, 1, ""},
        {ShowMonthlyLevelAbove, kUser, "Properities", "ShowMonthlyLevelAbove", kInt, 0, ""},
        {ShowMonthlyVolumeAbove, kUser, "Properities", "ShowMonthlyVolumeAbove", kInt, 0, ""},
        {ShowMonthlyLevelBelow, kUser, "Properities", "ShowMonthlyLevelBelow", kInt, 0, ""},
        {ShowMonthlyVolumeBelow, kUser, "Properities", "ShowMonthlyVolumeBelow", kInt, 0, ""},
        {ShowMonthlyInput1, kUser, "Properities", "ShowMonthlyInput1", kInt, 0, ""},
        {ShowMonthlyInput2, kUser, "Properities", "ShowMonthlyInput2", kInt, 0, ""},
    });
}();

// The table is indexed by the enum: each entry must sit at its own position.
constexpr bool inEnumOrder() {
    for (size_t i = 0; i < kSettings.size(); ++i)
        if (static_cast<size_t>(kSettings[i].setting) != i)
            return false;
    return true;
}
static_assert(inEnumOrder(), "kSettings must list the settings in the order of the enum");
static_assert(kSettings.size() == static_cast<size_t>(Setting::ShowMonthlyInput2) + 1);

QString toQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

constexpr std::array<const char*, 5> kParityTexts{"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 3> kAuthTexts{"None", "Default", "SASL"};
constexpr std::array<const char*, 3> kSecurityTexts{"None", "STARTTLS", "TLS"};

struct SerialKeys {
    Setting comNumber, baud, parity, dataBits, stopBits;
};

SerialKeys serialKeys(SettingsScope scope) {
    if (scope == kMachine)
        return {Setting::ServiceComNumber, Setting::ServiceBaud, Setting::ServiceParity,
                Setting::ServiceDataBits, Setting::ServiceStopBits};
    return {Setting::ComNumber, Setting::Baud, Setting::Parity, Setting::DataBits,
            Setting::StopBits};
}

} // namespace

std::span<const SettingInfo> allSettings() {
    return kSettings;
}

const SettingInfo& settingInfo(Setting s) {
    return kSettings[static_cast<size_t>(s)];
}

QString sectionPath(const SettingInfo& info) {
    const QString section = toQString(info.section);
    if (info.scope == kUser)
        return section;
    return section.isEmpty() ? kProductKey : kProductKey + '\\' + section;
}

QString defaultText(const Profile& machine, const SettingInfo& info) {
    switch (info.setting) {
    case Setting::MqttPort:
        return QString::number(readString(machine, Setting::MqttSecurity) ==
                                       QLatin1String(kMqttSecurityTexts[1])
                                   ? kMqttTlsPort
                                   : kMqttPort);
    case Setting::MqttClientId:
        return QStringLiteral("ostrel-") + QSysInfo::machineHostName();
    case Setting::MqttPrefix:
        return QStringLiteral("levelwatch/") + QSysInfo::machineHostName();
    default:
        return info.kind == SettingKind::Integer ? QString::number(info.integerDefault)
                                                 : toQString(info.stringDefault);
    }
}

int readInteger(const Profile& p, Setting s) {
    return readInteger(p, s, settingInfo(s).integerDefault);
}

int readInteger(const Profile& p, Setting s, int def) {
    const SettingInfo& info = settingInfo(s);
    const int value = p.ReadInteger(sectionPath(info), toQString(info.name), def);
    return info.blankIsDefault && value == 0 ? def : value;
}

QString readString(const Profile& p, Setting s) {
    return readString(p, s, toQString(settingInfo(s).stringDefault));
}

QString readString(const Profile& p, Setting s, const QString& def) {
    const SettingInfo& info = settingInfo(s);
    const QString value = p.ReadString(sectionPath(info), toQString(info.name), def);
    return info.blankIsDefault && value.isEmpty() ? def : value;
}

bool readFlag(const Profile& p, Setting s) {
    return readInteger(p, s) == 1;
}

void writeInteger(Profile& p, Setting s, int value) {
    const SettingInfo& info = settingInfo(s);
    p.WriteInteger(sectionPath(info), toQString(info.name), value);
}

void writeString(Profile& p, Setting s, const QString& value) {
    const SettingInfo& info = settingInfo(s);
    p.WriteString(sectionPath(info), toQString(info.name), value);
}

void writeFlag(Profile& p, Setting s, bool shown) {
    writeInteger(p, s, shown ? 1 : 0);
}

Parity parityFromText(const QString& text) {
    for (size_t i = 0; i < kParityTexts.size(); ++i)
        if (text == QLatin1String(kParityTexts[i]))
            return static_cast<Parity>(i);
    return Parity::None;
}

QString parityText(Parity parity) {
    return QString::fromLatin1(kParityTexts[static_cast<size_t>(parity)]);
}

SmtpAuth smtpAuthFromText(const QString& text) {
    for (size_t i = 0; i < kAuthTexts.size(); ++i)
        if (text == QLatin1String(kAuthTexts[i]))
            return static_cast<SmtpAuth>(i);
    return SmtpAuth::Default;
}

QString smtpAuthText(SmtpAuth auth) {
    return QString::fromLatin1(kAuthTexts[static_cast<size_t>(auth)]);
}

SmtpSecurity smtpSecurityFromText(const QString& text) {
    const QString word = text.trimmed();
    for (size_t i = 0; i < kSecurityTexts.size(); ++i)
        if (word.compare(QLatin1String(kSecurityTexts[i]), Qt::CaseInsensitive) == 0)
            return static_cast<SmtpSecurity>(i);
    return SmtpSecurity::Unknown;
}

QString smtpSecurityText(SmtpSecurity security) {
    const auto i = static_cast<size_t>(security);
    return i < kSecurityTexts.size() ? QString::fromLatin1(kSecurityTexts[i]) : QString();
}

SerialSettings defaultSerialSettings(SettingsScope scope) {
    const SerialKeys k = serialKeys(scope);
    return {settingInfo(k.comNumber).integerDefault, settingInfo(k.baud).integerDefault,
            parityFromText(toQString(settingInfo(k.parity).stringDefault)),
            settingInfo(k.dataBits).integerDefault, settingInfo(k.stopBits).integerDefault};
}

SerialSettings readSerialSettings(const Profile& p, SettingsScope scope) {
    return readSerialSettings(p, scope, defaultSerialSettings(scope));
}

SerialSettings readSerialSettings(const Profile& p, SettingsScope scope,
                                  const SerialSettings& defaults) {
    const SerialKeys k = serialKeys(scope);
    return {readInteger(p, k.comNumber, defaults.comNumber), readInteger(p, k.baud, defaults.baud),
            parityFromText(readString(p, k.parity, parityText(defaults.parity))),
            readInteger(p, k.dataBits, defaults.dataBits),
            readInteger(p, k.stopBits, defaults.stopBits)};
}

void writeSerialSettings(Profile& p, SettingsScope scope, const SerialSettings& s) {
    const SerialKeys k = serialKeys(scope);
    writeInteger(p, k.comNumber, s.comNumber);
    writeInteger(p, k.baud, s.baud);
    writeString(p, k.parity, parityText(s.parity));
    writeInteger(p, k.dataBits, s.dataBits);
    writeInteger(p, k.stopBits, s.stopBits);
}

ComPortMap readComPortMap(const Profile& machine) {
    ComPortMap ports;
    for (const auto& [key, device] : machine.ReadSectionValues(QString::fromLatin1(kPortsSection)))
        if (const auto n = ComPortMap::comNumberOf(key))
            ports.map(*n, device);
    return ports;
}

ServiceSettings readServiceSettings(const Profile& machine) {
    return {readInteger(machine, Setting::Debug),
            readSerialSettings(machine, SettingsScope::Machine),
            readComPortMap(machine),
            readInteger(machine, Setting::ServicePortNumber),
            readString(machine, Setting::ServiceBindAddress).trimmed(),
            readInteger(machine, Setting::ServiceStatusLevel),
            readMqttSettings(machine)};
}

MqttSettings readMqttSettings(const Profile& machine) {
    const auto derived = [&](Setting s) { return defaultText(machine, settingInfo(s)); };
    MqttSettings m;
    m.host = readString(machine, Setting::MqttHost).trimmed();
    const QString security = readString(machine, Setting::MqttSecurity);
    m.security =
        security == QLatin1String(kMqttSecurityTexts[1]) ? MqttSecurity::Tls : MqttSecurity::None;
    m.port = readInteger(machine, Setting::MqttPort, derived(Setting::MqttPort).toInt());
    m.caFile = readString(machine, Setting::MqttCAFile);
    m.username = readString(machine, Setting::MqttUsername);
    m.password = readString(machine, Setting::MqttPassword);
    m.clientId = readString(machine, Setting::MqttClientId, derived(Setting::MqttClientId));
    m.prefix = readString(machine, Setting::MqttPrefix, derived(Setting::MqttPrefix));
    while (m.prefix.endsWith('/'))
        m.prefix.chop(1);
    m.qos = readInteger(machine, Setting::MqttQoS);
    m.retain = readInteger(machine, Setting::MqttRetain) != 0;
    m.discovery = readInteger(machine, Setting::MqttDiscovery) == 1;

    if (security != QLatin1String(kMqttSecurityTexts[0]) &&
        security != QLatin1String(kMqttSecurityTexts[1]))
        m.fault = QStringLiteral("[MQTT] Security \"%1\" is neither None nor TLS (the names are "
                                 "case-sensitive)")
                      .arg(security);
    else if (m.port < 1 || m.port > 65535)
        m.fault = QStringLiteral("[MQTT] Port %1 is no TCP port").arg(m.port);
    else if (m.qos < 0 || m.qos > 2)
        m.fault = QStringLiteral("[MQTT] QoS %1 is not 0, 1 or 2").arg(m.qos);
    else if (m.prefix.isEmpty() || m.prefix.contains('+') || m.prefix.contains('#'))
        m.fault = QStringLiteral("[MQTT] Prefix \"%1\" cannot begin a topic (empty, or with a "
                                 "wildcard + or #)")
                      .arg(m.prefix);
    else if (m.clientId.isEmpty())
        m.fault = QStringLiteral("[MQTT] ClientId is empty");
    return m;
}

SmtpSettings readSmtpSettings(const Profile& machine) {
    return {readString(machine, Setting::SmtpHost),
            readString(machine, Setting::SmtpUsername),
            readString(machine, Setting::SmtpPassword),
            readInteger(machine, Setting::SmtpPort),
            smtpAuthFromText(readString(machine, Setting::SmtpAuth)),
            readString(machine, Setting::SmtpEmail),
            readString(machine, Setting::SmtpEmailName),
            readString(machine, Setting::SmtpTestEmail),
            smtpSecurityFromText(readString(machine, Setting::SmtpSecurity)),
            readString(machine, Setting::SmtpCAFile)};
}

void writeSmtpSettings(Profile& machine, const SmtpSettings& s) {
    writeString(machine, Setting::SmtpHost, s.host);
    writeString(machine, Setting::SmtpUsername, s.username);
    writeString(machine, Setting::SmtpPassword, s.password);
    writeInteger(machine, Setting::SmtpPort, s.port);
    writeString(machine, Setting::SmtpAuth, smtpAuthText(s.auth));
    writeString(machine, Setting::SmtpEmail, s.email);
    writeString(machine, Setting::SmtpEmailName, s.emailName);
    writeString(machine, Setting::SmtpTestEmail, s.testEmail);
    if (s.security != SmtpSecurity::Unknown)
        writeString(machine, Setting::SmtpSecurity, smtpSecurityText(s.security));
}

} // namespace lw
