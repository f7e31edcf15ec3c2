// Publishing to an MQTT broker: from a frame's arrival at the collector's receive pipeline to
// each of its tanks' state at a subscriber, on loopback, with 1,000 tanks (250 four-tank units)
// at 10 frames a second, QoS 1; and the collector's CPU per published message.
//
// The pipeline runs in this process with the real publisher, queue and client; Mosquitto is
// started by the bench; the subscriber (libmosquitto) runs in this process on its own thread,
// which is left out of the CPU figures. Each frame changes its tanks' levels, so every tank of
// every frame is published. The CPU per message is what publishing costs the collector: its
// thread's CPU time in handing the frame's tanks on, and the client's network thread, over the
// messages published.
//
//   mqtt_bench [SECONDS]   (default 30)

#include <mosquitto.h>
#include <pthread.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ChildProcess.h"
#include "Files.h"
#include "FrameBuilder.h"
#include "LearnedTypeTable.h"
#include "MqttLink.h"
#include "ServicePipeline.h"
#include "Sockets.h"
#include "SystemClock.h"

namespace {

namespace fs = std::filesystem;
using namespace lw;
using SteadyClock = std::chrono::steady_clock;

constexpr int kUnits = 250;
constexpr int kTanksPerUnit = 4;
constexpr int kFrameIntervalMs = 100;
constexpr int kFirstId = 1000;
const char* const kSubscriberThread = "subscriber";

int64_t threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               SteadyClock::now().time_since_epoch())
        .count();
}

// CPU seconds of this process's threads, by thread name (the scheduler's nanosecond count).
std::unordered_map<std::string, double> threadCpu() {
    std::unordered_map<std::string, double> cpu;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        double ns = 0;
        std::ifstream(task.path() / "schedstat") >> ns;
        cpu[name] += ns / 1e9;
    }
    return cpu;
}

