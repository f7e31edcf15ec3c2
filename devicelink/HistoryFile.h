#pragma once
// The daily history file of one tank: "yyyymmmdd-<ID>.txt" in the program folder, a header line
// of eleven names written when the file is created, then one tab-separated row per reading
// (7 fields, or 11 for an interface tank), lines ended by CR LF. Rows are appended with one
// open-append-close each, so readers can open the file between rows.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

#include "DateTime.h"
#include "Formats.h"
#include "TankRecord.h"

namespace lw {

inline constexpr std::array<std::string_view, 11> kHistoryColumns{
    "DateTime", "Status",     "Level",       "Volume",     "Temperature", "Input1",
    "Input2",   "LevelBelow", "VolumeBelow", "LevelAbove", "VolumeAbove"};

// A row is due again this long after the previous one while the values stay the same.
inline constexpr double kHistoryInterval = 58'000.0 / kMsPerDay;

// The formats of a history file's time column, "mm/dd/yyyy HH:MM:SS" with the separators of
// `f`; readers load the column with them too.
Formats historyFormats(const Formats& f);

// The name of a tank's history file of a day: the date as "yyyyMMMdd" with the locale's month
// abbreviation, "-", the tank text, ".txt" (2026Dec09-12.txt). Writers pass the ID as a whole
// number; readers pass the text they were given, so "007" names no file of tank 7.
std::string historyFileName(double date, std::string_view tankText, const Formats& f);

// The monitor's rule: a row is due on a change, or when `now` is later than the tank's last
// row plus 58 s.
bool monitorHistoryDue(double lastSave, bool change, double now);
// The collector's rule: also on an alarm change, and measured from the row's "DateTime" (an
// empty one counts as long ago), which the collector keeps across restarts.
bool serviceHistoryDue(const std::optional<double>& rowDateTime, bool change, bool alarmChange,
                       double now);

class HistoryFile {
public:
    HistoryFile(std::filesystem::path folder, Formats formats);

    // The day's file of a tank: the date of `now`, the locale's month abbreviation.
    std::filesystem::path path(uint32_t tankId, double now) const;

    // Appends one row stamped `now` to the tank's file of that day, creating the file with the
    // header line. False when the file cannot be opened or written: that row is lost.
    bool append(const TankRecord& row, uint32_t tankId, bool isInterface, double now) const;

    // The monitor's history step for one slot: appends a row when monitorHistoryDue says so and
    // then remembers `now` as the tank's last row. A file that cannot be opened loses the row
    // and leaves the memory as it was, so the next frame tries again. True when written.
    bool writeIfDue(const TankRecord& row, uint32_t tankId, bool change, bool isInterface,
                    double now);

private:
    std::filesystem::path folder_;
    Formats formats_;                              // value texts
    Formats timeFormats_;                          // the time column
    std::unordered_map<uint32_t, double> LastSave; // zero (never) for tanks not yet written
};

} // namespace lw
