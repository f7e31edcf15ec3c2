#pragma once
// Writes one decoded slot into its tank row by the per-field rules: alarms with change
// detection, battery levels and the reading time as they come, the display type and the
// measured values only when they differ.

#include "FrameDecoder.h"
#include "TankRecord.h"

namespace lw {

// What a program's table keeps of a slot beyond the measured values.
struct SlotPolicy {
    bool writeDateTime = true; // false: DateTime is kept for the time of the last history row
    bool writeDispType = true; // false: display types are learned by the poll list only
};

struct SlotResult {
    bool change = false;      // a value that a history row records was written
    bool alarmchange = false; // an alarm went on or off, or was seen for the first time
};

// Told of every field the update writes, in order, with the values before and after.
class FieldObserver {
public:
    virtual ~FieldObserver() = default;
    virtual void fieldWritten(TankField field, const FieldValue& before,
                              const FieldValue& after) = 0;
};

SlotResult applySlot(const DecodedSlot& slot, TankRecord& row, const SlotPolicy& policy,
                     FieldObserver* observer = nullptr);

} // namespace lw
