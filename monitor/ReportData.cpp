#include "ReportData.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include "DateTime.h"
#include "HistoryFile.h"
#include "TableFile.h"

namespace lw {
namespace {

constexpr int kLastDayNumber = 31;
constexpr unsigned kMaxReaders = 4;

template <class T> struct Quantity {
    std::optional<T> HistRow::*reading;
    std::optional<T> MonthRow::*min;
    std::optional<T> MonthRow::*max;
};

constexpr std::array<Quantity<double>, 7> kFloatQuantities{{
    {&HistRow::Level, &MonthRow::LevelMin, &MonthRow::LevelMax},
    {&HistRow::Volume, &MonthRow::VolumeMin, &MonthRow::VolumeMax},
    {&HistRow::Temperature, &MonthRow::TemperatureMin, &MonthRow::TemperatureMax},
    {&HistRow::LevelBelow, &MonthRow::LevelBelowMin, &MonthRow::LevelBelowMax},
    {&HistRow::VolumeBelow, &MonthRow::VolumeBelowMin, &MonthRow::VolumeBelowMax},
    {&HistRow::LevelAbove, &MonthRow::LevelAboveMin, &MonthRow::LevelAboveMax},
    {&HistRow::VolumeAbove, &MonthRow::VolumeAboveMin, &MonthRow::VolumeAboveMax},
}};
constexpr std::array<Quantity<int32_t>, 2> kIntegerQuantities{{
    {&HistRow::Input1, &MonthRow::Input1Min, &MonthRow::Input1Max},
    {&HistRow::Input2, &MonthRow::Input2Min, &MonthRow::Input2Max},
}};

template <class T> void accumulate(MonthRow& out, const HistRow& row, const Quantity<T>& q) {
    const auto& value = row.*q.reading;
    if (!value)
        return;
    auto& min = out.*q.min;
    auto& max = out.*q.max;
    min = min ? std::min(*min, *value) : *value;
    max = max ? std::max(*max, *value) : *value;
}

using H = HistRow;
using M = MonthRow;
constexpr auto kFloat = FieldType::Float;
constexpr auto kInteger = FieldType::Integer;

constexpr std::array<ReportColumn<HistRow>, 10> kHistColumns{{
    {{{"DateTime", FieldType::DateTime, 0}, &H::DateTime}, "Date Time", ""},
    {{{"Level", kFloat, 0}, &H::Level}, "Level", ""},
    {{{"Volume", kFloat, 0}, &H::Volume}, "Volume", ""},
    {{{"Temperature", kFloat, 0}, &H::Temperature}, "Temp", ""},
    {{{"LevelBelow", kFloat, 0}, &H::LevelBelow}, "Level Below", ""},
    {{{"VolumeBelow", kFloat, 0}, &H::VolumeBelow}, "Vol Below", ""},
    {{{"LevelAbove", kFloat, 0}, &H::LevelAbove}, "Level Above", ""},
    {{{"VolumeAbove", kFloat, 0}, &H::VolumeAbove}, "Vol Above", ""},
    {{{"Input1", kInteger, 0}, &H::Input1}, "Input1", ""},
    {{{"Input2", kInteger, 0}, &H::Input2}, "Input2", ""},
}};

constexpr std::array<ReportColumn<MonthRow>, 19> kMonthColumns{{
    {{{"DateTime", FieldType::DateTime, 0}, &M::DateTime}, "Date", ""},
    {{{"LevelMin", kFloat, 0}, &M::LevelMin}, "Min", "Level"},
    {{{"LevelMax", kFloat, 0}, &M::LevelMax}, "Max", "Level"},
    {{{"VolumeMin", kFloat, 0}, &M::VolumeMin}, "Min", "Vol"},
    {{{"VolumeMax", kFloat, 0}, &M::VolumeMax}, "Max", "Vol"},
    {{{"TemperatureMin", kFloat, 0}, &M::TemperatureMin}, "Min", "Temp"},
    {{{"TemperatureMax", kFloat, 0}, &M::TemperatureMax}, "Max", "Temp"},
    {{{"LevelBelowMin", kFloat, 0}, &M::LevelBelowMin}, "Min", "Level Below"},
    {{{"LevelBelowMax", kFloat, 0}, &M::LevelBelowMax}, "Max", "Level Below"},
    {{{"VolumeBelowMin", kFloat, 0}, &M::VolumeBelowMin}, "Min", "Vol Below"},
    {{{"VolumeBelowMax", kFloat, 0}, &M::VolumeBelowMax}, "Max", "Vol Below"},
    {{{"LevelAboveMin", kFloat, 0}, &M::LevelAboveMin}, "Min", "Level Above"},
    {{{"LevelAboveMax", kFloat, 0}, &M::LevelAboveMax}, "Max", "Level Above"},
    {{{"VolumeAboveMin", kFloat, 0}, &M::VolumeAboveMin}, "Min", "Vol Above"},
    {{{"VolumeAboveMax", kFloat, 0}, &M::VolumeAboveMax}, "Max", "Vol Above"},
    {{{"Input1Min", kInteger, 0}, &M::Input1Min}, "Min", "Input1"},
    {{{"Input1Max", kInteger, 0}, &M::Input1Max}, "Max", "Input1"},
    {{{"Input2Min", kInteger, 0}, &M::Input2Min}, "Min", "Input2"},
    {{{"Input2Max", kInteger, 0}, &M::Input2Max}, "Max", "Input2"},
}};

std::string cellText(const FieldValue& value, bool isDateTime, const Formats& f) {
    if (const auto* d = std::get_if<double>(&value)) {
        if (!isDateTime)
            return formatNumber(*d, f);
        return isValidDateTime(*d) ? formatDateTime(*d, f) : std::string();
    }
    if (const auto* i = std::get_if<int32_t>(&value))
        return std::to_string(*i);
    return {};
}

std::string titled(std::string_view tankText, double date, std::string pattern, const Formats& f) {
    Formats g = f;
    g.shortDateFormat = std::move(pattern);
    return std::string(tankText) + '-' + formatDate(date, g);
}

} // namespace

std::optional<std::string> historyTankText(std::string_view id) {
    const std::optional<int32_t> n = parseInteger(id);
    if (!n)
        return std::nullopt;
    return std::to_string(*n);
}

DayLoad loadHistoryDay(const std::filesystem::path& folder, double date, std::string_view tankText,
                       const Formats& f) {
    DayLoad day;
    const std::string name = historyFileName(date, tankText, f);
    const std::filesystem::path file = folder / name;
    std::error_code ignored;
    if (!std::filesystem::exists(file, ignored))
        return day;
    day.found = true;
    if (!std::filesystem::is_regular_file(file, ignored)) {
        day.error = name + ": not a file";
        return day;
    }
    try {
        loadHistoryFile(day.rows, file, f);
    } catch (const TableFileError& e) {
        day.error = name + ' ' + e.what();
    } catch (const std::filesystem::filesystem_error& e) {
        day.error = name + ": " + e.code().message();
    }
    return day;
}

MonthRow dayMinMax(double day, std::span<const HistRow> rows) {
    MonthRow out;
    out.DateTime = day;
    // One pass over the rows: a busy day's rows do not fit in the processor's caches.
    for (const HistRow& row : rows) {
        for (const auto& q : kFloatQuantities)
            accumulate(out, row, q);
        for (const auto& q : kIntegerQuantities)
            accumulate(out, row, q);
    }
    return out;
}

MonthLoad loadMonth(const std::filesystem::path& folder, double date, std::string_view tankText,
                    const Formats& f) {
    const CivilTime t = decodeDateTime(date);
    std::vector<double> days;
    for (int d = 1; d <= kLastDayNumber; ++d)
        if (isValidDate(t.year, t.month, d))
            days.push_back(encodeDateTime({t.year, t.month, d}));

    // The days are read on every processor at once and then taken in order, up to the first
    // one the reader rejects: a month of busy days is read whole in a fraction of the time.
    // Each day is condensed as soon as it is read, so only one day's rows per reader are held.
    struct Day {
        bool found = false;
        MonthRow row;
        std::string error;
    };
    std::vector<Day> results(days.size());
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&] {
        try {
            for (size_t i; (i = next++) < days.size();) {
                DayLoad load = loadHistoryDay(folder, days[i], tankText, f);
                results[i].found = load.found;
                results[i].error = std::move(load.error);
                if (load.found && results[i].error.empty())
                    results[i].row = dayMinMax(days[i], load.rows);
            }
        } catch (...) {
            const std::lock_guard lock(failureLock);
            failure = std::current_exception();
            next = days.size();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (unsigned i = 1; i < std::clamp(std::thread::hardware_concurrency(), 1u, kMaxReaders);
             ++i)
            helpers.emplace_back(work);
        work();
    }
    if (failure)
        std::rethrow_exception(failure);

    MonthLoad month;
    for (Day& day : results) {
        if (!day.error.empty()) {
            month.error = std::move(day.error);
            break;
        }
        if (day.found)
            month.rows.push_back(day.row);
    }
    return month;
}

std::span<const ReportColumn<HistRow>> histColumns() {
    return kHistColumns;
}

std::span<const ReportColumn<MonthRow>> monthColumns() {
    return kMonthColumns;
}

std::string reportCellText(const HistRow& row, const ReportColumn<HistRow>& column,
                           const Formats& f) {
    return cellText(getRowField(row, column.field.member),
                    column.field.info.type == FieldType::DateTime, f);
}

std::string reportCellText(const MonthRow& row, const ReportColumn<MonthRow>& column,
                           const Formats& f) {
    const FieldValue value = getRowField(row, column.field.member);
    if (column.field.info.type == FieldType::DateTime) {
        const auto* d = std::get_if<double>(&value);
        return d && isValidDateTime(*d) ? formatDate(*d, f) : std::string();
    }
    return cellText(value, false, f);
}

std::string histReportTitle(std::string_view tankText, double date, const Formats& f) {
    return titled(tankText, date, "MMM dd yyyy", f);
}

std::string monthReportTitle(std::string_view tankText, double date, const Formats& f) {
    return titled(tankText, date, "MMM yyyy", f);
}

} // namespace lw
