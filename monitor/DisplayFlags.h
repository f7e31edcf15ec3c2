#pragma once
// The operator's display flags: whether the trend panel is shown, and which grid columns (and
// with nine of them the matching trend series) are shown. Read at start-up, written by the
// column toggles of the View menu.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "LiveGridRules.h"
#include "Settings.h"

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

struct ColumnToggle {
    std::string_view item;    // the menu item's own name, for diagnostics
    std::string_view caption; // menu text
    Setting flag;
    LiveColumn column;
    std::optional<TrendSeries> series;
    bool inMenu; // the relay items are never visible: only a hand-edited flag shows a relay
};
inline constexpr int kColumnToggleCount = 21;

// In menu order.
std::span<const ColumnToggle> columnToggles();
// The toggle of a column; empty for the columns that are always shown (ID, name, status, time).
std::optional<int> toggleOf(LiveColumn column);

struct DisplayFlags {
    bool ShowTrend = true;
    std::array<bool, kColumnToggleCount> shown{}; // by toggle, in menu order

    // Each flag is shown when it is stored as 1.
    static DisplayFlags read(const Profile& user);
    // "ShowTrend" and the column flags the menu can change, in their order; the relay flags are
    // not written. Throws ProfileError; the values written before the failure stay.
    void WriteShow(Profile& user) const;

    bool columnShown(LiveColumn column) const;
    bool seriesShown(TrendSeries series) const;
};

} // namespace lw
