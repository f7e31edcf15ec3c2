#pragma once
// Where the programs keep their files and settings.

#include <QString>

namespace lw {

// The program folder: $OSTREL_HOME when set, else the executable's folder; no trailing slash.
QString programFolder();
// A file in the program folder.
QString programFile(const QString& name);
// Machine-wide settings: $OSTREL_SETTINGS_DIR/machine.ini, else /etc/ostrel/levelwatch.ini.
QString machineSettingsFile();
// Per-user settings: $OSTREL_SETTINGS_DIR/user.ini, else $XDG_CONFIG_HOME/ostrel/levelwatch.ini.
QString userSettingsFile();

} // namespace lw
