#include "TankEntry.h"

#include "TableFile.h"

namespace lw {

std::string storedTankId(std::string_view entry) {
    if (entry.empty())
        return std::string(kEmptyTankId);
    return std::string(cutToWidth(entry, fieldInfo(TankField::ID).width));
}

TankRecord newTankRecord(std::string_view idEntry, std::string_view name,
                         std::optional<int32_t> comType) {
    TankRecord r;
    r.ID = storedTankId(idEntry);
    r.TankName = std::string(cutToWidth(name, fieldInfo(TankField::TankName).width));
    r.ComType = comType;
    r.Alarm1 = r.Alarm2 = r.Alarm3 = r.Alarm4 = false;
    return r;
}

} // namespace lw
