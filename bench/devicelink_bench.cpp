// Bytes to updated rows: the receiver assembling a stream of mixed replies and the live update
// writing them into a table of 1,000 tanks, as a port owner without a Detail window runs it.

#include <benchmark/benchmark.h>

#include <random>

#include "CodeTables.h"
#include "DateTime.h"
#include "FrameBuilder.h"
#include "LearnedTypeTable.h"
#include "LiveUpdate.h"
#include "Receiver.h"

using namespace lw;

namespace {

constexpr int kTanks = 1000;
constexpr int kFrames = 4096;
constexpr size_t kEventBytes = 64; // what one data-available event typically brings

struct Stream {
    std::vector<uint8_t> bytes;
    int frames = 0;
};

// Every display type in turn, tank IDs spread over the table, values that drift; alarms change
// now and then.
Stream mixedStream() {
    constexpr int kTypes[] = {0, 1, 3, 16, 4, 8, 12, 19};
    std::mt19937 rng(42);
    const auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    Stream s;
    for (int i = 0; i < kFrames; ++i) {
        sim::UnitValues u;
        u.dispType = kTypes[i % 8];
        u.alarms = below(64) == 0 ? 1 : 0;
        u.input1 = static_cast<uint16_t>(below(4));
        for (int k = 0; k < 4; ++k)
            u.tanks.push_back({.id = 1 + below(kTanks),
                               .temperature = static_cast<int16_t>(below(40)),
                               .level = 1000 + below(50),
                               .volume = 20000 + below(500),
                               .volumeDecimals = 1,
                               .levelBelow = below(100),
                               .volumeBelow = below(100),
                               .levelAbove = below(100),
                               .volumeAbove = below(100)});
        const auto frame = sim::buildReply(u, isR300Type(u.dispType) ? 48 : 24);
        s.bytes.insert(s.bytes.end(), frame.begin(), frame.end());
        ++s.frames;
    }
    return s;
}

TankTable table() {
    std::vector<TankRecord> rows;
    for (int id = 1; id <= kTanks; ++id) {
        TankRecord r;
        r.ID = std::to_string(id);
        r.TankName = "Tank " + std::to_string(id);
        rows.push_back(r);
    }
    return TankTable(std::move(rows));
}

class Owner final : public ReceiverListener {
public:
    explicit Owner(LiveUpdate& update) : update_(update) {}
    void restartIdleTimer() override {}
    void stopIdleTimer() override {}
    void frameAccepted(FrameKind kind, FrameBuffer& rx) override {
        update_.NewTankData(rx, registerCount(kind), FrameSource::Serial, now_);
        ++accepted;
    }
    int accepted = 0;

private:
    LiveUpdate& update_;
    double now_ = encodeDateTime({2026, 12, 9, 14, 5, 9});
};

void receiveAndUpdate(benchmark::State& state, LiveUpdateTexts texts) {
    const Stream stream = mixedStream();
    TankTable tanks = table();
    LiveUpdateHooks hooks;
    LiveUpdate update(tanks, hooks, Formats::enUS(), texts);
    Owner owner(update);
    LearnedTypeTable learned;
    Receiver receiver(owner, learned);
    for (auto _ : state) {
        for (size_t pos = 0; pos < stream.bytes.size(); pos += kEventBytes)
            receiver.ApdComPort1TriggerAvail(
                {stream.bytes.data() + pos, std::min(kEventBytes, stream.bytes.size() - pos)});
    }
    if (owner.accepted != stream.frames * static_cast<int>(state.iterations()))
        state.SkipWithError("frames were lost");
    state.SetItemsProcessed(state.iterations() * stream.frames);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.bytes.size()));
}

// The service-like path: no Detail window, no status bar.
void BM_ReceiveAndUpdate(benchmark::State& state) {
    receiveAndUpdate(state, {.detail = false, .status = false});
}
BENCHMARK(BM_ReceiveAndUpdate)->Unit(benchmark::kMillisecond);

// The monitor with its Detail window open: every register becomes a text line.
void BM_ReceiveAndUpdateWithTexts(benchmark::State& state) {
    receiveAndUpdate(state, {.detail = true, .status = true});
}
BENCHMARK(BM_ReceiveAndUpdateWithTexts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
