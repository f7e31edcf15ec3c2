#include "WindowMail.h"

#include "AlarmReport.h"
#include "LiveReport.h"
#include "Paths.h"
#include "ScheduleRow.h"

namespace lw {
namespace {

const QString kEmailSent = QStringLiteral("Email Sent to %1.");
const QString kAlarmEmailSent = QStringLiteral("Alarm Email Sent to %1.");
const QString kEmailFailed = QStringLiteral("ERROR: Send email to %1: %2");
const QString kAlarmEmailFailed = QStringLiteral("ERROR: Alarm Email to %1: %2");
const QString kAlarmReportFailed = QStringLiteral("ERROR: Alarm Email: %1");
const QString kScheduleFileError = QStringLiteral("ERROR: Email.txt: %1");

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// Where the service finds it too: the program folder, not the folder the program was started
// from, which on a desktop is rarely the same.
QString emailFile() {
    return programFile(
        QString::fromLatin1(kEmailFile.data(), static_cast<qsizetype>(kEmailFile.size())));
}

} // namespace

WindowMail::WindowMail(const Clock& clock, const Formats& formats, const TankTable& LiveData,
                       Window window, QObject* parent)
    : QObject(parent), formats_(formats), LiveData_(LiveData), window_(std::move(window)),
      mailer_(*this, outbox_, clock, formats, emailFile()) {
    mailer_.loadSchedule();
}

void WindowMail::SendAlarmEmail(const AlarmEmailArgs& args) {
    try {
        mailer_.SendAlarmEmail(args);
    } catch (const AlarmReportError& e) {
        failed(kAlarmReportFailed.arg(QString::fromLocal8Bit(e.what())));
    }
}

LiveReportBodies WindowMail::liveReport(double now) {
    return {GetText(LiveData_, now, formats_), GetHTML(LiveData_, now, formats_)};
}

void WindowMail::reportSent(const std::string& address) {
    failing_ = false;
    window_.status(kEmailSent.arg(text(address)));
}

void WindowMail::alarmSent(const std::string& address) {
    failing_ = false;
    window_.status(kAlarmEmailSent.arg(text(address)));
}

void WindowMail::mailFailed(const MailFailure& f) {
    failed((f.alarm ? kAlarmEmailFailed : kEmailFailed).arg(text(f.address), text(f.error)));
}

void WindowMail::scheduleFileError(const std::string& error) {
    failed(kScheduleFileError.arg(text(error)));
}

void WindowMail::failed(const QString& message) {
    window_.status(message);
    window_.detail(message);
    // A server that is down fails every minute: one message box, not one a minute.
    if (!failing_)
        window_.tellOperator(message);
    failing_ = true;
}

} // namespace lw
