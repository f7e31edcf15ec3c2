#pragma once
// The operator's program's mail: the schedule "Email.txt" in the program folder, loaded at
// start and walked once a minute while the program owns the serial port, and the alarm report
// of a tank, both through the report mailer and its mail thread, so polling goes on while a
// server is slow. The live report covers the window's live table; results come back as status
// texts, Detail lines and, for the first failure after mail went well, a message to the operator.

#include <QObject>
#include <functional>

#include "Clock.h"
#include "Formats.h"
#include "MailOutbox.h"
#include "MonitorMail.h"
#include "ReportMailer.h"
#include "Settings.h"
#include "TankTable.h"

namespace lw {

class WindowMail final : public QObject, public MonitorMail, private ReportMailerHooks {
    Q_OBJECT
public:
    // What the mail needs of the window.
    struct Window {
        std::function<bool()> ownsPort;                   // ComActive = 1
        std::function<SmtpSettings()> settings;           // the window's mail settings
        std::function<void(const QString&)> status;       // the status line
        std::function<void(const QString&)> detail;       // a Detail line
        std::function<void(const QString&)> tellOperator; // a message box
    };

    WindowMail(const Clock& clock, const Formats& formats, const TankTable& LiveData, Window window,
               QObject* parent = nullptr);

    void SendAlarmEmail(const AlarmEmailArgs& args) override;
    void EmailTimerTimer() override { mailer_.EmailTimerTimer(); }

    // For the setup window: the schedule and its file, and the mail thread for the test mail.
    ReportMailer& mailer() { return mailer_; }
    MailOutbox& outbox() { return outbox_; }

private:
    // ReportMailerHooks
    bool mayMail() const override { return window_.ownsPort(); }
    SmtpSettings mailSettings() override { return window_.settings(); }
    LiveReportBodies liveReport(double now) override;
    void reportSent(const std::string& address) override;
    void alarmSent(const std::string& address) override;
    void mailFailed(const MailFailure& failure) override;
    void scheduleFileError(const std::string& error) override;

    void failed(const QString& text);

    Formats formats_;
    const TankTable& LiveData_;
    Window window_;
    bool failing_ = false; // the operator has been told; until mail goes again
    MailOutbox outbox_;
    ReportMailer mailer_;
};

} // namespace lw
