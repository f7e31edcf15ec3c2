#pragma once
// When a row of the e-mail schedule is due. Each row names a frequency (a day filter) and a time
// of day; the schedule is checked about once a minute, and a row is sent once per eligible day,
// at the first check at or after its time. A row never sent is sent at the first check of an
// eligible day, whatever its time.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Formats.h"
#include "LogSink.h"
#include "ScheduleRow.h"

namespace lw {

struct ScheduleType {
    std::string_view ScheduleTypeString;
    int32_t ScheduleTypeNumber;
};

inline constexpr int32_t kScheduleNever = -1;
inline constexpr int32_t kScheduleEveryday = 0;
inline constexpr int32_t kScheduleOnAlarmChange = 10;

// The frequencies in the order the setup window lists them: "Never" -1, "Everyday" 0,
// "Weekdays" 8, "Saturday and Sunday" 9, "Sunday" 1 .. "Saturday" 7, "On Alarm Change" 10.
std::span<const ScheduleType> ScheduleTypeData();

// 1 for Sunday up to 7 for Saturday.
int dayOfWeek(double dateTime);
// Whether a row of frequency `code` may be sent on a day of `dayOfWeek`. "Never", "On Alarm
// Change" and codes not in the list never pass.
bool dayFilterPasses(int32_t code, int dayOfWeek);

// Whether the row is due at `now`. An empty DataType counts as "Everyday", an empty Time as
// midnight. A row sent before (LastSent set) is due when the latest instant of its time at or
// before now (today's, or yesterday's before today's has come) falls on an eligible day and
// the row has not been sent for it. A mail recorded up to a minute before that instant counts
// for it: "Email.txt" may keep times to the minute only, and the check runs once a minute.
// With `log`, the check's values are logged at level 6 ("LastEmail=", "Round=" or "Date-1=",
// "TimeDiff=", "LastEmailDay+TimeDiff=" with " Now=" for a due row) and
// "Check if Email should be sent." at level 5.
bool scheduleRowDue(const ScheduleRow& row, double now, const Formats& f, LogSink* log);

// Records `when` as the LastSent of the row a mail went out for. `sent` is the row as it was when
// the mail was queued; the table may have changed since (reloaded, edited, rows added or
// removed), so the row is found again by its address, frequency, time and tank IDs: at `hint`
// when it is still there, else the first such row. Returns the row's position; empty when there
// is none any more.
std::optional<size_t> recordLastSent(std::vector<ScheduleRow>& rows, const ScheduleRow& sent,
                                     size_t hint, double when);

} // namespace lw
