#include "ScheduleRow.h"

#include <array>

namespace lw {
namespace {

constexpr std::array<RowField<ScheduleRow>, 5> kFields{{
    {{"Email", FieldType::Text, 100}, &ScheduleRow::Email},
    {{"DataType", FieldType::Integer, 0}, &ScheduleRow::DataType},
    {{"Time", FieldType::Time, 0}, &ScheduleRow::Time},
    {{"TankIDs", FieldType::Text, 200}, &ScheduleRow::TankIDs},
    {{"LastSent", FieldType::DateTime, 0}, &ScheduleRow::LastSent},
}};

} // namespace

std::span<const RowField<ScheduleRow>> scheduleFields() {
    return kFields;
}

void saveSchedule(const Table<ScheduleRow>& table, const std::filesystem::path& file,
                  const Formats& f) {
    saveTableFile(table, scheduleFields(), file, f);
}

void loadSchedule(Table<ScheduleRow>& table, const std::filesystem::path& file, const Formats& f) {
    loadTableFile(table, scheduleFields(), file, f);
}

} // namespace lw