class CountingLog final : public LogSink {
public:
    void Log(std::string_view text, int level) override {
        if (level == 7 && text.starts_with("MQTT publish lw/tank/"))
            ++published;
        else if (text.starts_with("MQTT") || text.starts_with("ERROR"))
            std::fprintf(stderr, "  log: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    std::atomic<int> published{0};
};

// Frame arrival times by tank ID, and what the subscriber measured.
struct Latencies {
    std::mutex mutex;
    std::unordered_map<std::string, int64_t> sentNs;
    std::vector<int64_t> ns;
    int received = 0;
    size_t payloadSize = 0;
};

class Hooks final : public ServicePipelineHooks {
public:
    void restartIdleTimer() override {}
    void stopIdleTimer() override {}
    bool answerSignalTest(const FrameBuffer&) override { return false; }
    void forward(std::span<const uint8_t, kBufferSize>) override {}
    const TankTable& tankList() override { return list; }
    void SendAlarmEmail(const AlarmEmailArgs&, std::string_view) override {}
    void tanksUpdated(const UpdatedTanks& tanks) override {
        if (!link)
            return;
        const int64_t start = nowNs();
        const int64_t cpuStart = threadCpuNs();
        link->tanksUpdated(tanks, *table);
        cpuNs += threadCpuNs() - cpuStart;
        publishNs.push_back(nowNs() - start);
    }

    TankTable list;
    MqttLink* link = nullptr;
    const TankTable* table = nullptr;
    std::vector<int64_t> publishNs; // in the collector's thread, per frame
    int64_t cpuNs = 0;              // the collector thread's CPU in publishing
};

void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Run {
    double seconds = 0;
    int frames = 0;
    int published = 0;
    int received = 0;
    std::vector<int64_t> latencyNs;
    double collectorThreadCpu = 0; // seconds, in publishing
    double mqttThreadCpu = 0;
    std::vector<int64_t> publishNs;
    size_t payloadSize = 0; // of the last tank message received
};

Run runOnce(int port, int seconds, Latencies& latencies) {
    const test::TempDir dir("mqtt-bench");
    CountingLog log;
    Hooks hooks;
    LearnedTypeTable learned;
    SystemClock clock;
    ServicePipeline pipeline(dir.path(), Formats::enUS(), clock, log, hooks, learned);
    pipeline.loadLastData();
    hooks.table = &pipeline.LastData();

    MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.clientId = "bench";
    settings.prefix = "lw";
    auto link = std::make_unique<MqttLink>(settings, log, pipeline.LastData());
    hooks.link = link.get();
    runEventsFor(500); // connected by then, on loopback

    // Two level variants per unit, so that each frame of a unit changes its tanks.
    std::vector<std::vector<uint8_t>> frames;
    for (int u = 0; u < kUnits; ++u)
        for (uint32_t level : {100000u, 100100u}) {
            sim::UnitValues unit;
            unit.address = static_cast<uint8_t>(u + 1);
            unit.dispType = 12; // four tanks
            for (int k = 0; k < kTanksPerUnit; ++k)
                unit.tanks.push_back(
                    sim::TankValues{.id = static_cast<uint32_t>(kFirstId + u * kTanksPerUnit + k),
                                    .level = level + static_cast<uint32_t>(k)});
            frames.push_back(sim::buildReply(unit, kLongRegisterCount));
        }

    Run run;
    const auto cpuBefore = threadCpu();
    const int total = seconds * 1000 / kFrameIntervalMs;
    int next = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(kFrameIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const int unit = next % kUnits;
        const auto& frame = frames[static_cast<size_t>(2 * unit + (next / kUnits) % 2)];
        {
            const std::lock_guard lock(latencies.mutex);
            const int64_t t = nowNs();
            for (int k = 0; k < kTanksPerUnit; ++k)
                latencies.sentNs[std::to_string(kFirstId + unit * kTanksPerUnit + k)] = t;
        }
        pipeline.ApdComPort1TriggerAvail(frame);
        pipeline.Timer2Timer();
        if (++next == total)
            timer.stop();
    });
    const auto start = SteadyClock::now();
    timer.start();
    // Until the last frame, and what is on its way has arrived (10 s at most).
    const auto deadline = start + std::chrono::seconds(seconds + 10);
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const std::lock_guard lock(latencies.mutex);
        if ((!timer.isActive() && latencies.received >= log.published) ||
            SteadyClock::now() > deadline)
            loop.quit();
    });
    check.start(10);
    loop.exec();
    run.seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    const auto cpuAfter = threadCpu();
    run.mqttThreadCpu =
        cpuAfter.at("mqtt") - (cpuBefore.contains("mqtt") ? cpuBefore.at("mqtt") : 0);
    run.collectorThreadCpu = static_cast<double>(hooks.cpuNs) / 1e9;
    run.frames = next;
    run.publishNs = std::move(hooks.publishNs);
    run.published = log.published;
    {
        const std::lock_guard lock(latencies.mutex);
        run.received = latencies.received;
        run.payloadSize = latencies.payloadSize;
        run.latencyNs = std::move(latencies.ns);
        latencies.ns.clear();
        latencies.received = 0;
        latencies.sentNs.clear();
    }
    link.reset();
    return run;
}

// The floor: libmosquitto alone (its own loop_start thread) publishing as many messages of the
// same size at the same pace, four every frame interval. Its CPU per message, in microseconds.
double libraryFloorUs(int port, int messages, size_t payloadSize) {
    mosquitto* m = mosquitto_new("bench-floor", true, nullptr);
    mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(
        m, [](mosquitto*, void*, int) { pthread_setname_np(pthread_self(), "floor"); });
    mosquitto_connect(m, "127.0.0.1", port, 60);
    mosquitto_loop_start(m);
    runEventsFor(300);
    const std::string payload(payloadSize, 'x');
    const auto before = threadCpu();
    int64_t publishingNs = 0;
    for (int i = 0; i < messages; i += kTanksPerUnit) {
        const int64_t start = threadCpuNs();
        for (int k = 0; k < kTanksPerUnit; ++k) {
            const std::string topic = "floor/tank/" + std::to_string(kFirstId + (i + k) % 1000);
            mosquitto_publish(m, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                              payload.data(), 1, true);
        }
        publishingNs += threadCpuNs() - start;
        std::this_thread::sleep_for(std::chrono::milliseconds(kFrameIntervalMs));
    }
    runEventsFor(500);
    const double loopCpu = threadCpu()["floor"] - before.at("floor");
    mosquitto_disconnect(m);
    mosquitto_loop_stop(m, false);
    mosquitto_destroy(m);
    return (loopCpu + static_cast<double>(publishingNs) / 1e9) / messages * 1e6;
}

