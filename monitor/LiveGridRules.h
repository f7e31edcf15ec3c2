#pragma once
// How the live grid shows its table: the columns in their display order with captions, widths
// and kinds, the text of each cell, the battery bars, and the title of the printed grid.
// Pure: formats are passed in.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Formats.h"
#include "TankRecord.h"

namespace lw {

// Display order; the order of the table file's fields differs (the relays and alarm 4).
enum class LiveColumn : uint8_t {
    ID,
    TankName,
    Status,
    Level,
    Volume,
    Temp,
    LevelBelow,
    VolumeBelow,
    VolumeAbove,
    LevelAbove,
    Input1,
    Input2,
    Alarm1,
    Alarm2,
    Alarm3,
    Relay3,
    Relay4,
    Relay2,
    Alarm4,
    Relay1,
    BatDisplay,
    BatSender,
    DateTime,
    ComType,
    DispType
};
inline constexpr int kLiveColumnCount = 25;

enum class CellKind : uint8_t {
    Text,     // the stored text
    Number,   // the general number text
    Check,    // a check box
    Battery,  // a battery bar
    DateTime, // short date and long time
    Status,   // lookup texts of the code tables
    ComType,
    DispType,
};

struct LiveColumnInfo {
    LiveColumn column;
    std::string_view name;    // the column's own name, for diagnostics
    std::string_view caption; // header text, misspellings included
    TankField field;
    int width; // pixels; 0: the view's default
    CellKind kind;
    bool editable;
};

std::span<const LiveColumnInfo> liveColumns();
const LiveColumnInfo& liveColumn(LiveColumn c);
inline const LiveColumnInfo& liveColumn(int position) {
    return liveColumns()[static_cast<size_t>(position)];
}
// The column that shows a field (every field has one).
LiveColumn columnOf(TankField field);

// The text a cell shows. Numbers as the general number text (up to 15 significant digits, the
// locale's decimal separator), the date-time as short date and long time, codes through the
// lookup tables (a code outside its table shows nothing). Check boxes and battery bars have no
// text; an empty field shows nothing, except the lookup entries for empty codes ("Unknown",
// "Unkown").
std::string cellText(const TankRecord& row, LiveColumn column, const Formats& formats);

// A battery cell's bar: a stored level of 0 is a red bar over -25..100 (a short stub), above 50
// a lime bar, anything else (1..50, empty) a green one over 0..100.
struct BatteryBar {
    enum Style : uint8_t { GoodBat, FairBat, PoorBat };
    Style style = FairBat;
    int minimum = 0;
    int maximum = 100;
    // Share of the cell the bar fills, 0..1; an empty level fills nothing.
    double fill = 0;
};
BatteryBar batteryBar(std::optional<int32_t> level);

// "Live Data Report -" directly followed by the date as "mmm dd yyyy" (Jan 05 2024).
std::string liveDataReportTitle(double date, const Formats& formats);

} // namespace lw
