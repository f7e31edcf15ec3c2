#pragma once
// The operator's views of the history files: one tank-day row by row (the historical report and
// the trend chart) and one tank-month as the minimum and maximum of each day (the monthly
// report). The windows and the headless export load and compute through here and only show the
// result. Pure: the folder and the formats are passed in.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Formats.h"
#include "HistRow.h"
#include "RowFields.h"

namespace lw {

// The tank text of a live-table ID: the ID read as a whole number and written back in decimal
// ("007" gives "7"), as the history files are named; empty when the ID is no decimal integer.
std::optional<std::string> historyTankText(std::string_view id);

// One tank-day of history.
struct DayLoad {
    bool found = false; // the day has a file
    std::vector<HistRow> rows;
    // Empty when the file was read whole. Else "<file name> line <n>: <reason>": a line that did
    // not convert stops the reading there, a line with too many values is left out; the rows
    // read stay in `rows`.
    std::string error;
};

// The tank's file of `date`'s day in `folder`, named with `tankText` exactly as given (so
// "007" finds no file of tank 7). No file: found is false and there are no rows.
DayLoad loadHistoryDay(const std::filesystem::path& folder, double date, std::string_view tankText,
                       const Formats& f);

// One day of the monthly report: the day at midnight and, for each quantity, the smallest and
// the largest reading of the day. An empty value is no reading: a quantity without a reading
// that day (a file without rows, the below/above values of an ordinary tank) stays empty.
struct MonthRow {
    std::optional<double> DateTime;
    std::optional<double> LevelMin, LevelMax;
    std::optional<double> VolumeMin, VolumeMax;
    std::optional<double> TemperatureMin, TemperatureMax;
    std::optional<double> LevelBelowMin, LevelBelowMax;
    std::optional<double> VolumeBelowMin, VolumeBelowMax;
    std::optional<double> LevelAboveMin, LevelAboveMax;
    std::optional<double> VolumeAboveMin, VolumeAboveMax;
    std::optional<int32_t> Input1Min, Input1Max;
    std::optional<int32_t> Input2Min, Input2Max;

    bool operator==(const MonthRow&) const = default;
};

MonthRow dayMinMax(double day, std::span<const HistRow> rows);

struct MonthLoad {
    std::vector<MonthRow> rows; // one per day that has a file, in day order
    // Empty when every file was read whole. Else the error of the first day file the reader
    // rejected, as in DayLoad: that day and the later ones are not in `rows`.
    std::string error;
};

// Days 1 to 31 of `date`'s month (any day of it), the days the month has; a day without a
// file is left out. The files are read on several threads; the result is the same as reading
// them one after the other.
MonthLoad loadMonth(const std::filesystem::path& folder, double date, std::string_view tankText,
                    const Formats& f);

// A column of a report: the field (its name is the export's header), the window's caption, and
// the caption of the band it sits under (the monthly report's quantities; empty for none).
template <class Row> struct ReportColumn {
    RowField<Row> field;
    std::string_view caption;
    std::string_view band;
};

// HistData: "Date Time", "Level", ... "Input2", in the grid's order.
std::span<const ReportColumn<HistRow>> histColumns();
// MonthData: "Date", then "Min" and "Max" under each quantity's band.
std::span<const ReportColumn<MonthRow>> monthColumns();
// The band of a monthly column: 0 for the date, 1 to 9 for the quantities in band order.
inline constexpr int kMonthBandCount = 10;
inline int monthBandOf(int column) {
    return (column + 1) / 2;
}

// A cell's text: numbers in the general number text of `f`, the history time as date and time,
// the monthly day as the date alone, an empty value as nothing.
std::string reportCellText(const HistRow& row, const ReportColumn<HistRow>& column,
                           const Formats& f);
std::string reportCellText(const MonthRow& row, const ReportColumn<MonthRow>& column,
                           const Formats& f);

// The printed reports' titles: the tank text, "-" and the date as "mmm dd yyyy" (12-Dec 09 2026)
// for a day, as "mmm yyyy" (12-Dec 2026) for a month, with the month names of `f`.
std::string histReportTitle(std::string_view tankText, double date, const Formats& f);
std::string monthReportTitle(std::string_view tankText, double date, const Formats& f);

} // namespace lw
