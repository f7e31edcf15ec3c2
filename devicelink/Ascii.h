#pragma once
// Case folding for the system's own texts (field names, AM/PM, month names, Boolean words):
// ASCII letters only, the same whatever locale the process runs in.

#include <cstddef>
#include <string_view>

namespace lw {

constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

} // namespace lw
