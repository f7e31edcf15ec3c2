#pragma once
// One tank's current values: a row of the live table and of the service's table.
// Every field may be empty; the field order is the column order of the table files.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "RowFields.h"

namespace lw {

struct TankRecord {
    std::optional<std::string> ID;       // decimal text, at most 5 characters
    std::optional<std::string> TankName; // at most 20 characters
    std::optional<int32_t> Status;
    std::optional<double> Level;
    std::optional<double> Volume;
    std::optional<double> Temperature;
    std::optional<double> LevelBelow;
    std::optional<double> VolumeBelow;
    std::optional<double> LevelAbove;
    std::optional<double> VolumeAbove;
    std::optional<double> Input1;
    std::optional<double> Input2;
    std::optional<bool> Alarm1;
    std::optional<bool> Alarm2;
    std::optional<bool> Alarm3;
    std::optional<bool> Alarm4;
    std::optional<bool> Relay1;
    std::optional<bool> Relay2;
    std::optional<bool> Relay3;
    std::optional<bool> Relay4;
    std::optional<int32_t> BatDisplay;
    std::optional<int32_t> BatSender;
    std::optional<double> DateTime; // days since 1899-12-30, local time
    std::optional<int32_t> ComType;
    std::optional<int32_t> DispType;

    bool operator==(const TankRecord&) const = default;
};

enum class TankField : uint8_t {
    ID, TankName, Status, Level, Volume, Temperature, LevelBelow, VolumeBelow, LevelAbove,
    VolumeAbove, Input1, Input2, Alarm1, Alarm2, Alarm3, Alarm4, Relay1, Relay2, Relay3, Relay4,
    BatDisplay, BatSender, DateTime, ComType, DispType
};
inline constexpr int kTankFieldCount = 25;

const std::array<FieldInfo, kTankFieldCount>& tankFields();
// The same columns with their members, for code that handles any table.
std::span<const RowField<TankRecord>> tankRowFields();
const FieldInfo& fieldInfo(TankField f);
std::optional<TankField> tankFieldByName(std::string_view name);

FieldValue getField(const TankRecord& r, TankField f);
// The value must suit the field's type or be empty (see setRowField).
void setField(TankRecord& r, TankField f, const FieldValue& v);

} // namespace lw
