#pragma once
// The operator's window in a test: a temporary program and settings folder, dialogs answered
// through the window's seam, a clock the test may fix, and small helpers for the files.

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

#include "Dialogs.h"
#include "LevelwatchForm.h"
#include "MonitorMail.h"
#include "QtFiles.h"
#include "SystemClock.h"
#include "WaitFor.h"

namespace lw::test {

// Answers the window's dialogs as the test says and records what it was asked.
class TestDialogs final : public Dialogs {
public:
    std::function<int(QDialog&)> answer; // none: every dialog is cancelled
    QStringList shown;                   // window titles of the dialogs, in order
    QStringList messages;
    QStringList opened;
    bool openSucceeds = true;

    int exec(QDialog& dialog) override {
        shown << dialog.windowTitle();
        return answer ? answer(dialog) : QDialog::Rejected;
    }
    void message(QWidget*, const QString&, const QString& text) override { messages << text; }
    bool openFile(const QString& path) override {
        opened << path;
        return openSucceeds;
    }
};

class TestClock final : public Clock {
public:
    std::optional<double> fixed; // empty: the system's time
    double now() const override { return fixed ? *fixed : SystemClock().now(); }
};

class RecordingMail final : public MonitorMail {
public:
    std::vector<AlarmEmailArgs> alarms;
    int passes = 0;
    void SendAlarmEmail(const AlarmEmailArgs& args) override { alarms.push_back(args); }
    void EmailTimerTimer() override { ++passes; }
};

using Ini = std::map<QString, std::map<QString, QString>>;

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(home());
        QDir().mkpath(settings());
        qputenv("OSTREL_HOME", home().toLocal8Bit());
        qputenv("OSTREL_SETTINGS_DIR", settings().toLocal8Bit());
    }
    void TearDown() override { window.reset(); }

    // A file or folder in the test's own folder.
    QString inDir(const QString& name) const {
        return QString::fromStdString((dir / name.toStdString()).string());
    }
    QString home() const { return inDir("home"); }
    QString settings() const { return inDir("settings"); }
    QString file(const QString& name) const { return home() + '/' + name; }
    QString link(int n = 1) const { return inDir(QStringLiteral("line%1").arg(n)); }
    static void writeIni(const QString& path, const Ini& ini) {
        QByteArray text;
        for (const auto& [section, values] : ini) {
            text += '[' + section.toLatin1() + "]\n";
            for (const auto& [k, v] : values)
                text += k.toLatin1() + '=' + v.toLatin1() + '\n';
        }
        writeFile(path, text);
    }
    void writeUser(const Ini& ini) const { writeIni(settings() + "/user.ini", ini); }
    void writeMachine(const Ini& ini) const { writeIni(settings() + "/machine.ini", ini); }
    // "LiveData.txt" with the given rows under an "ID TankName ComType" header.
    void writeLiveData(const QStringList& rows) const {
        writeFile(file("LiveData.txt"),
                  ("ID\tTankName\tComType\r\n" + rows.join("\r\n") + "\r\n").toUtf8());
    }
    QString userIni() const { return readText(settings() + "/user.ini"); }

    MonitorEnvironment environment() {
        MonitorEnvironment env;
        env.clock = &clock;
        env.dialogs = &dialogs;
        env.mail = &mail;
        env.regionalFormats = [this] {
            const Formats f = regionalFormats.empty() ? Formats::enUS() : regionalFormats.front();
            if (regionalFormats.size() > 1)
                regionalFormats.erase(regionalFormats.begin());
            return f;
        };
        env.linkTimeouts = {
            .connectMs = 2000, .retryAfterFailedConnectMs = 200, .retryAfterLostConnectionMs = 200};
        return env;
    }
    LevelwatchForm& start() {
        window = std::make_unique<LevelwatchForm>(environment());
        return *window;
    }

    TempDir dir{"monitor"};
    TestClock clock;
    TestDialogs dialogs;
    RecordingMail mail;
    std::vector<Formats> regionalFormats; // one per reading; the last one stays
    std::unique_ptr<LevelwatchForm> window;
};

} // namespace lw::test
