#include "Plant.h"

#include <algorithm>

#include "CodeTables.h"
#include "FrameBuffer.h"

namespace lw::sim {
namespace {

// Drift bounds, inside each family's register widths.
constexpr int64_t kMaxLevelR200 = 20000;  // 2000.0
constexpr int64_t kMaxLevelR300 = 500000; // 5000.00
constexpr int kLevelStep = 25;
constexpr double kTemperatureChange = 0.1;
constexpr double kAlarmChange = 0.025;

uint32_t clampAdd(uint32_t value, int delta, int64_t max) {
    return static_cast<uint32_t>(std::clamp<int64_t>(int64_t{value} + delta, 0, max));
}

// Interface units report the levels and volumes below and above the interface: keep them a
// consistent split of the tank's level and volume.
void splitInterface(UnitValues& u) {
    if (!isInterfaceType(u.dispType))
        return;
    for (TankValues& t : u.tanks) {
        t.levelBelow = t.level * 2 / 5;
        t.levelAbove = t.level - t.levelBelow;
        t.volumeBelow = t.volume * 2 / 5;
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
    for (UnitConfig& u : units_)
        splitInterface(u.values);
}

Answer Plant::answer(const PollRequest& request) {
    Answer a;
    UnitConfig* unit = find(request[0]);
    if (!unit)
        return a;
    a.dispType = unit->values.dispType;
    const int asked = request[5] | request[4] << 8;
    const bool readFromZero = request[1] == kFunctionRead && request[2] == 0 && request[3] == 0;
    if (!readFromZero || (asked != kShortRegisterCount && asked != kLongRegisterCount)) {
        a.kind = Answer::Kind::Unsupported;
        return a;
    }
    if (unit->silent) {
        a.kind = Answer::Kind::Silent;
        return a;
    }
    a.kind = Answer::Kind::Reply;
    a.registerCount = familyOf(unit->values.dispType) == Family::R300 ? asked : kShortRegisterCount;
    a.bytes = buildReply(unit->values, a.registerCount);
    if (chance(options_.badCrcRate)) {
        a.badCrc = true;
        a.bytes = withBadCrc(std::move(a.bytes));
    }
    if (options_.drift && !unit->steady)
        drift(*unit);
    return a;
}

std::vector<uint8_t> Plant::noise(int count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max(count, 0)));
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(below(256));
    return bytes;
}

UnitConfig* Plant::find(uint8_t address) {
    for (UnitConfig& u : units_)
        if (u.values.address == address)
            return &u;
    return nullptr;
}

void Plant::drift(UnitConfig& unit) {
    UnitValues& u = unit.values;
    const int64_t maxLevel = familyOf(u.dispType) == Family::R300 ? kMaxLevelR300 : kMaxLevelR200;
    ++u.counter;
    for (TankValues& t : u.tanks) {
        const int step = static_cast<int>(below(2 * kLevelStep + 1)) - kLevelStep;
        t.level = clampAdd(t.level, step, maxLevel);
        t.volume = clampAdd(t.volume, 3 * step, 3 * maxLevel);
        if (chance(kTemperatureChange))
            t.temperature = static_cast<int16_t>(t.temperature + (below(2) ? 1 : -1));
    }
    u.input1 = static_cast<uint16_t>(clampAdd(u.input1, static_cast<int>(below(7)) - 3, 0xFFFF));
    u.input2 = static_cast<uint16_t>(clampAdd(u.input2, static_cast<int>(below(7)) - 3, 0xFFFF));
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
