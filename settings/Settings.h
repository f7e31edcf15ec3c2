#pragma once
// Every setting of both programs, declared once: its store, section, value name, kind and
// default. Readers and writers go through here, so no default is written twice.

#include <QString>

#include <span>
#include <string_view>

#include "ComPorts.h"
#include "Profile.h"

namespace lw {

// The texts the programs show when a settings write fails.
inline constexpr std::string_view kUserSettingsWriteError =
    "Could not update Windows Registry. Check user permissions.";
inline constexpr std::string_view kMachineSettingsWriteError =
    "You must run as Administrator to save STMP settings.";

enum class Setting {
    // Machine-wide: the reload flag, the collector's port, relay and log level, the mail server.
    ServiceChange,
    ServiceComNumber,
    ServiceBaud,
    ServiceParity,
    ServiceDataBits,
    ServiceStopBits,
    ServicePortNumber,
    ServiceBindAddress, // empty: every local address
    ServiceStatusLevel, // log lines up to this level go to the monitors; negative: none
    Debug,
    SmtpHost,
    SmtpUsername,
    SmtpPassword,
    SmtpPort,
    SmtpAuth,
    SmtpEmail,
    SmtpEmailName,
    SmtpTestEmail,
    SmtpSecurity, // transport security of the mail server: "None", "STARTTLS" or "TLS"
    SmtpCAFile,   // certificates to trust for it instead of the system's; empty: the system's
    // Machine-wide: publishing to an MQTT broker (an empty host: off).
    MqttHost,
    MqttPort,     // missing: 1883, or 8883 with TLS
    MqttSecurity, // "None" or "TLS"
    MqttCAFile,   // empty: the system's certificate authorities
    MqttUsername,
    MqttPassword,
    MqttClientId, // empty: "ostrel-" + host name
    MqttPrefix,   // empty: "levelwatch/" + host name
    MqttQoS,
    MqttRetain,
    MqttDiscovery,
    // Per-user: the operator's program.
    ComNumber,
    Baud,
    Parity,
    DataBits,
    StopBits,
    ComActive,
    TcpActive,
    TcpPort,
    TcpAddress,
    Top,
    Left,
    Height,
    Width,
    ShowTrend,
    ShowLevel,
    ShowVolume,
    ShowTemp,
    ShowLevelAbove,
    ShowVolumeAbove,
    ShowLevelBelow,
    ShowVolumeBelow,
    ShowInput1,
    ShowInput2,
    ShowAlarm1,
    ShowAlarm2,
    ShowAlarm3,
    ShowAlarm4,
    ShowRelay1,
    ShowRelay2,
    ShowRelay3,
    ShowRelay4,
    ShowBatteryDisplay,
    ShowBatterySender,
    ShowComType,
    ShowDispType,
    ShowHistDate,
    ShowHistLevel,
    ShowHistVolume,
    ShowHistTemp,
    ShowHistLevelAbove,
    ShowHistVolumeAbove,
    ShowHistLevelBelow,
    ShowHistVolumeBelow,
    ShowHistInput1,
    ShowHistInput2,
    ShowMonthlyDate,
    ShowMonthlyLevel,
    ShowMonthlyVolume,
    ShowMonthlyTemp,
    ShowMonthlyLevelAbove,
    ShowMonthlyVolumeAbove,
    ShowMonthlyLevelBelow,
    ShowMonthlyVolumeBelow,
    ShowMonthlyInput1,
    ShowMonthlyInput2,
};

enum class SettingKind { Integer, String };

struct SettingInfo {
    Setting setting;
    SettingsScope scope;
    std::string_view section; // below the product key; empty: the product key itself
    std::string_view name;
    SettingKind kind;
    int integerDefault;
    std::string_view stringDefault;
    // A stored 0 (integers) or empty text (strings) also reads as the default.
    bool blankIsDefault = false;
};

std::span<const SettingInfo> allSettings();
const SettingInfo& settingInfo(Setting s);

// The default a reader takes for a missing value: the catalog's, or for a value that follows
// another (the MQTT port follows the security, the client ID and prefix the host name) what
// that gives.
QString defaultText(const Profile& machine, const SettingInfo& info);

// The section path for Profile: absolute ("\Software\Ostrel\Levelwatch\ComPortInfo") for the
// machine-wide store, relative ("ComPortInfo") for the per-user one.
QString sectionPath(const SettingInfo& info);

// Reads with the catalog's default, or with `def` where the default comes from the caller (the
// first available port, the values a window shows). Integers: a missing, empty or non-numeric
// text gives the default; strings: only a missing value does.
int readInteger(const Profile& p, Setting s);
int readInteger(const Profile& p, Setting s, int def);
QString readString(const Profile& p, Setting s);
QString readString(const Profile& p, Setting s, const QString& def);
// A "Show" flag: shown when the stored number is 1.
bool readFlag(const Profile& p, Setting s);

// Write at once; ProfileError when the store cannot be written.
void writeInteger(Profile& p, Setting s, int value);
void writeString(Profile& p, Setting s, const QString& value);
void writeFlag(Profile& p, Setting s, bool shown);

// "None", "Odd", "Even", "Mark", "Space", compared case-sensitively; any other text is None.
Parity parityFromText(const QString& text);
QString parityText(Parity parity);

enum class SmtpAuth { None, Default, Sasl };
// "None", "Default", "SASL", compared case-sensitively; any other text is Default.
SmtpAuth smtpAuthFromText(const QString& text);
QString smtpAuthText(SmtpAuth auth);

// A serial port's line settings: the collector's (machine-wide "ComPortInfo") or the
// operator's program's own (per-user "ComPortInfo"); the two share value names only.
struct SerialSettings {
    int comNumber = 0;
    int baud = 0;
    Parity parity = Parity::None;
    int dataBits = 0;
    int stopBits = 0;

