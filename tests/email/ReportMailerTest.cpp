// The scheduled pass and the alarm report through a real SMTP server, with an injected clock:
// which rows get mail, what is recorded and saved, and what a failure leaves behind.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QTemporaryDir>

#include "AlarmReport.h"
#include "DateTime.h"
#include "FileDate.h"
#include "RecordingLog.h"
#include "ReportMailer.h"
#include "ScheduleRules.h"
#include "SmtpServer.h"
#include "WaitFor.h"

using namespace lw;
using namespace lw::test;

namespace {

const Formats kUS = Formats::enUS();

class Hooks final : public ReportMailerHooks {
public:
    bool mayMail() const override { return allowed; }
    SmtpSettings mailSettings() override { return settings; }
    LiveReportBodies liveReport(double) override {
        if (noReport)
            throw std::runtime_error("LiveData.txt cannot be examined");
        return {"Report\r", "<HTML>Report</HTML>"};
    }
    void reportSent(const std::string& a) override { events.push_back("sent " + a); }
    void alarmSent(const std::string& a) override { events.push_back("alarm " + a); }
    void mailFailed(const MailFailure& f) override {
        events.push_back(std::string(f.alarm ? "alarm failed " : "failed ") + f.address +
                         (f.unreachable ? " unreachable" : "") +
                         (f.alarmErrorText.empty() ? "" : " " + f.alarmErrorText));
        errors.push_back(f.error);
    }
    void scheduleFileError(const std::string& e) override { events.push_back("file " + e); }

    SmtpSettings settings;
    bool allowed = true;
    bool noReport = false;
    std::vector<std::string> events;
    std::vector<std::string> errors;
};

class ReportMailerTest : public ::testing::Test {
protected:
    void SetUp() override {
        hooks.settings.host = "127.0.0.1";
        hooks.settings.port = server.port();
        hooks.settings.auth = SmtpAuth::None;
        hooks.settings.email = "tanks@example.com";
        QObject::connect(&mailer, &ReportMailer::scheduleSaved, [this] { ++saves; });
    }
    std::string emailFile() const { return (folder() / "Email.txt").string(); }
    std::filesystem::path folder() const { return dir.path().toStdString(); }
    std::vector<ScheduleRow>& rows() { return *mailer.ScheduleData(); }
    // One pass, waited for to its end.
    void pass() {
        bool finished = false;
        const auto c = QObject::connect(&mailer, &ReportMailer::passFinished,
                                        [&finished] { finished = true; });
        mailer.EmailTimerTimer();
        ASSERT_TRUE(waitFor([&] { return finished; }));
        QObject::disconnect(c);
    }
    std::vector<std::string> recipients() const {
        std::vector<std::string> out;
        for (const QJsonObject& m : server.messages())
            out.push_back(m["rcpt_tos"].toArray()[0].toString().toStdString());
        return out;
    }
    Table<ScheduleRow> savedSchedule() const {
        Table<ScheduleRow> t;
        loadSchedule(t, emailFile(), kUS);
        return t;
    }

    QTemporaryDir dir;
    SmtpServer server{dir.path().toStdString() + "/smtp", SmtpServerOptions().refusing("nobody")};
    ManualClock clock{encodeDateTime({2026, 12, 9, 8, 0, 17})}; // a Wednesday
    Hooks hooks;
    RecordingLog log;
    MailOutbox outbox;
    ReportMailer mailer{
        hooks, outbox, clock, kUS, QString::fromStdString(dir.path().toStdString() + "/Email.txt"),
        &log};
    int saves = 0;
};

ScheduleRow row(std::string email, int32_t code, int hour = 8,
                std::optional<double> lastSent = std::nullopt) {
    return {std::move(email), code, hour / 24.0, "1000", lastSent};
}

} // namespace

