#include "FrameDecoder.h"

#include <optional>

namespace lw {
namespace {

// Version from which R300 slots 2 to 4 carry alarm bits of their own.
constexpr int kOwnAlarmBitsAfterVersion = 120;
constexpr int kAlarmBitsPerTank = 4;

class Registers {
public:
    Registers(const FrameBuffer& rx, int count) : rx_(rx), count_(count) {}

    std::optional<uint32_t> u16(int reg) const {
        if (reg > count_)
            return std::nullopt;
        return RxInput(rx_, reg);
    }
    std::optional<uint32_t> u32(int reg) const {
        if (reg + 1 > count_)
            return std::nullopt;
        return RxInput2(rx_, reg);
    }

private:
    const FrameBuffer& rx_;
    int count_;
};

SlotLayout r200Slot(int number) {
    using T = reg::R200Tank;
    const int base = number == 1 ? reg::kR200Tank1 : reg::kR200Tank2;
    return {.number = number,
            .idReg = base + T::kId,
            .wide = false,
            .levelReg = base + T::kLevel,
            .volumeReg = base + T::kVolume,
            .decimalsReg = base + T::kDecimals,
            .temperatureReg = base + T::kTemperature,
            .statusReg = base + T::kStatus,
            .batteryReg = base + T::kBatSender,
            .alarmShift = 0,
            .dispTypeFirst = false};
}

SlotLayout r300Slot(int number, int version) {
    using T = reg::R300Tank;
    const int base = reg::r300Tank(number);
    const bool ownAlarms = number > 1 && version > kOwnAlarmBitsAfterVersion;
    return {.number = number,
            .idReg = base + T::kId,
            .wide = true,
            .levelReg = base + T::kLevel,
            .volumeReg = base + T::kVolume,
            .decimalsReg = base + T::kDecimals,
            .temperatureReg = base + T::kTemperature,
            .statusReg = base + T::kStatus,
            .batteryReg = base + T::kBatSender,
            .alarmShift = ownAlarms ? kAlarmBitsPerTank * (number - 1) : 0,
            .dispTypeFirst = number > 1};
}

std::optional<double> level(const Registers& regs, int reg, bool wide) {
    const auto raw = wide ? regs.u32(reg) : regs.u16(reg);
    if (!raw)
        return std::nullopt;
    return static_cast<double>(*raw) / (wide ? 100.0 : 10.0);
}

std::optional<double> volume(const Registers& regs, int reg, bool wide, int decimalsReg) {
    const auto raw = wide ? regs.u32(reg) : regs.u16(reg);
    const auto decimals = regs.u16(decimalsReg);
    if (!raw || !decimals)
        return std::nullopt;
    return scaleVolume(*raw, static_cast<int>(*decimals));
}

class SlotWriter {
public:
    explicit SlotWriter(DecodedSlot& slot) : slot_(slot) {}
    void add(TankField field, std::optional<double> value) {
        if (value)
            slot_.writes[static_cast<size_t>(slot_.writeCount++)] = {field, *value};
    }

private:
    DecodedSlot& slot_;
};

struct Shared {
    uint32_t alarms;
    double batDisplay, input1, input2, dispType, readingTime;
};

// `in`: where an interface unit's values below and above sit; empty for other units.
void decodeSlot(DecodedSlot& slot, const SlotLayout& at, const Registers& regs,
                const Shared& shared, const std::optional<InterfaceLayout>& in) {
    SlotWriter out(slot);
    if (at.dispTypeFirst)
        out.add(TankField::DispType, shared.dispType);
    constexpr TankField kAlarms[] = {TankField::Alarm1, TankField::Alarm2, TankField::Alarm3,
                                     TankField::Alarm4};
    for (int i = 0; i < kAlarmBitsPerTank; ++i)
        out.add(kAlarms[i], (shared.alarms >> (at.alarmShift + i)) & 1u);
    out.add(TankField::BatDisplay, shared.batDisplay);
    out.add(TankField::Input1, shared.input1);
    out.add(TankField::Input2, shared.input2);
    out.add(TankField::DateTime, shared.readingTime);
    if (!at.dispTypeFirst)
        out.add(TankField::DispType, shared.dispType);

    const auto status = regs.u16(at.statusReg);
    if (!status)
        return;
    out.add(TankField::Status, *status);
    slot.statusGood = *status == 0;
    if (!slot.statusGood)
        return;

    if (const auto battery = regs.u16(at.batteryReg))
        out.add(TankField::BatSender, batteryLevel(static_cast<int>(*battery)));
    if (const auto temperature = regs.u16(at.temperatureReg))
        out.add(TankField::Temperature, static_cast<int16_t>(*temperature));
    out.add(TankField::Level, level(regs, at.levelReg, at.wide));
    out.add(TankField::Volume, volume(regs, at.volumeReg, at.wide, at.decimalsReg));
    if (in) {
        out.add(TankField::LevelBelow, level(regs, in->levelBelowReg, at.wide));
        out.add(TankField::VolumeBelow, volume(regs, in->volumeBelowReg, at.wide, at.decimalsReg));
        out.add(TankField::LevelAbove, level(regs, in->levelAboveReg, at.wide));
        out.add(TankField::VolumeAbove, volume(regs, in->volumeAboveReg, at.wide, at.decimalsReg));
    }
}

// Slots beyond the first, by register 6 read as a 16-bit number.
int extraSlots(int dispType) {
    switch (dispType) {
    case disptype::R200D:
    case disptype::R300D:
        return 1;
    case disptype::R300T:
        return 2;
    case disptype::R300Q:
        return 3;
    default:
        return 0;
    }
}

} // namespace

SlotLayout slotLayout(Family layout, int number, int version) {
    return layout == Family::R300 ? r300Slot(number, version) : r200Slot(number);
}

InterfaceLayout interfaceLayout(Family layout) {
    if (layout == Family::R300)
        return {reg::kR300LevelBelow, reg::kR300VolumeBelow, reg::kR300LevelAbove,
                reg::kR300VolumeAbove};
    return {reg::kR200LevelBelow, reg::kR200VolumeBelow, reg::kR200LevelAbove,
            reg::kR200VolumeAbove};
}

double scaleVolume(uint32_t raw, int decimals) {
    constexpr double kDivisors[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    const double divisor = decimals <= 4 ? kDivisors[decimals] : 10.0;
    return static_cast<double>(raw) / divisor;
}

DecodedFrame decodeFrame(const FrameBuffer& rx, int registerCount, double readingTime) {
    const Registers regs(rx, registerCount);
    DecodedFrame frame;
    frame.dispType = RxInput(rx, reg::kType);
    const int lowType = frame.dispType & 0xFF;
    frame.layout = isR200Type(lowType) ? Family::R200 : Family::R300;
    frame.knownType = familyOf(lowType) != Family::None;
    frame.isInterface = isInterfaceType(lowType);

    const Shared shared{RxInput(rx, reg::kAlarms),
                        static_cast<double>(batteryLevel(RxInput(rx, reg::kBatDisplay))),
                        static_cast<double>(RxInput(rx, reg::kInput1)),
                        static_cast<double>(RxInput(rx, reg::kInput2)),
                        static_cast<double>(lowType),
                        readingTime};
    const int version = RxInput(rx, reg::kVersion);
    const int slots = 1 + extraSlots(frame.dispType);
    std::optional<InterfaceLayout> in;
    if (frame.isInterface)
        in = interfaceLayout(frame.layout);

    for (int number = 1; number <= slots; ++number) {
        const SlotLayout at = slotLayout(frame.layout, number, version);
        const auto id = at.wide ? regs.u32(at.idReg) : regs.u16(at.idReg);
        if (!id)
            break;
        DecodedSlot& slot = frame.slots[static_cast<size_t>(frame.slotCount++)];
        slot.number = number;
        slot.tankId = *id;
        if (frame.knownType)
            decodeSlot(slot, at, regs, shared, in);
    }
    return frame;
}

} // namespace lw
