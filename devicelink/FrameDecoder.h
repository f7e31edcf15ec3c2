#pragma once
// Decodes an accepted reply frame into its tank slots: per slot the tank ID and the field
// values in the order in which the update writes them. Pure: reads only the frame.

#include <array>
#include <cstdint>
#include <span>

#include "CodeTables.h"
#include "FrameBuffer.h"
#include "TankRecord.h"

namespace lw {

struct FieldWrite {
    TankField field;
    double value; // Integer fields hold whole numbers, Boolean fields 0 or 1
};

// Slot 1 of an R300 interface unit writes the most: 10 shared and status values, 4 sender
// values and 4 interface values, and its display type.
inline constexpr int kMaxSlotWrites = 19;
inline constexpr int kMaxSlots = 4;

struct DecodedSlot {
    int number = 0; // 1..4
    uint32_t tankId = 0;
    // The status register lies in the frame and is 0: the sender's values were taken. Otherwise
    // nothing after Status is written, and no history row or alarm mail follows.
    bool statusGood = false;
    std::array<FieldWrite, kMaxSlotWrites> writes{};
    int writeCount = 0;

    std::span<const FieldWrite> fieldWrites() const {
        return {writes.data(), static_cast<size_t>(writeCount)};
    }
};

struct DecodedFrame {
    int dispType = 0;             // register 6 as a 16-bit number
    Family layout = Family::R200; // register layout, by the low byte of register 6
    // The low byte of register 6 is a display type; otherwise slot 1 is not updated.
    bool knownType = false;
    bool isInterface = false; // carries the values below and above the interface
    std::array<DecodedSlot, kMaxSlots> slots{};
    int slotCount = 0;

    std::span<const DecodedSlot> decodedSlots() const {
        return {slots.data(), static_cast<size_t>(slotCount)};
    }
};

// Where one slot's values sit in a frame, by register number.
struct SlotLayout {
    int number;
    int idReg;
    bool wide; // R300: ID, level and volume are 32-bit
    int levelReg, volumeReg, decimalsReg, temperatureReg, statusReg, batteryReg;
    int alarmShift; // alarm bits of this slot in register 2; by firmware version
    bool dispTypeFirst;
};
SlotLayout slotLayout(Family layout, int number, int version);

// Interface units: where the values below and above the interface sit (scaled as tank 1's).
struct InterfaceLayout {
    int levelBelowReg, volumeBelowReg, levelAboveReg, volumeAboveReg;
};
InterfaceLayout interfaceLayout(Family layout);

// Decodes the frame in `rx` of `registerCount` registers (24 or 48); `readingTime` is the
// DateTime value written. Registers beyond the frame are never read: a field that needs one is
// not written (it keeps its stored value), a slot without a status is treated as not good, and
// a slot whose tank ID lies beyond the frame is left out.
DecodedFrame decodeFrame(const FrameBuffer& rx, int registerCount, double readingTime);

// Volume from its raw value and decimals: 1..4 decimals divide by 10 to that power, 0 keeps the
// whole number, more than 4 divide by 10.
double scaleVolume(uint32_t raw, int decimals);

} // namespace lw
