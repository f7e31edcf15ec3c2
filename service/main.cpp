// OstrelService: the collector. Without switches it runs in the foreground until SIGTERM or
// SIGINT; INSTALL and UNINSTALL manage its systemd unit, SILENT keeps them quiet; SETTINGS
// prints the settings it would run with.

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QString>
#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

#include "SystemClock.h"
#include "LocaleFormats.h"
#include "OstrelService1.h"
#include "Paths.h"
#include "ServiceInstaller.h"
#include "ServiceLog.h"
#include "SettingsReport.h"

namespace {

// A configuration error (sysexits.h's EX_CONFIG): the unit's RestartPreventExitStatus, so
// systemd does not restart a service that would only fail again.
constexpr int kExitConfig = 78;

struct Switches {
    bool install = false;
    bool uninstall = false;
    bool settings = false;
    bool silent = false;
    bool valid = true;
};

// Switches are words, in any case, with or without a leading '/', '-' or "--".
Switches parseSwitches(const QStringList& args) {
    Switches s;
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString word = args[i];
        while (word.startsWith('-') || word.startsWith('/'))
            word.remove(0, 1);
        word = word.toUpper();
        if (word == QLatin1String("INSTALL"))
            s.install = true;
        else if (word == QLatin1String("UNINSTALL"))
            s.uninstall = true;
        else if (word == QLatin1String("SILENT"))
            s.silent = true;
        else if (word == QLatin1String("SETTINGS"))
            s.settings = true;
        else
            s.valid = false;
    }
    s.valid = s.valid && int(s.install) + int(s.uninstall) + int(s.settings) <= 1;
    return s;
}

// SIGTERM and SIGINT stop the service; SIGHUP is taken so that a closing terminal does not
// end it. They are read from a descriptor on the event loop, where the service lives.
int blockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

int printSettings() {
    const lw::Profile machine(lw::SettingsScope::Machine);
    for (const QString& line : lw::machineSettingsReport(machine))
        std::fprintf(stdout, "%s\n", qPrintable(line));
    return machine.check() ? kExitConfig : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // Before Qt starts any thread, so that every thread inherits the mask.
    const int signalFd = blockStopSignals();
    QCoreApplication app(argc, argv);
    const Switches switches = parseSwitches(app.arguments());
    if (!switches.valid) {
        std::fprintf(stderr, "usage: OstrelService [INSTALL | UNINSTALL] [SILENT] | SETTINGS\n");
        return 2;
    }
    if (switches.install)
        return lw::installService(switches.silent);
    if (switches.uninstall)
        return lw::uninstallService(switches.silent);
    if (switches.settings)
        return printSettings();

    const lw::Formats formats = lw::formatsFromLocale();
    const lw::SystemClock clock;
    lw::ServiceLog log(QFile::encodeName(lw::programFile(lw::kServiceLogFile)).toStdString(),
                       formats, clock);
    // A daemon that cannot read its configuration refuses to run rather than guess: defaults
    // would poll another port and listen on every address.
    if (const auto fault = lw::Profile(lw::SettingsScope::Machine).check()) {
        const QString line = lw::settingsFaultLine(*fault);
        log.Log(line.toStdString(), 0);
        std::fprintf(stderr, "OstrelService: %s\nThe service does not start with settings it "
                     "cannot read; `OstrelService SETTINGS` shows what it reads.\n",
                     qPrintable(line));
        ::close(signalFd);
        return kExitConfig;
    }
    {
        lw::OstrelService1 service(log, formats, clock);
        service.ServiceCreate();

        QSocketNotifier notifier(signalFd, QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
            signalfd_siginfo info;
            while (::read(signalFd, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGTERM || info.ssi_signo == SIGINT) {
                    log.Log("Service Stop", 0);
                    app.quit();
                }
            }
        });
        log.Log("Service Start", 0);
        log.Log("Service Execute.", 0);
        app.exec();
        log.Log("Service Execute Terminated.", 0);
    }
    ::close(signalFd);
    return 0;
}
