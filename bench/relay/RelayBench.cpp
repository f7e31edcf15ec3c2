// Relay latency and catch-up time, compared with an MQTT broker doing the same fan-out.
//
// Latency: from the forward call in the relay server (in a process of its own) to the block's
// arrival at each client, for 1, 10 and 100 clients on loopback; the same for a Mosquitto
// broker relaying 255-byte messages from one publisher to as many subscribers (QoS 0).
// Catch-up: from a new client's connect to its last saved block, with 255 saved units.

#include <mosquitto.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "Files.h"
#include "Sockets.h"
#include "Wait.h"

namespace {

namespace fs = std::filesystem;
using namespace lw::test;

constexpr int kBlockSize = 255;
constexpr int kRate = 200;     // blocks or messages per second
constexpr int kWarmUp = 50;    // first arrivals at each client, not counted
constexpr int kSamples = 1000; // counted arrivals at each client
constexpr int kSavedUnits = 255;
constexpr int kCatchUpRounds = 50;
constexpr auto kPhaseLimit = std::chrono::seconds(60);
const char* const kTopic = "lw/relay";

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

struct Figures {
    double p50Us = 0;
    double p99Us = 0;
    size_t count = 0;
};

Figures figures(std::vector<int64_t> ns) {
    if (ns.empty())
        return {};
    std::sort(ns.begin(), ns.end());
    auto at = [&](double p) { return ns[static_cast<size_t>(p * (ns.size() - 1))] / 1000.0; };
    return {at(0.50), at(0.99), ns.size()};
}

int64_t stampOf(const uint8_t* bytes) {
    int64_t t;
    std::memcpy(&t, bytes, sizeof t);
    return t;
}

bool counted(int arrival) {
    return arrival > kWarmUp && arrival <= kWarmUp + kSamples;
}

struct Setup {
    fs::path hostProgram;
    TempDir work{"relay_bench"}; // temporary folder of this run
};

// The relay host reports its port on its output and ends when its input closes, so it goes
// with the bench even when the bench is killed.
const ChildOptions kHostOptions{.output = ChildOutput::Piped, .pipedInput = true};

// --- the relay -------------------------------------------------------------------------

Figures relayLatency(const Setup& s, int clients) {
    const fs::path folder = s.work / "empty";
    fs::create_directories(folder);
    ChildProcess host({s.hostProgram, folder, std::to_string(kRate)}, kHostOptions);
    const uint16_t port = static_cast<uint16_t>(std::stoi(host.readLine()));

    struct Client {
        int fd;
        std::vector<uint8_t> pending;
        int arrivals = 0;
    };
    std::vector<Client> all;
    for (int i = 0; i < clients; ++i)
        all.push_back({connectTo("127.0.0.1", port), {}, 0});
    std::vector<pollfd> fds;
    for (const Client& c : all)
        fds.push_back({c.fd, POLLIN, 0});

    std::vector<int64_t> samples;
    const auto deadline = std::chrono::steady_clock::now() + kPhaseLimit;
    uint8_t buffer[64 * 1024];
    int done = 0;
    while (done < clients && std::chrono::steady_clock::now() < deadline) {
        if (poll(fds.data(), fds.size(), 100) <= 0)
            continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            const int64_t now = monotonicNs();
            if (n <= 0)
                continue;
            Client& c = all[i];
            c.pending.insert(c.pending.end(), buffer, buffer + n);
            size_t used = 0;
            for (; c.pending.size() - used >= kBlockSize; used += kBlockSize) {
                if (counted(++c.arrivals))
                    samples.push_back(now - stampOf(c.pending.data() + used));
                if (c.arrivals == kWarmUp + kSamples)
                    ++done;
            }
            c.pending.erase(c.pending.begin(), c.pending.begin() + static_cast<long>(used));
        }
    }
    for (const Client& c : all)
        close(c.fd);
    return figures(std::move(samples));
}

