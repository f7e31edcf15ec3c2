#pragma once
// The collector's mail: the schedule "Email.txt" in the program folder, checked by EmailTimer
// once a minute, and the alarm report of the receive pipeline, both through the report mailer
// and its mail thread. The mail settings are asked for before every mail; the tank list and
// names come from "LiveData.txt", the values from the collector's own table.

#include <QObject>
#include <QTimer>

#include <functional>
#include <string_view>

#include "Clock.h"
#include "Formats.h"
#include "LogSink.h"
#include "MailOutbox.h"
#include "ReportMailer.h"
#include "TankTable.h"

namespace lw {

class ServiceMail final : public QObject, private ReportMailerHooks {
    Q_OBJECT
public:
    // The monitor's tank list, loaded again when its file changed; throws when the file is
    // missing or its current version cannot be read whole.
    using TankList = std::function<const TankTable&()>;
    // The tank list as it stands after the last load, whole or not.
    using LoadedTankList = std::function<const TankTable&()>;
    // The mail settings as they stand in the machine-wide store.
    using MailSettings = std::function<SmtpSettings()>;

    ServiceMail(LogSink& log, const Formats& formats, const Clock& clock, MailSettings settings,
                TankList tankList, LoadedTankList loadedTankList, const TankTable& LastData,
                QObject* parent = nullptr);

    // Start-up: the schedule from "Email.txt" when it exists.
    void loadSchedule() { mailer_.loadSchedule(); }
    // EmailTimer runs from here on.
    void startTimer() { EmailTimer_.start(); }

    // The alarm report of a tank to every "On Alarm Change" row. Throws when no body can be
    // built (nothing is sent); a mail that fails later logs `errorText` (the frame kind's) with
    // the reason.
    void SendAlarmEmail(const AlarmEmailArgs& args, std::string_view errorText);

    Table<ScheduleRow>& ScheduleData() { return mailer_.ScheduleData(); }

private:
    // ReportMailerHooks
    SmtpSettings mailSettings() override;
    void passStarting() override;
    LiveReportBodies liveReport(double now) override;
    void reportSent(const std::string& address) override;
    void alarmSent(const std::string& address) override;
    void mailFailed(const MailFailure& failure) override;
    void scheduleFileError(const std::string& error) override;

    LogSink& log_;
    Formats formats_;
    MailSettings settings_;
    TankList tankList_;
    LoadedTankList loadedTankList_;
    const TankTable& LastData_;
    MailOutbox outbox_;
    ReportMailer mailer_;
    QTimer EmailTimer_;
};

} // namespace lw
