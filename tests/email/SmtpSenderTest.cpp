// Submission against a real SMTP server (aiosmtpd, with and without AUTH, STARTTLS and TLS):
// what arrives, how the logon and the transport are chosen, and that every failure is an
// error with the server's words, never "sent".

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>

#include "SmtpSender.h"
#include "SmtpServer.h"

using namespace lw;
using namespace lw::test;

namespace {

const SmtpTimeouts kShort{std::chrono::milliseconds(1500), std::chrono::seconds(2),
                          std::chrono::milliseconds(5000)};

class SmtpSenderTest : public ::testing::Test {
protected:
    SmtpSettings settings(int port, SmtpAuth auth = SmtpAuth::None) const {
        SmtpSettings s;
        s.host = "127.0.0.1";
        s.port = port;
        s.auth = auth;
        s.email = "tanks@example.com";
        return s;
    }
    static MailContent mail(std::string to = "ops@example.com") {
        return {std::move(to), "Levelwatch Report - 12/9/2026 2:05:09 PM", "Line 1\rLine 2\r\r",
                "<HTML><BODY>x</BODY></HTML>", ""};
    }
    std::filesystem::path folder() const { return dir.path().toStdString(); }

    QTemporaryDir dir;
};

std::string text(const QJsonValue& v) {
    return v.toString().toStdString();
}

} // namespace

TEST_F(SmtpSenderTest, DeliversBothAlternativesOfAThousandTankReport) {
    SmtpServer server(folder());
    ASSERT_GT(server.port(), 0);
    SmtpSettings s = settings(server.port());
    s.emailName = "Tank Farm";
    std::string html = "<HTML><BODY><TABLE>";
    std::string body;
    for (int i = 0; i < 1000; ++i) {
        html += "<TR><TD>" + std::to_string(i) +
                "</TD><TD>N\xC3\xB8rd &amp; S\xC3\xBC"
                "d</TD>";
        body += "Tank ID: " + std::to_string(i) + "\rTank Name:N\xC3\xB8rd\r\r";
    }
    html += "</TABLE></BODY></HTML>";
    const MailContent m{"ops@example.com",
                        "Tank \xC3\x9C"
                        "ber Alarm Change - 12/9/2026",
                        body, html, ""};

    const SmtpOutcome outcome = submitMail(s, m, EmptyHost::Skip, kShort);
    ASSERT_EQ(outcome.result, SmtpOutcome::Result::Sent) << outcome.error;

    const auto received = server.messages();
    ASSERT_EQ(received.size(), 1u);
    const QJsonObject r = received[0];
    EXPECT_EQ(text(r["mail_from"]), "tanks@example.com");
    EXPECT_EQ(r["rcpt_tos"].toArray(), QJsonArray{QStringLiteral("ops@example.com")});
    EXPECT_TRUE(r["auth"].isNull());
    EXPECT_FALSE(r["tls"].toBool());
    const QJsonObject msg = r["message"].toObject();
    EXPECT_EQ(text(msg["subject"]), "Tank \xC3\x9C"
                                    "ber Alarm Change - 12/9/2026");
    EXPECT_EQ(text(msg["from"]), "Tank Farm <tanks@example.com>");
    EXPECT_EQ(text(msg["to"]), "ops@example.com");
    EXPECT_EQ(text(msg["content_type"]), "multipart/alternative");
    EXPECT_TRUE(msg["defects"].toArray().isEmpty()) << text(msg["defects"].toArray()[0]);
    // The HTML body is one line of some 60 kB; SMTP allows 998 characters.
    EXPECT_LE(msg["longest_line"].toInt(), 100);
    const QJsonArray parts = msg["parts"].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(text(parts[0]["type"]), "text/plain");
    EXPECT_EQ(text(parts[1]["type"]), "text/html");
    for (const QJsonValue& part : parts)
        EXPECT_EQ(text(part.toObject()["charset"]), "utf-8");
    // The single CRs of the report leave as CR LF.
    std::string expected;
    for (const char c : body)
        expected += c == '\r' ? std::string("\r\n") : std::string(1, c);
    // Compared whole, but not printed whole when they differ: some 70 kB.
    EXPECT_TRUE(text(parts[0]["body"]) == expected);
    EXPECT_TRUE(text(parts[1]["body"]) == html + "\r\n");
}