TEST_F(ReportMailerTest, DueRowsGetTheReportAndOneSaveRecordsThem) {
    rows() = {row("a@example.com", kScheduleEveryday), row("never@example.com", kScheduleNever),
              row("alarm@example.com", kScheduleOnAlarmChange),
              row("b@example.com", 3 /* Tuesday */), row("c@example.com", kScheduleEveryday, 9)};
    mailer.EmailTimerTimer();
    ASSERT_TRUE(mailer.passRunning());
    mailer.EmailTimerTimer(); // the next minute while the first still waits: nothing new
    // The operator adds a row at the top while the mail is out: the sending still lands on a@.
    rows().insert(rows().begin(), row("new@example.com", kScheduleNever));
    ASSERT_TRUE(waitFor([&] { return !mailer.passRunning(); }));

    // The two never-sent rows of today's filter, in table order; one save.
    EXPECT_EQ(hooks.events, (std::vector<std::string>{"sent a@example.com", "sent c@example.com"}));
    EXPECT_EQ(recipients(), (std::vector<std::string>{"a@example.com", "c@example.com"}));
    EXPECT_EQ(saves, 1);
    const auto saved = savedSchedule();
    ASSERT_EQ(saved->size(), 6u);
    EXPECT_EQ(saved->at(1).Email, "a@example.com");
    EXPECT_TRUE(saved->at(1).LastSent && saved->at(5).LastSent);
    for (size_t i : {0, 2, 3, 4})
        EXPECT_FALSE(saved->at(i).LastSent) << i;
    EXPECT_EQ(mailer.EmailFileDate(), FileDate(QString::fromStdString(emailFile())));
    const QJsonObject first = server.messages().at(0)["message"].toObject();
    EXPECT_EQ(first["subject"].toString(), "Levelwatch Report - 12/9/2026 8:00:17 AM");
    EXPECT_TRUE(log.has("EmailTimerTimer.", 5));
    EXPECT_TRUE(log.has("Email Done.", 5));

    // A minute later nothing is due. The next morning a@ is due for today, and c@ for its 9:00
    // of yesterday, which no check saw; at 9:00 c@ is due for today.
    clock.advanceSeconds(60);
    pass();
    EXPECT_EQ(recipients().size(), 2u);
    clock.advanceSeconds(86400);
    pass();
    EXPECT_EQ(recipients().size(), 4u);
    clock.advanceSeconds(3600);
    pass();
    EXPECT_EQ(recipients().size(), 5u);
    EXPECT_EQ(recipients().back(), "c@example.com");
    EXPECT_EQ(saves, 3);
}

TEST_F(ReportMailerTest, ServerDownLeavesLastSentAloneAndTheRowIsTriedAgain) {
    const SilentServer refusing(false);
    hooks.settings.port = refusing.port();
    rows() = {row("a@example.com", kScheduleEveryday), row("b@example.com", kScheduleEveryday)};
    pass();
    EXPECT_EQ(hooks.events, (std::vector<std::string>{"failed a@example.com unreachable"}));
    EXPECT_NE(hooks.errors.at(0).find("127.0.0.1:"), std::string::npos) << hooks.errors[0];
    EXPECT_FALSE(rows()[0].LastSent || rows()[1].LastSent);
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(std::filesystem::exists(emailFile()));

    hooks.settings.port = server.port();
    clock.advanceSeconds(60);
    pass();
    EXPECT_EQ(recipients(), (std::vector<std::string>{"a@example.com", "b@example.com"}));
    EXPECT_EQ(saves, 1);
}

TEST_F(ReportMailerTest, RefusedOrMissingRecipientEndsOnlyItsOwnMail) {
    rows() = {row("nobody@example.com", kScheduleEveryday), row("", kScheduleEveryday),
              row("b@example.com", kScheduleEveryday)};
    pass();
    EXPECT_EQ(hooks.events, (std::vector<std::string>{"failed nobody@example.com", "failed ",
                                                      "sent b@example.com"}));
    EXPECT_FALSE(rows()[0].LastSent || rows()[1].LastSent);
    EXPECT_TRUE(rows()[2].LastSent);
    EXPECT_EQ(saves, 1);
}

TEST_F(ReportMailerTest, ScheduleFileWithABadLineIsKeptAside) {
    const std::string bytes = "Email\tDataType\tTime\tTankIDs\tLastSent\r\n"
                              "a@example.com\t0\t\t1000\t\r\n"
                              "b@example.com\tweekly\t\t1000\t\r\n"
                              "c@example.com\t0\t\t1000\t\r\n";
    std::ofstream(emailFile(), std::ios::binary) << bytes;
    mailer.loadSchedule();
    ASSERT_EQ(hooks.events.size(), 2u);
    EXPECT_NE(hooks.events[0].find("weekly"), std::string::npos) << hooks.events[0];
    EXPECT_EQ(hooks.events[1], "file kept as Email.txt.damaged");
    EXPECT_EQ(rows().size(), 1u); // the rows before the bad line
    // What is still readable is sent; the save that follows leaves the copy alone.
    hooks.events.clear();
    pass();
    EXPECT_EQ(recipients(), (std::vector<std::string>{"a@example.com"}));
    EXPECT_EQ(readFile(emailFile() + ".damaged"), bytes);
}

