#pragma once
// The reports' column flags, stored per user: ten for the historical report (one per column)
// and ten for the monthly report (one per band), each shown when stored as 1.

#include "SelectCol.h"
#include "Settings.h"

namespace lw {

enum class ReportKind { History, Monthly };

// The flags in the grid's order: date, level, volume, temperature, level below, volume below,
// level above, volume above, input 1, input 2.
ReportFlagStates readReportFlags(const Profile& user, ReportKind kind);
// Writes the ten flags in their stored order (the above and below pairs before the below ones,
// as "ShowHistLevelAbove" precedes "ShowHistLevelBelow"). Throws ProfileError; the values
// written before the failure stay.
void writeReportFlags(Profile& user, ReportKind kind, const ReportFlagStates& flags);

} // namespace lw
