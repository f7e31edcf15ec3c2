#include "LiveGridRules.h"

#include <array>

#include "CodeTables.h"
#include "DateTime.h"
#include "ValueText.h"

namespace lw {
namespace {

using C = LiveColumn;
using F = TankField;
using K = CellKind;

constexpr std::array<LiveColumnInfo, kLiveColumnCount> kColumns{{
    {C::ID, "TreeListID", "ID", F::ID, 63, K::Text, true},
    {C::TankName, "TreeListTankName", "Tank Name", F::TankName, 134, K::Text, true},
    {C::Status, "TreeListStatus", "Status", F::Status, 72, K::Status, false},
    {C::Level, "TreeListLevel", "Level", F::Level, 90, K::Number, false},
    {C::Volume, "TreeListVolume", "Volume", F::Volume, 90, K::Number, false},
    {C::Temp, "TreeListTemp", "Temp", F::Temperature, 90, K::Number, false},
    {C::LevelBelow, "TreeListLevelBelow", "Level Below", F::LevelBelow, 95, K::Number, false},
    {C::VolumeBelow, "TreeListVolumeBelow", "Vol Below", F::VolumeBelow, 95, K::Number, false},
    {C::VolumeAbove, "TreeListVolumeAbove", "Vol Above", F::VolumeAbove, 95, K::Number, false},
    {C::LevelAbove, "TreeListLevelAbove", "Level Above", F::LevelAbove, 95, K::Number, false},
    {C::Input1, "TreeListInput1", "Input 1", F::Input1, 58, K::Number, false},
    {C::Input2, "TreeListInput2", "Input 2", F::Input2, 64, K::Number, false},
    {C::Alarm1, "TreeListAlarm1", "Alarm 1", F::Alarm1, 70, K::Check, false},
    {C::Alarm2, "TreeListAlarm2", "Alarm 2", F::Alarm2, 70, K::Check, false},
    {C::Alarm3, "TreeListAlarm3", "Alarm 3", F::Alarm3, 70, K::Check, false},
    {C::Relay3, "TreeListRelay3", "Realy 3", F::Relay3, 66, K::Check, true},
    {C::Relay4, "TreeListRelay4", "Realy 4", F::Relay4, 62, K::Check, true},
    {C::Relay2, "TreeListRelay2", "Relay 2", F::Relay2, 64, K::Check, true},
    {C::Alarm4, "TreeListAlarm4", "Alarm 4", F::Alarm4, 70, K::Check, false},
    {C::Relay1, "TreeListRelay1", "Relay 1", F::Relay1, 63, K::Check, true},
    {C::BatDisplay, "TreeListBatDisplay", "Battery Display", F::BatDisplay, 115, K::Battery, false},
    {C::BatSender, "TreeListBatSender", "Battery Sender", F::BatSender, 120, K::Battery, false},
    {C::DateTime, "TreeListDateTime", "Last Update", F::DateTime, 169, K::DateTime, false},
    {C::ComType, "TreeListComType", "Com Type", F::ComType, 0, K::ComType, true},
    {C::DispType, "TreeListDispType", "Display Type", F::DispType, 0, K::DispType, false},
}};

constexpr bool inEnumOrder() {
    for (size_t i = 0; i < kColumns.size(); ++i)
        if (static_cast<size_t>(kColumns[i].column) != i)
            return false;
    return true;
}
static_assert(inEnumOrder(), "kColumns must list the columns in the order of the enum");

constexpr std::array<LiveColumn, kTankFieldCount> kColumnOfField = [] {
    std::array<LiveColumn, kTankFieldCount> a{};
    for (const LiveColumnInfo& c : kColumns)
        a[static_cast<size_t>(c.field)] = c.column;
    return a;
}();

constexpr std::string_view kReportTitle = "Live Data Report -";
constexpr int kPoorBatMinimum = -25;
constexpr int kFairLimit = 50;

template <class T> std::optional<T> as(const FieldValue& v) {
    if (const T* p = std::get_if<T>(&v))
        return *p;
    return std::nullopt;
}

} // namespace

std::span<const LiveColumnInfo> liveColumns() {
    return kColumns;
}

const LiveColumnInfo& liveColumn(LiveColumn c) {
    return kColumns[static_cast<size_t>(c)];
}

LiveColumn columnOf(TankField field) {
    return kColumnOfField[static_cast<size_t>(field)];
}

std::string cellText(const TankRecord& row, LiveColumn column, const Formats& formats) {
    const LiveColumnInfo& c = liveColumn(column);
    const FieldValue value = getField(row, c.field);
    switch (c.kind) {
    case K::Check:
    case K::Battery:
        return {};
    case K::DateTime:
        if (const auto t = as<double>(value); t && isValidDateTime(*t))
            return formatDateTime(*t, formats);
        return {};
    case K::Status:
        return std::string(statusText(as<int32_t>(value)));
    case K::ComType:
        return std::string(comTypeText(as<int32_t>(value)));
    case K::DispType:
        return std::string(dispTypeText(as<int32_t>(value)));
    case K::Text:
    case K::Number:
        break;
    }
    return valueText(value, formats);
}

BatteryBar batteryBar(std::optional<int32_t> level) {
    BatteryBar bar;
    if (level && *level == 0) {
        bar.style = BatteryBar::PoorBat;
        bar.minimum = kPoorBatMinimum;
    } else if (level && *level > kFairLimit) {
        bar.style = BatteryBar::GoodBat;
    }
    if (level) {
        const double span = bar.maximum - bar.minimum;
        const double filled = static_cast<double>(*level - bar.minimum) / span;
        bar.fill = filled < 0 ? 0 : filled > 1 ? 1 : filled;
    }
    return bar;
}

std::string liveDataReportTitle(double date, const Formats& formats) {
    Formats f = formats;
    f.shortDateFormat = "MMM dd yyyy";
    return std::string(kReportTitle) + formatDate(date, f);
}

} // namespace lw
