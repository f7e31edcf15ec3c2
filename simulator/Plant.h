#pragma once
// A plant of emulated display units: answers poll requests with the replies the real units
// send, lets the values drift between replies, and injects the faults it is told to. No I/O:
// the run command moves the bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "PollList.h"
#include "UnitConfig.h"

namespace lw::sim {

struct PlantOptions {
    uint32_t seed = 1;
    bool drift = true;
    double badCrcRate = 0; // share of replies sent with a broken check byte, 0..1
};

struct Answer {
    enum class Kind { Reply, Silent, NoUnit, Unsupported };
    Kind kind = Kind::NoUnit;
    int dispType = -1;
    int registerCount = 0;
    bool badCrc = false;
    std::vector<uint8_t> bytes; // the reply as it goes on the line; empty unless Kind::Reply
};

class Plant {
public:
    Plant(std::vector<UnitConfig> units, PlantOptions options);

    // The answer to one 8-byte request with a valid check. A unit answers function 4 from
    // register 0: an R300 unit with the short reply when asked for 24 registers and the long one
    // when asked for 48; an R200 unit always with its 24 registers.
    Answer answer(const PollRequest& request);
    // `count` random bytes, for noise between frames.
    std::vector<uint8_t> noise(int count);

private:
    // The position of the unit at `address` in units_.
    std::optional<size_t> find(uint8_t address) const;
    // Values move a step around the configured ones, within the family's register widths.
    void drift(UnitConfig& unit, const UnitValues& configured);
    uint32_t below(uint32_t bound);
    bool chance(double rate);

    std::vector<UnitConfig> units_;
    std::vector<UnitValues> configured_; // each unit's values as configured, by position
    PlantOptions options_;
    std::mt19937 rng_;
};

} // namespace lw::sim
