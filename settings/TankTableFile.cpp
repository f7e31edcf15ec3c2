#include "TankTableFile.h"

#include <array>

#include "TableFile.h"

namespace lw {
namespace {

// The tank columns with an "ID" that keeps every character.
const std::array<RowField<TankRecord>, kTankFieldCount> kWholeIdFields = [] {
    std::array<RowField<TankRecord>, kTankFieldCount> fields{};
    std::copy(tankRowFields().begin(), tankRowFields().end(), fields.begin());
    fields[static_cast<size_t>(TankField::ID)].info.width = 0;
    return fields;
}();

} // namespace

void saveTankTable(const TankTable& table, const std::filesystem::path& file, const Formats& f,
                   Durability durability) {
    writeWholeFile(file, tableText(table.rows(), tankRowFields(), f), durability);
}

void loadTankTable(TankTable& table, const std::filesystem::path& file, const Formats& f,
                   TankIds ids) {
    const std::span<const RowField<TankRecord>> fields =
        ids == TankIds::Whole ? std::span<const RowField<TankRecord>>(kWholeIdFields)
                              : tankRowFields();
    std::vector<TankRecord> rows;
    try {
        if (!readTableText(readWholeFile(file), rows, fields, f))
            return;
    } catch (const TableFileError&) {
        table.assign(std::move(rows));
        throw;
    }
    table.assign(std::move(rows));
}

} // namespace lw
