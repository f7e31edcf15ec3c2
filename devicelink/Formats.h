#pragma once
// Regional formats, built once from the system locale by the programs and passed to the core.
// The short date is always "M/d/yyyy" with "/"; the long time format, the separators and the
// month names follow the locale.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace lw {

struct Formats {
    char dateSeparator = '/';
    char timeSeparator = ':';
    char decimalSeparator = '.';
    std::string shortDateFormat = "M/d/yyyy";
    // Pattern letters: h/hh (12-hour with AP, else 24-hour), H/HH (24-hour), m/mm, s/ss,
    // z/zzz (milliseconds), AP/ap (AM/PM text); ':' stands for timeSeparator; 'quoted' text.
    std::string longTimeFormat = "h:mm:ss AP";
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string amText = "AM";
    std::string pmText = "PM";

    // English (United States): "/" dates, "h:mm:ss AP" times, "." decimals.
    static Formats enUS();
    // A comma-decimal locale (German style): 24-hour "HH:mm:ss" and "," decimals.
    static Formats commaDecimal();
};

// General number text: up to 15 significant digits, no thousands separator; fixed notation for
// magnitudes from 0.0001 up to 1e15, else mantissa "E" exponent (1E-5, 2.5E20); whole numbers
// without decimals.
std::string formatNumber(double value, const Formats& f);
// Reads a number written with the formats' decimal separator (an exponent is accepted);
// empty when the text is not a number.
std::optional<double> parseNumber(std::string_view text, const Formats& f);
// Whole decimal integer with optional sign, no blanks; empty when not one or out of range.
std::optional<int32_t> parseInteger(std::string_view text);

} // namespace lw
