// The reports and the trend on busy days (a row every 5 seconds, 17,280 rows a day), against
// reading the same bytes, measured in the same run:
//   * a busy day loaded (the historical report's load), and loaded and charted (the trend's
//     load, the series filled and the chart painted once);
//   * a month of busy days (31 files) condensed into the monthly report;
//   * zooming and scrolling the chart of a busy day with all nine series shown: time per step
//     (new range, thinned series, painted), p50 and p99.
// Each load is timed with the files in the page cache ("warm") and after the files were
// dropped from it ("from disk"). Runs offscreen; prints its figures, no Google Benchmark loop.

#include <QApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QLineSeries>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <vector>

#include "DateTime.h"
#include "Files.h"
#include "HistoryFile.h"
#include "ReportData.h"
#include "TrendChart.h"

namespace {

using namespace lw;
namespace fs = std::filesystem;

constexpr int kRowsPerDay = 17280;
constexpr int kRuns = 15;
constexpr int kDays = 31;
const double kMonth = encodeDateTime({2026, 12, 1});

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

double ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void writeBusyDay(const fs::path& folder, double day) {
    const HistoryFile history(folder, Formats::enUS());
    TankRecord r;
    r.Status = 0;
    for (int i = 0; i < kRowsPerDay; ++i) {
        const double phase = i * 2 * M_PI / kRowsPerDay;
        r.Level = std::round((120 + 40 * std::sin(phase * 3) + (i % 13) * 0.01) * 100) / 100;
        r.Volume = std::round(*r.Level * 41.5);
        r.Temperature = std::round(-4 + 9 * std::sin(phase));
        r.Input1 = i % 17;
        r.Input2 = i % 5;
        r.LevelBelow = std::round(*r.Level * 30) / 100;
        r.VolumeBelow = std::round(*r.LevelBelow * 41.5);
        r.LevelAbove = std::round((*r.Level - *r.LevelBelow) * 100) / 100;
        r.VolumeAbove = std::round(*r.LevelAbove * 41.5);
        history.append(r, 12, true, day + i * 5.0 / 86400);
    }
}

// Drops the files from the page cache, so the next read goes to the disk.
void dropFromCache(const std::vector<fs::path>& files) {
    for (const fs::path& f : files) {
        const int fd = ::open(f.c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

size_t readBytes(const std::vector<fs::path>& files) {
    size_t total = 0;
    std::vector<char> buffer(1 << 16);
    for (const fs::path& f : files) {
        const int fd = ::open(f.c_str(), O_RDONLY);
        for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
            total += static_cast<size_t>(n);
        ::close(fd);
    }
    return total;
}

struct Timing {
    double warm, cold;
};

Timing time(const std::vector<fs::path>& files, const std::function<void()>& work) {
    std::vector<double> warm, cold;
    work(); // the first run warms the cache and the code
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        warm.push_back(ms(t));
        dropFromCache(files);
        t.start();
        work();
        cold.push_back(ms(t));
    }
    return {median(warm), median(cold)};
}

void report(const char* what, const Timing& t, const Timing& plain) {
    std::printf("  %-44s warm %8.2f ms (%5.1fx)   from disk %8.2f ms (%5.1fx)\n", what, t.warm,
                t.warm / plain.warm, t.cold, t.cold / plain.cold);
}

void zoomAndScroll(TrendChart& chart, const char* label) {
    chart.zoomExtents();
    QDateTimeAxis& x = chart.axisX();
    const qint64 from = x.min().toMSecsSinceEpoch(), to = x.max().toMSecsSinceEpoch();
    std::vector<double> steps;
    auto step = [&](qint64 a, qint64 b) {
        QElapsedTimer t;
        t.start();
        x.setRange(QDateTime::fromMSecsSinceEpoch(a), QDateTime::fromMSecsSinceEpoch(b));
        chart.viewport()->repaint();
        steps.push_back(ms(t));
    };
    const qint64 middle = (from + to) / 2;
    for (int i = 0; i <= 40; ++i) {
        const qint64 half = static_cast<qint64>((to - from) / 2 * std::pow(0.85, i));
        step(middle - half, middle + half);
    }
    for (int i = 40; i >= 0; --i) {
        const qint64 half = static_cast<qint64>((to - from) / 2 * std::pow(0.85, i));
        step(middle - half, middle + half);
    }
    const qint64 window = (to - from) / 8;
    for (int i = 0; i < 100; ++i) {
        const qint64 a = from + (to - from - window) * i / 99;
        step(a, a + window);
    }
    int drawn = 0, shown = 0;
    for (const TrendSeriesInfo& info : trendSeries()) {
        drawn += chart.series(info.series).count();
        shown += chart.seriesShown(info.series) ? 1 : 0;
    }
    std::printf("  zoom and scroll, busy day, %-22s (%zu steps): p50 %.2f ms, p99 %.2f ms, worst "
                "%.2f ms; %d points drawn for %d  (smooth: p99 <= 16 ms)\n",
                label, steps.size(), percentile(steps, 0.5), percentile(steps, 0.99),
                *std::max_element(steps.begin(), steps.end()), drawn, shown * kRowsPerDay);
}

void loads(const fs::path& folder, const std::vector<fs::path>& dayFiles,
           const std::vector<fs::path>& monthFiles, TrendChart& chart) {
    const Timing plainDay = time(dayFiles, [&] { readBytes(dayFiles); });
    report("busy day: read the bytes", plainDay, plainDay);
    report("busy day: loaded (historical report)",
           time(dayFiles, [&] { loadHistoryDay(folder, kMonth, "12", Formats::enUS()); }),
           plainDay);
    report("busy day: loaded and charted (trend)",
           time(dayFiles,
                [&] {
                    const DayLoad day = loadHistoryDay(folder, kMonth, "12", Formats::enUS());
                    chart.setRows(day.rows, kMonth);
                    chart.viewport()->repaint();
                }),
           plainDay);
    const Timing plainMonth = time(monthFiles, [&] { readBytes(monthFiles); });
    report("busy month (31 files): read the bytes", plainMonth, plainMonth);
    report("busy month: monthly report",
           time(monthFiles, [&] { loadMonth(folder, kMonth, "12", Formats::enUS()); }), plainMonth);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "reports_bench chart": the chart's zoom and scroll alone.
    const bool chartOnly = argc > 1 && std::string_view(argv[1]) == "chart";
    const test::TempDir folder{"reports-bench"};
    for (int d = 0; d < (chartOnly ? 1 : kDays); ++d)
        writeBusyDay(folder, kMonth + d);
    const fs::path dayFile = folder / historyFileName(kMonth, "12", Formats::enUS());
    std::vector<fs::path> monthFiles;
    for (int d = 0; d < kDays; ++d)
        monthFiles.push_back(folder / historyFileName(kMonth + d, "12", Formats::enUS()));
    const std::vector<fs::path> dayFiles{dayFile};
    const double dayMb = static_cast<double>(fs::file_size(dayFile)) / 1e6;

    TrendChart chart;
    chart.resize(1400, 300);
    chart.show();
    QCoreApplication::processEvents();

    std::printf("reports_bench: a busy day is %d rows, %.2f MB; medians of %d runs; the factor is "
                "against reading the same bytes (goal <= 5x)\n",
                kRowsPerDay, dayMb, kRuns);
    if (!chartOnly)
        loads(folder, dayFiles, monthFiles, chart);
    // Zoom in step by step around the middle of the day, out again, then scroll along: with
    // the three series shown by default, and with all nine.
    const DayLoad day = loadHistoryDay(folder.path(), kMonth, "12", Formats::enUS());
    chart.setRows(day.rows, kMonth);
    for (const bool all : {false, true}) {
        for (const TrendSeriesInfo& info : trendSeries())
            chart.setSeriesShown(info.series, all || info.series <= TrendSeries::Temperature);
        zoomAndScroll(chart, all ? "all 9 series" : "3 series (the default)");
    }
    return 0;
}
