#pragma once
// A row of the e-mail schedule and its table file "Email.txt".

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Formats.h"
#include "RowFields.h"
#include "TableFile.h"

namespace lw {

inline constexpr std::string_view kEmailFile = "Email.txt";

struct ScheduleRow {
    std::optional<std::string> Email;   // at most 100 characters
    std::optional<int32_t> DataType;    // the frequency code
    std::optional<double> Time;         // time of day, as the fraction of a day
    std::optional<std::string> TankIDs; // at most 200 characters
    std::optional<double> LastSent;     // date-time

    bool operator==(const ScheduleRow&) const = default;
};

std::span<const RowField<ScheduleRow>> scheduleFields();

// A closed schedule saves nothing; a load opens it (see saveTableFile, loadTableFile).
void saveSchedule(const Table<ScheduleRow>& table, const std::filesystem::path& file,
                  const Formats& f);
void loadSchedule(Table<ScheduleRow>& table, const std::filesystem::path& file, const Formats& f);

} // namespace lw
