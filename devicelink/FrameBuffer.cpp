#include "FrameBuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lw {
namespace {

// Reflected table of polynomial 0xA001, split as the reference algorithm keeps it:
// "Hi" holds each entry's low byte, "Lo" its high byte.
constexpr std::array<uint16_t, 256> makeCrcTable() {
    std::array<uint16_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
        t[i] = crc;
    }
    return t;
}

constexpr auto kCrcTable = makeCrcTable();

constexpr std::array<uint8_t, 256> splitTable(bool highHalf) {
    std::array<uint8_t, 256> out{};
    for (int i = 0; i < 256; ++i)
        out[i] = static_cast<uint8_t>(highHalf ? kCrcTable[i] >> 8 : kCrcTable[i] & 0xFF);
    return out;
}

uint16_t checkBytes(const FrameBuffer& rx, int first) {
    return static_cast<uint16_t>(rx[first] * 256 + rx[first + 1]);
}

} // namespace

FrameBuffer FrameBuffer::fromBytes(std::span<const uint8_t> bytes) {
    FrameBuffer b;
    std::memcpy(b.block(), bytes.data(), std::min<size_t>(bytes.size(), kBufferSize));
    return b;
}

const std::array<uint8_t, 256> LookupCRCHi = splitTable(false);
const std::array<uint8_t, 256> LookupCRCLo = splitTable(true);

uint16_t RxInput(const FrameBuffer& rx, int index) {
    return static_cast<uint16_t>(rx[2 * index + 2] * 256 + rx[2 * index + 3]);
}

uint32_t RxInput2(const FrameBuffer& rx, int index) {
    return static_cast<uint32_t>(RxInput(rx, index)) << 16 | RxInput(rx, index + 1);
}

uint16_t crc16(const uint8_t* data, size_t length) {
    uint8_t hi = 0xFF;
    uint8_t lo = 0xFF;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t index = hi ^ data[i];
        hi = lo ^ LookupCRCHi[index];
        lo = LookupCRCLo[index];
    }
    return static_cast<uint16_t>(hi << 8 | lo);
}

uint16_t CRC16Rx(const FrameBuffer& rx) {
    return crc16(rx.block(), kShortFrameLength - 2);
}
uint16_t CRC16RxR3(const FrameBuffer& rx) {
    return crc16(rx.block(), kLongFrameLength - 2);
}
uint16_t CRC16Tx(const FrameBuffer& tx) {
    return crc16(tx.block(), 6);
}

bool shortCrcMatches(const FrameBuffer& rx) {
    return CRC16Rx(rx) == checkBytes(rx, kShortFrameLength - 1);
}

bool longCrcMatches(const FrameBuffer& rx) {
    return CRC16RxR3(rx) == checkBytes(rx, kLongFrameLength - 1);
}

double blockTime(const FrameBuffer& rx) {
    static_assert(std::endian::native == std::endian::little, "relay blocks are little-endian");
    double t;
    std::memcpy(&t, rx.block() + kTimeOffset, sizeof t);
    return t;
}

void setBlockTime(FrameBuffer& rx, double dateTime) {
    std::memcpy(rx.block() + kTimeOffset, &dateTime, sizeof dateTime);
}

} // namespace lw
