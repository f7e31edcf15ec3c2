// Relay latency and catch-up time, compared with an MQTT broker doing the same fan-out.
//
// Latency: from the forward call in the relay server (in a process of its own) to the block's
// arrival at each client, for 1, 10 and 100 clients on loopback; the same for a Mosquitto
// broker relaying 255-byte messages from one publisher to as many subscribers (QoS 0).
// Catch-up: from a new client's connect to its last saved block, with 255 saved units.

#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

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

// A process started by the bench and ended by it.
class Child {
public:
    // With `pipes`, the child's stdin and stdout are pipes: it ends when its stdin closes.
    Child(const std::vector<std::string>& args, bool pipes) {
        int in[2] = {-1, -1};
        int out[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (pipes) {
            if (pipe(in) != 0 || pipe(out) != 0)
                throw std::runtime_error("pipe");
            posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
            posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1]})
                posix_spawn_file_actions_addclose(&actions, fd);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        }
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            throw std::runtime_error("cannot start " + args[0]);
        if (pipes) {
            close(in[0]);
            close(out[1]);
            stdin_ = in[1];
            stdout_ = out[0];
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (stdin_ >= 0)
            close(stdin_);
        else
            kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        if (stdout_ >= 0)
            close(stdout_);
    }
    std::string readLine() const {
        std::string line;
        char c;
        while (read(stdout_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
};

int connectLoopback(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

uint16_t freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
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
    fs::path work; // temporary folder of this run
};

// --- the relay -------------------------------------------------------------------------

Figures relayLatency(const Setup& s, int clients) {
    const fs::path folder = s.work / "empty";
    fs::create_directories(folder);
    Child host({s.hostProgram, folder, std::to_string(kRate)}, true);
    const uint16_t port = static_cast<uint16_t>(std::stoi(host.readLine()));

    struct Client {
        int fd;
        std::vector<uint8_t> pending;
        int arrivals = 0;
    };
    std::vector<Client> all;
    for (int i = 0; i < clients; ++i)
        all.push_back({connectLoopback(port), {}, 0});
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
        std::ofstream(folder / ("LastData-" + std::to_string(id) + ".bin"), std::ios::binary)
            .write(block.data(), kBlockSize);
    Child host({s.hostProgram, folder, "0"}, true);
    const uint16_t port = static_cast<uint16_t>(std::stoi(host.readLine()));

    std::vector<double> times;
    std::vector<uint8_t> buffer(kSavedUnits * kBlockSize);
    for (int round = 0; round < kCatchUpRounds; ++round) {
        const int64_t start = monotonicNs();
        const int fd = connectLoopback(port);
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
    for (int attempt = 0; mosquitto_connect(m, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS;
         ++attempt) {
        if (attempt == 100)
            throw std::runtime_error("broker not reachable");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
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
    const uint16_t port = freeLoopbackPort();
    const fs::path config = s.work / "mosquitto.conf";
    std::ofstream(config) << "listener " << port << " 127.0.0.1\n"
                          << "allow_anonymous true\nset_tcp_nodelay true\n";
    Child broker({"/usr/sbin/mosquitto", "-c", config}, false);

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
    char pattern[] = "/tmp/relay_bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    s.work = pattern;
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
    fs::remove_all(s.work);
    return status;
}
