#pragma once
// Appending to a file that other programs may read, rename or remove between two appends.

#include <filesystem>
#include <string_view>

namespace lw {

// Opens `file` for appending (creating it, mode 0644 less the umask), writes all of `bytes`
// at its end and closes it again. False when the file cannot be opened or written; what was
// written before the failure stays.
bool appendToFile(const std::filesystem::path& file, std::string_view bytes);

} // namespace lw
