#include "ReportMailer.h"

#include <QFile>
#include <QFileInfo>

#include "AlarmReport.h"
#include "LiveReport.h"
#include "ScheduleRules.h"

namespace lw {
namespace {

// The outbox group of the scheduled pass; alarm reports count up from 1.
constexpr uint64_t kPassGroup = 0;
constexpr char kDamagedSuffix[] = ".damaged";

std::filesystem::path pathOf(const QString& file) {
    return QFile::encodeName(file).toStdString();
}

bool unreachable(const SmtpOutcome& o) {
    return !o.done() && !o.recipientRefused;
}

} // namespace

ReportMailer::ReportMailer(ReportMailerHooks& hooks, MailOutbox& outbox, const Clock& clock,
                           const Formats& formats, QString emailFile, LogSink* log, QObject* parent)
    : QObject(parent), hooks_(hooks), outbox_(outbox), clock_(clock), formats_(formats),
      emailFile_(std::move(emailFile)), log_(log), ScheduleData_(std::vector<ScheduleRow>()) {}

void ReportMailer::loadSchedule() {
    emailFile_.forget();
    if (!QFile::exists(emailFile_.path()))
        ScheduleData_.emplace();
    reloadScheduleIfChanged();
}

bool ReportMailer::reloadScheduleIfChanged() {
    const QString& file = emailFile_.path();
    try {
        return emailFile_.reloadIfChanged(
            [&] { lw::loadSchedule(ScheduleData_, pathOf(file), formats_); });
    } catch (const std::exception& e) {
        hooks_.scheduleFileError(e.what());
        const QString copy = file + QLatin1String(kDamagedSuffix);
        QFile::remove(copy);
        hooks_.scheduleFileError(QFile::copy(file, copy)
                                     ? "kept as " + QFileInfo(copy).fileName().toStdString()
                                     : "could not be kept as " + copy.toStdString());
        return true;
    }
}

void ReportMailer::writeSchedule() {
    lw::saveSchedule(ScheduleData_, pathOf(emailFile_.path()), formats_);
    emailFile_.noteWritten();
    emit scheduleSaved();
}

bool ReportMailer::saveSchedule() {
    try {
        writeSchedule();
    } catch (const std::exception& e) {
        hooks_.scheduleFileError(e.what());
        return false;
    }
    return true;
}

void ReportMailer::EmailTimerTimer() {
    if (!hooks_.mayMail())
        return;
    log("EmailTimerTimer.", 5);
    if (pass_.running)
        return;
    hooks_.passStarting();
    pass_ = {true, 0, false};
    continuePass();
}

void ReportMailer::continuePass() {
    const double now = clock_.now();
    for (; ScheduleData_ && pass_.next < ScheduleData_->size(); ++pass_.next) {
        const ScheduleRow row = (*ScheduleData_)[pass_.next];
        if (!scheduleRowDue(row, now, formats_, log_))
            continue;
        const std::string address = row.Email.value_or("");
        LiveReportBodies bodies;
        try {
            bodies = hooks_.liveReport(now);
        } catch (const std::exception& e) {
            hooks_.mailFailed({address, e.what(), false, {}, false});
            finishPass();
            return;
        }
        MailOutbox::Job job{hooks_.mailSettings(),
                            {address, liveReportTitle(now, formats_), std::move(bodies.text),
                             std::move(bodies.html), ""},
                            EmptyHost::Skip};
        outbox_.submit(
            std::move(job),
            [this, row, index = pass_.next](const SmtpOutcome& o) { rowDone(row, index, o); },
            kPassGroup);
        return;
    }
    finishPass();
}

void ReportMailer::rowDone(const ScheduleRow& row, size_t index, const SmtpOutcome& outcome) {
    const std::string address = row.Email.value_or("");
    if (!outcome.done()) {
        hooks_.mailFailed({address, outcome.error, false, {}, unreachable(outcome)});
        if (!outcome.recipientRefused) {
            finishPass();
            return;
        }
        pass_.next = index + 1;
        continuePass();
        return;
    }
    hooks_.reportSent(address);
    std::optional<size_t> at;
    if (ScheduleData_)
        at = recordLastSent(*ScheduleData_, row, index, clock_.now());
    pass_.sent |= at.has_value();
    pass_.next = at.value_or(index) + 1;
    continuePass();
}

void ReportMailer::finishPass() {
    if (pass_.sent)
        saveSchedule();
    pass_.running = false;
    log("Email Done.", 5);
    emit passFinished();
}

void ReportMailer::SendAlarmEmail(const AlarmEmailArgs& args, const std::string& errorText) {
    if (!hooks_.mayMail())
        return;
    log("SendAlarmEmail.", 5);
    std::vector<std::pair<size_t, ScheduleRow>> rows;
    for (size_t i = 0; ScheduleData_ && i < ScheduleData_->size(); ++i)
        if ((*ScheduleData_)[i].DataType == kScheduleOnAlarmChange)
            rows.emplace_back(i, (*ScheduleData_)[i]);
    if (rows.empty())
        return;
    const double now = clock_.now();
    const std::string html = alarmReportHtml(args, now, formats_);
    const std::string text = alarmReportText(args, now, formats_);
    auto batch =
        std::make_shared<AlarmBatch>(AlarmBatch{nextGroup_++, rows.size(), false, errorText});
    for (const auto& [index, row] : rows) {
        MailOutbox::Job job{hooks_.mailSettings(),
                            {row.Email.value_or(""), args.Subject, text, html, args.AttachmentName},
                            EmptyHost::Skip};
        outbox_.submit(
            std::move(job),
            [this, batch, row, index](const SmtpOutcome& o) { alarmDone(batch, row, index, o); },
            batch->group);
    }
}

void ReportMailer::alarmDone(const std::shared_ptr<AlarmBatch>& batch, const ScheduleRow& row,
                             size_t index, const SmtpOutcome& outcome) {
    --batch->remaining;
    const std::string address = row.Email.value_or("");
    if (outcome.done()) {
        hooks_.alarmSent(address);
        if (ScheduleData_ && recordLastSent(*ScheduleData_, row, index, clock_.now()))
            batch->sent = true;
    } else if (outcome.result == SmtpOutcome::Result::Failed) {
        hooks_.mailFailed({address, outcome.error, true, batch->errorText, unreachable(outcome)});
    } // Cancelled: an earlier row's failure, already reported, ended this change's mail.
    if (batch->remaining > 0)
        return;
    if (batch->sent && saveSchedule())
        log("Send Alarm Save", 2);
    emit alarmReportFinished();
}

void ReportMailer::log(const char* text, int level) {
    if (log_)
        log_->Log(text, level);
}

} // namespace lw
