#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "IndyRx.h"
#include "QtFiles.h"
#include "RelayServer.h"
#include "Sockets.h"
#include "WaitFor.h"

using namespace lw;
using lw::test::kWaitMs;
using lw::test::ReservedPort;
using lw::test::spin;
using lw::test::waitFor;
using lw::test::writeFile;

namespace {

const QHostAddress kLoopback(QHostAddress::LocalHost);
constexpr IndyRxTimeouts kQuick{
    .connectMs = 2000, .retryAfterFailedConnectMs = 200, .retryAfterLostConnectionMs = 100};

RelayBlock taggedBlock(uint8_t tag) {
    RelayBlock b{};
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(tag + i);
    return b;
}

QByteArray bytesOf(const RelayBlock& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// Every message of a link, in the order it came; texts of tmError, "DATA <tag>" for blocks.
struct Recorder {
    std::vector<TitcRecord> records;

    explicit Recorder(IndyRx& link) {
        QObject::connect(&link, &IndyRx::message,
                         [this](const TitcRecord& r) { records.push_back(r); });
    }
    QStringList lines(size_t from = 0) const {
        QStringList out;
        for (size_t i = from; i < records.size(); ++i) {
            const TitcRecord& r = records[i];
            out << (r.command == Tcommands::tmData ? QStringLiteral("DATA %1").arg(r.RxData[0])
                                                   : r.data);
        }
        return out;
    }
    bool waitForLine(const QString& line, size_t from = 0) const {
        return waitFor([&] { return lines(from).contains(line); });
    }
};

} // namespace

TEST(IndyRx, ReportsTheConnectionAndReconnectsToARestartedService) {
    QTemporaryDir dir;
    writeFile(dir.filePath("LastData-3.bin"), bytesOf(taggedBlock(3)));
    // Nothing else is given the port while the service is away.
    const ReservedPort reserved;
    const quint16 port = reserved.number();
    auto service = std::make_unique<RelayServer>(dir.path(), nullptr);
    ASSERT_TRUE(service->TCPInit(port, kLoopback.toString()));

    IndyRx link(QStringLiteral("localhost"), port, kQuick);
    Recorder rec(link);
    link.start();
    ASSERT_TRUE(rec.waitForLine("DATA 3"));
    service->forward(taggedBlock(40));
    ASSERT_TRUE(rec.waitForLine("DATA 40"));
    EXPECT_EQ(rec.lines(), (QStringList{"Ostrel Service: Resolving hostname localhost.",
                                        "Ostrel Service: Connecting to 127.0.0.1.",
                                        "Ostrel Service: Connected.", "DATA 3", "DATA 40"}));
    for (const TitcRecord& r : rec.records)
        EXPECT_EQ(r.command, r.data.isEmpty() ? Tcommands::tmData : Tcommands::tmError);

    // The service stops: a closed connection is no error, only the disconnect texts.
    size_t mark = rec.records.size();
    service.reset();
    ASSERT_TRUE(rec.waitForLine("Ostrel Service: Disconnected.", mark));
    EXPECT_EQ(rec.lines(mark),
              (QStringList{"Ostrel Service: Disconnecting.", "Ostrel Service: Disconnected."}));

    // While it is away every attempt fails with the platform's text, and is retried.
    mark = rec.records.size();
    ASSERT_TRUE(waitFor(
        [&] { return rec.lines(mark).count("Ostrel Service: Connecting to 127.0.0.1.") >= 2; }));
    const QStringList away = rec.lines(mark);
    EXPECT_EQ(away.mid(0, 3), (QStringList{"Ostrel Service: Resolving hostname localhost.",
                                           "Ostrel Service: Connecting to 127.0.0.1.",
                                           "Ostrel Service: Connection refused"}));

    service = std::make_unique<RelayServer>(dir.path(), nullptr);
    ASSERT_TRUE(service->TCPInit(port, kLoopback.toString()));
    mark = rec.records.size();
    ASSERT_TRUE(rec.waitForLine("DATA 3", mark));
    const QStringList back = rec.lines(mark);
    EXPECT_EQ(back.mid(back.size() - 2), (QStringList{"Ostrel Service: Connected.", "DATA 3"}));
}

TEST(IndyRx, ReassemblesBlocksSplitAcrossSegmentsAndTellsStatusBlocksApart) {
    QTcpServer service;
    ASSERT_TRUE(service.listen(kLoopback, 0));
    IndyRx link(QStringLiteral("127.0.0.1"), service.serverPort(), kQuick);
    Recorder rec(link);
    link.start();
    ASSERT_TRUE(service.waitForNewConnection(kWaitMs));
    QTcpSocket* peer = service.nextPendingConnection();

    const QByteArray frame = bytesOf(taggedBlock(9));
    const QByteArray status = bytesOf(makeStatusBlock("1/2/2026 10:00:00 AM Service Start"));
    peer->write(frame.left(100));
    ASSERT_TRUE(peer->waitForBytesWritten(kWaitMs));
    spin(300); // the rest of the block comes in a later segment
    peer->write(frame.mid(100) + status + frame.left(10));
    ASSERT_TRUE(peer->waitForBytesWritten(kWaitMs));
    ASSERT_TRUE(rec.waitForLine("DATA 83")); // 'S' starts the status block
    peer->disconnectFromHost();
    ASSERT_TRUE(rec.waitForLine("Ostrel Service: Disconnected."));

    // The ten bytes of an unfinished block die with the connection.
    EXPECT_EQ(rec.lines(),
              (QStringList{"Ostrel Service: Connecting to 127.0.0.1.", "Ostrel Service: Connected.",
                           "DATA 9", "DATA 83", "Ostrel Service: Disconnecting.",
                           "Ostrel Service: Disconnected."}));
    const TitcRecord& data = rec.records[2];
    EXPECT_EQ(bytesOf(data.RxData), frame);
    EXPECT_FALSE(data.isServiceStatus());
    const TitcRecord& text = rec.records[3];
    EXPECT_TRUE(text.isServiceStatus());
    EXPECT_EQ(text.serviceStatus(), "1/2/2026 10:00:00 AM Service Start");
}

TEST(IndyRx, AConnectThatHangsTimesOutAndIsRetried) {
    // A listener that never accepts, with its queue full: further connects get no answer.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 2; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(kLoopback, ntohs(addr.sin_port));
    }
    ASSERT_TRUE(waitFor([&] {
        return std::any_of(fillers.begin(), fillers.end(), [](const auto& s) {
            return s->state() == QAbstractSocket::ConnectedState;
        });
    }));

