#pragma once
// Hand-edited settings files: the first line that the settings store would read otherwise than
// its author meant, or not at all. The store's INI dialect reads ';' as the start of a comment
// (anywhere outside double quotes), '\' as an escape, a double quote as the start of a value
// that runs on until the next one, also over line ends, and a line ending in '\' as continued
// on the next; so one stray character can swallow the sections below it without a word.

#include <optional>
#include <string>
#include <string_view>

namespace lw {

struct IniFault {
    int line = 0;       // from 1
    std::string reason; // what is wrong, for the administrator
    std::string text;   // the line as it stands
};

// The first faulty line of `text`, or empty when every line is a blank line, a comment, a
// section header or a key=value line whose value ends on its own line.
std::optional<IniFault> findIniFault(std::string_view text);

} // namespace lw
