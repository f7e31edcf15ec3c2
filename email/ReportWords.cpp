#include "ReportWords.h"

#include <array>

namespace lw {
namespace {

// &, <, > and " as character references, so that a value (a tank name) cannot add markup.
void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
}

} // namespace

std::string_view reportStatusWord(int32_t status) {
    static constexpr std::array<std::string_view, 4> kWords{"Good", "No Light", "Unknown",
                                                            "Bad Light"};
    if (status >= 0 && status < static_cast<int32_t>(kWords.size()))
        return kWords[static_cast<size_t>(status)];
    return "Unkown";
}

namespace reporthtml {

void appendHeading(std::string& out, std::string_view heading) {
    out += "<H2>";
    appendEscaped(out, heading);
    out += "</H2>";
}

void appendHeaderCell(std::string& out, std::string_view caption) {
    out += "<TD><B>";
    out += caption;
    out += "</B></TD>";
}

void appendCell(std::string& out, std::string_view text) {
    out += "<TD>";
    appendEscaped(out, text);
    out += "</TD>";
}

} // namespace reporthtml
} // namespace lw
