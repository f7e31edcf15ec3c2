#include "ReportFlags.h"

namespace lw {
namespace {

using S = Setting;

// In the grid's order.
constexpr std::array<S, kReportFlagCount> kHistFlags{
    S::ShowHistDate,       S::ShowHistLevel,       S::ShowHistVolume,     S::ShowHistTemp,
    S::ShowHistLevelBelow, S::ShowHistVolumeBelow, S::ShowHistLevelAbove, S::ShowHistVolumeAbove,
    S::ShowHistInput1,     S::ShowHistInput2};
constexpr std::array<S, kReportFlagCount> kMonthlyFlags{
    S::ShowMonthlyDate,       S::ShowMonthlyLevel,       S::ShowMonthlyVolume,
    S::ShowMonthlyTemp,       S::ShowMonthlyLevelBelow,  S::ShowMonthlyVolumeBelow,
    S::ShowMonthlyLevelAbove, S::ShowMonthlyVolumeAbove, S::ShowMonthlyInput1,
    S::ShowMonthlyInput2};
// The grid positions in the order the flags are written.
constexpr std::array<int, kReportFlagCount> kWriteOrder{0, 1, 2, 3, 6, 7, 4, 5, 8, 9};

const std::array<S, kReportFlagCount>& flagsOf(ReportKind kind) {
    return kind == ReportKind::History ? kHistFlags : kMonthlyFlags;
}

} // namespace

ReportFlagStates readReportFlags(const Profile& user, ReportKind kind) {
    ReportFlagStates states{};
    for (size_t i = 0; i < states.size(); ++i)
        states[i] = readFlag(user, flagsOf(kind)[i]);
    return states;
}

void writeReportFlags(Profile& user, ReportKind kind, const ReportFlagStates& flags) {
    for (const int i : kWriteOrder)
        writeFlag(user, flagsOf(kind)[static_cast<size_t>(i)], flags[static_cast<size_t>(i)]);
}

} // namespace lw
