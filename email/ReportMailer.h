#pragma once
// The reports' way out, shared by both programs: once a minute the scheduled pass walks the
// e-mail schedule and sends the live report to every due row; at an alarm change the alarm
// report goes to every "On Alarm Change" row. Mails leave through the mail thread (MailOutbox),
// so polling and reception go on while a server is slow; the effects of each mail (the status
// text or log line, the row's LastSent, the save of "Email.txt") follow when its submission
// has returned, in the order the rows stand.
//
// A pass sends one row at a time. A mail that failed is not recorded: its row is tried again at
// the next pass. A failure ends the pass, except a refused recipient, which ends only that
// row's mail. A pass or alarm report that sent anything saves the schedule once at its end,
// also when a later mail failed, so "Email.txt" holds every mail that went out.
//
// What the programs do differently comes through ReportMailerHooks. The operator's program:
// mayMail() is "ComActive = 1"; mailSettings() the main window's fields; liveReport() GetText and
// GetHTML of its live table; reportSent()/alarmSent() the status texts "Email Sent to X." and
// "Alarm Email Sent to X."; mailFailed() its error display; the file "Email.txt" in its working
// folder; no log. The setup window's test mail goes to MailOutbox::submit directly, with the
// typed settings and EmptyHost::Fail. The collector: see ServiceMail.

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AlarmEmailArgs.h"
#include "Clock.h"
#include "FileWatch.h"
#include "Formats.h"
#include "LogSink.h"
#include "MailOutbox.h"
#include "ScheduleRow.h"

namespace lw {

struct LiveReportBodies {
    std::string text;
    std::string html;
};

struct MailFailure {
    std::string address; // the row's recipient
    std::string error;   // what went wrong, with the server's reply when there was one
    bool alarm = false;  // an alarm report; else the scheduled live report
    // Alarm reports: the error text of the receive path that asked for it.
    std::string alarmErrorText;
    // The server was not reached at all (or not through TLS): nothing will go until it is.
    bool unreachable = false;
};

class ReportMailerHooks {
public:
    virtual ~ReportMailerHooks() = default;
    // Whether this program sends mail at the moment.
    virtual bool mayMail() const { return true; }
    // The server settings for the next mail.
    virtual SmtpSettings mailSettings() = 0;
    // A pass begins, before the rows are checked.
    virtual void passStarting() {}
    // Both bodies of the live report at `now`; throws when they cannot be built (the pass ends).
    virtual LiveReportBodies liveReport(double now) = 0;
    // A scheduled report, an alarm report to `address` has gone (or was skipped for want of a
    // host, which counts as gone).
    virtual void reportSent(const std::string& address) = 0;
    virtual void alarmSent(const std::string& address) = 0;
    virtual void mailFailed(const MailFailure& failure) = 0;
    // "Email.txt" could not be loaded or saved.
    virtual void scheduleFileError(const std::string& error) = 0;
};

class ReportMailer final : public QObject {
    Q_OBJECT
public:
    // `emailFile` is "Email.txt" where this program keeps it; `log` (may be null) gets the
    // pass's lines: "EmailTimerTimer.", the rows' arithmetic, "Email Done.", "SendAlarmEmail.",
    // "Send Alarm Save".
    ReportMailer(ReportMailerHooks& hooks, MailOutbox& outbox, const Clock& clock,
                 const Formats& formats, QString emailFile, LogSink* log = nullptr,
                 QObject* parent = nullptr);

    // The schedule, open from the start (empty until loaded). The setup window edits it in place:
    // a mail on its way is recorded on its row wherever the row has moved, and not at all when
    // the row was changed or deleted meanwhile.
    Table<ScheduleRow>& ScheduleData() { return ScheduleData_; }
    // The last-write time of "Email.txt" when this program last loaded or saved it.
    std::optional<double> EmailFileDate() const { return emailFile_.loadedDate(); }

    // Loads "Email.txt" when it exists (an empty schedule when not) and notes its date. A file
    // that cannot be read whole keeps the rows read before the fault; it is reported to the hooks
    // and copied to "Email.txt.damaged" first, since the next save keeps only those rows.
    void loadSchedule();
    // Loads it again, as loadSchedule does, when its date differs from EmailFileDate. True when
    // it was loaded or tried.
    bool reloadScheduleIfChanged();
    // Saves the schedule to "Email.txt" and notes its new date; throws (std::exception) when
    // the file cannot be written, which is then left as it was.
    void writeSchedule();
    // writeSchedule, with a failure reported to the hooks instead: false.
    bool saveSchedule();

    // One pass over the schedule. Nothing happens while the previous pass still waits for a mail.
    void EmailTimerTimer();
    bool passRunning() const { return pass_.running; }

    // The alarm report of one tank, queued for every "On Alarm Change" row at once. Throws
    // AlarmReportError, before anything is queued, when the bodies cannot be built. `errorText` is
    // the caller's text for a failed alarm mail; it comes back in MailFailure.
    void SendAlarmEmail(const AlarmEmailArgs& args, const std::string& errorText = {});

signals:
    void passFinished();
    void alarmReportFinished();
    void scheduleSaved();

private:
    struct Pass {
        bool running = false;
        size_t next = 0; // the next row to check
        bool sent = false;
    };
    struct AlarmBatch {
        uint64_t group = 0;
        size_t remaining = 0;
        bool sent = false;
        std::string errorText;
    };

    void continuePass();
    void rowDone(const ScheduleRow& row, size_t index, const SmtpOutcome& outcome);
    void finishPass();
    void alarmDone(const std::shared_ptr<AlarmBatch>& batch, const ScheduleRow& row, size_t index,
                   const SmtpOutcome& outcome);
    void log(const char* text, int level);

    ReportMailerHooks& hooks_;
    MailOutbox& outbox_;
    const Clock& clock_;
    Formats formats_;
    FileWatch emailFile_;
    LogSink* log_;
    Table<ScheduleRow> ScheduleData_;
    Pass pass_;
    uint64_t nextGroup_ = 1;
};

} // namespace lw
