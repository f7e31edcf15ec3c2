// Levelwatch, the operator's program: the live grid of every tank, fed by the collector service
// or by its own serial port.

#include <QApplication>

#include "CpuAffinity.h"
#include "Dialogs.h"
#include "LevelwatchForm.h"
#include "LocaleFormats.h"
#include "SystemClock.h"

int main(int argc, char** argv) {
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
