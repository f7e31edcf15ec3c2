#include "IniCheck.h"

namespace lw {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool hasControlCharacter(std::string_view line) {
    for (const char c : line)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return true;
    return false;
}

// What is wrong with a key's value, or nothing.
std::optional<std::string> valueFault(std::string_view value) {
    bool quoted = false;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\') {
            if (i + 1 == value.size())
                return "the line ends in '\\', so the next line would be read as part of this "
                       "value (write '\\\\' for a backslash)";
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            return std::nullopt; // the rest is a comment
        }
    }
    if (quoted)
        return "a double quote is not closed on this line, so the value would run on into the "
               "lines below";
    return std::nullopt;
}

std::optional<std::string> lineFault(std::string_view line, bool first) {
    if (first && line.starts_with(kByteOrderMark))
        return "the file starts with a byte-order mark: save it without one";
    if (hasControlCharacter(line))
        return "the line holds control characters";
    const std::string_view t = trimmed(line);
    if (t.empty() || t.starts_with(';'))
        return std::nullopt;
    if (t.starts_with('['))
        return t.find(']') == std::string_view::npos
                   ? std::optional<std::string>("the section header has no closing ']'")
                   : std::nullopt;
    const size_t equals = t.find('=');
    if (equals == std::string_view::npos)
        return t.starts_with('#') ? "'#' does not start a comment: use ';'"
                                  : "the line is neither a section header, a key=value line "
                                    "nor a comment (comments start with ';')";
    return valueFault(t.substr(equals + 1));
}

} // namespace

std::optional<IniFault> findIniFault(std::string_view text) {
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        ++number;
        if (auto reason = lineFault(line, number == 1))
            return IniFault{number, std::move(*reason), std::string(line)};
    }
    return std::nullopt;
}

} // namespace lw
