#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include "QtFiles.h"
#include "Settings.h"
#include "SettingsReport.h"

using namespace lw;

namespace {

// Both stores in a temporary folder, as the programs find them through OSTREL_SETTINGS_DIR.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("OSTREL_SETTINGS_DIR", QFile::encodeName(dir.path())); }
    void TearDown() override { qunsetenv("OSTREL_SETTINGS_DIR"); }

    QString stored(const QString& file) const { return lw::test::readText(dir.filePath(file)); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(SettingsTest, EmptyMachineGivesEveryDefault) {
    const Profile machine(SettingsScope::Machine);
    const Profile user(SettingsScope::User);

    // The collector: COM1 at 9600, no parity, 8 data bits, 1 stop bit, relay on 6000, level 0.
    EXPECT_EQ(readSerialSettings(machine, SettingsScope::Machine),
              (SerialSettings{1, 9600, Parity::None, 8, 1}));
    EXPECT_EQ(readInteger(machine, Setting::ServicePortNumber), 6000);
    EXPECT_EQ(readInteger(machine, Setting::Debug), 0);
    EXPECT_EQ(readInteger(machine, Setting::ServiceChange), 0);
    EXPECT_EQ(readSmtpSettings(machine),
              (SmtpSettings{"", "", "", 25, SmtpAuth::Default, "", "", "", SmtpSecurity::None, ""}));

    // The operator's program: service mode, linked to localhost:6000, 675 x 530 at 0,0.
    EXPECT_EQ(readInteger(user, Setting::ComActive), 0);
    EXPECT_EQ(readInteger(user, Setting::TcpActive), 1);
    EXPECT_EQ(readString(user, Setting::TcpAddress), "localhost");
    EXPECT_EQ(readInteger(user, Setting::TcpPort), 6000);
    EXPECT_EQ(readSerialSettings(user, SettingsScope::User),
              (SerialSettings{1, 9600, Parity::None, 8, 1}));
    EXPECT_EQ(readSerialSettings(user, SettingsScope::User, {3, 4800, Parity::Even, 7, 2}),
              (SerialSettings{3, 4800, Parity::Even, 7, 2}))
        << "the caller's defaults: the first available port, a window's values";
    const int geometry[] = {readInteger(user, Setting::Top), readInteger(user, Setting::Left),
                            readInteger(user, Setting::Width), readInteger(user, Setting::Height)};
    EXPECT_EQ(std::vector<int>(std::begin(geometry), std::end(geometry)),
              (std::vector<int>{0, 0, 675, 530}));
    struct Flag {
        Setting setting;
        bool shown;
    } flags[] = {{Setting::ShowTrend, true},
                 {Setting::ShowTemp, true},
                 {Setting::ShowLevelAbove, false},
                 {Setting::ShowAlarm4, true},
                 {Setting::ShowRelay1, false},
                 {Setting::ShowBatterySender, true},
                 {Setting::ShowDispType, false},
                 {Setting::ShowHistDate, true},
                 {Setting::ShowHistInput2, false},
                 {Setting::ShowMonthlyTemp, true},
                 {Setting::ShowMonthlyVolumeBelow, false}};
    for (const Flag& f : flags)
        EXPECT_EQ(readFlag(user, f.setting), f.shown) << settingInfo(f.setting).name;

    // Readers write nothing back.
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(SettingsTest, StoredTextsWithTheirSpecialMeanings) {
    Profile machine(SettingsScope::Machine);
    Profile user(SettingsScope::User);
    struct PortCase {
        const char* stored;
        int port;
    } ports[] = {{"6001", 6001}, {"0", 6000}, {"abc", 6000}, {"", 6000}};
    for (const PortCase& c : ports) {
        user.WriteString("TCPIPInfo", "Port", c.stored);
        EXPECT_EQ(readInteger(user, Setting::TcpPort), c.port) << c.stored;
    }
    for (const auto& [stored, address] :
         {std::pair{"", "localhost"}, std::pair{"plant-pc", "plant-pc"}}) {
        user.WriteString("TCPIPInfo", "Address", stored);
        EXPECT_EQ(readString(user, Setting::TcpAddress), address);
    }
    // The collector's own port number has no such rule: a stored 0 is 0.
    writeInteger(machine, Setting::ServicePortNumber, 0);
    EXPECT_EQ(readInteger(machine, Setting::ServicePortNumber), 0);

    struct ParityCase {
        const char* stored;
        Parity parity;
    } parities[] = {{"Odd", Parity::Odd},   {"odd", Parity::None},    {"Even", Parity::Even},
                    {"Mark", Parity::Mark}, {"Space", Parity::Space}, {"SPACE", Parity::None},
                    {"even", Parity::None}, {"ODD", Parity::None},    {"", Parity::None},
                    {"None", Parity::None}};
    for (const ParityCase& c : parities) {
        machine.WriteString("\\Software\\Ostrel\\Levelwatch\\ComPortInfo", "Parity", c.stored);
        EXPECT_EQ(readSerialSettings(machine, SettingsScope::Machine).parity, c.parity) << c.stored;
    }
    struct AuthCase {
        const char* stored;
        SmtpAuth auth;
    } auths[] = {{"None", SmtpAuth::None},
                 {"SASL", SmtpAuth::Sasl},
                 {"sasl", SmtpAuth::Default},
                 {"Default", SmtpAuth::Default},
                 {"", SmtpAuth::Default}};
    for (const AuthCase& c : auths) {
        machine.WriteString("\\Software\\Ostrel\\Levelwatch\\STMP", "Auth", c.stored);
        EXPECT_EQ(readSmtpSettings(machine).auth, c.auth) << c.stored;
    }
    // A security text that names no mode must not fall back to plain SMTP.
    struct SecurityCase {
        const char* stored;
        SmtpSecurity security;
    } securities[] = {{"None", SmtpSecurity::None},      {"starttls", SmtpSecurity::StartTls},
                      {" TLS ", SmtpSecurity::Tls},      {"SSL", SmtpSecurity::Unknown},
                      {"", SmtpSecurity::Unknown}};
    for (const SecurityCase& c : securities) {
        machine.WriteString("\\Software\\Ostrel\\Levelwatch\\STMP", "Security", c.stored);
        EXPECT_EQ(readSmtpSettings(machine).security, c.security) << c.stored;
    }
    for (const auto& [stored, shown] : {std::pair{"1", true}, std::pair{"2", false},
                                        std::pair{"0", false}, std::pair{"x", true}}) {
        user.WriteString("Properities", "ShowLevel", stored);
        EXPECT_EQ(readFlag(user, Setting::ShowLevel), shown) << stored;
    }
}

TEST_F(SettingsTest, WritersUseTheStoredLayout) {
    Profile machine(SettingsScope::Machine);
    Profile user(SettingsScope::User);
    writeSerialSettings(machine, SettingsScope::Machine, {2, 19200, Parity::Mark, 7, 2});
    writeSerialSettings(user, SettingsScope::User, {5, 4800, Parity::Odd, 8, 1});
    writeInteger(machine, Setting::ServiceChange, 1);
    // CAFile is not written: it keeps its default.
    const SmtpSettings smtp{"mail.example", "ops",       "s3cret",      587,
                            SmtpAuth::Sasl, "tanks@example", "Tank Farm", "ops@example",
                            SmtpSecurity::StartTls, ""};
    writeSmtpSettings(machine, smtp);
    writeFlag(user, Setting::ShowHistInput1, true);

    EXPECT_EQ(readSerialSettings(machine, SettingsScope::Machine),
              (SerialSettings{2, 19200, Parity::Mark, 7, 2}));
    EXPECT_EQ(readSerialSettings(user, SettingsScope::User),
              (SerialSettings{5, 4800, Parity::Odd, 8, 1}));
    EXPECT_EQ(readSmtpSettings(machine), smtp);
    EXPECT_TRUE(readFlag(user, Setting::ShowHistInput1));

    const QString machineText = stored("machine.ini");
    for (const char* part : {"[General]\nServiceChange=1\n",
                             "[ComPortInfo]\nBaud=19200\nComNumber=2\nDataBits=7\nParity=Mark\n",
                             "[STMP]\nAuth=SASL\n", "Security=STARTTLS\n"})
        EXPECT_TRUE(machineText.contains(part)) << part << "\n" << machineText.toStdString();
    EXPECT_TRUE(stored("user.ini").contains("[Properities]\nShowHistInput1=1\n"));

    // A security text that names none of the choices is left as the administrator wrote it.
    const QString stmp = "\\Software\\Ostrel\\Levelwatch\\STMP";
    machine.WriteString(stmp, "Security", "SSL");
    SmtpSettings unknown = smtp;
    unknown.security = SmtpSecurity::Unknown;
    writeSmtpSettings(machine, unknown);
    EXPECT_EQ(machine.ReadString(stmp, "Security", ""), "SSL");
}

TEST_F(SettingsTest, ReportShowsEveryServiceSettingItsSourceAndWhatIsUnknown) {
    lw::test::writeFile(
        dir.filePath("machine.ini"),
        "[ComPortInfo]\nComNumber=3\nBaud=96OO\nParity=odd\nbaud=1200\n"
        "[STMP]\nPassword=secret\nSecurity=SSL\n[Ports]\nCOM1=/dev/ttyUSB0\n[Colour]\nSky=blue\n");
    const QStringList report = machineSettingsReport(Profile(SettingsScope::Machine));
    for (const QString& line : {
             "Settings file: " + dir.filePath("machine.ini"),
             QStringLiteral("[General] ServiceChange = 0 (default)"),
             QStringLiteral("[ComPortInfo] ComNumber = 3 (file)"),
             QStringLiteral("[ComPortInfo] Baud = 9600 (default: the file's \"96OO\" is not a "
                            "number)"),
             QStringLiteral("[ComPortInfo] Parity = None (file: \"odd\" is none of the names "
                            "(they are case-sensitive))"),
             QStringLiteral("[STMP] Password = ******** (file)"),
             QStringLiteral("[STMP] Security = SSL (file: not None, STARTTLS or TLS, so no mail is "
                            "sent)"),
             QStringLiteral("[TCPPortInfo] PortNumber = 6000 (default)"),
             QStringLiteral("[Ports] COM1 = /dev/ttyUSB0 (file)"),
             QStringLiteral("[Ports] COM3 = /dev/ttyS2 (default)"),
             QStringLiteral("Unknown key [ComPortInfo] baud (names are case-sensitive: Baud?)"),
             QStringLiteral("Unknown section [Colour]: Sky"),
         })
        EXPECT_TRUE(report.contains(line)) << line.toStdString() << "\n"
                                           << report.join('\n').toStdString();
    EXPECT_FALSE(report.join('\n').contains("secret"));
    EXPECT_FALSE(report.join('\n').contains("ERROR"));
}

TEST_F(SettingsTest, MqttDefaultsFollowHostAndSecurityAndUnusableValuesKeepItOff) {
    const QString host = QSysInfo::machineHostName();
    struct Case {
        const char* ini;
        int port;
        QString clientId, prefix;
        const char* fault; // part of the fault text; empty: none
    } cases[] = {
        {"", 1883, "ostrel-" + host, "levelwatch/" + host, ""},
        {"[MQTT]\nHost=broker\nSecurity=TLS\nClientId=\nPrefix=site/a//\n", 8883, "ostrel-" + host,
         "site/a", ""},
        {"[MQTT]\nHost=broker\nSecurity=TLS\nPort=9000\n", 9000, "ostrel-" + host,
         "levelwatch/" + host, ""},
        {"[MQTT]\nHost=broker\nSecurity=tls\n", 1883, "ostrel-" + host, "levelwatch/" + host,
         "Security \"tls\" is neither None nor TLS"},
        {"[MQTT]\nHost=broker\nQoS=3\n", 1883, "ostrel-" + host, "levelwatch/" + host,
         "QoS 3 is not 0, 1 or 2"},
        {"[MQTT]\nHost=broker\nPrefix=site/#\n", 1883, "ostrel-" + host, "site/#", "wildcard"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        QFile f(dir.filePath("machine.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.ini);
        f.close();
        const MqttSettings m = readMqttSettings(Profile(SettingsScope::Machine));
        EXPECT_EQ(m.port, c.port);
        EXPECT_EQ(m.clientId, c.clientId);
        EXPECT_EQ(m.prefix, c.prefix);
        EXPECT_TRUE(m.fault.contains(QLatin1String(c.fault))) << m.fault.toStdString();
        EXPECT_EQ(m.enabled(), std::string(c.ini).find("Host") != std::string::npos &&
                                   std::string(c.fault).empty());
    }
}

TEST_F(SettingsTest, ReportShowsTheMqttDefaultsItDerivesAndMasksItsPassword) {
    QFile f(dir.filePath("machine.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[MQTT]\nHost=broker\nSecurity=TLS\nPassword=hush\nQoS=5\n");
    f.close();
    const QStringList report = machineSettingsReport(Profile(SettingsScope::Machine));
    for (const QString& line : {
             QStringLiteral("[MQTT] Port = 8883 (default)"),
             QStringLiteral("[MQTT] Password = ******** (file)"),
             QStringLiteral("[MQTT] Prefix = levelwatch/%1 (default)")
                 .arg(QSysInfo::machineHostName()),
             QStringLiteral("ERROR: MQTT publishing stays off: [MQTT] QoS 5 is not 0, 1 or 2"),
         })
        EXPECT_TRUE(report.contains(line)) << line.toStdString() << "\n"
                                           << report.join('\n').toStdString();
    EXPECT_FALSE(report.join('\n').contains("hush"));
}
