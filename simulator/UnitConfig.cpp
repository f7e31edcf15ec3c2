#include "UnitConfig.h"

#include <charconv>
#include <limits>
#include <string>

#include "CodeTables.h"
#include "FrameBuffer.h"

namespace lw::sim {
namespace {

constexpr uint32_t kSecondTankIdStep = 1000;

std::vector<std::string_view> split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

int64_t number(std::string_view text, int64_t min, int64_t max, std::string_view what) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end || v < min || v > max)
        throw ConfigError(std::string(what) + ": '" + std::string(text) +
                          "' is not a number from " + std::to_string(min) + " to " +
                          std::to_string(max));
    return v;
}

uint16_t u16(std::string_view text, std::string_view what) {
    return static_cast<uint16_t>(number(text, 0, 0xFFFF, what));
}

uint32_t registerValue(std::string_view text, bool wide, std::string_view what) {
    return static_cast<uint32_t>(number(text, 0, wide ? 0xFFFFFFFFLL : 0xFFFF, what));
}

// Applies one tank-level value to every tank, or a list of values to the tanks in order.
template <typename Set>
void forTanks(UnitValues& u, std::string_view key, std::string_view values, Set set) {
    const auto list = split(values, ',');
    if (list.size() != 1 && list.size() != u.tanks.size())
        throw ConfigError(std::string(key) + ": give one value or one per tank (" +
                          std::to_string(u.tanks.size()) + ")");
    for (size_t k = 0; k < u.tanks.size(); ++k)
        set(u.tanks[k], list.size() == 1 ? list[0] : list[k]);
}

void setValue(UnitConfig& config, std::string_view key, std::string_view value) {
    UnitValues& u = config.values;
    const bool wide = familyOf(u.dispType) == Family::R300; // R300 sends 32-bit IDs and values
    if (key == "version")
        u.version = u16(value, key);
    else if (key == "alarms")
        u.alarms = u16(value, key);
    else if (key == "relays")
        u.relays = u16(value, key);
    else if (key == "input1")
        u.input1 = u16(value, key);
    else if (key == "input2")
        u.input2 = u16(value, key);
    else if (key == "battery")
        u.batteryCode = u16(value, key);
    else if (key == "counter")
        u.counter = u16(value, key);
    else if (key == "status")
        forTanks(u, key, value, [&](TankValues& t, auto v) { t.status = u16(v, key); });
    else if (key == "level")
        forTanks(u, key, value,
                 [&](TankValues& t, auto v) { t.level = registerValue(v, wide, key); });
    else if (key == "volume")
        forTanks(u, key, value,
                 [&](TankValues& t, auto v) { t.volume = registerValue(v, wide, key); });
    else if (key == "decimals")
        forTanks(u, key, value, [&](TankValues& t, auto v) { t.volumeDecimals = u16(v, key); });
    else if (key == "temp")
        forTanks(u, key, value, [&](TankValues& t, auto v) {
            t.temperature = static_cast<int16_t>(number(v, -32768, 32767, key));
        });
    else if (key == "sbattery")
        forTanks(u, key, value, [&](TankValues& t, auto v) { t.batteryCode = u16(v, key); });
    else
        throw ConfigError("unknown unit value '" + std::string(key) + "'");
}

bool isIdList(std::string_view field) {
    return !field.empty() && field.find_first_not_of("0123456789,") == std::string_view::npos;
}

void setIds(UnitConfig& config, std::string_view field) {
    UnitValues& u = config.values;
    const auto ids = split(field, ',');
    if (ids.size() != u.tanks.size())
        throw ConfigError("a " + std::string(dispTypeText(u.dispType)) + " unit has " +
                          std::to_string(u.tanks.size()) + " tank ID(s), not " +
                          std::to_string(ids.size()));
    const bool wide = familyOf(u.dispType) == Family::R300;
    for (size_t k = 0; k < ids.size(); ++k)
        u.tanks[k].id = static_cast<uint32_t>(
            number(ids[k], 1, wide ? std::numeric_limits<uint32_t>::max() : 0xFFFF, "tank ID"));
}

// Starting values: plausible, different per tank, inside each family's register widths.
void setDefaults(UnitValues& u) {
    const bool wide = familyOf(u.dispType) == Family::R300;
    u.tanks.resize(static_cast<size_t>(tanksPerReply(u.dispType)));
    for (size_t k = 0; k < u.tanks.size(); ++k) {
        TankValues& t = u.tanks[k];
        t.id = u.address + kSecondTankIdStep * static_cast<uint32_t>(k);
        t.temperature = static_cast<int16_t>(20 + k);
        t.level = (wide ? 40000u : 4000u) + (wide ? 5000u : 500u) * static_cast<uint32_t>(k);
        t.volume = t.level * 3;
    }
}

} // namespace

int dispTypeByName(std::string_view name) {
    for (const CodeText& c : DispTypeData())
        if (c.code && c.text == name)
            return *c.code;
    return -1;
}

UnitConfig parseUnitConfig(std::string_view text) {
    const auto fields = split(text, ':');
    if (fields.size() < 2)
        throw ConfigError("unit '" + std::string(text) + "': expected ADDR:TYPE[:...]");
    UnitConfig config;
    config.values.address = static_cast<uint8_t>(number(fields[0], 1, 255, "unit address"));
    config.values.dispType = dispTypeByName(fields[1]);
    if (config.values.dispType < 0)
        throw ConfigError("unknown display type '" + std::string(fields[1]) + "'");
    setDefaults(config.values);

    for (size_t i = 2; i < fields.size(); ++i) {
        const std::string_view f = fields[i];
        const size_t eq = f.find('=');
        if (isIdList(f))
            setIds(config, f);
        else if (eq != std::string_view::npos)
            setValue(config, f.substr(0, eq), f.substr(eq + 1));
        else if (f == "silent")
            config.silent = true;
        else if (f == "signal-test")
            config.values.function = kFunctionSignalTest;
        else if (f == "steady")
            config.steady = true;
        else
            throw ConfigError("unit '" + std::string(text) + "': unknown field '" + std::string(f) +
                              "'");
    }
    return config;
}

std::vector<UnitConfig> parsePlantFile(std::istream& in) {
    std::vector<UnitConfig> units;
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const size_t last = line.find_last_not_of(" \t\r");
        try {
            units.push_back(
                parseUnitConfig(std::string_view(line).substr(first, last - first + 1)));
        } catch (const ConfigError& e) {
            throw ConfigError("line " + std::to_string(n) + ": " + e.what());
        }
    }
    return units;
}

} // namespace lw::sim
