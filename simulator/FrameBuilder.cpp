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
    using T = reg::R200Tank;
    r.set(first + T::kId, t.id);
    r.set(first + T::kStatus, t.status);
    r.set(first + T::kBatSender, t.batteryCode);
    r.set(first + T::kTemperature, static_cast<uint16_t>(t.temperature));
    r.set(first + T::kLevel, t.level);
    r.set(first + T::kVolume, t.volume);
    r.set(first + T::kDecimals, t.volumeDecimals);
}

void r300Tank(Registers& r, int first, const TankValues& t) {
    using T = reg::R300Tank;
    r.set32(first + T::kId, t.id);
    r.set32(first + T::kLevel, t.level);
    r.set32(first + T::kVolume, t.volume);
    r.set(first + T::kDecimals, t.volumeDecimals);
    r.set(first + T::kTemperature, static_cast<uint16_t>(t.temperature));
    r.set(first + T::kStatus, t.status);
    r.set(first + T::kBatSender, t.batteryCode);
}

} // namespace

std::vector<uint16_t> buildRegisters(const UnitValues& unit, int count) {
    Registers r(count);
    r.set(reg::kVersion, unit.version);
    r.set(reg::kAlarms, unit.alarms);
    r.set(reg::kRelays, unit.relays);
    r.set(reg::kInput1, unit.input1);
    r.set(reg::kInput2, unit.input2);
    r.set(reg::kType, static_cast<uint32_t>(unit.dispType));
    r.set(reg::kBatDisplay, unit.batteryCode);

    if (familyOf(unit.dispType) == Family::R300) {
        r.set(reg::kR300Counter, unit.counter);
        r300Tank(r, reg::r300Tank(1), tank(unit, 0));
        if (unit.dispType == disptype::R300I) {
            const TankValues t = tank(unit, 0);
            r.set32(reg::kR300LevelBelow, t.levelBelow);
            r.set32(reg::kR300VolumeBelow, t.volumeBelow);
            r.set32(reg::kR300LevelAbove, t.levelAbove);
            r.set32(reg::kR300VolumeAbove, t.volumeAbove);
        } else {
            for (int k = 2; k <= tanksPerReply(unit.dispType); ++k)
                r300Tank(r, reg::r300Tank(k), tank(unit, static_cast<size_t>(k - 1)));
        }
    } else {
        r200Tank(r, reg::kR200Tank1, tank(unit, 0));
        if (unit.dispType == disptype::R200D) {
            r200Tank(r, reg::kR200Tank2, tank(unit, 1));
        } else if (unit.dispType == disptype::R200I) {
            const TankValues t = tank(unit, 0);
            r.set(reg::kR200LevelBelow, t.levelBelow);
            r.set(reg::kR200VolumeBelow, t.volumeBelow);
            r.set(reg::kR200LevelAbove, t.levelAbove);
            r.set(reg::kR200VolumeAbove, t.volumeAbove);
        }
        r.set(reg::kR200Counter, unit.counter);
    }
    return r.take();
}

std::vector<uint8_t> buildReply(const UnitValues& unit, int registerCount) {
    std::vector<uint8_t> frame{unit.address, unit.function,
                               static_cast<uint8_t>(2 * registerCount)};
    for (uint16_t value : buildRegisters(unit, registerCount)) {
        frame.push_back(static_cast<uint8_t>(value >> 8));
        frame.push_back(static_cast<uint8_t>(value & 0xFF));
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
