// The monitor's own mail in serial mode, through a real SMTP server (aiosmtpd): the alarm
// report of a changed tank, the scheduled live report with its LastSent in the program folder's
// "Email.txt", and a server that is down.

#include <QJsonArray>
#include <QJsonObject>

#include "DateTime.h"
#include "DetailForm.h"
#include "FrameBuilder.h"
#include "LiveDataModel.h"
#include "MonitorFixture.h"
#include "MonitorLink.h"
#include "ScheduleRow.h"
#include "SmtpServer.h"
#include "WindowMail.h"

using namespace lw;
using namespace lw::test;

namespace {

const Ini kNoService{{"TCPIPInfo", {{"Address", "127.0.0.1"}, {"Port", "1"}}}};

class WindowMailTest : public MonitorTest {
protected:
    void SetUp() override {
        MonitorTest::SetUp();
        ASSERT_GT(server.port(), 0) << "aiosmtpd did not start";
        writeUser(kNoService);
        writeMachine(smtp(server.port()));
        writeLiveData({"7\tSeven\t1"});
        writeFile(file("Email.txt"), "Email\tDataType\tTime\tTankIDs\tLastSent\r\n"
                                     "alarm@example.com\t10\t\t1000\t\r\n"
                                     "daily@example.com\t0\t\t1000\t\r\n");
        clock.fixed = encodeDateTime({2026, 12, 9, 14, 5, 9});
    }
    static Ini smtp(int port) {
        return {{"STMP",
                 {{"Host", "127.0.0.1"},
                  {"Port", QString::number(port)},
                  {"Auth", "None"},
                  {"Email", "tanks@example.com"}}}};
    }
    // The window with its own mail, owning the port.
    LevelwatchForm& startOwnMail() {
        MonitorEnvironment env = environment();
        env.mail = nullptr;
        window = std::make_unique<LevelwatchForm>(env);
        // Serial mode without a port: the link goes, and its texts with it.
        window->link().setComActive(1);
        window->applyCommSetup(false);
        return *window;
    }
    void frame(uint16_t alarms) {
        sim::UnitValues u;
        u.address = 7;
        u.alarms = alarms;
        u.tanks = {{.id = 7, .temperature = 21, .level = 1234, .volume = 3702}};
        window->NewTankData(FrameBuffer::fromBytes(sim::buildReply(u, 24)), 24,
                            FrameSource::Serial);
    }
    QJsonObject message(size_t i) const { return server.messages().at(i)["message"].toObject(); }
    QString recipient(size_t i) const {
        return server.messages().at(i)["rcpt_tos"].toArray()[0].toString();
    }

    SmtpServer server{dir / "smtp"};
};

TEST_F(WindowMailTest, AnAlarmChangeAndTheScheduleGoOutThroughTheServer) {
    LevelwatchForm& w = startOwnMail();
    EXPECT_EQ(w.windowMail().mailer().ScheduleData()->size(), 2u) << "loaded at start";

    frame(1);
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 1; }));
    EXPECT_EQ(recipient(0), "alarm@example.com");
    EXPECT_EQ(message(0)["subject"].toString(), "Seven Alarm Change - 12/9/2026 2:05:09 PM");
    EXPECT_TRUE(waitFor([&] { return w.statusLine() == "Alarm Email Sent to alarm@example.com."; }))
        << w.statusLine().toStdString();

    w.EmailTimerTimer();
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 2; }));
    EXPECT_EQ(recipient(1), "daily@example.com");
    EXPECT_EQ(message(1)["subject"].toString(), "Levelwatch Report - 12/9/2026 2:05:09 PM");
    ASSERT_TRUE(waitFor([&] { return w.statusLine() == "Email Sent to daily@example.com."; }));
    Table<ScheduleRow> saved;
    loadSchedule(saved, fsPath(file("Email.txt")), Formats::enUS());
    ASSERT_EQ(saved->size(), 2u);
    EXPECT_EQ(saved->at(1).LastSent, *clock.fixed) << "recorded in the program folder's file";
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(WindowMailTest, AServerThatIsDownIsToldOnceAndNothingIsRecorded) {
    const SilentServer refused(false);
    writeMachine(smtp(refused.port()));
    LevelwatchForm& w = startOwnMail();
    frame(1);
    ASSERT_TRUE(waitFor([&] { return !dialogs.messages.isEmpty(); }));
    EXPECT_TRUE(dialogs.messages[0].startsWith("ERROR: Alarm Email to alarm@example.com: "))
        << dialogs.messages[0].toStdString();
    EXPECT_TRUE(w.statusLine().startsWith("ERROR: Alarm Email to alarm@example.com: "))
        << w.statusLine().toStdString();
    EXPECT_TRUE(w.detail().text().contains("ERROR: Alarm Email to alarm@example.com: "));

    w.EmailTimerTimer();
    ASSERT_TRUE(waitFor([&] { return w.statusLine().startsWith("ERROR: Send email to"); }));
    EXPECT_EQ(dialogs.messages.size(), 1) << "one message box, not one a minute";
    EXPECT_FALSE(readText(file("Email.txt")).contains("12/9/2026")) << "no LastSent";
}

TEST_F(WindowMailTest, LinkedToTheServiceTheMonitorSendsNothing) {
    LevelwatchForm& w = startOwnMail();
    w.link().setComActive(0);
    w.applyCommSetup(false);
    frame(1);
    w.EmailTimerTimer();
    spin(300);
    EXPECT_TRUE(server.messages().empty());
}

} // namespace
