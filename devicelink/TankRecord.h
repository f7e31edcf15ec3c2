#pragma once
// One tank's current values: a row of the live table and of the service's table.
// Every field may be empty; the field order is the column order of the table files.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

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

// Column types shared by every table of the system (tank tables, schedule, history).
enum class FieldType : uint8_t { Text, Integer, Float, Boolean, DateTime, Time };

// A field's value detached from its record; monostate is the empty value.
using FieldValue = std::variant<std::monostate, std::string, int32_t, double, bool>;

struct FieldInfo {
    std::string_view name;
    FieldType type;
    int width; // text columns only: longest text kept
};

const std::array<FieldInfo, kTankFieldCount>& tankFields();
const FieldInfo& fieldInfo(TankField f);
std::optional<TankField> tankFieldByName(std::string_view name);

FieldValue getField(const TankRecord& r, TankField f);
// The value's alternative must suit the field's type (Text: string, Integer: int32_t,
// Float/DateTime: double, Boolean: bool) or be empty; a mismatch throws std::bad_variant_access.
void setField(TankRecord& r, TankField f, const FieldValue& v);

} // namespace lw
