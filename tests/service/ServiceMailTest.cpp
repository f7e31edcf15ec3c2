// The collector's mail as a process: scheduled reports and alarm reports to a real SMTP server
// (aiosmtpd), fed by the emulator; failures logged and retried; and a server that never
// answers does not hold up polling.

#include <gtest/gtest.h>

#include <QJsonArray>

#include "ServiceProcess.h"
#include "SmtpServer.h"

using namespace lw::test;

namespace {

const std::string kEmailHeader = "Email\tDataType\tTime\tTankIDs\tLastSent\r\n";

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
        ++n;
    return n;
}

class ServiceMailTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        serviceEnv["OSTREL_EMAIL_INTERVAL_MS"] = "1000"; // a pass a second, not a minute
        writeFile("OstrelServicePoll.txt", "1\r\n");
        writeFile("LiveData.txt", "ID\tTankName\r\n1\tNorth <Tank>\r\n");
    }

    Settings mailSettings(int port, Settings extra = {}) const {
        extra["Debug"]["Debug"] = "6";
        extra["STMP"]["Host"] = "127.0.0.1";
        extra["STMP"]["Port"] = std::to_string(port);
        extra["STMP"]["Email"] = "tanks@example.com";
        if (!extra["STMP"].count("Auth"))
            extra["STMP"]["Auth"] = "None";
        return extra;
    }

    // "Email.txt" replaced whole, as the setup window does: rows of address and code.
    void writeSchedule(const std::vector<std::pair<std::string, int>>& rows) const {
        std::string text = kEmailHeader;
        for (const auto& [address, code] : rows)
            text += address + "\t" + std::to_string(code) + "\t\t1000\t\r\n";
        writeFile("Email.txt.new", text);
        std::filesystem::rename(file("Email.txt.new"), file("Email.txt"));
    }

    // The schedule rows as the service saved them: address and whether LastSent is set.
    std::vector<std::pair<std::string, bool>> savedSchedule() const {
        std::vector<std::pair<std::string, bool>> rows;
        std::istringstream in(readFile(file("Email.txt")));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const size_t last = line.rfind('\t');
            rows.emplace_back(line.substr(0, line.find('\t')), last + 1 < line.size());
        }
        return rows;
    }

    static std::vector<std::string> recipients(const SmtpServer& s) {
        std::vector<std::string> out;
        for (const QJsonObject& m : s.messages())
            out.push_back(m["rcpt_tos"].toArray()[0].toString().toStdString());
        return out;
    }
    static std::string htmlOf(const QJsonObject& m) {
        return m["message"]
            .toObject()["parts"]
            .toArray()[1]
            .toObject()["body"]
            .toString()
            .toStdString();
    }
    static std::string subjectOf(const QJsonObject& m) {
        return m["message"].toObject()["subject"].toString().toStdString();
    }
};

} // namespace

TEST_F(ServiceMailTest, ScheduledReportGoesToEveryDueRowOnceAndIsRecorded) {
    SmtpServer server(root / "smtp");
    writeSettings(mailSettings(server.port()));
    startSim({"--unit", "1:R200S:status=0", "--no-drift"});
    startService();
    // The schedule arrives once the tank has values, as the monitor would save it.
    ASSERT_TRUE(waitUntil([&] {
        return readFile(file("LastData.txt")).find("\r\n1\t") != std::string::npos;
    })) << log();
    writeSchedule({{"a@example.com", 0}, {"never@example.com", -1}, {"b@example.com", 0}});

    ASSERT_TRUE(waitUntil([&] { return server.messages().size() >= 2; })) << log();
    ASSERT_TRUE(waitLog("Send email to b@example.com."));
    EXPECT_EQ(recipients(server), (std::vector<std::string>{"a@example.com", "b@example.com"}));
    const QJsonObject first = server.messages()[0];
    EXPECT_EQ(subjectOf(first).rfind("Levelwatch Report - ", 0), 0u) << subjectOf(first);
    // Name from the monitor's list, values from the collector's own table.
    EXPECT_NE(htmlOf(first).find("<TD>1</TD><TD>North &lt;Tank&gt;</TD><TD>Good</TD>"),
              std::string::npos)
        << htmlOf(first);
    ASSERT_TRUE(waitUntil([&] {
        return savedSchedule() ==
               std::vector<std::pair<std::string, bool>>{
                   {"a@example.com", true}, {"never@example.com", false}, {"b@example.com", true}};
    })) << readFile(file("Email.txt"));
    for (const char* line : {"EmailTimerTimer.", "Load Email.", "LiveData Ready.", "GetText.",
                             "GetHTML.", "SendEmail.", "SMTPInit.", "Send email to a@example.com.",
                             "Email Done.", "Check if Email should be sent."})
        EXPECT_TRUE(logHas(line)) << line;

    // Two more passes: nothing is due again today.
    const size_t passes = count(log(), " Email Done.");
    ASSERT_TRUE(waitUntil([&] { return count(log(), " Email Done.") >= passes + 2; }));
    EXPECT_EQ(server.messages().size(), 2u);
    stopService();
}

