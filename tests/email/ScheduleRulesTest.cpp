// When schedule rows are due: the day filters, once per eligible day at the first check at or
// after the row's time, a never-sent row at once, and the check's log lines.

#include <gtest/gtest.h>

#include <cmath>

#include "DateTime.h"
#include "RecordingLog.h"
#include "ScheduleRules.h"

using namespace lw;
using lw::test::LogLine;
using lw::test::RecordingLog;

namespace {

const Formats kUS = Formats::enUS();

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return encodeDateTime({y, mo, d, h, mi, s});
}

double timeOfDay(int h, int mi, int s = 0) {
    return ((h * 60.0 + mi) * 60.0 + s) / 86400.0;
}

ScheduleRow row(std::optional<int32_t> code, std::optional<double> time,
                std::optional<double> lastSent = std::nullopt) {
    return {"ops@example.com", code, time, "1000", lastSent};
}

// Checks once a minute from `start` for `minutes`, recording each sending as the schedule
// does; `keep` is what the file keeps of the sending time. Returns the sending times.
std::vector<std::string> sendings(
    ScheduleRow r, double start, int minutes, double (*keep)(double) = [](double t) { return t; }) {
    std::vector<std::string> sent;
    for (int i = 0; i < minutes; ++i) {
        const double now = start + i * 60'000.0 / kMsPerDay;
        if (scheduleRowDue(r, now, kUS, nullptr)) {
            r.LastSent = keep(now);
            sent.push_back(formatDateTime(now, kUS));
        }
    }
    return sent;
}

} // namespace

TEST(ScheduleRules, DayOfWeekCountsFromSunday) {
    EXPECT_EQ(dayOfWeek(at(2026, 12, 13, 23, 59)), 1); // Sunday
    EXPECT_EQ(dayOfWeek(at(2026, 12, 7)), 2);          // Monday
    EXPECT_EQ(dayOfWeek(at(2026, 12, 12, 12)), 7);     // Saturday
    EXPECT_EQ(dayOfWeek(0.0), 7);                      // 30 December 1899
}

TEST(ScheduleRules, DayFilterOfEveryCode) {
    const std::pair<int32_t, std::string> cases[] = {
        // days 1 (Sunday) to 7 (Saturday) that pass
        {-1, ""}, {0, "1234567"}, {8, "23456"}, {9, "17"}, {1, "1"}, {2, "2"}, {3, "3"},
        {4, "4"}, {5, "5"},       {6, "6"},     {7, "7"},  {10, ""}, {11, ""}, {-2, ""}};
    for (const auto& [code, days] : cases) {
        std::string passed;
        for (int day = 1; day <= 7; ++day)
            if (dayFilterPasses(code, day))
                passed += static_cast<char>('0' + day);
        EXPECT_EQ(passed, days) << code;
    }
    EXPECT_EQ(ScheduleTypeData().size(), 12u);
    EXPECT_EQ(ScheduleTypeData().front().ScheduleTypeString, "Never");
    EXPECT_EQ(ScheduleTypeData().back().ScheduleTypeNumber, 10);
}

