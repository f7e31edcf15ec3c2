#pragma once
// Date-times as the system stores them: days since 30 December 1899 as a double, the time of
// day as the fraction, local time. All conversions to and from texts live here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Formats.h"

namespace lw {

struct CivilTime {
    int year = 1899;
    int month = 12; // 1..12
    int day = 30;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool operator==(const CivilTime&) const = default;
};

inline constexpr double kMsPerDay = 86'400'000.0;

double encodeDateTime(const CivilTime& t);
// Rounds to the nearest millisecond.
CivilTime decodeDateTime(double dateTime);
bool isValidDate(int year, int month, int day);
// A date-time from 1 January 0001 to 31 December 9999; anything else (NaN, infinities, far
// years, as eight unchecked bytes may hold) cannot be decoded or shown.
bool isValidDateTime(double dateTime);
// Whole days of the date part, as used for "same day" rules.
int64_t dayNumber(double dateTime);

// Texts with the formats' short date and long time patterns.
std::string formatDate(double dateTime, const Formats& f);
std::string formatTime(double dateTime, const Formats& f);
// Short date, a blank, long time: the log line and "DATE=" form.
std::string formatDateTime(double dateTime, const Formats& f);

// ISO 8601 with milliseconds and the given offset from UTC, for peers outside the system:
// "2024-03-05T10:00:00.250+01:00" ("Z" is never used: an offset of 0 reads "+00:00").
std::string isoDateTime(double dateTime, int utcOffsetMinutes);

// Read back texts of the same patterns; empty when the text does not fit the pattern.
std::optional<double> parseDate(std::string_view text, const Formats& f);
std::optional<double> parseTime(std::string_view text, const Formats& f);
// A date, optionally followed by a blank and a time.
std::optional<double> parseDateTime(std::string_view text, const Formats& f);

} // namespace lw
