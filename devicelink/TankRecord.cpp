#include "TankRecord.h"

namespace lw {
namespace {

using FieldDef = RowField<TankRecord>;

constexpr std::array<FieldDef, kTankFieldCount> kFields{{
    {{"ID", FieldType::Text, 5}, &TankRecord::ID},
    {{"TankName", FieldType::Text, 20}, &TankRecord::TankName},
    {{"Status", FieldType::Integer, 0}, &TankRecord::Status},
    {{"Level", FieldType::Float, 0}, &TankRecord::Level},
    {{"Volume", FieldType::Float, 0}, &TankRecord::Volume},
    {{"Temperature", FieldType::Float, 0}, &TankRecord::Temperature},
    {{"LevelBelow", FieldType::Float, 0}, &TankRecord::LevelBelow},
    {{"VolumeBelow", FieldType::Float, 0}, &TankRecord::VolumeBelow},
    {{"LevelAbove", FieldType::Float, 0}, &TankRecord::LevelAbove},
    {{"VolumeAbove", FieldType::Float, 0}, &TankRecord::VolumeAbove},
    {{"Input1", FieldType::Float, 0}, &TankRecord::Input1},
    {{"Input2", FieldType::Float, 0}, &TankRecord::Input2},
    {{"Alarm1", FieldType::Boolean, 0}, &TankRecord::Alarm1},
    {{"Alarm2", FieldType::Boolean, 0}, &TankRecord::Alarm2},
    {{"Alarm3", FieldType::Boolean, 0}, &TankRecord::Alarm3},
    {{"Alarm4", FieldType::Boolean, 0}, &TankRecord::Alarm4},
    {{"Relay1", FieldType::Boolean, 0}, &TankRecord::Relay1},
    {{"Relay2", FieldType::Boolean, 0}, &TankRecord::Relay2},
    {{"Relay3", FieldType::Boolean, 0}, &TankRecord::Relay3},
    {{"Relay4", FieldType::Boolean, 0}, &TankRecord::Relay4},
    {{"BatDisplay", FieldType::Integer, 0}, &TankRecord::BatDisplay},
    {{"BatSender", FieldType::Integer, 0}, &TankRecord::BatSender},
    {{"DateTime", FieldType::DateTime, 0}, &TankRecord::DateTime},
    {{"ComType", FieldType::Integer, 0}, &TankRecord::ComType},
    {{"DispType", FieldType::Integer, 0}, &TankRecord::DispType},
}};

const std::array<FieldInfo, kTankFieldCount> kInfos = [] {
    std::array<FieldInfo, kTankFieldCount> a{};
    for (int i = 0; i < kTankFieldCount; ++i)
        a[i] = kFields[i].info;
    return a;
}();

} // namespace

const std::array<FieldInfo, kTankFieldCount>& tankFields() { return kInfos; }

const FieldInfo& fieldInfo(TankField f) { return kInfos[static_cast<int>(f)]; }

std::optional<TankField> tankFieldByName(std::string_view name) {
    for (int i = 0; i < kTankFieldCount; ++i)
        if (kInfos[i].name == name)
            return static_cast<TankField>(i);
    return std::nullopt;
}

std::span<const RowField<TankRecord>> tankRowFields() { return kFields; }

FieldValue getField(const TankRecord& r, TankField f) {
    return getRowField(r, kFields[static_cast<int>(f)].member);
}

void setField(TankRecord& r, TankField f, const FieldValue& v) {
    setRowField(r, kFields[static_cast<int>(f)].member, v);
}

} // namespace lw
