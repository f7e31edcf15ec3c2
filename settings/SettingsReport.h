#pragma once
// What `OstrelService SETTINGS` prints for an administrator who edits the machine-wide
// settings by hand: every setting the collector would use, with its value and where it comes
// from, and every value of the file that the collector does not know.

#include <QStringList>

#include "Profile.h"

namespace lw {

// One line per setting: "[Section] Name = value (file)" or "(default...)", the SMTP password
// masked; then the COM map; then "Unknown key ..." and "Unknown section ..." lines. A file that
// cannot be read as meant begins the report with "ERROR: " and its fault.
QStringList machineSettingsReport(const Profile& machine);

} // namespace lw
