// "Comm Setup": the service settings and their reload by a running OstrelService, the monitor's
// own port and mode with the switch of its data source, entries that are refused, a
// machine-wide store that cannot be written, and the service's state and start/stop through a
// stand-in systemctl on PATH.

#include <sys/stat.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include "ChildProcess.h"
#include "DateTime.h"
#include "MainMenus.h"
#include "MonitorLink.h"
#include "PropertyPage1.h"
#include "Pty.h"
#include "SetupFixture.h"
#include "Sockets.h"

using namespace lw;
using namespace lw::test;

namespace {

// Nothing listens on 1024 (the system hands out ports from 32768 on).
const Ini kNoService{{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1024"}}}};

class CommSetupTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        clock.fixed = encodeDateTime({2026, 12, 9, 14, 5, 9});
        writeUser(kNoService);
        // The window asks for the service's state whenever it is shown.
        standInSystemctl();
        systemdSays("active");
    }
    void TearDown() override {
        SetupTest::TearDown();
        service.reset();
        if (!savedPath.isEmpty())
            qputenv("PATH", savedPath);
    }
    QString machineIni() const { return readText(settings() + "/machine.ini"); }
    // COM1 is the machine's first serial port when not mapped: no test may touch it.
    Ini::value_type noPorts() const { return {"Ports", {{"COM1", inDir("absent")}}}; }

    // systemctl on PATH is a stand-in: "show" prints the file `show` (exit code 0), "start" and
    // "stop" make it say active or inactive, unless the file `refuse` exists, whose text they
    // print to standard error, exiting 1. Every call is recorded in `calls`.
    void standInSystemctl() {
        const QString bin = inDir("bin");
        QDir().mkpath(bin);
        const QString d = dir.path().c_str();
        writeFile(
            bin + "/systemctl",
            ("#!/bin/sh\n"
             "d='" +
             d +
             "'\n"
             "echo \"$*\" >> \"$d/calls\"\n"
             "case \"$1\" in\n"
             "show) cat \"$d/show\" ;;\n"
             "start|stop)\n"
             "  if [ -f \"$d/refuse\" ]; then cat \"$d/refuse\" >&2; exit 1; fi\n"
             "  [ \"$1\" = start ] && s=active || s=inactive\n"
             "  printf 'LoadState=loaded\\nActiveState=%s\\nSubState=x\\n' $s > \"$d/show\" ;;\n"
             "esac\n")
                .toUtf8());
        ::chmod(QFile::encodeName(bin + "/systemctl").constData(), 0755);
        savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + savedPath);
    }
    void systemdSays(const QString& active) {
        writeFile(inDir("show"),
                  ("LoadState=loaded\nActiveState=" + active + "\nSubState=x\n").toUtf8());
    }
    QString nowText() const {
        return QString::fromStdString(formatDateTime(*clock.fixed, Formats::enUS()));
    }

    std::unique_ptr<ChildProcess> service;
    QByteArray savedPath;
};

struct Reserved : ReservedPort {
    int port() const { return number(); }
};

TEST_F(CommSetupTest, TheServiceTabShowsTheStoredValuesAndApplyingThemUnchangedWritesNothing) {
    writeMachine({noPorts(),
                  {"ComPortInfo",
                   {{"ComNumber", "4"},
                    {"Baud", "19200"},
                    {"Parity", "odd"},
                    {"DataBits", "7"},
                    {"StopBits", "2"}}},
                  {"Debug", {{"Debug", "3"}}},
                  {"TCPPortInfo", {{"PortNumber", "6100"}}}});
    const QString machineBefore = machineIni();
    LevelwatchForm& w = start();
    const IndyRx* link = w.link().Client();
    ASSERT_NE(link, nullptr);
    onNextDialog<PropertyPage1>([&](PropertyPage1& p) {
        EXPECT_EQ(p.tabs().currentIndex(), PropertyPage1::ServiceTab);
        EXPECT_EQ(p.ServiceTCPPortSpinEdit().value(), 6100);
        EXPECT_EQ(p.ServiceDebugSpinEdit().value(), 3);
        EXPECT_EQ(p.ServiceSerialPortComboBox().currentText(), "COM4") << "named, though absent";
        EXPECT_EQ(p.ServiceBaudComboBox().currentText(), "19200");
        EXPECT_EQ(p.ServiceParityComboBox().currentText(), "odd") << "the text as stored";
        EXPECT_EQ(p.ServiceDataBitsComboBox().currentText(), "7");
        EXPECT_EQ(p.ServiceStopBitsComboBox().currentText(), "2");
        EXPECT_TRUE(p.ServiceActive().isChecked());
        EXPECT_EQ(p.IPAddress().text(), "127.0.0.1");
        EXPECT_FALSE(p.IPAddress().isHidden());
        EXPECT_TRUE(p.ComboBoxBaud().isHidden()) << "serial controls hidden in service mode";
        p.ButtonApplyClick();
    });
    w.menus().PortSetup->trigger();
    EXPECT_EQ(dialogs.shown, QStringList{"Comm Setup"});
    EXPECT_EQ(lastResult, QDialog::Accepted);
    EXPECT_FALSE(w.propertyPage().ServiceChange());
    EXPECT_EQ(machineIni(), machineBefore);
    EXPECT_EQ(w.link().Client(), link) << "same address and port: the link goes on";
    EXPECT_EQ(w.statusLine(), "Waiting for Service.");
    // The monitor's own settings are saved, the mode as a complementary pair.
    const QString user = userIni();
    EXPECT_TRUE(user.contains("[ComPortInfo]\nActive=0\nBaud=9600\n")) << user.toStdString();
    EXPECT_TRUE(user.contains("[TCPIPInfo]\nActive=1\nAddress=127.0.0.1\nPort=1024\n"))
        << user.toStdString();
}