    bool operator==(const SerialSettings&) const = default;
};

// The catalog's defaults of the scope's port (the per-user port number is 1 here; the program
// puts the first available port in its place).
SerialSettings defaultSerialSettings(SettingsScope scope);
// Missing values take `defaults`: the catalog's, or what the caller knows better.
SerialSettings readSerialSettings(const Profile& p, SettingsScope scope);
SerialSettings readSerialSettings(const Profile& p, SettingsScope scope,
                                  const SerialSettings& defaults);
// In the order the programs write them: number, baud, parity, data bits, stop bits.
void writeSerialSettings(Profile& p, SettingsScope scope, const SerialSettings& s);

// The machine-wide [Ports] group: "COM<n>" = device path. Keys of another form are ignored.
inline constexpr char kPortsSection[] = "\\Software\\Ostrel\\Levelwatch\\Ports";
ComPortMap readComPortMap(const Profile& machine);

enum class MqttSecurity { None, Tls };

// Where and how the collector publishes. Off when `host` is empty; `fault` names a value that
// cannot be used as it stands (publishing then stays off rather than guess, e.g. send the
// password in clear text for a misspelt "TLS").
struct MqttSettings {
    QString host;
    int port = 0;
    MqttSecurity security = MqttSecurity::None;
    QString caFile;
    QString username;
    QString password;
    QString clientId;
    QString prefix; // no trailing '/'
    int qos = 1;
    bool retain = true;
    bool discovery = false;
    QString fault;

    bool enabled() const { return !host.isEmpty() && fault.isEmpty(); }
    bool operator==(const MqttSettings&) const = default;
};
MqttSettings readMqttSettings(const Profile& machine);

// What the collector runs with, read in one go: a reload takes a whole new set or, when the
// file cannot be read as meant, keeps the old one.
struct ServiceSettings {
    int debugLevel = 0;
    SerialSettings serial;
    ComPortMap ports;
    int tcpPort = 0;
    QString bindAddress; // blanks trimmed; empty: every local address
    int statusLevel = -1;
    MqttSettings mqtt;

    bool operator==(const ServiceSettings&) const = default;
};
ServiceSettings readServiceSettings(const Profile& machine);

// None: plain SMTP. StartTls: the plain connection is upgraded, and a server that does not
// offer STARTTLS is an error. Tls: TLS from the first byte (port 465 style). Unknown: a text
// that names none of them; no mail goes out with it, rather than one sent less safely than the
// administrator asked for.
enum class SmtpSecurity { None, StartTls, Tls, Unknown };
// "None", "STARTTLS", "TLS" in any case; any other text is Unknown.
SmtpSecurity smtpSecurityFromText(const QString& text);
// "None", "STARTTLS", "TLS"; empty for Unknown.
QString smtpSecurityText(SmtpSecurity security);

struct SmtpSettings {
    QString host;
    QString username;
    QString password;
    int port = 0;
    SmtpAuth auth = SmtpAuth::None;
    QString email;
    QString emailName;
    QString testEmail;
    SmtpSecurity security = SmtpSecurity::None;
    QString caFile;

    bool operator==(const SmtpSettings&) const = default;
};

// Missing values take the catalog's defaults.
SmtpSettings readSmtpSettings(const Profile& machine);
// In the order of the mail setup window: host, user name, password, port, auth, sender
// address, sender name, test address, then the security the window offers. A security that
// names none of the choices (Unknown) is not written: the text stays as it was stored. CAFile
// is the administrator's, set in the settings file: it is not written here.
void writeSmtpSettings(Profile& machine, const SmtpSettings& s);

} // namespace lw
