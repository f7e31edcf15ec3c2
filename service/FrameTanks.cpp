#include "FrameTanks.h"

#include <algorithm>

namespace lw {
namespace {

constexpr std::array<std::string_view, 4> kFirstTankLabels{"A1- ", "  A2x- ", "A3- ", "A4- "};
constexpr std::array<std::string_view, 4> kSecondTankLabels{"B1- ", "    B2x- ", "B3- ", "B4- "};
constexpr std::array<std::string_view, 4> kNoLabels{};

// Tanks 1 to 4 per kind; R200 frames carry at most two tanks, short R300 replies too.
constexpr std::array<TankTexts, 4> kShortR200{{
    {"Alarms R2S.", "Alarms A Done.", kFirstTankLabels, "ERROR: Alarm Change: R200", 7, false},
    {"Alarms R2D.", "Alarms B Done.", kSecondTankLabels, "ERROR: Alarm Change: R200D", 5, false},
}};
constexpr std::array<TankTexts, 4> kShortR300{{
    {"Alarms R3S", "Alarms Done.", kNoLabels, "ERROR: Alarm Change: R300", 5, true},
    {"Alarms R3D.", "Alarms Done.", kNoLabels, "ERROR: Alarm Change: R300D", 5, true},
}};
// The fourth tank reports its mail errors under the second tank's text.
constexpr std::array<TankTexts, 4> kLongR300{{
    {"Alarms R3S", "Alarms Done.", kNoLabels, "ERROR: Alarm Change: R300S", 5, true},
    {"Alarms R3D.", "Alarms Done.", kNoLabels, "ERROR: Alarm Change: R300D", 5, true},
    {"Alarms R3T.", "Alarms Done.", kNoLabels, "ERROR: Alarm Change: R300T", 5, false},
    {"Alarms R3Q.", "Alarms Done.", kNoLabels, "ERROR: Alarm Change: R300D", 5, false},
}};

} // namespace

const TankTexts& tankTexts(FrameKind kind, int number) {
    const auto& table = kind == FrameKind::ShortR200   ? kShortR200
                        : kind == FrameKind::ShortR300 ? kShortR300
                                                       : kLongR300;
    return table[static_cast<size_t>(std::clamp(number, 1, 4) - 1)];
}

bool AlarmChanged(bool stored, bool received) {
    return stored != received;
}

} // namespace lw
