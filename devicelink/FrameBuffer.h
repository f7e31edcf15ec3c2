#pragma once
// The receive and transmit buffers and the protocol's register and CRC rules.
//
// Positions are 1-based as the protocol numbers them: position 1 is the unit address.
// Register k (1-based) occupies positions 2k + 2 (high byte) and 2k + 3 (low byte).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "RegisterMap.h"

namespace lw {

inline constexpr int kBufferSize = 255;      // RxData / TxData / relay block
inline constexpr int kShortFrameLength = 53; // 24 registers
inline constexpr int kLongFrameLength = 101; // 48 registers
inline constexpr int kShortRegisterCount = 24;
inline constexpr int kLongRegisterCount = 48;
inline constexpr int kTimeOffset = 247; // relay block: acceptance time, 0-based offset
inline constexpr uint8_t kFunctionRead = 0x04;
inline constexpr uint8_t kFunctionSignalTest = 0x40;

struct FrameBuffer {
    std::array<uint8_t, kBufferSize + 1> bytes{}; // bytes[0] is unused

    // A buffer holding `bytes` from position 1; bytes beyond position 255 are left out.
    static FrameBuffer fromBytes(std::span<const uint8_t> bytes);

    uint8_t& operator[](int pos) { return bytes[static_cast<size_t>(pos)]; }
    uint8_t operator[](int pos) const { return bytes[static_cast<size_t>(pos)]; }
    // Positions 1..255 as one contiguous run (the relay block).
    uint8_t* block() { return bytes.data() + 1; }
    const uint8_t* block() const { return bytes.data() + 1; }
};

// 16-bit register, high byte first. Index 1..126.
uint16_t RxInput(const FrameBuffer& rx, int index);
// 32-bit value of registers index and index + 1, the first holding the high half. Index 1..125.
uint32_t RxInput2(const FrameBuffer& rx, int index);

// Modbus RTU CRC-16 by the reference table algorithm. The result's high byte is the check
// byte that comes first on the line.
uint16_t crc16(const uint8_t* data, size_t length);
extern const std::array<uint8_t, 256> LookupCRCHi;
extern const std::array<uint8_t, 256> LookupCRCLo;

uint16_t CRC16Rx(const FrameBuffer& rx);   // over positions 1..51
uint16_t CRC16RxR3(const FrameBuffer& rx); // over positions 1..99
uint16_t CRC16Tx(const FrameBuffer& tx);   // over positions 1..6

// The check bytes at 52/53 (short) or 100/101 (long) match the CRC before them.
bool shortCrcMatches(const FrameBuffer& rx);
bool longCrcMatches(const FrameBuffer& rx);

// Acceptance time of a relay block: positions 248..255 as a little-endian IEEE double.
double blockTime(const FrameBuffer& rx);
void setBlockTime(FrameBuffer& rx, double dateTime);

} // namespace lw
