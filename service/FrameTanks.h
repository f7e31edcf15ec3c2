#pragma once
// What the collector logs around each tank of an accepted frame, by frame kind and the tank's
// place in the frame (the decoder says how many tanks a frame carries).

#include <array>
#include <string_view>

#include "Receiver.h"

namespace lw {

struct TankTexts {
    std::string_view alarmsLog;  // before the alarms, level 2
    std::string_view alarmsDone; // after them, level 2
    // Each alarm's line when it changed, level 5; R200 frames only (empty for R300).
    std::array<std::string_view, 4> alarmLabels;
    std::string_view errorText; // the alarm mail step failed, level 0
    int searchLevel;            // "LastData.First", "Adding Tank", "Done Adding Tank"
    bool logFound;              // "Found Tank" after the search
};

// Tank `number` (1..4) of a frame of `kind`.
const TankTexts& tankTexts(FrameKind kind, int number);

// True when exactly one of the two states is set.
bool AlarmChanged(bool stored, bool received);

} // namespace lw
