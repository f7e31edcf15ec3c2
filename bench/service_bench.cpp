// Per-frame cost of the collector's receive pipeline with a plant of 1,020 tanks: from the last
// byte of a reply to "LastData.txt" replaced, with real files in a temporary folder. Every frame
// carries a changed level, so each one also writes its saved frame and a history row.
//
// Reports the mean per frame (Google Benchmark's time) and, as counters, the 50th and 99th
// percentile and the worst frame in milliseconds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "DateTime.h"
#include "Files.h"
#include "FrameBuilder.h"
#include "LearnedTypeTable.h"
#include "ServicePipeline.h"
#include "TankTableFile.h"

namespace {

using namespace lw;

constexpr int kTanks = 1020;

class NullLog final : public LogSink {
public:
    void Log(std::string_view, int) override {}
};

class BenchHooks final : public ServicePipelineHooks {
public:
    void restartIdleTimer() override {}
    void stopIdleTimer() override {}
    bool answerSignalTest(const FrameBuffer&) override { return false; }
    void forward(std::span<const uint8_t, kBufferSize>) override {}
    const TankTable& tankList() override { return list; }
    void SendAlarmEmail(const AlarmEmailArgs&, std::string_view) override {}

    TankTable list;
};

void BM_FrameToLastDataSaved(benchmark::State& state) {
    const lw::test::TempDir dir("service-bench");
    {
        std::vector<TankRecord> rows(kTanks);
        for (int i = 0; i < kTanks; ++i) {
            rows[static_cast<size_t>(i)].ID = std::to_string(i + 1);
            rows[static_cast<size_t>(i)].TankName = "Tank " + std::to_string(i + 1);
            rows[static_cast<size_t>(i)].Level = 100.5;
            rows[static_cast<size_t>(i)].Alarm1 = false;
        }
        saveTankTable(TankTable(std::move(rows)), dir / "LastData.txt", Formats::enUS());
    }
    NullLog log;
    BenchHooks hooks;
    LearnedTypeTable learned;
    ManualClock clock(encodeDateTime({2024, 3, 5, 10, 0, 0, 0}));
    ServicePipeline pipeline(dir, Formats::enUS(), clock, log, hooks, learned);
    pipeline.loadLastData();

    // One reply per tank, each with two levels so that consecutive frames always differ.
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < kTanks; ++i)
        for (uint32_t level : {1000u, 1001u}) {
            sim::UnitValues u;
            u.dispType = 0;
            u.tanks = {sim::TankValues{.id = static_cast<uint32_t>(i + 1), .level = level}};
            frames.push_back(sim::buildReply(u, kShortRegisterCount));
        }

    std::vector<double> ms;
    size_t next = 0;
    for (auto _ : state) {
        const auto& frame = frames[next];
        next = (next + 2 * 7 + 1) % frames.size(); // other tanks in between, alternating levels
        const auto start = std::chrono::steady_clock::now();
        pipeline.ApdComPort1TriggerAvail(frame);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        clock.advanceSeconds(1);
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
    };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["max_ms"] = ms.back();
    state.counters["tanks"] = pipeline.LastData().size();
}
BENCHMARK(BM_FrameToLastDataSaved)->Unit(benchmark::kMillisecond)->Iterations(2000);

} // namespace

BENCHMARK_MAIN();