TEST_F(ReportMailerTest, NoReportEndsThePassAndNothingWhenNotInCharge) {
    rows() = {row("a@example.com", kScheduleEveryday)};
    hooks.noReport = true;
    pass();
    EXPECT_EQ(hooks.events, (std::vector<std::string>{"failed a@example.com"}));
    EXPECT_EQ(hooks.errors, (std::vector<std::string>{"LiveData.txt cannot be examined"}));

    hooks.events.clear();
    hooks.noReport = false;
    hooks.allowed = false;
    mailer.EmailTimerTimer();
    AlarmEmailArgs args;
    args.Status = "0";
    mailer.SendAlarmEmail(args);
    spin(200);
    EXPECT_TRUE(hooks.events.empty());
    EXPECT_FALSE(mailer.passRunning());
    EXPECT_FALSE(log.has("SendAlarmEmail.", 5));
    EXPECT_EQ(outbox.pending(), 0u);
}

TEST_F(ReportMailerTest, AlarmReportGoesToEveryOnAlarmChangeRowAndIsSavedOnce) {
    rows() = {row("x1@example.com", kScheduleOnAlarmChange), row("day@example.com", 0),
              row("x2@example.com", kScheduleOnAlarmChange)};
    AlarmEmailArgs args;
    args.Subject = "North Alarm Change - 12/9/2026 8:00:17 AM";
    args.ID = "3";
    args.Name = "North";
    args.Status = "0";
    args.Alarm1 = "True";
    bool finished = false;
    QObject::connect(&mailer, &ReportMailer::alarmReportFinished, [&] { finished = true; });
    mailer.SendAlarmEmail(args, "ERROR: Alarm Change: R200");
    ASSERT_TRUE(waitFor([&] { return finished; }));

    EXPECT_EQ(hooks.events,
              (std::vector<std::string>{"alarm x1@example.com", "alarm x2@example.com"}));
    EXPECT_EQ(recipients(), (std::vector<std::string>{"x1@example.com", "x2@example.com"}));
    for (const QJsonObject& m : server.messages()) {
        const QJsonObject msg = m["message"].toObject();
        EXPECT_EQ(msg["subject"].toString().toStdString(), args.Subject);
        EXPECT_NE(msg["parts"].toArray()[1].toObject()["body"].toString().toStdString().find(
                      "<TD>North</TD><TD>Good</TD>"),
                  std::string::npos);
    }
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(log.has("SendAlarmEmail.", 5));
    EXPECT_TRUE(log.has("Send Alarm Save", 2));
    EXPECT_TRUE(rows()[0].LastSent && rows()[2].LastSent);
    EXPECT_FALSE(rows()[1].LastSent);

    // A status that is no number builds no body: nothing is queued, the caller hears of it.
    args.Status = "";
    EXPECT_THROW(mailer.SendAlarmEmail(args), AlarmReportError);
    EXPECT_EQ(outbox.pending(), 0u);
}

TEST_F(ReportMailerTest, AlarmReportToAnUnreachableServerStopsAtTheFirstRow) {
    const SilentServer refusing(false);
    hooks.settings.port = refusing.port();
    rows() = {row("x1@example.com", kScheduleOnAlarmChange),
              row("x2@example.com", kScheduleOnAlarmChange)};
    AlarmEmailArgs args;
    args.Status = "0";
    bool finished = false;
    QObject::connect(&mailer, &ReportMailer::alarmReportFinished, [&] { finished = true; });
    mailer.SendAlarmEmail(args, "ERROR: Alarm Change: R300");
    ASSERT_TRUE(waitFor([&] { return finished; }));
    EXPECT_EQ(hooks.events,
              (std::vector<std::string>{
                  "alarm failed x1@example.com unreachable ERROR: Alarm Change: R300"}));
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(outbox.pending(), 0u);
}
