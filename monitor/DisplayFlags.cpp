#include "DisplayFlags.h"

namespace lw {
namespace {

using C = LiveColumn;
using S = Setting;
using T = TrendSeries;

constexpr std::array<ColumnToggle, kColumnToggleCount> kToggles{{
    {"LevelCol", "Level", S::ShowLevel, C::Level, T::Level, true},
    {"VolCol", "Volume", S::ShowVolume, C::Volume, T::Volume, true},
    {"TempCol", "Temp", S::ShowTemp, C::Temp, T::Temperature, true},
    {"LevelAboveCol", "Level Above", S::ShowLevelAbove, C::LevelAbove, T::LevelAbove, true},
    {"VolumeAboveCol", "Volume Above", S::ShowVolumeAbove, C::VolumeAbove, T::VolumeAbove, true},
    {"LevelBelowCol", "Level Below", S::ShowLevelBelow, C::LevelBelow, T::LevelBelow, true},
    {"VolumeBelowCol", "Volume Below", S::ShowVolumeBelow, C::VolumeBelow, T::VolumeBelow, true},
    {"Input1Col", "Input1", S::ShowInput1, C::Input1, T::Input1, true},
    {"Input2Col", "Input2", S::ShowInput2, C::Input2, T::Input2, true},
    {"Alarm1Col", "Alarm1", S::ShowAlarm1, C::Alarm1, std::nullopt, true},
    {"Alarm2Col", "Alarm2", S::ShowAlarm2, C::Alarm2, std::nullopt, true},
    {"Alarm3Col", "Alarm3", S::ShowAlarm3, C::Alarm3, std::nullopt, true},
    {"Alarm4Col", "Alarm4", S::ShowAlarm4, C::Alarm4, std::nullopt, true},
    {"Relay1Col", "Relay1", S::ShowRelay1, C::Relay1, std::nullopt, false},
    {"Relay2Col", "Relay2", S::ShowRelay2, C::Relay2, std::nullopt, false},
    {"Relay3Col", "Realy3", S::ShowRelay3, C::Relay3, std::nullopt, false},
    {"Relay4Col", "Relay4", S::ShowRelay4, C::Relay4, std::nullopt, false},
    {"BatDispCol", "Battery Display", S::ShowBatteryDisplay, C::BatDisplay, std::nullopt, true},
    {"BatSendCol", "Battery Sender", S::ShowBatterySender, C::BatSender, std::nullopt, true},
    {"ComTypeCol", "Com Type", S::ShowComType, C::ComType, std::nullopt, true},
    {"DispTypeCol", "Display Type", S::ShowDispType, C::DispType, std::nullopt, true},
}};

constexpr std::array<std::optional<int>, kLiveColumnCount> kToggleOfColumn = [] {
    std::array<std::optional<int>, kLiveColumnCount> a{};
    for (int i = 0; i < kColumnToggleCount; ++i)
        a[static_cast<size_t>(kToggles[static_cast<size_t>(i)].column)] = i;
    return a;
}();

} // namespace

std::span<const ColumnToggle> columnToggles() {
    return kToggles;
}

std::optional<int> toggleOf(LiveColumn column) {
    return kToggleOfColumn[static_cast<size_t>(column)];
}

DisplayFlags DisplayFlags::read(const Profile& user) {
    DisplayFlags f;
    f.ShowTrend = readFlag(user, S::ShowTrend);
    for (size_t i = 0; i < kToggles.size(); ++i)
        f.shown[i] = readFlag(user, kToggles[i].flag);
    return f;
}

void DisplayFlags::WriteShow(Profile& user) const {
    writeFlag(user, S::ShowTrend, ShowTrend);
    for (size_t i = 0; i < kToggles.size(); ++i)
        if (kToggles[i].inMenu)
            writeFlag(user, kToggles[i].flag, shown[i]);
}

bool DisplayFlags::columnShown(LiveColumn column) const {
    const auto t = toggleOf(column);
    return !t || shown[static_cast<size_t>(*t)];
}

bool DisplayFlags::seriesShown(TrendSeries series) const {
    for (size_t i = 0; i < kToggles.size(); ++i)
        if (kToggles[i].series == series)
            return shown[i];
    return false;
}

} // namespace lw
