#pragma once
// The INSTALL and UNINSTALL runs of the collector: its systemd unit "OstrelService1.service",
// written from the packaged template and enabled, or disabled and removed.

namespace lw {

inline constexpr char kServiceDescription[] =
    "Provides Levelwatching for Ostrel Instruments gauges.";

// Returns the process exit code. Messages go to standard output (success) or standard error
// (failure) unless `silent`.
int installService(bool silent);
int uninstallService(bool silent);

} // namespace lw
