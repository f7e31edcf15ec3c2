#include "Plant.h"

#include <algorithm>
#include <cstdint>

#include "CodeTables.h"
#include "FrameBuffer.h"

namespace lw::sim {
namespace {

// Values wander by these steps around the configured ones, at most a band away from them and
// never outside what the family's registers can carry.
constexpr int kLevelStep = 25;
constexpr int64_t kLevelBand = 2000; // raw units: 200.0 (R200) or 20.00 (R300) either side
constexpr int kVolumePerLevel = 3;   // volume moves three raw units per unit of level
constexpr int64_t kTemperatureBand = 10;
constexpr int kInputStep = 3;
constexpr int64_t kInputBand = 300;
constexpr double kTemperatureChange = 0.1;
constexpr double kAlarmChange = 0.025;

constexpr int64_t kMax16 = 0xFFFF;
constexpr int64_t kMax32 = 0xFFFFFFFF;

// `value` moved by `delta`, kept within `band` of `configured` and within min..max.
int64_t wander(int64_t value, int64_t delta, int64_t configured, int64_t band, int64_t min,
               int64_t max) {
    return std::clamp(value + delta, std::max(min, configured - band),
                      std::min(max, configured + band));
}

// Interface units report the levels and volumes below and above the interface: keep them a
// consistent split of the tank's level and volume.
void splitInterface(UnitValues& u) {
    if (!isInterfaceType(u.dispType))
        return;
    // Two fifths below: in 64 bits, as twice a 32-bit value may not fit 32.
    const auto twoFifths = [](uint32_t v) { return static_cast<uint32_t>(uint64_t{v} * 2 / 5); };
    for (TankValues& t : u.tanks) {
        t.levelBelow = twoFifths(t.level);
        t.levelAbove = t.level - t.levelBelow;
        t.volumeBelow = twoFifths(t.volume);
        t.volumeAbove = t.volume - t.volumeBelow;
    }
}

// Bits of register 2 that carry alarms the decoder reads for this unit.
int alarmBits(const UnitValues& u) {
    constexpr int kNewAlarmLayoutVersion = 121;
    if (familyOf(u.dispType) == Family::R300 && u.version >= kNewAlarmLayoutVersion)
        return 4 * static_cast<int>(u.tanks.size());
    return 4;
}

} // namespace

Plant::Plant(std::vector<UnitConfig> units, PlantOptions options)
    : units_(std::move(units)), options_(options), rng_(options.seed) {
    for (UnitConfig& u : units_) {
        splitInterface(u.values);
        configured_.push_back(u.values);
    }
}

Answer Plant::answer(const PollRequest& request) {
    Answer a;
    const std::optional<size_t> index = find(request[0]);
    if (!index)
        return a;
    UnitConfig& unit = units_[*index];
    a.dispType = unit.values.dispType;
    const int asked = request[5] | request[4] << 8;
    const bool readFromZero = request[1] == kFunctionRead && request[2] == 0 && request[3] == 0;
    if (!readFromZero || (asked != kShortRegisterCount && asked != kLongRegisterCount)) {
        a.kind = Answer::Kind::Unsupported;
        return a;
    }
    if (unit.silent) {
        a.kind = Answer::Kind::Silent;
        return a;
    }
    a.kind = Answer::Kind::Reply;
    a.registerCount = familyOf(unit.values.dispType) == Family::R300 ? asked : kShortRegisterCount;
    a.bytes = buildReply(unit.values, a.registerCount);
    if (chance(options_.badCrcRate)) {
        a.badCrc = true;
        a.bytes = withBadCrc(std::move(a.bytes));
    }
    if (options_.drift && !unit.steady)
        drift(unit, configured_[*index]);
    return a;
}

std::vector<uint8_t> Plant::noise(int count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max(count, 0)));
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(below(256));
    return bytes;
}

std::optional<size_t> Plant::find(uint8_t address) const {
    for (size_t i = 0; i < units_.size(); ++i)
        if (units_[i].values.address == address)
            return i;
    return std::nullopt;
}

void Plant::drift(UnitConfig& unit, const UnitValues& configured) {
    UnitValues& u = unit.values;
    const int64_t maxValue = familyOf(u.dispType) == Family::R300 ? kMax32 : kMax16;
    ++u.counter;
    for (size_t k = 0; k < u.tanks.size(); ++k) {
        TankValues& t = u.tanks[k];
        const TankValues& c = configured.tanks[k];
        const int step = static_cast<int>(below(2 * kLevelStep + 1)) - kLevelStep;
        t.level = static_cast<uint32_t>(wander(t.level, step, c.level, kLevelBand, 0, maxValue));
        t.volume = static_cast<uint32_t>(wander(t.volume, kVolumePerLevel * step, c.volume,
                                                kVolumePerLevel * kLevelBand, 0, maxValue));
        if (chance(kTemperatureChange))
            t.temperature =
                static_cast<int16_t>(wander(t.temperature, below(2) ? 1 : -1, c.temperature,
                                            kTemperatureBand, INT16_MIN, INT16_MAX));
    }
    const auto input = [&](uint16_t value, uint16_t configuredValue) {
        const int delta = static_cast<int>(below(2 * kInputStep + 1)) - kInputStep;
        return static_cast<uint16_t>(wander(value, delta, configuredValue, kInputBand, 0, kMax16));
    };
    u.input1 = input(u.input1, configured.input1);
    u.input2 = input(u.input2, configured.input2);
    if (chance(kAlarmChange))
        u.alarms =
            static_cast<uint16_t>(u.alarms ^ (1u << below(static_cast<uint32_t>(alarmBits(u)))));
    splitInterface(u);
}

// Plain modulo of the engine's output: its sequence is fixed by the standard, so a seed gives
// the same plant on every platform (the standard distributions do not promise that).
uint32_t Plant::below(uint32_t bound) {
    return static_cast<uint32_t>(rng_() % bound);
}

bool Plant::chance(double rate) {
    if (rate <= 0)
        return false;
    return rate >= 1 || static_cast<double>(rng_()) < rate * 4294967296.0;
}

} // namespace lw::sim
