// "Email Setup": the schedule grid over "Email.txt" (Add, Delete, Apply, Cancel, the service's
// sending times), the mail settings taken and saved (or refused by the store), and the test
// mail through a real SMTP server (aiosmtpd) and a refused one.

#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>

#include "DateTime.h"
#include "FileDate.h"
#include "LiveDataModel.h"
#include "MainMenus.h"
#include "MonitorLink.h"
#include "ReportMailer.h"
#include "SMTPPage1.h"
#include "ScheduleDelegate.h"
#include "ScheduleModel.h"
#include "SetupFixture.h"
#include "SmtpServer.h"
#include "WindowMail.h"

using namespace lw;
using namespace lw::test;

namespace {

const Ini kNoService{{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1024"}}}};
const QByteArray kHeader = "Email\tDataType\tTime\tTankIDs\tLastSent\r\n";

class EmailSetupTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        clock.fixed = encodeDateTime({2026, 12, 9, 14, 5, 9});
        writeUser(kNoService);
    }
    const std::vector<ScheduleRow>& schedule() const {
        return *window->windowMail().mailer().ScheduleData();
    }
    QString cell(SMTPPage1& p, int row, int column) const {
        return p.scheduleModel().index(row, column).data().toString();
    }
    QString emailFile() const { return readText(file("Email.txt")); }
};

TEST_F(EmailSetupTest, AddDeleteApplyAndCancelOnTheSchedule) {
    LevelwatchForm& w = start();
    onNextDialog<SMTPPage1>([&](SMTPPage1& p) {
        EXPECT_TRUE(p.AddButton().isHidden()) << "only with the schedule";
        p.tabs().setCurrentIndex(SMTPPage1::ScheduleTab);
        EXPECT_FALSE(p.AddButton().isHidden());
        EXPECT_FALSE(p.DeleteButton().isHidden());
        p.AddClick();
        ASSERT_EQ(schedule().size(), 1u);
        EXPECT_EQ(schedule()[0], (ScheduleRow{std::nullopt, 0, 0.0, "1000", std::nullopt}));
        EXPECT_EQ(cell(p, 0, ScheduleModel::Frequency), "Everyday");
        EXPECT_EQ(cell(p, 0, ScheduleModel::Time), "12:00:00 AM");
        EXPECT_EQ(cell(p, 0, ScheduleModel::LastSent), "");
        p.scheduleModel().setData(p.scheduleModel().index(0, ScheduleModel::Email),
                                  "ops@example.com");
        p.ApplyClick();
    });
    w.menus().SMTPSetup->trigger();
    EXPECT_EQ(dialogs.shown, QStringList{"Email Setup"});
    EXPECT_EQ(lastResult, QDialog::Accepted);
    EXPECT_EQ(w.statusLine(), "Updated Email settings.");
    EXPECT_EQ(emailFile(), kHeader + "ops@example.com\t0\t12:00:00 AM\t1000\t\r\n");
    EXPECT_EQ(w.windowMail().mailer().EmailFileDate(), FileDate(file("Email.txt")));
    const QString applied = emailFile();

    // Deleting the only row leaves an empty one; Cancel brings back the file's.
    onNextDialog<SMTPPage1>([&](SMTPPage1& p) {
        p.grid().setCurrentIndex(p.scheduleModel().index(0, 0));
        p.DeleteClick();
        ASSERT_EQ(schedule().size(), 1u);
        EXPECT_EQ(schedule()[0], ScheduleRow{});
        p.AddClick();
        p.AddClick();
        EXPECT_EQ(schedule().size(), 3u);
    });
    w.SMTPSetupClick();
    EXPECT_EQ(lastResult, QDialog::Rejected);
    EXPECT_EQ(w.statusLine(), "Email settings not changed.");
    EXPECT_EQ(emailFile(), applied);
    ASSERT_EQ(schedule().size(), 1u);
    EXPECT_EQ(schedule()[0].Email, "ops@example.com");
}

TEST_F(EmailSetupTest, AnEntryThatBreaksItsRuleIsNamedAndNotTaken) {
    writeFile(file("Email.txt"), kHeader + "ops@example.com\t0\t\t1000\t\r\n");
    LevelwatchForm& w = start();
    onNextDialog<SMTPPage1>([&](SMTPPage1& p) {
        auto& delegate = dynamic_cast<ScheduleDelegate&>(*p.grid().itemDelegate());
        for (const auto& [column, typed, kept] :
             {std::tuple{ScheduleModel::Email, "ops at example", "ops@example.com"},
              std::tuple{ScheduleModel::LastSent, "yesterday", ""}}) {
            const QModelIndex at = p.scheduleModel().index(0, column);
            std::unique_ptr<QWidget> editor(delegate.createEditor(&p.grid(), {}, at));
            auto& edit = dynamic_cast<QLineEdit&>(*editor);
            edit.setText(typed);
            delegate.setModelData(editor.get(), &p.scheduleModel(), at);
            EXPECT_EQ(at.data().toString(), kept);
            EXPECT_TRUE(p.note().contains(QString("\"%1\" is not").arg(typed)))
                << p.note().toStdString();
        }
    });
    w.SMTPSetupClick();
}

TEST_F(EmailSetupTest, OpenedWhileLinkedToTheServiceItShowsTheServicesSendingTimes) {
    writeFile(file("Email.txt"), kHeader + "ops@example.com\t0\t\t1000\t\r\n");
    for (const bool serial : {false, true}) {
        if (serial)
            writeUser({{"ComPortInfo", {{"Active", "1"}}}});
        LevelwatchForm& w = start();
        // The service sends and records the time.
        writeFile(file("Email.txt"),
                  kHeader + "ops@example.com\t0\t\t1000\t12/9/2026 6:00:00 AM\r\n",
                  QDateTime::currentDateTime().addSecs(serial ? 120 : 60));
        onNextDialog<SMTPPage1>([&](SMTPPage1& p) {
            EXPECT_EQ(cell(p, 0, ScheduleModel::LastSent), serial ? "" : "12/9/2026 6:00:00 AM")
                << (serial ? "the monitor sends itself, and keeps its own table" : "reloaded");
        });
        w.SMTPSetupClick();
        writeFile(file("Email.txt"), kHeader + "ops@example.com\t0\t\t1000\t\r\n");
    }
}

TEST_F(EmailSetupTest, ApplyTakesTheSettingsAndSavesThemAndARefusingStoreIsTold) {
    writeMachine({{"STMP",
                   {{"Host", "old.example.com"},
                    {"Auth", "SASL"},
                    {"Password", "old"},
                    {"CAFile", "/etc/plant-ca.pem"}}}});
    LevelwatchForm& w = start();
    onNextDialog<SMTPPage1>([&](SMTPPage1& p) {
        EXPECT_EQ(p.SMTPHost().text(), "old.example.com");
        EXPECT_EQ(p.SMTPPort().value(), 25);
        EXPECT_EQ(p.Password().echoMode(), QLineEdit::Password);
        EXPECT_EQ(p.Security().currentText(), "None");
        p.SMTPHost().setText("mail.example.com");
        p.SMTPPort().setValue(587);
        p.Security().setCurrentText("STARTTLS");
        p.UserName().setText("tanks");
        p.Password().setText("pass;word");
        p.EmailName().setText("Tank Farm");
        p.TestEmailAddress().setText("ops@example.com");
        p.EmailAddress().setText("tanks@");
        p.ApplyClick();
        EXPECT_TRUE(p.isVisible()) << "an unfinished address is not taken";
        EXPECT_EQ(dialogs.messages,
                  QStringList{"Email Address: \"tanks@\" is not an e-mail address."});
        dialogs.messages.clear();
        p.EmailAddress().setText("tanks@example.com");
        p.ApplyClick();
    });
    w.SMTPSetupClick();
    const SmtpSettings expected{"mail.example.com",
                                "tanks",
                                "pass;word",
                                587,
                                SmtpAuth::Sasl,
                                "tanks@example.com",
                                "Tank Farm",
                                "ops@example.com",
                                SmtpSecurity::StartTls,
                                "/etc/plant-ca.pem"};
    EXPECT_EQ(w.SMTP(), expected);
    EXPECT_EQ(readSmtpSettings(Profile(SettingsScope::Machine)), expected)
        << "SASL, which the window does not show, kept";
    EXPECT_EQ(w.statusLine(), "Updated Email settings.");
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // Without the rights to the store the settings hold for this run only, and the operator is
    // told so.
    QFile::remove(settings() + "/machine.ini");
    QDir().mkpath(settings() + "/machine.ini");
    onNextDialog<SMTPPage1>([&](SMTPPage1& p) {
        p.SMTPHost().setText("new.example.com");
        p.ApplyClick();
    });
    w.SMTPSetupClick();
    EXPECT_EQ(w.SMTP().host, "new.example.com");
    EXPECT_EQ(dialogs.messages,
              QStringList{"You must run as Administrator to save STMP settings."});
    EXPECT_EQ(w.statusLine(), "Updated Email settings.");
}

TEST_F(EmailSetupTest, TestEmailGoesWithTheTypedSettingsAndAFailureIsShown) {
    const auto server = withSettablePort<SmtpServer>(dir / "smtp");
    ASSERT_GT(server->port(), 0) << "aiosmtpd did not start";
    ASSERT_LE(server->port(), kLastRegisteredPort);
    const auto refused = withSettablePort<SilentServer>(false);
    writeLiveData({"7\tSeven\t1"});
    LevelwatchForm& w = start();
    onNextDialog<SMTPPage1>([&](SMTPPage1& p) {
        p.SMTPHost().setText("127.0.0.1");
        p.SMTPPort().setValue(server->port());
        p.EmailAddress().setText("tanks@example.com");
        p.TestEmailAddress().setText("ops@example.com");
        p.TestEmailClick();
        EXPECT_FALSE(p.TestEmailButton().isEnabled()) << "one test at a time";
        ASSERT_TRUE(waitFor([&] { return server->messages().size() == 1; }));
        const QJsonObject sent = server->messages()[0];
        EXPECT_EQ(sent["rcpt_tos"].toArray()[0].toString(), "ops@example.com");
        EXPECT_EQ(sent["message"].toObject()["subject"].toString(),
                  "Levelwatch Report - 12/9/2026 2:05:09 PM");
        EXPECT_TRUE(
            sent["message"].toObject()["parts"].toArray()[0].toObject()["body"].toString().contains(
                "Seven"));
        ASSERT_TRUE(waitFor([&] { return p.TestEmailButton().isEnabled(); }));
        EXPECT_EQ(p.note(), "Test email sent to ops@example.com.");
        EXPECT_TRUE(dialogs.messages.isEmpty());

        p.SMTPPort().setValue(refused->port());
        p.TestEmailClick();
        ASSERT_TRUE(waitFor([&] { return !dialogs.messages.isEmpty(); }));
        EXPECT_TRUE(dialogs.messages[0].startsWith(
            QString("The test email to ops@example.com could not be sent: SMTP 127.0.0.1:%1: ")
                .arg(refused->port())))
            << dialogs.messages[0].toStdString();
        EXPECT_EQ(p.note(), "Test email to ops@example.com failed.");
    });
    w.SMTPSetupClick();
    EXPECT_EQ(w.SMTP().host, "") << "typed for the test, not applied";
    EXPECT_FALSE(QFileInfo::exists(settings() + "/machine.ini"));
}

} // namespace