double percentileMs(std::vector<int64_t> ns, double q) {
    if (ns.empty())
        return 0;
    std::sort(ns.begin(), ns.end());
    return static_cast<double>(ns[static_cast<size_t>(q * static_cast<double>(ns.size() - 1))]) /
           1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
    if (!fs::exists("/usr/sbin/mosquitto")) {
        std::printf("mosquitto is not installed (scripts/install-deps.sh)\n");
        return 1;
    }
    const test::ReservedPort reserved;
    const int port = reserved.number();
    const test::TempDir work("mqtt-bench");
    std::ofstream(work / "mosquitto.conf")
        << "user root\npersistence false\nlistener " << port
        << " 127.0.0.1\nallow_anonymous true\nmax_queued_messages 100000\n";
    test::ChildProcess broker({"/usr/sbin/mosquitto", "-c", (work / "mosquitto.conf").string()},
                              {.output = test::ChildOutput::Discarded});
    mosquitto_lib_init();

    Latencies latencies;
    mosquitto* sub = mosquitto_new("bench-subscriber", true, &latencies);
    mosquitto_int_option(sub, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(sub, [](mosquitto* m, void*, int) {
        pthread_setname_np(pthread_self(), kSubscriberThread);
        mosquitto_subscribe(m, nullptr, "lw/tank/+", 1);
    });
    mosquitto_message_callback_set(sub, [](mosquitto*, void* self, const mosquitto_message* msg) {
        const int64_t now = nowNs();
        auto* l = static_cast<Latencies*>(self);
        const std::string topic = msg->topic;
        const std::string id = topic.substr(topic.rfind('/') + 1);
        const std::lock_guard lock(l->mutex);
        ++l->received;
        l->payloadSize = static_cast<size_t>(msg->payloadlen);
        if (const auto it = l->sentNs.find(id); it != l->sentNs.end())
            l->ns.push_back(now - it->second);
    });
    for (int i = 0; i < 100 && mosquitto_connect(sub, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS;
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    mosquitto_loop_start(sub);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    std::printf("%d tanks (%d four-tank units), %d frames/s, QoS 1, %d s\n", kUnits * kTanksPerUnit,
                kUnits, 1000 / kFrameIntervalMs, seconds);
    const Run on = runOnce(port, seconds, latencies);

    const double floorUs = libraryFloorUs(port, on.published, on.payloadSize);
    const double p99 = percentileMs(on.latencyNs, 0.99);
    const double perMessageUs =
        on.published > 0 ? (on.collectorThreadCpu + on.mqttThreadCpu) / on.published * 1e6 : 0;
    std::printf("frames %d, tank messages published %d, received %d, lost %d\n", on.frames,
                on.published, on.received, on.published - on.received);
    std::printf("frame arrival -> subscriber: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                percentileMs(on.latencyNs, 0.50), p99, percentileMs(on.latencyNs, 1.0));
    std::printf("handing a frame's tanks on, in the collector's thread: p50 %.3f ms, p99 %.3f ms\n",
                percentileMs(on.publishNs, 0.5), percentileMs(on.publishNs, 0.99));
    std::printf("CPU: collector thread %.3f s, network thread %.3f s; per message %.1f us\n",
                on.collectorThreadCpu, on.mqttThreadCpu, perMessageUs);
    std::printf("libmosquitto alone, same messages and pace: %.1f us per message\n", floorUs);
    std::printf("goals: p99 <= 5 ms %s, none lost %s, <= 20 us per message %s\n",
                p99 <= 5 ? "met" : "MISSED", on.published == on.received ? "met" : "MISSED",
                perMessageUs <= 20 ? "met" : "MISSED");

    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);
    mosquitto_lib_cleanup();
    return 0;
}
