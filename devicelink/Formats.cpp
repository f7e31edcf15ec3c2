#include "Formats.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace lw {

Formats Formats::enUS() { return Formats{}; }

Formats Formats::commaDecimal() {
    Formats f;
    f.decimalSeparator = ',';
    f.longTimeFormat = "HH:mm:ss";
    f.shortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                         "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    return f;
}

std::string formatNumber(double value, const Formats& f) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (value == 0)
        return "0";

    // Digits and exponent at 15 significant digits, then the shortest form of them.
    char buf[40];
    const auto written =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string text(buf, written.ptr);
    const auto ePos = text.find('e');
    int exponent = std::atoi(text.c_str() + ePos + 1);
    std::string mantissa = text.substr(0, ePos);
    const bool negative = mantissa[0] == '-';
    std::string digits;
    for (char c : mantissa)
        if (c >= '0' && c <= '9')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -4 && exponent < 15) {
        if (exponent < 0) {
            out += '0';
            out += f.decimalSeparator;
            out.append(static_cast<size_t>(-exponent - 1), '0');
            out += digits;
        } else {
            const auto intDigits = static_cast<size_t>(exponent + 1);
            if (digits.size() <= intDigits) {
                out += digits;
                out.append(intDigits - digits.size(), '0');
            } else {
                out += digits.substr(0, intDigits);
                out += f.decimalSeparator;
                out += digits.substr(intDigits);
            }
        }
        return out;
    }
    out += digits[0];
    if (digits.size() > 1) {
        out += f.decimalSeparator;
        out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
    return out;
}

std::optional<double> parseNumber(std::string_view text, const Formats& f) {
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    // from_chars reads '.' only: other separators are swapped on a copy.
    char buf[64];
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (f.decimalSeparator != '.') {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '.')
                return std::nullopt;
            buf[i] = text[i] == f.decimalSeparator ? '.' : text[i];
        }
        begin = buf;
        end = buf + text.size();
    }
    double v = 0;
    if (*begin == '+')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return v;
}

std::optional<int32_t> parseInteger(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (*begin == '+')
        ++begin;
    int32_t v = 0;
    auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr != end || begin == end)
        return std::nullopt;
    return v;
}

} // namespace lw
