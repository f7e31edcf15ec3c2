#pragma once
// The arguments of an alarm-change mail, taken from a tank row after its update.

#include <cstdint>
#include <string>
#include <string_view>

#include "Formats.h"
#include "TankRecord.h"

namespace lw {

struct AlarmEmailArgs {
    std::string Subject;
    bool IsInterface = false;
    std::string ID;
    std::string Name;
    std::string Status;
    std::string Level;
    std::string Volume;
    std::string LevelBelow; // the four interface values: empty unless IsInterface
    std::string VolumeBelow;
    std::string LevelAbove;
    std::string VolumeAbove;
    std::string Temp;
    std::string Alarm1; // "True", "False", or empty for an empty field
    std::string Alarm2;
    std::string Alarm3;
    std::string Alarm4;
    int32_t BatDisplay = 0;
    int32_t BatSender = 0;
    std::string LastUpdate;
    std::string AttachmentName; // always empty: alarm reports go without attachment

    bool operator==(const AlarmEmailArgs&) const = default;
};

// Subject "<name> Alarm Change - <date> <time>"; values as general texts of the row; LastUpdate
// the same date and time as the subject.
AlarmEmailArgs makeAlarmEmailArgs(const TankRecord& row, std::string_view name, bool isInterface,
                                  double now, const Formats& formats);

} // namespace lw
