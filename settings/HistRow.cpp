#include "HistRow.h"

#include <array>

#include "HistoryFile.h"
#include "TableFile.h"

namespace lw {
namespace {

constexpr std::array<RowField<HistRow>, 10> kFields{{
    {{"DateTime", FieldType::DateTime, 0}, &HistRow::DateTime},
    {{"Level", FieldType::Float, 0}, &HistRow::Level},
    {{"Volume", FieldType::Float, 0}, &HistRow::Volume},
    {{"Temperature", FieldType::Float, 0}, &HistRow::Temperature},
    {{"LevelBelow", FieldType::Float, 0}, &HistRow::LevelBelow},
    {{"VolumeBelow", FieldType::Float, 0}, &HistRow::VolumeBelow},
    {{"LevelAbove", FieldType::Float, 0}, &HistRow::LevelAbove},
    {{"VolumeAbove", FieldType::Float, 0}, &HistRow::VolumeAbove},
    {{"Input1", FieldType::Integer, 0}, &HistRow::Input1},
    {{"Input2", FieldType::Integer, 0}, &HistRow::Input2},
}};

} // namespace

std::span<const RowField<HistRow>> histFields() {
    return kFields;
}

void loadHistoryFile(std::vector<HistRow>& rows, const std::filesystem::path& file,
                     const Formats& f) {
    rows.clear();
    readTableText(readWholeFile(file), rows, histFields(), historyFormats(f));
}

} // namespace lw