std::vector<double> catchUpMs(const Setup& s) {
    const fs::path folder = s.work / "saved";
    fs::create_directories(folder);
    const std::vector<char> block(kBlockSize, 1);
    for (int id = 1; id <= kSavedUnits; ++id)
        writeFile(folder / ("LastData-" + std::to_string(id) + ".bin"),
                  {block.data(), block.size()});
    ChildProcess host({s.hostProgram, folder, "0"}, kHostOptions);
    const uint16_t port = static_cast<uint16_t>(std::stoi(host.readLine()));

    std::vector<double> times;
    std::vector<uint8_t> buffer(kSavedUnits * kBlockSize);
    for (int round = 0; round < kCatchUpRounds; ++round) {
        const int64_t start = monotonicNs();
        const int fd = connectTo("127.0.0.1", port);
        size_t got = 0;
        ssize_t n = 0;
        while (got < buffer.size() && (n = read(fd, buffer.data() + got, buffer.size() - got)) > 0)
            got += static_cast<size_t>(n);
        times.push_back((monotonicNs() - start) / 1e6);
        close(fd);
        if (got < buffer.size())
            throw std::runtime_error("catch-up incomplete");
    }
    std::sort(times.begin(), times.end());
    return times;
}

// --- the broker ------------------------------------------------------------------------

struct Subscriber {
    mosquitto* handle = nullptr;
    int arrivals = 0;
    bool subscribed = false;
    std::vector<int64_t>* samples = nullptr;
};

void onMessage(mosquitto*, void* self, const mosquitto_message* m) {
    const int64_t now = monotonicNs();
    auto* s = static_cast<Subscriber*>(self);
    if (m->payloadlen == kBlockSize && counted(++s->arrivals))
        s->samples->push_back(now - stampOf(static_cast<const uint8_t*>(m->payload)));
}

void onSubscribe(mosquitto*, void* self, int, int, const int*) {
    static_cast<Subscriber*>(self)->subscribed = true;
}

mosquitto* newClient(void* self, uint16_t port) {
    mosquitto* m = mosquitto_new(nullptr, true, self);
    mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
    // The broker may still be starting.
    if (!waitUntil([&] { return mosquitto_connect(m, "127.0.0.1", port, 60) == MOSQ_ERR_SUCCESS; }))
        throw std::runtime_error("broker not reachable");
    return m;
}

// Publishes at the fixed rate until `stop`, each message stamped just before the call.
void publish(uint16_t port, const std::atomic<bool>& stop) {
    std::atomic<bool> connected = false;
    mosquitto* m = newClient(&connected, port);
    mosquitto_connect_callback_set(
        m, [](mosquitto*, void* flag, int) { static_cast<std::atomic<bool>*>(flag)->store(true); });
    while (!connected)
        mosquitto_loop(m, 10, 1);
    uint8_t payload[kBlockSize] = {};
    const auto period = std::chrono::microseconds(1'000'000 / kRate);
    auto next = std::chrono::steady_clock::now();
    while (!stop) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            next - std::chrono::steady_clock::now());
        if (wait.count() > 0) {
            mosquitto_loop(m, static_cast<int>(wait.count()), 1);
            continue;
        }
        const int64_t now = monotonicNs();
        std::memcpy(payload, &now, sizeof now);
        mosquitto_publish(m, nullptr, kTopic, kBlockSize, payload, 0, false);
        next += period;
    }
    mosquitto_disconnect(m);
    mosquitto_destroy(m);
}

