#include "ScheduleRules.h"

#include <array>
#include <cmath>
#include <string>

#include "DateTime.h"

namespace lw {
namespace {

constexpr auto kTypes = std::to_array<ScheduleType>({
    {"Never", kScheduleNever},
    {"Everyday", kScheduleEveryday},
    {"Weekdays", 8},
    {"Saturday and Sunday", 9},
    {"Sunday", 1},
    {"Monday", 2},
    {"Tuesday", 3},
    {"Wednesday", 4},
    {"Thursday", 5},
    {"Friday", 6},
    {"Saturday", 7},
    {"On Alarm Change", kScheduleOnAlarmChange},
});

constexpr int64_t kMsPerDayInt = 86'400'000;
constexpr int64_t kSentTolerance = 60'000;

int64_t toMs(double dateTime) {
    return std::llround(dateTime * kMsPerDay);
}

double fromMs(int64_t ms) {
    return static_cast<double>(ms) / kMsPerDay;
}

// Date and time joined as the log has always shown them, without a blank.
std::string joined(double dateTime, const Formats& f) {
    return formatDate(dateTime, f) + formatTime(dateTime, f);
}

bool sameIdentity(const ScheduleRow& a, const ScheduleRow& b) {
    return a.Email == b.Email && a.DataType == b.DataType && a.Time == b.Time &&
           a.TankIDs == b.TankIDs;
}

} // namespace

std::span<const ScheduleType> ScheduleTypeData() {
    return kTypes;
}

int dayOfWeek(double dateTime) {
    // Day 0, 30 December 1899, was a Saturday.
    const int64_t r = ((dayNumber(dateTime) % 7) + 7) % 7;
    return r == 0 ? 7 : static_cast<int>(r);
}

bool dayFilterPasses(int32_t code, int day) {
    switch (code) {
    case kScheduleEveryday:
        return true;
    case 8:
        return day >= 2 && day <= 6;
    case 9:
        return day == 1 || day == 7;
    default:
        return code >= 1 && code <= 7 && code == day;
    }
}

bool scheduleRowDue(const ScheduleRow& row, double now, const Formats& f, LogSink* log) {
    const auto logged = [log](int level, const std::string& text) {
        if (log && log->logs(level))
            log->Log(text, level);
    };
    const int64_t nowMs = toMs(now);
    const int64_t todayMs = static_cast<int64_t>(dayNumber(now)) * kMsPerDayInt;
    // Whole seconds: a sending time kept to the second then never falls before it.
    const int64_t timeMs =
        row.Time ? static_cast<int64_t>(std::floor(*row.Time * 86'400.0)) * 1000 : 0;
    const int32_t code = row.DataType.value_or(kScheduleEveryday);

    int64_t dayMs = todayMs;
    if (row.LastSent) {
        if (todayMs + timeMs > nowMs)
            dayMs -= kMsPerDayInt; // today's time is still to come: yesterday's counts
        logged(6, "LastEmail=" + joined(*row.LastSent, f));
        logged(6, "Round=" + joined(fromMs(dayMs), f));
    } else {
        dayMs -= kMsPerDayInt;
        logged(6, "Date-1=" + joined(fromMs(dayMs), f));
    }
    if (row.Time)
        logged(6, "TimeDiff=" + joined(fromMs(timeMs), f));
    logged(5, "Check if Email should be sent.");

    const int64_t dueMs = dayMs + timeMs;
    // A row never sent goes out on any eligible day; one sent before on the day of its instant.
    const int filterDay = dayOfWeek(fromMs(row.LastSent ? dayMs : todayMs));
    if (!dayFilterPasses(code, filterDay))
        return false;
    if (dueMs > nowMs || (row.LastSent && toMs(*row.LastSent) >= dueMs - kSentTolerance))
        return false;
    logged(6, "LastEmailDay+TimeDiff=" + joined(fromMs(dueMs), f) + " Now=" + joined(now, f));
    return true;
}

std::optional<size_t> recordLastSent(std::vector<ScheduleRow>& rows, const ScheduleRow& sent,
                                     size_t hint, double when) {
    std::optional<size_t> found;
    if (hint < rows.size() && sameIdentity(rows[hint], sent))
        found = hint;
    for (size_t i = 0; !found && i < rows.size(); ++i)
        if (sameIdentity(rows[i], sent))
            found = i;
    if (found)
        rows[*found].LastSent = when;
    return found;
}

} // namespace lw
