#pragma once
// A row of a history file as the reports and the trend chart load it. The file's "Status"
// column has no field here and is skipped.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "Formats.h"
#include "RowFields.h"

namespace lw {

struct HistRow {
    std::optional<double> DateTime;
    std::optional<double> Level;
    std::optional<double> Volume;
    std::optional<double> Temperature;
    std::optional<double> LevelBelow;
    std::optional<double> VolumeBelow;
    std::optional<double> LevelAbove;
    std::optional<double> VolumeAbove;
    std::optional<int32_t> Input1;
    std::optional<int32_t> Input2;

    bool operator==(const HistRow&) const = default;
};

std::span<const RowField<HistRow>> histFields();

// Replaces `rows` with the rows of a history file (its time column read with historyFormats).
// Errors as in readTableText: the rows read before the error stay in `rows`.
void loadHistoryFile(std::vector<HistRow>& rows, const std::filesystem::path& file,
                     const Formats& f);

} // namespace lw
