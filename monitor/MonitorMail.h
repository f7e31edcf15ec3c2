#pragma once
// The monitor's mail while it owns the serial port: the alarm-change mail of a tank and the
// once-a-minute pass over the e-mail schedule. The window decides when (serial mode only);
// sending, the schedule table and its file are the mail's.

#include "AlarmEmailArgs.h"

namespace lw {

class MonitorMail {
public:
    virtual ~MonitorMail() = default;
    // One tank's alarms changed: the alarm report to every "On Alarm Change" row.
    virtual void SendAlarmEmail(const AlarmEmailArgs& args) = 0;
    // The schedule pass: the live report to every row that is due.
    virtual void EmailTimerTimer() = 0;
};

} // namespace lw
