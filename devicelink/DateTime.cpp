#include "DateTime.h"

#include <chrono>
#include <cmath>

#include "Ascii.h"

namespace lw {
namespace {

using namespace std::chrono;

constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

std::string pad(int value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<size_t>(width - static_cast<int>(s.size())), '0');
    return s;
}

// Length of the run of `c` starting at `pos`.
size_t runLength(std::string_view pattern, size_t pos) {
    size_t n = 1;
    while (pos + n < pattern.size() && pattern[pos + n] == pattern[pos])
        ++n;
    return n;
}

bool hasAmPm(std::string_view pattern) {
    return pattern.find("AP") != std::string_view::npos || pattern.find("ap") != std::string_view::npos;
}

std::string formatPattern(std::string_view pattern, const CivilTime& t, const Formats& f) {
    const bool twelveHour = hasAmPm(pattern);
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        const size_t n = runLength(pattern, i);
        switch (c) {
        case 'y':
            out += n >= 4 ? pad(t.year, 4) : pad(t.year % 100, 2);
            i += n >= 4 ? 4 : 2;
            continue;
        case 'M':
            if (n >= 3)
                out += f.shortMonthNames[static_cast<size_t>(t.month - 1)];
            else
                out += pad(t.month, static_cast<int>(n));
            i += n >= 3 ? 3 : n;
            continue;
        case 'd': out += pad(t.day, n >= 2 ? 2 : 1); i += n >= 2 ? 2 : 1; continue;
        case 'h': {
            int h = t.hour;
            if (twelveHour) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += pad(h, n >= 2 ? 2 : 1);
            i += n >= 2 ? 2 : 1;
            continue;
        }
        case 'H': out += pad(t.hour, n >= 2 ? 2 : 1); i += n >= 2 ? 2 : 1; continue;
        case 'm': out += pad(t.minute, n >= 2 ? 2 : 1); i += n >= 2 ? 2 : 1; continue;
        case 's': out += pad(t.second, n >= 2 ? 2 : 1); i += n >= 2 ? 2 : 1; continue;
        case 'z': out += n >= 3 ? pad(t.millisecond, 3) : std::to_string(t.millisecond); i += n >= 3 ? 3 : 1; continue;
        case 'A':
        case 'a':
            if (i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) {
                std::string text = t.hour < 12 ? f.amText : f.pmText;
                if (c == 'a')
                    for (char& ch : text)
                        ch = asciiLower(ch);
                out += text;
                i += 2;
                continue;
            }
            out += c;
            ++i;
            continue;
        case '/': out += f.dateSeparator; ++i; continue;
        case ':': out += f.timeSeparator; ++i; continue;
        case '\'': {
            const size_t close = pattern.find('\'', i + 1);
            const size_t end = close == std::string_view::npos ? pattern.size() : close;
            out.append(pattern.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        default: out += c; ++i; continue;
        }
    }
    return out;
}

// Reads up to `maxDigits` digits (at least one).
bool readNumber(std::string_view text, size_t& pos, size_t maxDigits, int& value) {
    size_t start = pos;
    value = 0;
    while (pos < text.size() && pos - start < maxDigits && text[pos] >= '0' && text[pos] <= '9')
        value = value * 10 + (text[pos++] - '0');
    return pos > start;
}

bool readText(std::string_view text, size_t& pos, std::string_view expected, bool ignoreCase) {
    if (expected.empty() || text.size() - pos < expected.size())
        return false;
    const std::string_view here = text.substr(pos, expected.size());
    if (ignoreCase ? !equalsIgnoreCase(here, expected) : here != expected)
        return false;
    pos += expected.size();
    return true;
}

// Parses `text` from `pos` along `pattern` into `t`; fields the pattern lacks stay as they are.
bool parsePattern(std::string_view pattern, std::string_view text, size_t& pos, CivilTime& t,
                  const Formats& f) {
    const bool twelveHour = hasAmPm(pattern);
    std::optional<bool> pm;
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        const size_t n = runLength(pattern, i);
        int v = 0;
        switch (c) {
        case 'y':
            if (!readNumber(text, pos, 4, v))
                return false;
            t.year = n >= 4 || v >= 100 ? v : 2000 + v;
            i += n >= 4 ? 4 : 2;
            continue;
        case 'M':
            if (n >= 3) {
                bool found = false;
                for (int m = 0; m < 12 && !found; ++m)
                    if (readText(text, pos, f.shortMonthNames[static_cast<size_t>(m)], true)) {
                        t.month = m + 1;
                        found = true;
                    }
                if (!found)
                    return false;
                i += 3;
                continue;
            }
            if (!readNumber(text, pos, 2, v))
                return false;
            t.month = v;
            i += n;
            continue;
        case 'd':
        case 'h':
        case 'H':
        case 'm':
        case 's':
            if (!readNumber(text, pos, 2, v))
                return false;
            (c == 'd' ? t.day : c == 'm' ? t.minute : c == 's' ? t.second : t.hour) = v;
            i += n >= 2 ? 2 : 1;
            continue;
        case 'z':
            if (!readNumber(text, pos, 3, v))
                return false;
            t.millisecond = v;
            i += n >= 3 ? 3 : 1;
            continue;
        case 'A':
        case 'a':
            if (i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) {
                if (readText(text, pos, f.amText, true))
                    pm = false;
                else if (readText(text, pos, f.pmText, true))
                    pm = true;
                else
                    return false;
                i += 2;
                continue;
            }
            [[fallthrough]];
        default: {
            char expected = c == '/' ? f.dateSeparator : c == ':' ? f.timeSeparator : c;
            if (c == '\'') {
                const size_t close = pattern.find('\'', i + 1);
                const size_t end = close == std::string_view::npos ? pattern.size() : close;
                if (!readText(text, pos, pattern.substr(i + 1, end - i - 1), false) && end > i + 1)
                    return false;
                i = end + 1;
                continue;
            }
            if (expected == ' ') {
                // A blank in the pattern matches any run of blanks, also none before AM/PM.
                while (pos < text.size() && text[pos] == ' ')
                    ++pos;
                ++i;
                continue;
            }
            if (pos >= text.size() || text[pos] != expected)
                return false;
            ++pos;
            ++i;
            continue;
        }
        }
    }
    if (twelveHour && pm) {
        if (t.hour < 1 || t.hour > 12)
            return false;
        t.hour = t.hour % 12 + (*pm ? 12 : 0);
    }
    return true;
}

bool validTime(const CivilTime& t) {
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
           t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000;
}

double timeFraction(const CivilTime& t) {
    return (((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 + t.millisecond) / kMsPerDay;
}

} // namespace

bool isValidDate(int y, int m, int d) {
    return y >= 1 && y <= 9999 && year_month_day{year{y} / month{static_cast<unsigned>(m)} /
                                                 day{static_cast<unsigned>(d)}}
                                      .ok();
}

bool isValidDateTime(double dateTime) {
    static const double kFirst = encodeDateTime({1, 1, 1});
    static const double kEnd = encodeDateTime({9999, 12, 31}) + 1;
    return dateTime >= kFirst && dateTime < kEnd;
}

double encodeDateTime(const CivilTime& t) {
    const sys_days date{year{t.year} / month{static_cast<unsigned>(t.month)} /
                        day{static_cast<unsigned>(t.day)}};
    const double days = static_cast<double>((date - kEpoch).count());
    const double frac = timeFraction(t);
    // Before the epoch the fraction still counts forward from midnight, so it is subtracted.
    return days >= 0 ? days + frac : days - frac;
}

CivilTime decodeDateTime(double dateTime) {
    double whole = std::trunc(dateTime);
    int64_t ms = std::llround(std::fabs(dateTime - whole) * kMsPerDay);
    if (ms >= static_cast<int64_t>(kMsPerDay)) {
        ms -= static_cast<int64_t>(kMsPerDay);
        whole += dateTime >= 0 ? 1 : -1;
    }
    const year_month_day ymd{kEpoch + days{static_cast<int64_t>(whole)}};
    CivilTime t;
    t.year = static_cast<int>(ymd.year());
    t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    t.hour = static_cast<int>(ms / 3'600'000);
    t.minute = static_cast<int>(ms / 60'000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

int64_t dayNumber(double dateTime) {
    const CivilTime t = decodeDateTime(dateTime);
    return (sys_days{year{t.year} / month{static_cast<unsigned>(t.month)} /
                     day{static_cast<unsigned>(t.day)}} -
            kEpoch)
        .count();
}

std::string formatDate(double dateTime, const Formats& f) {
    return formatPattern(f.shortDateFormat, decodeDateTime(dateTime), f);
}

std::string formatTime(double dateTime, const Formats& f) {
    return formatPattern(f.longTimeFormat, decodeDateTime(dateTime), f);
}

std::string isoDateTime(double dateTime, int utcOffsetMinutes) {
    const CivilTime t = decodeDateTime(dateTime);
    const int offset = std::abs(utcOffsetMinutes);
    return pad(t.year, 4) + '-' + pad(t.month, 2) + '-' + pad(t.day, 2) + 'T' + pad(t.hour, 2) +
           ':' + pad(t.minute, 2) + ':' + pad(t.second, 2) + '.' + pad(t.millisecond, 3) +
           (utcOffsetMinutes < 0 ? '-' : '+') + pad(offset / 60, 2) + ':' + pad(offset % 60, 2);
}

std::string formatDateTime(double dateTime, const Formats& f) {
    const CivilTime t = decodeDateTime(dateTime);
    return formatPattern(f.shortDateFormat, t, f) + ' ' + formatPattern(f.longTimeFormat, t, f);
}

std::optional<double> parseDate(std::string_view text, const Formats& f) {
    CivilTime t;
    size_t pos = 0;
    if (!parsePattern(f.shortDateFormat, text, pos, t, f) || pos != text.size() ||
        !isValidDate(t.year, t.month, t.day))
        return std::nullopt;
    return encodeDateTime(t);
}

std::optional<double> parseTime(std::string_view text, const Formats& f) {
    CivilTime t;
    size_t pos = 0;
    if (!parsePattern(f.longTimeFormat, text, pos, t, f) || pos != text.size() || !validTime(t))
        return std::nullopt;
    return timeFraction(t);
}

std::optional<double> parseDateTime(std::string_view text, const Formats& f) {
    CivilTime t;
    size_t pos = 0;
    if (!parsePattern(f.shortDateFormat, text, pos, t, f) || !isValidDate(t.year, t.month, t.day))
        return std::nullopt;
    if (pos != text.size()) {
        if (text[pos] != ' ')
            return std::nullopt;
        ++pos;
        if (!parsePattern(f.longTimeFormat, text, pos, t, f) || pos != text.size() ||
            !validTime(t))
            return std::nullopt;
    }
    return encodeDateTime(t);
}

} // namespace lw
