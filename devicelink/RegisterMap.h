#pragma once
// The layout of a display unit's reply: where each value sits, by 1-based byte position in the
// frame and by 1-based register number (as RxInput and RxInput2 take them). Every reader and
// writer of replies takes its positions from here.

namespace lw::reg {

// Frame bytes before the registers.
inline constexpr int kAddressByte = 1;   // unit address: the address the request went to
inline constexpr int kFunctionByte = 2;  // 4, or 0x40 while the unit runs a signal test
inline constexpr int kByteCountByte = 3; // bytes of register data: 48 (short) or 96 (long)

// Registers 1 to 7 mean the same in both families.
inline constexpr int kVersion = 1;     // firmware version; R300 alarm bits per tank from 121 on
inline constexpr int kAlarms = 2;      // alarm bits, four per tank
inline constexpr int kRelays = 3;      // relay bits; shown, not stored
inline constexpr int kInput1 = 4;      // analogue input 1, raw unsigned
inline constexpr int kInput2 = 5;      // analogue input 2, raw unsigned
inline constexpr int kType = 6;        // display type, tested as 16 bits; DispType is its low byte
inline constexpr int kBatDisplay = 7;  // battery code of the display unit
inline constexpr int kSharedCount = 7; // registers 1..7 are the shared ones

// R200 family: every value is one 16-bit register.
inline constexpr int kR200Tank1 = 8;    // tank 1's registers start here (its ID)
inline constexpr int kR200Tank2 = 15;   // tank 2 of an R200D starts here (its ID)
inline constexpr int kR200Counter = 24; // a counter kept by the unit; shown, not stored

// Offsets from the first register of an R200 tank.
struct R200Tank {
    static constexpr int kId = 0;          // tank ID
    static constexpr int kStatus = 1;      // sender status, 0 = good
    static constexpr int kBatSender = 2;   // sender battery code
    static constexpr int kTemperature = 3; // signed
    static constexpr int kLevel = 4;       // tenths
    static constexpr int kVolume = 5;      // unscaled
    static constexpr int kDecimals = 6;    // volume decimals
};

// R200I: the interface values follow tank 1, scaled as tank 1's level and volume.
inline constexpr int kR200LevelBelow = 15;  // tenths
inline constexpr int kR200VolumeBelow = 16; // unscaled
inline constexpr int kR200LevelAbove = 17;  // tenths
inline constexpr int kR200VolumeAbove = 18; // unscaled

// R300 family: tank IDs, levels and volumes are 32-bit, the high register first.
inline constexpr int kR300Counter = 8;    // a counter kept by the unit; shown, not stored
inline constexpr int kR300Tank1 = 9;      // tank 1's block of registers starts here
inline constexpr int kR300TankBlock = 10; // registers per tank: tank k starts 10 * (k - 1) later

// Offsets from the first register of an R300 tank's block.
struct R300Tank {
    static constexpr int kId = 0;          // tank ID, 32-bit
    static constexpr int kLevel = 2;       // hundredths, 32-bit
    static constexpr int kVolume = 4;      // unscaled, 32-bit
    static constexpr int kDecimals = 6;    // volume decimals
    static constexpr int kTemperature = 7; // signed
    static constexpr int kStatus = 8;      // sender status, 0 = good
    static constexpr int kBatSender = 9;   // sender battery code
};

// First register of tank `k` (1..4) of an R300 reply.
constexpr int r300Tank(int k) {
    return kR300Tank1 + kR300TankBlock * (k - 1);
}

// R300I: the interface values take the place of tank 2, scaled by tank 1's decimals.
inline constexpr int kR300LevelBelow = 19;  // hundredths, 32-bit
inline constexpr int kR300VolumeBelow = 21; // unscaled, 32-bit
inline constexpr int kR300LevelAbove = 23;  // hundredths, 32-bit
inline constexpr int kR300VolumeAbove = 25; // unscaled, 32-bit

} // namespace lw::reg