Figures brokerLatency(const Setup& s, int clients) {
    const ReservedPort reserved;
    const uint16_t port = reserved.number();
    const fs::path config = s.work / "mosquitto.conf";
    writeFile(config, "listener " + std::to_string(port) +
                          " 127.0.0.1\nallow_anonymous true\nset_tcp_nodelay true\n");
    ChildProcess broker({"/usr/sbin/mosquitto", "-c", config}, {.output = ChildOutput::Discarded});

    std::vector<int64_t> samples;
    std::vector<Subscriber> subs(static_cast<size_t>(clients));
    for (Subscriber& sub : subs) {
        sub.samples = &samples;
        sub.handle = newClient(&sub, port);
        mosquitto_message_callback_set(sub.handle, onMessage);
        mosquitto_subscribe_callback_set(sub.handle, onSubscribe);
        mosquitto_subscribe(sub.handle, nullptr, kTopic, 0);
    }

    std::atomic<bool> stop = false;
    std::thread publisher;
    std::vector<pollfd> fds(subs.size());
    const auto deadline = std::chrono::steady_clock::now() + kPhaseLimit;
    auto lastMisc = std::chrono::steady_clock::now();
    auto finished = [&] {
        return std::all_of(subs.begin(), subs.end(),
                           [](const Subscriber& x) { return x.arrivals >= kWarmUp + kSamples; });
    };
    while (!finished() && std::chrono::steady_clock::now() < deadline) {
        if (!publisher.joinable() &&
            std::all_of(subs.begin(), subs.end(), [](const Subscriber& x) { return x.subscribed; }))
            publisher = std::thread(publish, port, std::cref(stop));
        for (size_t i = 0; i < subs.size(); ++i) {
            const short out = mosquitto_want_write(subs[i].handle) ? POLLOUT : 0;
            fds[i] = {mosquitto_socket(subs[i].handle), static_cast<short>(POLLIN | out), 0};
        }
        if (poll(fds.data(), fds.size(), 100) > 0) {
            for (size_t i = 0; i < subs.size(); ++i) {
                // One packet per read call: go on while the socket holds more.
                int queued = fds[i].revents & POLLIN ? 1 : 0;
                while (queued > 0 && mosquitto_loop_read(subs[i].handle, 1) == MOSQ_ERR_SUCCESS)
                    ioctl(fds[i].fd, FIONREAD, &queued);
                if (fds[i].revents & POLLOUT)
                    mosquitto_loop_write(subs[i].handle, 1);
            }
        }
        if (std::chrono::steady_clock::now() - lastMisc > std::chrono::seconds(1)) {
            for (Subscriber& sub : subs)
                mosquitto_loop_misc(sub.handle);
            lastMisc = std::chrono::steady_clock::now();
        }
    }
    stop = true;
    if (publisher.joinable())
        publisher.join();
    for (Subscriber& sub : subs)
        mosquitto_destroy(sub.handle);
    return figures(std::move(samples));
}

} // namespace

int main() {
    Setup s;
    s.hostProgram = fs::canonical("/proc/self/exe").parent_path() / "relay-bench-host";
    const bool haveBroker = fs::exists("/usr/sbin/mosquitto");
    mosquitto_lib_init();

    // Latency figures mean little on a busy machine: say how busy it was.
    std::ifstream loadavg("/proc/loadavg");
    std::string load1;
    loadavg >> load1;
    std::printf("load average at start: %s\n", load1.c_str());
    std::printf("relay latency, forward call to arrival at a client (microseconds); "
                "%d per second, %d counted per client\n",
                kRate, kSamples);
    std::printf("%8s %12s %12s %14s %14s %18s\n", "clients", "relay p50", "relay p99",
                "mosquitto p50", "mosquitto p99", "p99 relay/mqtt");
    int status = 0;
    for (int clients : {1, 10, 100}) {
        const Figures relay = relayLatency(s, clients);
        const Figures mqtt = haveBroker ? brokerLatency(s, clients) : Figures{};
        const size_t expected = static_cast<size_t>(clients) * kSamples;
        if (relay.count != expected || (haveBroker && mqtt.count != expected)) {
            std::printf("  incomplete run: %zu relay and %zu broker samples of %zu\n", relay.count,
                        mqtt.count, expected);
            status = 1;
        }
        std::printf("%8d %12.1f %12.1f %14.1f %14.1f %18.2f\n", clients, relay.p50Us, relay.p99Us,
                    mqtt.p50Us, mqtt.p99Us, mqtt.p99Us > 0 ? relay.p99Us / mqtt.p99Us : 0.0);
        if (clients == 100 && haveBroker)
            std::printf("goal at 100 clients, relay p99 <= half of mosquitto's: %s\n",
                        relay.p99Us <= mqtt.p99Us / 2 ? "met" : "MISSED");
    }
    if (!haveBroker)
        std::printf("mosquitto is not installed: no broker figures (scripts/install-deps.sh)\n");

    const std::vector<double> catchUp = catchUpMs(s);
    std::printf("catch-up of %d saved units to a new client (ms): p50 %.2f, max %.2f over %d; "
                "goal 10 ms: %s\n",
                kSavedUnits, catchUp[catchUp.size() / 2], catchUp.back(), kCatchUpRounds,
                catchUp.back() <= 10.0 ? "met" : "MISSED");
    mosquitto_lib_cleanup();
    return status;
}