TEST(ScheduleRules, OncePerEligibleDayAtTheFirstCheckAtOrAfterItsTime) {
    const auto mondayStart = at(2026, 12, 7, 0, 0, 17);
    struct Case {
        const char* what;
        ScheduleRow row;
        double start;
        int minutes;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"never sent, then every morning",
         row(0, timeOfDay(8, 0)),
         mondayStart,
         3 * 1440,
         {"12/7/2026 12:00:17 AM", "12/7/2026 8:00:17 AM", "12/8/2026 8:00:17 AM",
          "12/9/2026 8:00:17 AM"}},
        {"no code and no time count as every day at midnight",
         row(std::nullopt, std::nullopt),
         mondayStart + 0.5,
         2 * 1440,
         {"12/7/2026 12:00:17 PM", "12/8/2026 12:00:17 AM", "12/9/2026 12:00:17 AM"}},
        {"afternoon on Sundays",
         row(1, timeOfDay(14, 0)),
         at(2026, 12, 12, 13, 0, 17),
         9 * 1440,
         {"12/13/2026 12:00:17 AM", "12/13/2026 2:00:17 PM", "12/20/2026 2:00:17 PM"}},
        // The checks fall after midnight: the last moments of Friday are sent on Saturday.
        {"weekdays just before midnight",
         row(8, timeOfDay(23, 59, 30)),
         at(2026, 12, 11, 0, 0, 17),
         4 * 1440 + 5,
         {"12/11/2026 12:00:17 AM", "12/12/2026 12:00:17 AM", "12/15/2026 12:00:17 AM"}},
        {"weekend only",
         row(9, timeOfDay(6, 30), at(2026, 12, 6, 6, 30, 20)),
         mondayStart,
         7 * 1440,
         {"12/12/2026 6:30:17 AM", "12/13/2026 6:30:17 AM"}},
        {"never", row(-1, timeOfDay(8, 0)), mondayStart, 2 * 1440, {}},
        {"on alarm change", row(10, timeOfDay(8, 0)), mondayStart, 2 * 1440, {}},
        {"unknown code", row(12, timeOfDay(8, 0)), mondayStart, 2 * 1440, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sendings(c.row, c.start, c.minutes), c.sent);
    }
}

TEST(ScheduleRules, SendingTimeKeptToTheMinuteStillSendsOncePerDay) {
    // A locale whose long time has no seconds: the file gives back 8:00 for 8:00:50.
    const auto toMinute = [](double t) { return std::floor(t * 1440.0) / 1440.0; };
    const ScheduleRow r = row(0, timeOfDay(8, 0, 45), at(2026, 12, 6, 8, 0));
    EXPECT_EQ(sendings(r, at(2026, 12, 7, 0, 0, 50), 2 * 1440, toMinute),
              (std::vector<std::string>{"12/7/2026 8:00:50 AM", "12/8/2026 8:00:50 AM"}));
}

TEST(ScheduleRules, CheckLogsItsValues) {
    const double now = at(2026, 12, 9, 14, 5, 9);
    RecordingLog log;
    EXPECT_TRUE(scheduleRowDue(row(0, timeOfDay(8, 0)), now, kUS, &log));
    EXPECT_EQ(log.lines,
              (std::vector<LogLine>{
                  {"Date-1=12/8/202612:00:00 AM", 6},
                  {"TimeDiff=12/30/18998:00:00 AM", 6},
                  {"Check if Email should be sent.", 5},
                  {"LastEmailDay+TimeDiff=12/8/20268:00:00 AM Now=12/9/20262:05:09 PM", 6}}));

    log.lines.clear();
    EXPECT_FALSE(scheduleRowDue(row(0, std::nullopt, at(2026, 12, 9, 0, 1)), now, kUS, &log));
    EXPECT_EQ(log.lines, (std::vector<LogLine>{{"LastEmail=12/9/202612:01:00 AM", 6},
                                               {"Round=12/9/202612:00:00 AM", 6},
                                               {"Check if Email should be sent.", 5}}));
}

TEST(ScheduleRules, SendingIsRecordedOnTheSameRowAfterTheTableChanged) {
    const ScheduleRow a{"a@example.com", 0, timeOfDay(8, 0), "1000", std::nullopt};
    const ScheduleRow b{"b@example.com", 10, std::nullopt, "1000", at(2026, 1, 1)};
    const double when = at(2026, 12, 9, 8, 0, 17);

    std::vector<ScheduleRow> rows{a, b};
    EXPECT_EQ(recordLastSent(rows, b, 1, when), 1u);
    EXPECT_EQ(rows[1].LastSent, when);
    // A row inserted before it while the mail was out: still found.
    rows = {b, {"new@example.com", 0, std::nullopt, "1000", std::nullopt}, a};
    EXPECT_EQ(recordLastSent(rows, a, 0, when), 2u);
    EXPECT_EQ(rows[2].LastSent, when);
    EXPECT_FALSE(rows[0].LastSent == when);
    // Its address edited or the row deleted: nothing is recorded.
    rows = {{"a2@example.com", 0, timeOfDay(8, 0), "1000", std::nullopt}, b};
    EXPECT_FALSE(recordLastSent(rows, a, 0, when));
    EXPECT_FALSE(rows[0].LastSent);
}
