#pragma once
// What the trend chart draws of a tank-day: its nine series (title, value, axis, marker and
// colour) and their points, and the thinning that keeps a busy day (a row every 5 seconds)
// quick to draw at any zoom. Pure.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "HistRow.h"

namespace lw {

// The trend chart's series, which follow their grid columns.
enum class TrendSeries : uint8_t {
    Level,
    Volume,
    Temperature,
    LevelBelow,
    VolumeBelow,
    LevelAbove,
    VolumeAbove,
    Input1,
    Input2
};
inline constexpr int kTrendSeriesCount = 9;

struct TrendSeriesInfo {
    TrendSeries series;
    std::string_view title;
    bool rightAxis;    // "Temperature / Inputs"; else "Volume / Level"
    bool circleMarker; // else a square
    uint32_t colour;   // 0xRRGGBB
};

// In series order.
std::span<const TrendSeriesInfo> trendSeries();

struct TrendPoint {
    double x = 0; // the row's time, days since 1899-12-30
    double y = 0;

    bool operator==(const TrendPoint&) const = default;
};

// The series' points of a day's rows in ascending time; a row without a time or without this
// value gives no point.
std::vector<TrendPoint> trendPoints(std::span<const HistRow> rows, TrendSeries series);

// The points of `points` (ascending x) that draw the same line between xMin and xMax at a
// width of `buckets` pixels: all of them when there are few enough, else the lowest and the
// highest of each of `buckets` equal slices in their order, so peaks and dips stay. The
// nearest point outside each end is kept too, so the line runs on to the edges.
std::vector<TrendPoint> thinPoints(std::span<const TrendPoint> points, double xMin, double xMax,
                                   int buckets);

} // namespace lw
