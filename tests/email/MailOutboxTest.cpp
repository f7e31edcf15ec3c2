// The mail thread: results come back in order on the owner's thread, a full queue pushes its
// oldest waiting mail out with a result that says so, and a pending mail does not hold up the
// program's end.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include "MailOutbox.h"
#include "SmtpServer.h"
#include "WaitFor.h"

using namespace lw;
using namespace lw::test;

namespace {

MailOutbox::Job job(int port, std::string to = "ops@example.com") {
    MailOutbox::Job j;
    j.settings.host = "127.0.0.1";
    j.settings.port = port;
    j.settings.auth = SmtpAuth::None;
    j.settings.email = "tanks@example.com";
    j.mail = {std::move(to), "Subject", "Text\r", "<HTML></HTML>", ""};
    return j;
}

} // namespace

TEST(MailOutbox, ResultsComeBackInOrderOnTheOwnersThread) {
    QTemporaryDir dir;
    SmtpServer server(dir.path().toStdString(), SmtpServerOptions().refusing("nobody"));
    MailOutbox outbox;
    std::vector<std::string> results;
    for (const char* to : {"a@example.com", "nobody@example.com", "b@example.com"})
        outbox.submit(job(server.port(), to), [&results, to](const SmtpOutcome& o) {
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            results.push_back(std::string(to) + (o.done() ? " sent" : " failed"));
        });
    EXPECT_EQ(outbox.pending(), 3u);
    ASSERT_TRUE(waitFor([&] { return results.size() == 3; }));
    EXPECT_EQ(results, (std::vector<std::string>{"a@example.com sent", "nobody@example.com failed",
                                                 "b@example.com sent"}));
    EXPECT_EQ(outbox.pending(), 0u);
    EXPECT_EQ(server.messages().size(), 2u);
}

TEST(MailOutbox, MailsOfAGroupShareTheFateOfOneThatCouldNotGo) {
    QTemporaryDir dir;
    SmtpServer server(dir.path().toStdString(), SmtpServerOptions().refusing("nobody"));
    const SilentServer refusing(false);
    const int closed = refusing.port();
    MailOutbox outbox;
    std::vector<std::string> results;
    const auto add = [&](int port, const std::string& to, uint64_t group) {
        outbox.submit(
            job(port, to),
            [&results, to](const SmtpOutcome& o) {
                static const char* kNames[] = {"sent", "no host", "failed", "cancelled"};
                results.push_back(to + " " + kNames[static_cast<int>(o.result)]);
            },
            group);
    };
    add(closed, "a@example.com", 5);
    add(closed, "b@example.com", 5);
    add(server.port(), "c@example.com", 0); // no group: goes whatever the others do
    add(server.port(), "nobody@example.com", 6);
    add(server.port(), "d@example.com", 6); // a refused recipient is that mail's own fate
    ASSERT_TRUE(waitFor([&] { return results.size() == 5; }));
    EXPECT_EQ(results, (std::vector<std::string>{"a@example.com failed", "b@example.com cancelled",
                                                 "c@example.com sent", "nobody@example.com failed",
                                                 "d@example.com sent"}));
}

TEST(MailOutbox, FullQueuePushesOutTheOldestWaitingMailAndSaysSo) {
    SilentServer silent;
    QElapsedTimer ending;
    std::vector<std::string> results;
    {
        MailOutbox outbox(2);
        outbox.submit(job(silent.port()),
                      [&](const SmtpOutcome& o) { results.push_back("A " + o.error); });
        ASSERT_TRUE(silent.connected(10000)); // A is being submitted, the queue is empty
        for (const char* name : {"B", "C", "D"})
            outbox.submit(job(silent.port()), [&results, name](const SmtpOutcome& o) {
                results.push_back(name + (" " + o.error));
            });
        ASSERT_TRUE(waitFor([&] { return !results.empty(); }));
        EXPECT_EQ(results, (std::vector<std::string>{"B " + std::string(MailOutbox::kQueueFull)}));
        ending.start();
    }
    // A was still waiting for the silent server: ending the outbox cancelled it, and the
    // waiting ones went without a word.
    EXPECT_LT(ending.elapsed(), 5000);
    EXPECT_EQ(results.size(), 1u);
}
