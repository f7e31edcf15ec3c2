#include "ServiceInstaller.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "ServiceUnit.h"

namespace lw {
namespace {

constexpr char kUnitTemplate[] = ":/packaging/OstrelService1.service.in";

int finish(bool ok, const QString& success, const ServiceUnit& unit, bool silent) {
    if (!silent) {
        if (ok)
            std::fprintf(stdout, "%s\n", qPrintable(success));
        else
            std::fprintf(stderr, "%s\n", qPrintable(unit.errorString()));
    }
    return ok ? 0 : 1;
}

} // namespace

int installService(bool silent) {
    QFile file(QString::fromLatin1(kUnitTemplate));
    if (!file.open(QIODevice::ReadOnly)) {
        if (!silent)
            std::fprintf(stderr, "The unit template is missing from the program.\n");
        return 1;
    }
    const QString program = QCoreApplication::applicationFilePath();
    const std::optional<QString> executable = ServiceUnit::executableWord(program);
    if (!executable) {
        if (!silent)
            std::fprintf(stderr,
                         "systemd cannot start a program whose path holds quotes, backslashes or "
                         "control characters: %s\n",
                         qPrintable(program));
        return 1;
    }
    const QString text =
        QString::fromUtf8(file.readAll())
            .replace(QStringLiteral("@DESCRIPTION@"), QString::fromLatin1(kServiceDescription))
            .replace(QStringLiteral("@EXECUTABLE@"), *executable);
    ServiceUnit unit = ServiceUnit::fromEnvironment(QString::fromLatin1(kServiceName));
    return finish(unit.install(text), QStringLiteral("Service installed successfully."), unit,
                  silent);
}

int uninstallService(bool silent) {
    ServiceUnit unit = ServiceUnit::fromEnvironment(QString::fromLatin1(kServiceName));
    return finish(unit.uninstall(), QStringLiteral("Service uninstalled successfully."), unit,
                  silent);
}

} // namespace lw
