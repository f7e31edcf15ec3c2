// Runs a relay server in a process of its own for relay_bench: prints its port, then forwards
// a block carrying the CLOCK_MONOTONIC time of the forward call, at a fixed rate, until its
// standard input closes.
//
//   relay-bench-host <folder> <blocks per second, 0 for none>

#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include "RelayServer.h"

namespace {

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: relay-bench-host <folder> <blocks per second>\n");
        return 2;
    }
    const int rate = std::atoi(argv[2]);
    lw::RelayServer server(QString::fromLocal8Bit(argv[1]), nullptr);
    if (!server.TCPInit(0, QStringLiteral("127.0.0.1")))
        return 1;
    std::printf("%u\n", server.serverPort());
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            app.quit();
    });

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        lw::RelayBlock block{};
        const int64_t now = monotonicNs();
        std::memcpy(block.data(), &now, sizeof now);
        server.forward(block);
    });
    if (rate > 0)
        tick.start(1000 / rate);
    return app.exec();
}