TEST_F(CommSetupTest, ANewDebugLevelWritesTheServiceSettingsAndTheRunningServiceReloads) {
    const auto relay = withSettablePort<Reserved>();
    writeMachine({noPorts(),
                  {"ComPortInfo", {{"ComNumber", "1"}}},
                  {"TCPPortInfo", {{"PortNumber", QString::number(relay->port())}}}});
    service = std::make_unique<ChildProcess>(
        std::vector<std::string>{LEVELWATCH_BIN_DIR "/OstrelService"},
        ChildOptions{.env = {{"OSTREL_HOME", home().toStdString()},
                             {"OSTREL_SETTINGS_DIR", settings().toStdString()}}});
    LevelwatchForm& w = start();
    onNextDialog<PropertyPage1>([&](PropertyPage1& p) {
        EXPECT_EQ(p.ServiceDebugSpinEdit().value(), 0);
        p.ServiceDebugSpinEdit().setValue(5);
        p.ButtonApplyClick();
    });
    w.PortSetupClick();
    EXPECT_EQ(lastResult, QDialog::Accepted);
    EXPECT_TRUE(w.propertyPage().ServiceChange());
    const QString written = machineIni();
    for (const QString& part :
         {QStringLiteral("[ComPortInfo]\nBaud=9600\nComNumber=1\nDataBits=8\nParity=None\n"
                         "StopBits=1\n"),
          QStringLiteral("[Debug]\nDebug=5\n"),
          QStringLiteral("[TCPPortInfo]\nPortNumber=%1\n").arg(relay->port())})
        EXPECT_TRUE(written.contains(part)) << part.toStdString() << written.toStdString();
    // The service sees the flag at its next poll tick, clears it and takes the new level.
    EXPECT_TRUE(waitFor(
        [&] {
            return machineIni().contains("ServiceChange=0") &&
                   readText(file("OstrelServiceLog.txt")).contains("Settings Changed");
        },
        20000))
        << machineIni().toStdString() << readText(file("OstrelServiceLog.txt")).toStdString();
}

TEST_F(CommSetupTest, AMachineStoreThatCannotBeWrittenShowsDefaultsAndTheAdministratorMessage) {
    // A folder where the file should be: it reads as empty and refuses every write, root or not.
    QDir().mkpath(settings() + "/machine.ini");
    LevelwatchForm& w = start();
    onNextDialog<PropertyPage1>([&](PropertyPage1& p) {
        EXPECT_EQ(p.ServiceTCPPortSpinEdit().value(), 1024) << "the Client tab's port";
        EXPECT_EQ(p.ServiceBaudComboBox().currentText(), "9600") << "the monitor's port";
        p.ServiceDebugSpinEdit().setValue(5);
        p.ButtonApplyClick();
    });
    w.PortSetupClick();
    EXPECT_EQ(lastResult, QDialog::Accepted) << "the monitor's own settings were applied";
    EXPECT_EQ(dialogs.messages,
              QStringList{"You must run as Administrator to save STMP settings."});
}

