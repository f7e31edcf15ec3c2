#pragma once
// How a plant of emulated display units is described on the command line and in plant files.
//
// One unit per description: ADDR:TYPE[:FIELD]... where TYPE is a display-type name (R200S,
// R300Q, ...) and each FIELD is one of
//   ID,ID,...      the unit's tank IDs, one per tank (default ADDR, ADDR+1000, ADDR+2000, ...)
//   KEY=VALUE      a unit value: version, alarms, relays, input1, input2, battery, counter
//   KEY=V[,V...]   a tank value, one for all tanks or one per tank: status, level, volume,
//                  decimals, temp, sbattery (the sender's battery code)
//   silent         the unit never answers
//   signal-test    the unit replies with function 0x40 (wireless signal test)
//   steady         the unit's values never drift
// Values are raw register contents: levels in tenths (R200) or hundredths (R300).

#include <istream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "FrameBuilder.h"

namespace lw::sim {

struct UnitConfig {
    UnitValues values;
    bool silent = false;
    bool steady = false;
};

class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ConfigError naming the offending part.
UnitConfig parseUnitConfig(std::string_view text);
// One unit description per line; blank lines and lines starting with '#' are skipped. Throws
// ConfigError with the line number.
std::vector<UnitConfig> parsePlantFile(std::istream& in);

// Display-type code of a name such as "R300S"; -1 for names that are no type.
int dispTypeByName(std::string_view name);

} // namespace lw::sim
