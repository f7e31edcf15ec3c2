#include "ServiceMail.h"

#include <QFile>

#include "LiveReport.h"
#include "Paths.h"
#include "ScheduleRow.h"
#include "TankTableFile.h"

namespace lw {
namespace {

constexpr int kEmailIntervalMs = 60'000;

// The tests shorten the minute; nothing else should.
int emailIntervalMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("OSTREL_EMAIL_INTERVAL_MS", &ok);
    return ok && ms > 0 ? ms : kEmailIntervalMs;
}

QString programFileOf(std::string_view name) {
    return programFile(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

} // namespace

ServiceMail::ServiceMail(LogSink& log, const Formats& formats, const Clock& clock,
                         MailSettings settings, TankList tankList, LoadedTankList loadedTankList,
                         const TankTable& LastData, QObject* parent)
    : QObject(parent), log_(log), formats_(formats), settings_(std::move(settings)),
      tankList_(std::move(tankList)), loadedTankList_(std::move(loadedTankList)),
      LastData_(LastData),
      mailer_(*this, outbox_, clock, formats, programFileOf(kEmailFile), &log) {
    EmailTimer_.setInterval(emailIntervalMs());
    connect(&EmailTimer_, &QTimer::timeout, &mailer_, &ReportMailer::EmailTimerTimer);
}

void ServiceMail::SendAlarmEmail(const AlarmEmailArgs& args, std::string_view errorText) {
    mailer_.SendAlarmEmail(args, std::string(errorText));
}

SmtpSettings ServiceMail::mailSettings() {
    log_.Log("SendEmail.", 5);
    log_.Log("SMTPInit.", 5);
    return settings_();
}

void ServiceMail::passStarting() {
    mailer_.reloadScheduleIfChanged();
    log_.Log("Load Email.", 5);
}

LiveReportBodies ServiceMail::liveReport(double now) {
    const TankTable* tanks = nullptr;
    try {
        tanks = &tankList_();
    } catch (const std::exception&) {
        // Without the file there is no tank list to report on; a file that cannot be read
        // whole still gives the tanks read before the fault.
        if (!QFile::exists(programFileOf(kLiveDataFile)))
            throw;
        log_.Log("ERROR: Alarm Change: LiveData.LoadFromTextFile", 0);
        tanks = &loadedTankList_();
    }
    log_.Log("LiveData Ready.", 5);
    LiveReportBodies bodies;
    bodies.text = GetTextData(*tanks, LastData_, now, formats_, log_);
    bodies.html = GetHTMLData(*tanks, LastData_, now, formats_, log_);
    return bodies;
}

void ServiceMail::reportSent(const std::string& address) {
    log_.Log("Send email to " + address + ".", 6);
}

void ServiceMail::alarmSent(const std::string& address) {
    log_.Log("Alarm Email Sent to " + address + ".", 1);
    log_.Log("Send Alarm ScheduleData.Edit", 2);
}

void ServiceMail::mailFailed(const MailFailure& f) {
    if (f.unreachable)
        log_.Log("Check SMTP settings.", 1);
    if (f.alarm) {
        log_.Log(f.alarmErrorText, 0);
        log_.Log("ERROR: Alarm Email to " + f.address + ": " + f.error, 0);
    } else {
        log_.Log("ERROR: Send email to " + f.address + ": " + f.error, 0);
    }
}

void ServiceMail::scheduleFileError(const std::string& error) {
    log_.Log("ERROR: Email.txt: " + error, 0);
}

} // namespace lw
