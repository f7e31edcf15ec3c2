#include "TrendData.h"

#include <algorithm>
#include <array>

namespace lw {
namespace {

using S = TrendSeries;

constexpr std::array<TrendSeriesInfo, kTrendSeriesCount> kSeries{{
    {S::Level, "Level", false, true, 0x8080FF},
    {S::Volume, "Volume", false, true, 0x4466A3},
    {S::Temperature, "Temperature", true, true, 0xF39C35},
    {S::LevelBelow, "LevelBelow", false, false, 0xF14C14},
    {S::VolumeBelow, "VolumeBelow", false, false, 0x4E97A8},
    {S::LevelAbove, "LevelAbove", false, false, 0x2B406B},
    {S::VolumeAbove, "VolumeAbove", false, false, 0x1D7B63},
    {S::Input1, "Input1", true, false, 0xB3080E},
    {S::Input2, "Input2", true, false, 0xF2C05D},
}};

std::optional<double> valueOf(const HistRow& row, TrendSeries series) {
    switch (series) {
    case S::Level:
        return row.Level;
    case S::Volume:
        return row.Volume;
    case S::Temperature:
        return row.Temperature;
    case S::LevelBelow:
        return row.LevelBelow;
    case S::VolumeBelow:
        return row.VolumeBelow;
    case S::LevelAbove:
        return row.LevelAbove;
    case S::VolumeAbove:
        return row.VolumeAbove;
    case S::Input1:
        return row.Input1;
    case S::Input2:
        return row.Input2;
    }
    return std::nullopt;
}

bool byX(const TrendPoint& a, const TrendPoint& b) {
    return a.x < b.x;
}

} // namespace

std::span<const TrendSeriesInfo> trendSeries() {
    return kSeries;
}

std::vector<TrendPoint> trendPoints(std::span<const HistRow> rows, TrendSeries series) {
    std::vector<TrendPoint> points;
    points.reserve(rows.size());
    for (const HistRow& row : rows) {
        const std::optional<double> y = valueOf(row, series);
        if (row.DateTime && y)
            points.push_back({*row.DateTime, *y});
    }
    // Rows are written in time order; a clock set back on the day is the exception.
    if (!std::is_sorted(points.begin(), points.end(), byX))
        std::stable_sort(points.begin(), points.end(), byX);
    return points;
}

std::vector<TrendPoint> thinPoints(std::span<const TrendPoint> points, double xMin, double xMax,
                                   int buckets) {
    const auto first = std::lower_bound(points.begin(), points.end(), TrendPoint{xMin, 0}, byX);
    const auto last = std::upper_bound(first, points.end(), TrendPoint{xMax, 0}, byX);
    const auto from = first == points.begin() ? first : first - 1;
    const auto to = last == points.end() ? last : last + 1;
    if (buckets <= 0 || xMax <= xMin || last - first <= 2 * static_cast<ptrdiff_t>(buckets))
        return {from, to};

    std::vector<TrendPoint> out;
    out.reserve(2 * static_cast<size_t>(buckets) + 2);
    if (from != first)
        out.push_back(*from);
    const double width = (xMax - xMin) / buckets;
    auto bucketOf = [&](const TrendPoint& p) {
        return std::min(buckets - 1, static_cast<int>((p.x - xMin) / width));
    };
    auto low = first;
    auto high = first;
    int bucket = bucketOf(*first);
    auto flush = [&] {
        out.push_back(low < high ? *low : *high);
        if (low != high)
            out.push_back(low < high ? *high : *low);
    };
    for (auto p = first + 1; p != last; ++p) {
        const int b = bucketOf(*p);
        if (b != bucket) {
            flush();
            bucket = b;
            low = high = p;
            continue;
        }
        if (p->y < low->y)
            low = p;
        if (p->y > high->y)
            high = p;
    }
    flush();
    if (to != last)
        out.push_back(*last);
    return out;
}

} // namespace lw
