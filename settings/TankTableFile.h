#pragma once
// The tank tables as table files: the monitor's live table and the collector's table.

#include <filesystem>
#include <string_view>

#include "AtomicFile.h"
#include "Formats.h"
#include "TankTable.h"

namespace lw {

inline constexpr std::string_view kLiveDataFile = "LiveData.txt";
inline constexpr std::string_view kLastDataFile = "LastData.txt";

// How the "ID" column reads back. The live table's IDs are typed by the operator and keep at
// most 5 characters; the collector's table keys its rows by the whole decimal ID that the
// units report (R300 IDs may have more digits), so a restart finds every row again.
enum class TankIds { Typed, Whole };

// Writes the 25 columns of every row, replacing the file atomically.
void saveTankTable(const TankTable& table, const std::filesystem::path& file, const Formats& f,
                   Durability durability = Durability::Flushed);
// Replaces the rows with the file's; a file without any line changes nothing. Errors as in
// readTableText: the rows read before the error stay in the table.
void loadTankTable(TankTable& table, const std::filesystem::path& file, const Formats& f,
                   TankIds ids = TankIds::Typed);

} // namespace lw
