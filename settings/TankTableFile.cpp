#include "TankTableFile.h"

#include "TableFile.h"

namespace lw {

void saveTankTable(const TankTable& table, const std::filesystem::path& file, const Formats& f,
                   Durability durability) {
    writeWholeFile(file, tableText(table.rows(), tankRowFields(), f), durability);
}

void loadTankTable(TankTable& table, const std::filesystem::path& file, const Formats& f) {
    std::vector<TankRecord> rows;
    try {
        if (!readTableText(readWholeFile(file), rows, tankRowFields(), f))
            return;
    } catch (const TableFileError&) {
        table.assign(std::move(rows));
        throw;
    }
    table.assign(std::move(rows));
}

} // namespace lw
