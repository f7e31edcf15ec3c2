#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace lw {
namespace {

QString withoutTrailingSlash(QString path) {
    while (path.size() > 1 && (path.endsWith('/') || path.endsWith('\\')))
        path.chop(1);
    return path;
}

QString settingsDir() { return qEnvironmentVariable("OSTREL_SETTINGS_DIR"); }

} // namespace

QString programFolder() {
    const QString home = qEnvironmentVariable("OSTREL_HOME");
    if (!home.isEmpty())
        return withoutTrailingSlash(home);
    return withoutTrailingSlash(QCoreApplication::applicationDirPath());
}

QString programFile(const QString& name) { return programFolder() + '/' + name; }

QString machineSettingsFile() {
    const QString dir = settingsDir();
    return dir.isEmpty() ? QStringLiteral("/etc/ostrel/levelwatch.ini")
                         : withoutTrailingSlash(dir) + QStringLiteral("/machine.ini");
}

QString userSettingsFile() {
    const QString dir = settingsDir();
    if (!dir.isEmpty())
        return withoutTrailingSlash(dir) + QStringLiteral("/user.ini");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ostrel/levelwatch.ini");
}

} // namespace lw
