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
            outbox.submit(
                job(silent.port()),
                [&results, name](const SmtpOutcome& o) {
                    results.push_back(name + (" " + o.error));
                },
                name[0] == 'B' ? 1 : 2);
        ASSERT_TRUE(waitFor([&] { return !results.empty(); }));
        EXPECT_EQ(results, (std::vector<std::string>{"B " + std::string(MailOutbox::kQueueFull)}));
        EXPECT_EQ(outbox.cancel(2), 2);
        EXPECT_EQ(outbox.cancel(2), 0);
        ending.start();
    }
    // A was still waiting for the silent server: ending the outbox cancelled it.
    EXPECT_LT(ending.elapsed(), 5000);
    EXPECT_EQ(results.size(), 1u);
}
