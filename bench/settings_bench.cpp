// Table files against plain file I/O of the same bytes: saving and loading a 1,000-row live
// table, and loading a busy history day (a row every 5 s).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "AtomicFile.h"
#include "DateTime.h"
#include "Files.h"
#include "HistRow.h"
#include "HistoryFile.h"
#include "TableFile.h"
#include "TankTableFile.h"

using namespace lw;
namespace fs = std::filesystem;

namespace {

const fs::path& folder() {
    static const lw::test::TempDir dir("lw-bench");
    return dir;
}

TankTable liveTable() {
    std::vector<TankRecord> rows;
    const double now = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    for (int i = 0; i < 1000; ++i) {
        TankRecord r;
        r.ID = std::to_string(i + 1);
        r.TankName = "Tank " + std::to_string(i + 1);
        r.Status = 0;
        r.Level = 100.25 + i;
        r.Volume = 20000 + 3 * i;
        r.Temperature = 15 + i % 20;
        r.Input1 = i % 7;
        r.Input2 = 0;
        r.Alarm1 = r.Alarm2 = r.Alarm3 = r.Alarm4 = i % 3 == 0;
        r.Relay1 = r.Relay2 = r.Relay3 = r.Relay4 = false;
        r.BatDisplay = 100;
        r.BatSender = 50;
        r.DateTime = now + i / 86400.0;
        r.ComType = 1;
        r.DispType = 16;
        rows.push_back(r);
    }
    return TankTable(std::move(rows));
}

std::string readPlain(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Plain write of the same bytes, without and with the temp file, fsync and rename of a save.
void writePlain(const fs::path& file, const std::string& bytes, bool durable) {
    if (durable) {
        if (replaceFileAtomically(file, bytes))
            std::abort();
        return;
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ::close(fd);
}

void BM_SaveLiveData(benchmark::State& state) {
    const TankTable table = liveTable();
    for (auto _ : state)
        saveTankTable(table, folder() / "LiveData.txt", Formats::enUS());
    state.SetBytesProcessed(state.iterations() * fs::file_size(folder() / "LiveData.txt"));
}

void BM_LiveDataText(benchmark::State& state) {
    const TankTable table = liveTable();
    for (auto _ : state)
        benchmark::DoNotOptimize(tableText(table.rows(), tankRowFields(), Formats::enUS()));
}

void BM_PlainWrite(benchmark::State& state) {
    const std::string bytes = tableText(liveTable().rows(), tankRowFields(), Formats::enUS());
    for (auto _ : state)
        writePlain(folder() / "Plain.txt", bytes, state.range(0) != 0);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_LoadLiveData(benchmark::State& state) {
    saveTankTable(liveTable(), folder() / "LiveData.txt", Formats::enUS());
    TankTable table;
    for (auto _ : state)
        loadTankTable(table, folder() / "LiveData.txt", Formats::enUS());
    state.SetBytesProcessed(state.iterations() * fs::file_size(folder() / "LiveData.txt"));
}

void BM_PlainReadLiveData(benchmark::State& state) {
    saveTankTable(liveTable(), folder() / "LiveData.txt", Formats::enUS());
    for (auto _ : state)
        benchmark::DoNotOptimize(readPlain(folder() / "LiveData.txt"));
    state.SetBytesProcessed(state.iterations() * fs::file_size(folder() / "LiveData.txt"));
}

// A day of rows every 5 s, as the collector writes them for a busy tank.
const fs::path& historyDay() {
    static const fs::path file = [] {
        const HistoryFile history(folder(), Formats::enUS());
        const double day = encodeDateTime({2026, 12, 9});
        TankRecord r;
        r.Status = 0;
        r.Input1 = 0;
        r.Input2 = 0;
        for (int i = 0; i < 17280; ++i) {
            r.Level = 120.5 + (i % 400) * 0.25;
            r.Volume = 25000 + i % 1000;
            r.Temperature = 12 + i % 9;
            history.append(r, 12, false, day + i * 5 / 86400.0);
        }
        return history.path(12, day);
    }();
    return file;
}

void BM_LoadHistoryDay(benchmark::State& state) {
    std::vector<HistRow> rows;
    for (auto _ : state)
        loadHistoryFile(rows, historyDay(), Formats::enUS());
    if (rows.size() != 17280)
        state.SkipWithError("wrong row count");
    state.SetBytesProcessed(state.iterations() * fs::file_size(historyDay()));
}

void BM_PlainReadHistoryDay(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(readPlain(historyDay()));
    state.SetBytesProcessed(state.iterations() * fs::file_size(historyDay()));
}

// Reading line by line is what a plain text reader would do at the least.
void BM_PlainLinesHistoryDay(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream in(historyDay(), std::ios::binary);
        std::string line;
        size_t n = 0;
        while (std::getline(in, line))
            ++n;
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * fs::file_size(historyDay()));
}

} // namespace

BENCHMARK(BM_SaveLiveData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiveDataText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLiveData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainReadLiveData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadHistoryDay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainReadHistoryDay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainLinesHistoryDay)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(folder());
    return 0;
}
