// levelwatch-screens OUTDIR: renders the operator's windows with the demo plant's data into PNG
// files for review. Runs offscreen in a temporary program and settings folder; the frames go
// through the same path as frames the service relays, and the reports and the trend read a
// month of history written by the history writer.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTabWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <iostream>

#include "DateTime.h"
#include "DetailForm.h"
#include "Dialogs.h"
#include "FrameBuilder.h"
#include "HistReport1.h"
#include "HistoryFile.h"
#include "LevelwatchForm.h"
#include "LiveGrid.h"
#include "LocaleFormats.h"
#include "MonitorLink.h"
#include "MonthlyReport1.h"
#include "NewTankForm.h"
#include "Plant.h"
#include "SelectCol.h"
#include "SystemClock.h"
#include "TrendPanel.h"
#include "UnitConfig.h"

namespace {

QString gOutDir;

void settle(int ms = 50) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget& w, const QString& name) {
    settle();
    const QString path = gOutDir + '/' + name + QStringLiteral(".png");
    if (!w.grab().save(path)) {
        std::cerr << "levelwatch-screens: cannot write " << path.toStdString() << "\n";
        return false;
    }
    std::cout << path.toStdString() << "\n";
    return true;
}

// Every dialog the window opens is shown, photographed and closed.
class ScreenDialogs final : public lw::Dialogs {
public:
    int exec(QDialog& dialog) override {
        if (auto* preview = qobject_cast<QPrintPreviewDialog*>(&dialog)) {
            preview->resize(1100, 850);
            preview->show();
            settle(200);
            if (auto* pages = preview->findChild<QPrintPreviewWidget*>())
                pages->fitInView();
        } else {
            dialog.show();
        }
        // A window of tabs: one picture of each, named after it.
        if (auto* tabs = dialog.findChild<QTabWidget*>()) {
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                settle(200);
                ok &= save(dialog, nextName + '-' + tabs->tabText(i).toLower().replace(' ', '-'));
            }
        } else {
            ok &= save(dialog, nextName);
        }
        dialog.hide();
        return QDialog::Rejected;
    }
    void message(QWidget*, const QString& title, const QString& text) override {
        std::cerr << title.toStdString() << ": " << text.toStdString() << "\n";
    }
    bool openFile(const QString&) override { return false; }

    QString nextName;
    bool ok = true;
};

// A relayed block for each unit of the plant, as the service would send it.
void feedPlant(lw::LevelwatchForm& window, const std::vector<lw::sim::UnitConfig>& units,
               lw::sim::Plant& plant, double now) {
    for (const lw::sim::UnitConfig& unit : units) {
        const auto request =
            lw::pollRequest(unit.values.address, lw::registerCountFor(unit.values.dispType));
        const lw::sim::Answer answer = plant.answer(request);
        if (answer.kind != lw::sim::Answer::Kind::Reply)
            continue;
        lw::TitcRecord record;
        record.command = lw::Tcommands::tmData;
        const std::vector<uint8_t> block = lw::sim::relayBlock(answer.bytes, now);
        std::copy(block.begin(), block.end(), record.RxData.begin());
        window.link().OnMyMessage(record);
    }
}

