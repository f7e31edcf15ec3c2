#pragma once
// The words and markup that both mail reports share: the live report of every tank and the
// one-tank alarm report.

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// "Good", "No Light", "Unknown", "Bad Light" for 0 to 3, "Unkown" (so spelt) for any other
// code. They differ from the status texts of the live grid.
std::string_view reportStatusWord(int32_t status);
inline std::string_view alarmWord(bool on) {
    return on ? "On" : "Off";
}

namespace reporthtml {
inline constexpr std::string_view kBodyStart = "<HTML><HEAD></HEAD><BODY>";
inline constexpr std::string_view kTableStart =
    "<TABLE frame=\"box\" border=1 cellSpacing=0 cellPadding=4><TR>";
inline constexpr std::string_view kEnd = "</TABLE></BODY></HTML>";

// "<H2>" + the heading, escaped, + "</H2>".
void appendHeading(std::string& out, std::string_view heading);
// "<TD><B>" + caption + "</B></TD>".
void appendHeaderCell(std::string& out, std::string_view caption);
// "<TD>" + the text, escaped, + "</TD>".
void appendCell(std::string& out, std::string_view text);
} // namespace reporthtml

} // namespace lw
