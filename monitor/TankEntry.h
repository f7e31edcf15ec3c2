#pragma once
// What the operator types for a tank, turned into what the live table stores. Pure.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "TankRecord.h"

namespace lw {

// The ID entry accepts one to six digits.
inline constexpr std::string_view kTankIdPattern = "\\d{1,6}";
// An ID left empty becomes this.
inline constexpr std::string_view kEmptyTankId = "1";

// The ID as the table keeps it: an empty entry becomes "1"; a longer one keeps its first five
// characters (the field's width), so 123456 is stored as 12345.
std::string storedTankId(std::string_view entry);

// A new tank's row: the ID as storedTankId gives it, the name cut to 20 characters, the
// communication code (empty when none was chosen), the four alarms false and every other field
// empty.
TankRecord newTankRecord(std::string_view idEntry, std::string_view name,
                         std::optional<int32_t> comType);

} // namespace lw
