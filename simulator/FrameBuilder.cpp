#include "FrameBuilder.h"

#include <cstring>

#include "CodeTables.h"
#include "FrameBuffer.h"
#include "PollList.h"

namespace lw::sim {
namespace {

class Registers {
public:
    explicit Registers(int count) : regs_(static_cast<size_t>(count), 0) {}
    // Writes register `reg` (1-based); registers beyond the reply are left out.
    void set(int reg, uint32_t value) {
        if (reg >= 1 && reg <= static_cast<int>(regs_.size()))
            regs_[static_cast<size_t>(reg - 1)] = static_cast<uint16_t>(value);
    }
    void set32(int reg, uint32_t value) {
        set(reg, value >> 16);
        set(reg + 1, value & 0xFFFF);
    }
    std::vector<uint16_t> take() { return std::move(regs_); }

private:
    std::vector<uint16_t> regs_;
};

TankValues tank(const UnitValues& unit, size_t k) {
    return k < unit.tanks.size() ? unit.tanks[k] : TankValues{};
}

void r200Tank(Registers& r, int first, const TankValues& t) {
    r.set(first, t.id);
    r.set(first + 1, t.status);
    r.set(first + 2, t.batteryCode);
    r.set(first + 3, static_cast<uint16_t>(t.temperature));
    r.set(first + 4, t.level);
    r.set(first + 5, t.volume);
    r.set(first + 6, t.volumeDecimals);
}

void r300Tank(Registers& r, int first, const TankValues& t) {
    r.set32(first, t.id);
    r.set32(first + 2, t.level);
    r.set32(first + 4, t.volume);
    r.set(first + 6, t.volumeDecimals);
    r.set(first + 7, static_cast<uint16_t>(t.temperature));
    r.set(first + 8, t.status);
    r.set(first + 9, t.batteryCode);
}

} // namespace

std::vector<uint16_t> buildRegisters(const UnitValues& unit, int count) {
    Registers r(count);
    r.set(1, unit.version);
    r.set(2, unit.alarms);
    r.set(3, unit.relays);
    r.set(4, unit.input1);
    r.set(5, unit.input2);
    r.set(6, static_cast<uint32_t>(unit.dispType));
    r.set(7, unit.batteryCode);

    if (familyOf(unit.dispType) == Family::R300) {
        r.set(8, unit.counter);
        r300Tank(r, 9, tank(unit, 0));
        if (unit.dispType == disptype::R300I) {
            const TankValues t = tank(unit, 0);
            r.set32(19, t.levelBelow);
            r.set32(21, t.volumeBelow);
            r.set32(23, t.levelAbove);
            r.set32(25, t.volumeAbove);
        } else {
            for (int k = 1; k < tanksPerReply(unit.dispType); ++k)
                r300Tank(r, 9 + 10 * k, tank(unit, static_cast<size_t>(k)));
        }
    } else {
        r200Tank(r, 8, tank(unit, 0));
        if (unit.dispType == disptype::R200D) {
            r200Tank(r, 15, tank(unit, 1));
        } else if (unit.dispType == disptype::R200I) {
            const TankValues t = tank(unit, 0);
            r.set(15, t.levelBelow);
            r.set(16, t.volumeBelow);
            r.set(17, t.levelAbove);
            r.set(18, t.volumeAbove);
        }
        r.set(24, unit.counter);
    }
    return r.take();
}

std::vector<uint8_t> buildReply(const UnitValues& unit, int registerCount) {
    std::vector<uint8_t> frame{unit.address, unit.function,
                               static_cast<uint8_t>(2 * registerCount)};
    for (uint16_t reg : buildRegisters(unit, registerCount)) {
        frame.push_back(static_cast<uint8_t>(reg >> 8));
        frame.push_back(static_cast<uint8_t>(reg & 0xFF));
    }
    frame.resize(frame.size() + 2);
    return withCrc(std::move(frame));
}

std::vector<uint8_t> buildRequest(uint8_t address, int registerCount) {
    const PollRequest request = pollRequest(address, registerCount);
    return {request.begin(), request.end()};
}

std::vector<uint8_t> withCrc(std::vector<uint8_t> frame) {
    if (frame.size() < 2)
        return frame;
    const uint16_t crc = crc16(frame.data(), frame.size() - 2);
    frame[frame.size() - 2] = static_cast<uint8_t>(crc >> 8);
    frame[frame.size() - 1] = static_cast<uint8_t>(crc & 0xFF);
    return frame;
}

std::vector<uint8_t> withBadCrc(std::vector<uint8_t> frame) {
    if (!frame.empty())
        frame.back() ^= 0xFF;
    return frame;
}

std::string hexText(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : bytes) {
        if (!s.empty())
            s += ' ';
        s += kDigits[b >> 4];
        s += kDigits[b & 0xF];
    }
    return s;
}

std::vector<uint8_t> relayBlock(const std::vector<uint8_t>& frame, double acceptedAt) {
    std::vector<uint8_t> block(kBufferSize, 0);
    std::memcpy(block.data(), frame.data(), std::min<size_t>(frame.size(), kTimeOffset));
    std::memcpy(block.data() + kTimeOffset, &acceptedAt, sizeof acceptedAt);
    return block;
}

} // namespace lw::sim
