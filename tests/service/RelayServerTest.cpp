#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "QtFiles.h"
#include "RelayServer.h"
#include "Sockets.h"
#include "WaitFor.h"

using namespace lw;
using lw::test::connectTo;
using lw::test::kWaitMs;
using lw::test::waitFor;
using lw::test::writeFile;

namespace {

using LogLine = std::pair<QString, int>;
const QHostAddress kLoopback(QHostAddress::LocalHost);
const QString kLoopbackText = QStringLiteral("127.0.0.1");

// A block that names its source: `tag` in the first four bytes, a pattern after it.
RelayBlock taggedBlock(uint32_t tag) {
    RelayBlock b{};
    std::memcpy(b.data(), &tag, sizeof tag);
    for (size_t i = sizeof tag; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(tag * 31 + i);
    return b;
}

QByteArray bytesOf(const RelayBlock& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

QByteArray stream(const std::vector<uint32_t>& tags) {
    QByteArray out;
    for (uint32_t t : tags)
        out += bytesOf(taggedBlock(t));
    return out;
}

struct Fixture {
    QTemporaryDir dir;
    std::vector<LogLine> log;
    RelayServer server{dir.path(),
                       [this](const QString& text, int level) { log.emplace_back(text, level); }};

    Fixture() { EXPECT_TRUE(server.TCPInit(0, kLoopbackText)); }
    void save(uint32_t id, const QByteArray& bytes) {
        writeFile(dir.filePath(QStringLiteral("LastData-%1.bin").arg(id)), bytes);
    }
    void save(uint32_t id) { save(id, bytesOf(taggedBlock(id))); }
};

// A monitor that keeps everything it receives.
struct Reader {
    QTcpSocket socket;
    QByteArray received;

    explicit Reader(quint16 port) {
        QObject::connect(&socket, &QIODevice::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(kLoopback, port);
    }
    bool waitFor(qsizetype bytes) {
        return lw::test::waitFor([&] { return received.size() >= bytes; });
    }
};

} // namespace

TEST(RelayServer, CatchUpSendsEverySavedFrameInIdOrderThenLiveBlocks) {
    Fixture f;
    for (uint32_t id : {250u, 3u, 10000u, 12u})
        f.save(id);
    f.save(20, QByteArray(100, 'x')); // torn: would shift every later block
    for (const char* other : {"LastData-007.bin", "LastData-x.bin", "LastData-5.txt",
                              "LastData--1.bin", "OtherData-4.bin"})
        writeFile(f.dir.filePath(other), bytesOf(taggedBlock(99)));
    f.log.clear();

    Reader client(f.server.serverPort());
    ASSERT_TRUE(client.waitFor(4 * kBufferSize));
    f.server.forward(taggedBlock(1));
    f.server.forward(taggedBlock(2));
    ASSERT_TRUE(client.waitFor(6 * kBufferSize));
    EXPECT_EQ(client.received, stream({3, 12, 250, 10000, 1, 2}));

    const QString folder = f.dir.path();
    std::vector<LogLine> expected = {
        {"Server1Connect.", 5}, {"New Client Connected.123", 1}, {"New Client Connected..", 1}};
    for (int id : {3, 12, 20, 250, 10000}) {
        const QString path = folder + QStringLiteral("/LastData-%1.bin").arg(id);
        expected.insert(expected.end(),
                        {{"New Client Connected...", 1},
                         {QStringLiteral("New Client Connected \\LastData-%1.bin").arg(id), 1},
                         {"New Client Connected " + folder, 1},
                         {"New Client Connected " + path, 1},
                         {"Client Update " + path, 1}});
        if (id == 20)
            expected.emplace_back("Client Update skipped " + path + ": 100 bytes.", 0);
        else
            expected.emplace_back("New Client Connected-Buffer Done", 5);
    }
    expected.emplace_back("New Client Connected Done.", 1);
    EXPECT_EQ(f.log, expected);
}

TEST(RelayServer, HundredClientsReceiveEveryBlockWholeAndInOrder) {
    Fixture f;
    f.save(7);
    std::vector<std::unique_ptr<Reader>> clients;
    for (int i = 0; i < 100; ++i)
        clients.push_back(std::make_unique<Reader>(f.server.serverPort()));
    ASSERT_TRUE(waitFor([&] { return f.server.clientCount() == 100; }));

    std::vector<uint32_t> tags{7};
    for (uint32_t t = 1000; t < 1060; ++t) {
        f.server.forward(taggedBlock(t));
        tags.push_back(t);
        if (t % 4 == 0) // let reads and writes interleave with forwarding
            QCoreApplication::processEvents();
    }
    const QByteArray expected = stream(tags);
    for (auto& c : clients) {
        ASSERT_TRUE(c->waitFor(expected.size()));
        EXPECT_EQ(c->received, expected);
    }
}

TEST(RelayServer, ClientThatStopsReadingIsDroppedWhileOthersKeepReceiving) {
    Fixture f;
    f.server.setMaxPendingBytes(256 * 1024);
    Reader reader(f.server.serverPort());

    // A peer that never reads, with a small window so the backlog builds on our side.
    const int stalled = connectTo("127.0.0.1", f.server.serverPort(), 4096);
    ASSERT_GE(stalled, 0);
    ASSERT_TRUE(waitFor([&] { return f.server.clientCount() == 2; }));

    std::vector<uint32_t> tags;
    for (uint32_t t = 0; t < 80000 && f.server.clientCount() == 2; ++t) {
        f.server.forward(taggedBlock(t));
        tags.push_back(t);
        if (t % 8 == 0)
            QCoreApplication::processEvents();
    }
    ::close(stalled);
    EXPECT_EQ(f.server.clientCount(), 1);
    const auto dropped = std::find_if(f.log.begin(), f.log.end(), [](const LogLine& l) {
        return l.first.startsWith("Client 127.0.0.1:") && l.first.contains(" dropped: ");
    });
    ASSERT_NE(dropped, f.log.end());
    EXPECT_EQ(dropped->second, 0);

    for (uint32_t t = 0; t < 3; ++t) {
        f.server.forward(taggedBlock(900000 + t));
        tags.push_back(900000 + t);
    }
    const QByteArray expected = stream(tags);
    ASSERT_TRUE(reader.waitFor(expected.size()));
    EXPECT_TRUE(reader.received == expected);
}

TEST(RelayServer, BytesFromClientsAreReadAndDiscarded) {
    Fixture f;
    Reader chatty(f.server.serverPort());
    ASSERT_TRUE(chatty.socket.waitForConnected(kWaitMs));
    // More than the kernel buffers of both ends hold: it drains only if the server reads.
    chatty.socket.write(QByteArray(24 * 1024 * 1024, 'z'));
    ASSERT_TRUE(waitFor([&] { return chatty.socket.bytesToWrite() == 0; }));
    f.server.forward(taggedBlock(5));
    ASSERT_TRUE(chatty.waitFor(kBufferSize));
    EXPECT_EQ(chatty.received, stream({5}));
}

// End of input from a monitor only says it will send nothing more; a reset is the end.
TEST(RelayServer, ClientThatShutsDownItsSendingSideKeepsReceiving) {
    Fixture f;
    const int halfClosed = connectTo("127.0.0.1", f.server.serverPort());
    ASSERT_GE(halfClosed, 0);
    ASSERT_EQ(::shutdown(halfClosed, SHUT_WR), 0);
    const int reset = connectTo("127.0.0.1", f.server.serverPort());
    ASSERT_GE(reset, 0);
    ASSERT_TRUE(waitFor([&] { return f.server.clientCount() == 2; }));
    const linger abort{1, 0};
    ::setsockopt(reset, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(reset);
    ASSERT_TRUE(waitFor([&] { return f.server.clientCount() == 1; }));
    QCoreApplication::processEvents();

    f.server.forward(taggedBlock(8));
    QByteArray received;
    ASSERT_TRUE(waitFor([&] {
        char buf[kBufferSize];
        const ssize_t n = ::recv(halfClosed, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0)
            received.append(buf, n);
        return received.size() >= kBufferSize || n == 0;
    }));
    EXPECT_EQ(received, stream({8}));
    ::close(halfClosed);
}

TEST(RelayServer, ActivationFailsOnAPortInUseAndIsRetriedByTheNextCall) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(kLoopback, 0));
    const quint16 port = holder.serverPort();
    std::vector<LogLine> log;
    QTemporaryDir dir;
    RelayServer server(dir.path(), [&](const QString& t, int l) { log.emplace_back(t, l); });

    // Each failure: the line of old, then why. A bind address that names nothing listens
    // nowhere rather than everywhere.
    const struct {
        int port;
        QString bind;
        QString reason; // the start of it
    } failures[] = {
        {port, kLoopbackText, QStringLiteral("ERROR: TCPPort %1: ").arg(port)},
        {70000, kLoopbackText, "ERROR: TCPPort 70000: no TCP port number"},
        {port, "no-such-host.invalid",
         QStringLiteral("ERROR: TCPPort %1: BindAddress \"no-such-host.invalid\" names no "
                        "address of this machine")
             .arg(port)},
    };
    for (const auto& c : failures) {
        log.clear();
        EXPECT_FALSE(server.TCPInit(c.port, c.bind));
        ASSERT_EQ(log.size(), 4u);
        EXPECT_EQ(std::vector<LogLine>(log.begin(), log.begin() + 3),
                  (std::vector<LogLine>{{"DefaultPort", 2},
                                        {"Active", 2},
                                        {QStringLiteral("Could not TCPPort%1.").arg(c.port), 0}}));
        EXPECT_TRUE(log[3].first.startsWith(c.reason)) << log[3].first.toStdString();
        EXPECT_EQ(log[3].second, 0);
        EXPECT_FALSE(server.isListening());
    }

    holder.close();
    EXPECT_TRUE(server.TCPInit(port, QStringLiteral("localhost"))); // a name resolves
    EXPECT_EQ(server.serverPort(), port);
    EXPECT_EQ(server.serverAddress(), kLoopback);
    // A listening server keeps its port until it is restarted.
    log.clear();
    EXPECT_TRUE(server.TCPInit(port + 1, QString()));
    EXPECT_EQ(server.serverPort(), port);
    EXPECT_EQ(log, (std::vector<LogLine>{{"DefaultPort", 2}, {"Active", 2}}));
}

TEST(RelayServer, LogLinesUpToTheStatusLevelGoToClientsAsStatusBlocks) {
    QTemporaryDir dir;
    const QString path = dir.filePath("LastData-3.bin");
    writeFile(path, bytesOf(taggedBlock(3)));
    RelayServer* relay = nullptr;
    // Wired as the service wires it: each log line, stamped, is offered to the clients too.
    RelayServer server(
        dir.path(), [&](const QString& text, int level) { relay->sendStatus("T " + text, level); });
    relay = &server;
    ASSERT_TRUE(server.TCPInit(0, kLoopbackText));

    Reader first(server.serverPort()); // off by default: its connect sends no status
    ASSERT_TRUE(first.waitFor(kBufferSize));
    server.setStatusLevel(1);
    Reader second(server.serverPort());
    ASSERT_TRUE(second.waitFor(kBufferSize));
    server.sendStatus("1/2/2026 10:00:00 AM Alarms Done.", 2);
    server.sendStatus(QString(300, 'y'), 0);
    QCoreApplication::processEvents(); // status blocks leave once control is back in the loop
    server.forward(taggedBlock(2));

    QByteArray statuses;
    for (const QString& line :
         {QStringLiteral("New Client Connected.123"), QStringLiteral("New Client Connected.."),
          QStringLiteral("New Client Connected..."),
          QStringLiteral("New Client Connected \\LastData-3.bin"),
          "New Client Connected " + dir.path(), "New Client Connected " + path,
          "Client Update " + path, QStringLiteral("New Client Connected Done.")})
        statuses += bytesOf(makeStatusBlock(("T " + line).toStdString()));
    statuses += bytesOf(makeStatusBlock(std::string(300, 'y')));
    const QByteArray tail = statuses + stream({2});
    ASSERT_TRUE(second.waitFor(kBufferSize + tail.size()));
    EXPECT_EQ(second.received, stream({3}) + tail);
    ASSERT_TRUE(first.waitFor(kBufferSize + tail.size()));
    EXPECT_EQ(first.received, stream({3}) + tail);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
