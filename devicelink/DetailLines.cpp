#include "DetailLines.h"

#include <array>
#include <string_view>

#include "DateTime.h"

namespace lw {
namespace {

constexpr int kShownRegisters = 26; // all 48 only for a quad unit

constexpr std::array<std::string_view, reg::kSharedCount> kSharedLabels{
    "VERSION      =", "ALARMS       =", "RELAYS       =", "R2INPUT1     =",
    "R2INPUT2     =", "TYPE         =", "BATDISPLAY   ="};
constexpr std::array<std::string_view, 6> kSingleLabels{
    "STATUS       =", "BATSENDER    =", "TEMP         =",
    "LEVEL        =", "VOLUME       =", "VOLUME DEC   ="};
constexpr std::array<std::string_view, 10> kInterfaceLabels{
    "STATUS      =", "BATSENDER   =", "TEMP        =", "LEVEL       =", "VOLUME      =",
    "VOLUME1DEC  =", "BELOWLEVEL  =", "BELOWVOLUME =", "ABOVELEVEL  =", "ABOVEVOLUME ="};

std::string line(std::string_view label, long long value) {
    return std::string(label) + std::to_string(value);
}

void add(Lines& out, std::string_view label, long long value) {
    out.push_back(line(label, value));
}

// Labels of tank k's values on multi-tank units: "STATUS2      =", "VOLUME2DEC   =" ...
std::string numberedLabel(std::string_view name, int k, std::string_view suffix = {}) {
    std::string label = std::string(name) + std::to_string(k) + std::string(suffix);
    label.resize(13, ' ');
    return label + "=";
}

// Status, sender battery, temperature (signed), level, volume and decimals of one slot.
std::array<long long, 6> slotValues(const FrameBuffer& rx, const DecodedFrame& frame, int number) {
    const SlotLayout at = slotLayout(frame.layout, number, 0);
    const auto wide = [&](int reg) -> long long {
        return at.wide ? RxInput2(rx, reg) : RxInput(rx, reg);
    };
    return {RxInput(rx, at.statusReg),
            RxInput(rx, at.batteryReg),
            static_cast<int16_t>(RxInput(rx, at.temperatureReg)),
            wide(at.levelReg),
            wide(at.volumeReg),
            RxInput(rx, at.decimalsReg)};
}

std::array<long long, 4> interfaceValues(const FrameBuffer& rx, const DecodedFrame& frame) {
    const InterfaceLayout in = interfaceLayout(frame.layout);
    const auto value = [&](int reg) -> long long {
        return frame.layout == Family::R300 ? RxInput2(rx, reg) : RxInput(rx, reg);
    };
    return {value(in.levelBelowReg), value(in.volumeBelowReg), value(in.levelAboveReg),
            value(in.volumeAboveReg)};
}

void numberedSlotLines(const std::array<long long, 6>& values, int k, Lines& out) {
    constexpr std::array<std::string_view, 5> kNames{"STATUS", "BATSENDER", "TEMP", "LEVEL",
                                                     "VOLUME"};
    for (size_t i = 0; i < kNames.size(); ++i)
        add(out, numberedLabel(kNames[i], k), values[i]);
    add(out, numberedLabel("VOLUME", k, "DEC"), values[5]);
}

} // namespace

Lines commonDetailLines(const FrameBuffer& rx, const DecodedFrame& frame, double now,
                        const Formats& formats) {
    Lines out;
    out.push_back("DATE=" + formatDateTime(now, formats));
    const int last = frame.dispType == disptype::R300Q ? kLongRegisterCount : kShownRegisters;
    for (int n = 1; n <= last; ++n) {
        std::string label = std::to_string(n);
        label.resize(2, ' ');
        add(out, label + "=", RxInput(rx, n));
    }
    add(out, "SLAVE ADDRESS=", rx[reg::kAddressByte]);
    add(out, "TANK ID1     =", frame.slots[0].tankId);
    return out;
}

std::string tankIdDetailLine(const DecodedSlot& slot) {
    return line(numberedLabel("TANK ID", slot.number), slot.tankId);
}

Lines slotDetailLines(const FrameBuffer& rx, const DecodedFrame& frame, const DecodedSlot& slot) {
    Lines out;
    const auto values = slotValues(rx, frame, slot.number);
    if (slot.number > 1) {
        numberedSlotLines(values, slot.number, out);
        return out;
    }
    for (size_t i = 0; i < kSharedLabels.size(); ++i)
        add(out, kSharedLabels[i], RxInput(rx, reg::kVersion + static_cast<int>(i)));
    const int type = frame.dispType & 0xFF;
    if (frame.isInterface) {
        const auto below = interfaceValues(rx, frame);
        for (size_t i = 0; i < values.size(); ++i)
            add(out, kInterfaceLabels[i], values[i]);
        for (size_t i = 0; i < below.size(); ++i)
            add(out, kInterfaceLabels[values.size() + i], below[i]);
    } else if (type == disptype::R200S || type == disptype::R300S) {
        for (size_t i = 0; i < values.size(); ++i)
            add(out, kSingleLabels[i], values[i]);
    } else {
        numberedSlotLines(values, 1, out);
    }
    return out;
}

Lines counterDetailLines(const FrameBuffer& rx, const DecodedFrame& frame) {
    Lines out;
    if (frame.layout == Family::R300)
        add(out, "R300 COUNTER   =", RxInput(rx, reg::kR300Counter));
    else
        add(out, "R200 COUNTER   =", RxInput(rx, reg::kR200Counter));
    out.emplace_back(" ");
    return out;
}

} // namespace lw