TEST_F(SmtpSenderTest, AttachmentMakesItRelatedWithAThirdPart) {
    SmtpServer server(folder());
    const std::string file = folder() / "levels.txt";
    std::ofstream(file) << "12.5\r\n";
    MailContent m = mail();
    m.AttachmentName = file;
    ASSERT_TRUE(submitMail(settings(server.port()), m, EmptyHost::Skip, kShort).done());
    const QJsonObject msg = server.messages().at(0)["message"].toObject();
    EXPECT_EQ(text(msg["content_type"]), "multipart/related");
    const QJsonArray parts = msg["parts"].toArray();
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(text(parts[2]["type"]), "text/plain");
    EXPECT_EQ(text(parts[2]["filename"]), "levels.txt");
    EXPECT_EQ(text(parts[2]["body"]), "12.5\r\n");

    m.AttachmentName = file + ".missing";
    const SmtpOutcome missing = submitMail(settings(server.port()), m, EmptyHost::Skip, kShort);
    EXPECT_FALSE(missing.done());
    EXPECT_NE(missing.error.find("levels.txt.missing"), std::string::npos) << missing.error;
}

TEST_F(SmtpSenderTest, AuthenticationFollowsTheAuthSetting) {
    struct Case {
        const char* what;
        SmtpAuth auth;
        std::string user;
        std::vector<std::string> excluded; // mechanisms the server does not offer
        const char* mechanism;             // nullptr: no AUTH at all
    };
    const Case cases[] = {
        {"None sends no AUTH", SmtpAuth::None, "ops", {}, nullptr},
        {"Default logs on by LOGIN", SmtpAuth::Default, "ops", {}, "LOGIN"},
        {"Default without a user name", SmtpAuth::Default, "", {}, nullptr},
        {"Default when the server lacks LOGIN", SmtpAuth::Default, "ops", {"LOGIN"}, nullptr},
        {"SASL lets libcurl choose", SmtpAuth::Sasl, "ops", {"LOGIN"}, "PLAIN"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmtpServer server(folder() / std::to_string(n++),
                          SmtpServerOptions().withLogon("ops", "pa55word").without(c.excluded));
        SmtpSettings s = settings(server.port(), c.auth);
        s.username = QString::fromStdString(c.user);
        s.password = "pa55word";
        const SmtpOutcome outcome = submitMail(s, mail(), EmptyHost::Skip, kShort);
        ASSERT_TRUE(outcome.done()) << outcome.error;
        const QJsonValue auth = server.messages().at(0)["auth"];
        if (c.mechanism) {
            EXPECT_EQ(text(auth), c.mechanism);
        } else {
            EXPECT_TRUE(auth.isNull()) << text(auth);
        }
    }
}

TEST_F(SmtpSenderTest, TransportSecurity) {
    const TestCertificate certificate(folder());
    struct Case {
        const char* what;
        std::string serverTls;
        SmtpSecurity security;
        bool trustCertificate;
        bool sent;
        std::string errorPart;
    };
    const Case cases[] = {
        {"STARTTLS", "starttls", SmtpSecurity::StartTls, true, true, ""},
        {"implicit TLS", "implicit", SmtpSecurity::Tls, true, true, ""},
        {"STARTTLS required but not offered", "none", SmtpSecurity::StartTls, true, false,
         "STARTTLS"},
        {"untrusted certificate", "implicit", SmtpSecurity::Tls, false, false, "certificate"},
        {"untrusted certificate after STARTTLS", "starttls", SmtpSecurity::StartTls, false, false,
         "certificate"},
        {"plain client, server insists on STARTTLS", "starttls", SmtpSecurity::None, true, false,
         "530"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmtpServer server(folder() / std::to_string(n++), SmtpServerOptions().withTls(c.serverTls),
                          &certificate);
        SmtpSettings s = settings(server.port());
        s.security = c.security;
        if (c.trustCertificate)
            s.caFile = QString::fromStdString(certificate.cert);
        const SmtpOutcome outcome = submitMail(s, mail(), EmptyHost::Skip, kShort);
        EXPECT_EQ(outcome.done(), c.sent) << outcome.error;
        EXPECT_NE(outcome.error.find(c.errorPart), std::string::npos) << outcome.error;
        const auto received = server.messages();
        ASSERT_EQ(received.size(), c.sent ? 1u : 0u);
        if (c.sent) {
            EXPECT_TRUE(received[0]["tls"].toBool());
        }
    }
}

TEST_F(SmtpSenderTest, FailuresAreErrorsWithTheServersWords) {
    SmtpServer server(folder(), SmtpServerOptions().withLogon("ops", "right").refusing("nobody"));
    const SilentServer refusing(false);
    SmtpSettings wrongPassword = settings(server.port(), SmtpAuth::Default);
    wrongPassword.username = "ops";
    wrongPassword.password = "s3cr3t-wrong";
    struct Case {
        const char* what;
        SmtpSettings settings;
        MailContent mail;
        std::vector<std::string> errorParts;
        bool recipientRefused = false;
    };
    SmtpSettings unknownSecurity = settings(server.port());
    unknownSecurity.security = SmtpSecurity::Unknown;
    SmtpSettings badHost = settings(server.port());
    badHost.host = "mail.example.com/evil?";
    SmtpSettings badPort = settings(server.port());
    badPort.port = 0;
    const Case cases[] = {
        {"server down", settings(refusing.port()), mail(), {"SMTP 127.0.0.1:", "onnect"}},
        {"refused logon", wrongPassword, mail(), {"refused the logon", "535"}},
        {"refused recipient",
         settings(server.port()),
         mail("nobody@example.com"),
         {"refused the recipient nobody@example.com", "550"},
         true},
        {"empty recipient", settings(server.port()), mail(""), {"no recipient address"}, true},
        {"line break in the recipient",
         settings(server.port()),
         mail("ops@example.com\r\nRCPT TO:<x@example.com>"),
         {"control character"},
         true},
        {"unknown security", unknownSecurity, mail(), {"Security"}},
        {"host that is no host", badHost, mail(), {"not a host name"}},
        {"port 0", badPort, mail(), {"port 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SmtpOutcome outcome = submitMail(c.settings, c.mail, EmptyHost::Skip, kShort);
        EXPECT_EQ(outcome.result, SmtpOutcome::Result::Failed);
        EXPECT_EQ(outcome.recipientRefused, c.recipientRefused);
        for (const std::string& part : c.errorParts)
            EXPECT_NE(outcome.error.find(part), std::string::npos) << outcome.error;
        EXPECT_EQ(outcome.error.find("s3cr3t"), std::string::npos) << outcome.error;
    }
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(SmtpSenderTest, ListOfAddressesIsOneRecipientForTheServerToJudge) {
    SmtpServer server(folder());
    const SmtpOutcome outcome = submitMail(
        settings(server.port()), mail("a@example.com, b@example.com"), EmptyHost::Skip, kShort);
    // Whatever the server makes of it, it had one recipient to judge, and the result is true.
    const auto received = server.messages();
    if (outcome.done()) {
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0]["rcpt_tos"].toArray().size(), 1);
    } else {
        EXPECT_TRUE(received.empty());
        EXPECT_TRUE(outcome.recipientRefused) << outcome.error;
    }
}

TEST_F(SmtpSenderTest, EmptyHostIsSkippedOrAnError) {
    SmtpSettings s = settings(25);
    s.host = "";
    EXPECT_EQ(submitMail(s, mail(), EmptyHost::Skip).result, SmtpOutcome::Result::NoHost);
    const SmtpOutcome test = submitMail(s, mail(), EmptyHost::Fail);
    EXPECT_EQ(test.result, SmtpOutcome::Result::Failed);
    EXPECT_NE(test.error.find("no SMTP host"), std::string::npos);
}

TEST_F(SmtpSenderTest, SilentServerEndsInAnErrorAfterTheTimeOut) {
    SilentServer silent;
    QElapsedTimer timer;
    timer.start();
    const SmtpOutcome outcome =
        submitMail(settings(silent.port()), mail(), EmptyHost::Skip, kShort);
    EXPECT_EQ(outcome.result, SmtpOutcome::Result::Failed);
    EXPECT_NE(outcome.error.find("SMTP 127.0.0.1:"), std::string::npos) << outcome.error;
    // Bounded by the time-outs, not by the server.
    EXPECT_LT(timer.elapsed(), 20000);

    std::atomic<bool> abort{false};
    std::thread stop([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        abort = true;
    });
    const SmtpOutcome cancelled =
        submitMail(settings(silent.port()), mail(), EmptyHost::Skip, SmtpTimeouts{}, &abort);
    stop.join();
    EXPECT_NE(cancelled.error.find("cancelled"), std::string::npos) << cancelled.error;
}
