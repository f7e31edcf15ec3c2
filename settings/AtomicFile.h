#pragma once
// Whole-file replacement that a concurrent reader or a crash never sees half done.

#include <filesystem>
#include <string_view>
#include <system_error>

namespace lw {

// Replaces `file` with `bytes`: they go to a new file in the same folder, are flushed to the
// disk and then renamed over `file`, so a reader opens either the old or the new contents. An
// existing file's permission bits carry over; a new file gets the usual ones (0666 less the
// umask). Returns the error of the step that failed; the old file is then left as it was.
std::error_code replaceFileAtomically(const std::filesystem::path& file, std::string_view bytes);

} // namespace lw