TEST_F(ServiceMailTest, AlarmChangeMailsEveryOnAlarmChangeRow) {
    SmtpServer server(root / "smtp");
    writeSettings(mailSettings(server.port()));
    writeSchedule({{"x1@example.com", 10}, {"day@example.com", -1}, {"x2@example.com", 10}});
    // The first good frame of a new tank counts every alarm as changed.
    startSim({"--unit", "1:R200S:alarms=1:status=0", "--no-drift"});
    startService();

    ASSERT_TRUE(waitLog("Send Alarm Save")) << log();
    EXPECT_EQ(recipients(server), (std::vector<std::string>{"x1@example.com", "x2@example.com"}));
    for (const QJsonObject& m : server.messages()) {
        EXPECT_EQ(subjectOf(m).rfind("North <Tank> Alarm Change - ", 0), 0u) << subjectOf(m);
        EXPECT_NE(htmlOf(m).find("<H2>Alarm Change Report - "), std::string::npos);
        EXPECT_NE(htmlOf(m).find("<TD>1</TD><TD>North &lt;Tank&gt;</TD><TD>Good</TD>"),
                  std::string::npos)
            << htmlOf(m);
    }
    for (const char* line : {"SendAlarmEmail.", "Alarm Email Sent to x1@example.com.",
                             "Alarm Email Sent to x2@example.com.", "Send Alarm ScheduleData.Edit"})
        EXPECT_TRUE(logHas(line)) << line;
    EXPECT_EQ(savedSchedule(),
              (std::vector<std::pair<std::string, bool>>{
                  {"x1@example.com", true}, {"day@example.com", false}, {"x2@example.com", true}}));
    stopService();
    EXPECT_EQ(server.messages().size(), 2u); // one change, one mail per row
}

TEST_F(ServiceMailTest, RefusedLogonIsLoggedWithoutThePasswordAndRetried) {
    SmtpServer server(root / "smtp", SmtpServerOptions().withLogon("ops", "right-pw"));
    Settings wrong;
    wrong["STMP"] = {{"Auth", "Default"}, {"Username", "ops"}, {"Password", "s3cret-pw"}};
    writeSettings(mailSettings(server.port(), wrong));
    writeSchedule({{"a@example.com", 0}});
    const std::string schedule = readFile(file("Email.txt"));
    startSim({"--unit", "1:R200S"});
    startService();

    ASSERT_TRUE(waitUntil([&] {
        return count(log(), " ERROR: Send email to a@example.com: ") >= 2; // two passes, two tries
    })) << log();
    EXPECT_TRUE(logHas("ERROR: Send email to a@example.com: SMTP 127.0.0.1:" +
                       std::to_string(server.port()) + ": the server refused the logon: 535"))
        << log();
    EXPECT_EQ(log().find("s3cret-pw"), std::string::npos);
    EXPECT_EQ(readFile(file("Email.txt")), schedule); // LastSent untouched, nothing saved
    EXPECT_TRUE(server.messages().empty());

    // A settings file gone bad does not switch the mail off: the last good settings stay.
    // (A quote left open before the sections makes a plain reader see every default, so no
    // host at all.)
    const std::string good = settingsText();
    std::ofstream(settingsDir / "machine.ini", std::ios::binary) << "Note=\"open\n" << good;
    ASSERT_TRUE(waitLog("ERROR: Settings ")) << log();
    const size_t tries = count(log(), " ERROR: Send email to a@example.com: ");
    ASSERT_TRUE(waitUntil(
        [&] { return count(log(), " ERROR: Send email to a@example.com: ") >= tries + 2; }));
    EXPECT_EQ(readFile(file("Email.txt")), schedule);
    EXPECT_FALSE(logHas("Send email to a@example.com."));

    // Mail settings are read before every mail: the right password takes at the next pass.
    Settings right;
    right["STMP"] = {{"Auth", "Default"}, {"Username", "ops"}, {"Password", "right-pw"}};
    writeSettings(mailSettings(server.port(), right));
    ASSERT_TRUE(waitUntil([&] { return server.messages().size() == 1; })) << log();
    EXPECT_EQ(server.messages()[0]["auth"].toString(), "LOGIN");
    ASSERT_TRUE(waitUntil([&] { return savedSchedule().at(0).second; }));
    stopService();
}

TEST_F(ServiceMailTest, SilentServerDoesNotHoldUpPolling) {
    SilentServer silent;
    writeSettings(mailSettings(silent.port()));
    writeSchedule({{"a@example.com", 0}});
    startSim({"--unit", "1:R200S", "--log-times"});
    startService();

    // The mail waits for the server's greeting until the connect time-out (10 s), then fails.
    ASSERT_TRUE(waitLog("ERROR: Send email to a@example.com: SMTP 127.0.0.1:", 40000)) << log();
    EXPECT_TRUE(logHas("Check SMTP settings."));
    EXPECT_TRUE(silent.connected(0));

    // Polls went out every second all the while.
    std::vector<double> requests;
    std::istringstream in(readFile((root / "sim.log").string()));
    for (std::string line; std::getline(in, line);)
        if (line.find(" request ") != std::string::npos)
            requests.push_back(std::stod(line));
    ASSERT_GE(requests.size(), 8u);
    double longest = 0;
    for (size_t i = 1; i < requests.size(); ++i)
        longest = std::max(longest, requests[i] - requests[i - 1]);
    EXPECT_LT(longest, 3.0) << "polling stood still for " << longest << " s";
    stopService();
}