// The month so far of an interface tank: a row a minute on the days before, and today a busy
// day, a row every 5 seconds until now; the level fills and empties, the nights are frosty.
void writeHistoryMonth(const QString& folder, uint32_t tank, double now, const lw::Formats& f) {
    const lw::HistoryFile history(QFile::encodeName(folder).toStdString(), f);
    const lw::CivilTime today = lw::decodeDateTime(now);
    const double first = lw::encodeDateTime({today.year, today.month, 1});
    const double kSecond = 1.0 / 86400;
    for (double t = first; t < now;) {
        const bool busy = lw::dayNumber(t) == lw::dayNumber(now);
        const double day = std::floor(t);
        const double phase = (t - day) * 2 * M_PI;
        lw::TankRecord r;
        r.Status = 0;
        r.Level = std::round((62 + 25 * std::sin(phase * 2 + day) + (t - first) * 0.4) * 100) / 100;
        r.Volume = std::round(*r.Level * 41.5);
        r.Temperature = std::round(4 - 7 * std::cos(phase) + std::fmod(day, 5));
        r.Input1 = std::round(12 + 8 * std::sin(phase * 3));
        r.Input2 = std::round(4 + 4 * std::cos(phase));
        r.LevelBelow = std::round(*r.Level * 35) / 100;
        r.VolumeBelow = std::round(*r.LevelBelow * 41.5);
        r.LevelAbove = std::round((*r.Level - *r.LevelBelow) * 100) / 100;
        r.VolumeAbove = std::round(*r.LevelAbove * 41.5);
        history.append(r, tank, true, t);
        t += (busy ? 5 : 60) * kSecond;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: levelwatch-screens OUTDIR DEMODIR\n";
        return 2;
    }
    QTemporaryDir home, settings;
    qputenv("OSTREL_HOME", home.path().toLocal8Bit());
    qputenv("OSTREL_SETTINGS_DIR", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    gOutDir = QString::fromLocal8Bit(argv[1]);
    const QString demo = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(gOutDir);

    std::ifstream plantFile((demo + "/plant.txt").toStdString());
    const std::vector<lw::sim::UnitConfig> units = lw::sim::parsePlantFile(plantFile);
    lw::sim::Plant plant(units, {.seed = 7, .drift = true, .badCrcRate = 0});
    QFile::copy(demo + "/LiveData.txt", home.filePath("LiveData.txt"));
    {
        QFile schedule(home.filePath("Email.txt"));
        schedule.open(QIODevice::WriteOnly);
        schedule.write("Email\tDataType\tTime\tTankIDs\tLastSent\r\n"
                       "operations@example.com\t0\t6:00:00 AM\t1000\t12/8/2025 6:00:12 AM\r\n"
                       "night.shift@example.com\t8\t10:00:00 PM\t1000\t\r\n"
                       "alarms@example.com\t10\t\t1000\t12/8/2025 3:41:07 PM\r\n");
    }

    // A service that accepts the link and stays quiet: the blocks come from the plant here.
    QTcpServer service;
    service.listen(QHostAddress::LocalHost);
    {
        QFile user(settings.filePath("user.ini"));
        user.open(QIODevice::WriteOnly);
        user.write(QStringLiteral("[TCPIPInfo]\nAddress=127.0.0.1\nPort=%1\n[Properities]\n"
                                  "Width=1180\nHeight=560\n")
                       .arg(service.serverPort())
                       .toLatin1());
        QFile machine(settings.filePath("machine.ini"));
        machine.open(QIODevice::WriteOnly);
        machine.write("[STMP]\nHost=smtp.example.com\nPort=587\nSecurity=STARTTLS\n"
                      "Username=tanks@example.com\nPassword=secret\nEmail=tanks@example.com\n"
                      "EmailName=Tank Farm\nTestEmail=operations@example.com\n");
    }

    lw::SystemClock clock;
    ScreenDialogs dialogs;
    lw::MonitorEnvironment env;
    env.clock = &clock;
    env.dialogs = &dialogs;
    env.regionalFormats = [] { return lw::formatsFromLocale(QLocale::system()); };
    writeHistoryMonth(home.path(), 3, clock.now(), env.regionalFormats());
    lw::LevelwatchForm window(env);
    window.show();
    settle(300);
    for (int round = 0; round < 3; ++round)
        feedPlant(window, units, plant, clock.now());
    window.grid().selectRow(3);
    window.grid().setFocus();
    window.trend().LoadChart();

    bool ok = save(window, QStringLiteral("main-window"));
    window.TrendClick(false);
    ok &= save(window, QStringLiteral("main-window-no-trend"));
    window.TrendClick(true);

    dialogs.nextName = QStringLiteral("new-tank");
    window.InsertTankClick();
    window.DetailMenuClick();
    ok &= save(window.detail(), QStringLiteral("detail"));
    window.detail().hide();
    dialogs.nextName = QStringLiteral("about");
    window.AboutClick();
    dialogs.nextName = QStringLiteral("print-preview");
    window.PrintButtonClick();
    dialogs.nextName = QStringLiteral("comm-setup");
    window.PortSetupClick();
    dialogs.nextName = QStringLiteral("email-setup");
    window.SMTPSetupClick();

    dialogs.nextName = QStringLiteral("history-report");
    window.HistReportClick();
    dialogs.nextName = QStringLiteral("history-print-preview");
    window.histReport().PrintClick();
    dialogs.nextName = QStringLiteral("monthly-report");
    window.MonthlyReportClick();
    dialogs.nextName = QStringLiteral("monthly-print-preview");
    window.monthlyReport().PrintClick();
    window.selectCol().setFirstCaption(QStringLiteral("Date/Time"));
    window.selectCol().setStates(window.histReport().flags());
    window.selectCol().show();
    ok &= save(window.selectCol(), QStringLiteral("select-columns"));
    window.selectCol().hide();
    dialogs.nextName = QStringLiteral("trend-print-preview");
    window.PrintTrendClick();
    return ok && dialogs.ok ? 0 : 1;
}