TEST_F(CommSetupTest, SwitchingToSerialStopsTheLinkAndOpensThePortAndBackStartsANewLink) {
    Pty line;
    writeMachine({{"Ports", {{"COM1", inDir("absent")}, {"COM3", line.path().c_str()}}}});
    LevelwatchForm& w = start();
    ASSERT_NE(w.link().Client(), nullptr);
    onNextDialog<PropertyPage1>([&](PropertyPage1& p) {
        p.tabs().setCurrentIndex(PropertyPage1::ClientTab);
        p.CommActive().click();
        EXPECT_FALSE(p.ComboBoxPort().isHidden());
        EXPECT_TRUE(p.IPAddress().isHidden());
        EXPECT_GE(p.ComboBoxPort().findText("COM3"), 0) << "listed: it is there";
        p.ComboBoxPort().setEditText("COM3");
        p.ComboBoxParity().setEditText("Odd"); // typed, not chosen
        p.ButtonApplyClick();
    });
    w.PortSetupClick();
    ASSERT_EQ(lastResult, QDialog::Accepted);
    EXPECT_TRUE(w.propertyPage().SerialChange());
    EXPECT_EQ(w.link().Client(), nullptr) << "one source at a time";
    EXPECT_TRUE(w.link().GetApdComPort1().isOpen());
    EXPECT_EQ(w.link().GetApdComPort1().portNumber(), 3);
    EXPECT_EQ(w.link().GetApdComPort1().lineSettings().parity, Parity::Odd);
    EXPECT_EQ(w.statusLine(), "COM port open 3.");
    QString user = userIni();
    EXPECT_TRUE(user.contains("[ComPortInfo]\nActive=1\nBaud=9600\nComNumber=3\nDataBits=8\n"
                              "Parity=Odd\nStopBits=1\n"))
        << user.toStdString();
    EXPECT_TRUE(user.contains("[TCPIPInfo]\nActive=0\n")) << user.toStdString();

    onNextDialog<PropertyPage1>([&](PropertyPage1& p) {
        EXPECT_TRUE(p.CommActive().isChecked());
        EXPECT_EQ(p.ComboBoxParity().currentText(), "Odd");
        p.ServiceActive().click();
        p.ButtonApplyClick();
    });
    w.PortSetupClick();
    ASSERT_EQ(lastResult, QDialog::Accepted);
    EXPECT_FALSE(w.propertyPage().TCPChange());
    EXPECT_NE(w.link().Client(), nullptr) << "a new link, though address and port are the same";
    EXPECT_FALSE(w.link().GetApdComPort1().isOpen());
    EXPECT_EQ(w.statusLine(), "Waiting for Service.");
    user = userIni();
    EXPECT_TRUE(user.contains("[ComPortInfo]\nActive=0\n")) << user.toStdString();
    EXPECT_TRUE(user.contains("[TCPIPInfo]\nActive=1\n")) << user.toStdString();
}

TEST_F(CommSetupTest, EntriesThatAreNotWhatTheyShouldBeAreNamedAndNothingIsSaved) {
    struct Case {
        bool serial;
        std::function<void(PropertyPage1&)> type;
        QString message;
    } cases[] = {
        {true, [](PropertyPage1& p) { p.ComboBoxBaud().setEditText("fast"); },
         "Baud Rate on the \"Client\" tab: \"fast\" is not a whole number."},
        {true, [](PropertyPage1& p) { p.ComboBoxDataBits().setEditText("9"); },
         "Data Bits on the \"Client\" tab: 9 is not from 5 to 8."},
        {true, [](PropertyPage1& p) { p.ComboBoxPort().setEditText("LPT1"); },
         "Port on the \"Client\" tab: \"LPT1\" is not COM and a port number."},
        {false, [](PropertyPage1& p) { p.IPAddress().setText("192.168."); },
         "IP Address on the \"Client\" tab: \"192.168.\" is neither an IP address nor a host "
         "name."},
        {false, [](PropertyPage1& p) { p.ServiceStopBitsComboBox().setEditText("x"); },
         "Stop Bits on the \"Service\" tab: \"x\" is not a whole number."},
    };
    writeMachine({noPorts()});
    LevelwatchForm& w = start();
    const QString userBefore = userIni();
    const QString machineBefore = machineIni();
    for (const Case& c : cases) {
        dialogs.messages.clear();
        onNextDialog<PropertyPage1>([&](PropertyPage1& p) {
            (c.serial ? p.CommActive() : p.ServiceActive()).click();
            c.type(p);
            p.ButtonApplyClick();
            EXPECT_TRUE(p.isVisible()) << "open to be mended";
        });
        w.PortSetupClick();
        EXPECT_EQ(lastResult, QDialog::Rejected);
        EXPECT_EQ(dialogs.messages, QStringList{c.message});
    }
    EXPECT_EQ(userIni(), userBefore);
    EXPECT_EQ(machineIni(), machineBefore);
    EXPECT_NE(w.link().Client(), nullptr);
}