    IndyRx link(
        QStringLiteral("127.0.0.1"), ntohs(addr.sin_port),
        {.connectMs = 300, .retryAfterFailedConnectMs = 100, .retryAfterLostConnectionMs = 100});
    Recorder rec(link);
    link.start();
    ASSERT_TRUE(
        waitFor([&] { return rec.lines().count("Ostrel Service: Connect timed out.") >= 2; }));
    EXPECT_EQ(rec.lines().mid(0, 3), (QStringList{"Ostrel Service: Connecting to 127.0.0.1.",
                                                  "Ostrel Service: Connect timed out.",
                                                  "Ostrel Service: Connecting to 127.0.0.1."}));
    ::close(listener);
}

// As the window creates it: 10 s to connect, 9 s after a failed attempt, 5 s after a loss.
TEST(IndyRx, DefaultWaitsAreTenSecondsToConnectNineAfterAFailureFiveAfterALoss) {
    // Timers of seconds may fire up to 5% late.
    const auto within = [](int ms, int upTo) { return ms > upTo - 2000 && ms <= upTo * 21 / 20; };
    const ReservedPort reserved; // refused until the service below listens on it
    const quint16 port = reserved.number();

    IndyRx link(QStringLiteral("127.0.0.1"), port);
    Recorder rec(link);
    link.start();
    EXPECT_PRED2(within, link.remainingWaitMs(), 10000);
    ASSERT_TRUE(rec.waitForLine("Ostrel Service: Connection refused"));
    EXPECT_PRED2(within, link.remainingWaitMs(), 9000);

    QTemporaryDir dir;
    auto service = std::make_unique<RelayServer>(dir.path(), nullptr);
    ASSERT_TRUE(service->TCPInit(port, kLoopback.toString()));
    IndyRx connected(QStringLiteral("127.0.0.1"), port);
    Recorder seen(connected);
    connected.start();
    ASSERT_TRUE(seen.waitForLine("Ostrel Service: Connected."));
    EXPECT_EQ(connected.remainingWaitMs(), -1);
    ASSERT_TRUE(waitFor([&] { return service->clientCount() == 1; }));
    const size_t mark = seen.records.size();
    service.reset(); // the service goes away
    ASSERT_TRUE(seen.waitForLine("Ostrel Service: Disconnected.", mark));
    EXPECT_PRED2(within, connected.remainingWaitMs(), 5000);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
