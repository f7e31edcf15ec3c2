#include "AlarmEmailArgs.h"

#include "DateTime.h"
#include "ValueText.h"

namespace lw {

AlarmEmailArgs makeAlarmEmailArgs(const TankRecord& row, std::string_view name, bool isInterface,
                                  double now, const Formats& formats) {
    const auto text = [&](TankField field) { return valueText(getField(row, field), formats); };
    const auto interfaceText = [&](TankField field) {
        return isInterface ? text(field) : std::string();
    };
    AlarmEmailArgs a;
    a.LastUpdate = formatDateTime(now, formats);
    a.Subject = std::string(name) + " Alarm Change - " + a.LastUpdate;
    a.IsInterface = isInterface;
    a.ID = text(TankField::ID);
    a.Name = std::string(name);
    a.Status = text(TankField::Status);
    a.Level = text(TankField::Level);
    a.Volume = text(TankField::Volume);
    a.LevelBelow = interfaceText(TankField::LevelBelow);
    a.VolumeBelow = interfaceText(TankField::VolumeBelow);
    a.LevelAbove = interfaceText(TankField::LevelAbove);
    a.VolumeAbove = interfaceText(TankField::VolumeAbove);
    a.Temp = text(TankField::Temperature);
    a.Alarm1 = text(TankField::Alarm1);
    a.Alarm2 = text(TankField::Alarm2);
    a.Alarm3 = text(TankField::Alarm3);
    a.Alarm4 = text(TankField::Alarm4);
    a.BatDisplay = row.BatDisplay.value_or(0);
    a.BatSender = row.BatSender.value_or(0);
    return a;
}

} // namespace lw
