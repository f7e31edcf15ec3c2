#pragma once
// The alarm report: one tank's values at an alarm change, sent to every schedule row marked
// "On Alarm Change". HTML: one table of 13 columns, or 17 for an interface tank (level and
// volume below and above stand between "Volume" and "Temperature"); text: lines ended by a
// single CR, the four interface values as bare lines.

#include <stdexcept>
#include <string>

#include "AlarmEmailArgs.h"
#include "Formats.h"

namespace lw {

// The status text of an alarm mail that is not a decimal integer: no body can be built.
class AlarmReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Both bodies, their headings "Alarm Change Report - " + the date and time of `now`. Status:
// 0 "Good" .. 3 "Bad Light", other numbers "Unkown"; an alarm is "On" only for the exact text
// "True"; battery 0 "Poor", above 50 "Good", else "Fair". Throw AlarmReportError for a status
// text that is no decimal integer.
std::string alarmReportHtml(const AlarmEmailArgs& a, double now, const Formats& f);
std::string alarmReportText(const AlarmEmailArgs& a, double now, const Formats& f);

} // namespace lw
