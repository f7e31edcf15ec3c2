#pragma once
// Builds the replies that display units send, from unit and tank values, and corrupt variants.
// Values are given as the unit sends them (raw register contents), not scaled.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lw::sim {

struct TankValues {
    uint32_t id = 0;
    uint16_t status = 0;
    uint16_t batteryCode = 3;
    int16_t temperature = 0;
    uint32_t level = 0;  // tenths (R200) or hundredths (R300)
    uint32_t volume = 0; // unscaled
    uint16_t volumeDecimals = 0;
    // Interface units only (R200I, R300I).
    uint32_t levelBelow = 0;
    uint32_t volumeBelow = 0;
    uint32_t levelAbove = 0;
    uint32_t volumeAbove = 0;
};

struct UnitValues {
    uint8_t address = 1;
    uint8_t function = 4;          // 0x40: the unit runs a wireless signal test
    int dispType = 0;              // register 6
    uint16_t version = 121;        // register 1
    uint16_t alarms = 0;           // register 2
    uint16_t relays = 0;           // register 3
    uint16_t input1 = 0;           // register 4
    uint16_t input2 = 0;           // register 5
    uint16_t batteryCode = 3;      // register 7
    uint16_t counter = 0;          // register 24 (R200) or 8 (R300)
    std::vector<TankValues> tanks; // as many as the type carries; missing tanks are zeros
};

// Registers 1..count (index 0 is register 1). count is 24 or 48.
std::vector<uint16_t> buildRegisters(const UnitValues& unit, int count);
// Address, function, byte count, registers high byte first, CRC: 53 bytes for 24 registers,
// 101 bytes for 48.
std::vector<uint8_t> buildReply(const UnitValues& unit, int registerCount);
// The 8-byte poll request for `registerCount` registers from register 0.
std::vector<uint8_t> buildRequest(uint8_t address, int registerCount);
// The same frame with its check bytes recomputed over the current contents.
std::vector<uint8_t> withCrc(std::vector<uint8_t> frame);
// The frame with its last check byte inverted.
std::vector<uint8_t> withBadCrc(std::vector<uint8_t> frame);
// Bytes as upper-case hex pairs separated by blanks ("01 04 00 00 00 18 F0 00"), the form
// `ostrel-sim decode` reads and the emulator logs.
std::string hexText(std::span<const uint8_t> bytes);
// A 255-byte relay block: the frame at its start, the acceptance time at offset 247.
std::vector<uint8_t> relayBlock(const std::vector<uint8_t>& frame, double acceptedAt);

} // namespace lw::sim
