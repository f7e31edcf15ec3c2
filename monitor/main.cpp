// Levelwatch, the operator's program: the live grid of every tank, fed by the collector service
// or by its own serial port. With --export it prints a report and opens no window.

#include <QApplication>
#include <QFile>
#include <iostream>

#include "CpuAffinity.h"
#include "Dialogs.h"
#include "LevelwatchForm.h"
#include "LocaleFormats.h"
#include "Paths.h"
#include "ReportExport.h"
#include "SystemClock.h"

namespace {

bool exportRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with(lw::kExportSwitch))
            return true;
    return false;
}

// The report on standard output; no display is needed.
int runExport(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return lw::runExport(args, QFile::encodeName(lw::programFolder()).toStdString(),
                         lw::formatsFromLocale(QLocale::system()), std::cout, std::cerr);
}

} // namespace

int main(int argc, char** argv) {
    if (exportRequested(argc, argv))
        return runExport(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Levelwatch"));
    lw::pinToFirstProcessor();

    lw::SystemClock clock;
    lw::Dialogs dialogs;
    lw::MonitorEnvironment environment;
    environment.clock = &clock;
    environment.dialogs = &dialogs;
    environment.regionalFormats = [] { return lw::formatsFromLocale(QLocale::system()); };

    lw::LevelwatchForm window(environment);
    window.show();
    return QApplication::exec();
}