TEST_F(CommSetupTest, TheAddressTakesIpAddressesAndHostNames) {
    LevelwatchForm& w = start();
    const QValidator& v = *w.propertyPage().IPAddress().validator();
    for (const auto& [text, acceptable] :
         {std::pair{"192.168.1.20", true}, std::pair{"localhost", true},
          std::pair{"plant-server.example.com", true}, std::pair{"scada", true},
          std::pair{"192.168.", false}, std::pair{"plant server", false}, std::pair{"a1", false}}) {
        QString t = text;
        int pos = 0;
        EXPECT_EQ(v.validate(t, pos) == QValidator::Acceptable, acceptable) << text;
    }
}

TEST_F(CommSetupTest, TheServiceStateAndStartStopComeFromSystemctl) {
    LevelwatchForm& w = start();
    PropertyPage1& p = w.propertyPage();
    p.show();
    struct Case {
        QString show;
        QString status;
        QString button; // empty: hidden
    } cases[] = {
        {"LoadState=loaded\nActiveState=activating\nSubState=start\n", "Service Start Pending", ""},
        {"LoadState=loaded\nActiveState=inactive\nSubState=dead\n", "Service Stopped",
         "Start Service"},
        // A state the window has no text for leaves the last one standing.
        {"LoadState=loaded\nActiveState=maintenance\nSubState=x\n", "Service Stopped", ""},
        {"LoadState=not-found\nActiveState=inactive\nSubState=dead\n", "Service Status Unknown",
         ""},
        {"", "Service Status Unknown", ""},
        {"LoadState=loaded\nActiveState=active\nSubState=running\n", "Service Running",
         "Stop Service"},
    };
    for (const Case& c : cases) {
        writeFile(inDir("show"), c.show.toUtf8());
        QFile::remove(inDir("calls"));
        p.RefreshServiceStatus();
        ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(inDir("calls")); }));
        ASSERT_TRUE(waitFor([&] {
            return p.ServiceStatus().text() == c.status &&
                   p.ServiceButton().isHidden() == c.button.isEmpty();
        })) << c.show.toStdString()
            << " shows " << p.ServiceStatus().text().toStdString();
        if (!c.button.isEmpty()) {
            EXPECT_EQ(p.ServiceButton().text(), c.button);
        }
    }
    EXPECT_TRUE(readText(inDir("calls"))
                    .startsWith("show -p LoadState,ActiveState,SubState "
                                "OstrelService1\n"));

    p.ServiceButton().click();
    EXPECT_EQ(p.ServiceStatusText().toPlainText(), nowText() + "  Service Stopping.");
    ASSERT_TRUE(waitFor([&] { return p.ServiceStatus().text() == "Service Stopped"; }));
    EXPECT_TRUE(readText(inDir("calls")).contains("stop OstrelService1\n"));
    ASSERT_TRUE(waitFor([&] { return !p.ServiceButton().isHidden(); }));
    EXPECT_EQ(p.ServiceButton().text(), "Start Service");

    // Without the rights, systemctl's word is in the events and the state stays.
    writeFile(inDir("refuse"), "Failed to start OstrelService1.service: Access denied\n");
    p.ServiceButton().click();
    ASSERT_TRUE(waitFor([&] { return p.ServiceStatusText().toPlainText().contains("Access"); }));
    EXPECT_EQ(p.ServiceStatusText().toPlainText(),
              nowText() + "  Service Starting.\n" + nowText() +
                  "  Failed to start OstrelService1.service: Access denied");
    ASSERT_TRUE(waitFor([&] { return !p.ServiceButton().isHidden(); }));
    EXPECT_EQ(p.ServiceStatus().text(), "Service Stopped");

    // The link reports the service's going into the same events.
    TitcRecord gone;
    gone.command = Tcommands::tmError;
    gone.data = "Ostrel Service: Disconnected.";
    w.link().OnMyMessage(gone);
    EXPECT_TRUE(p.ServiceStatusText().toPlainText().endsWith(nowText() + " Service Disconnected."));
    p.hide();
}

} // namespace
