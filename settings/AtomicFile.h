#pragma once
// Whole-file replacement that a concurrent reader or a crash never sees half done.

#include <filesystem>
#include <string_view>
#include <system_error>

namespace lw {

enum class Durability {
    // Flushed to the disk before the rename: after a power cut the file is old or new.
    Flushed,
    // Renamed without waiting for the disk: readers and crashed processes still see old or new,
    // and the kernel writes it back in its own time. For files rewritten on every poll, whose
    // next version is seconds away, where a flush per write would stall reception.
    Atomic,
};

// Replaces `file` with `bytes`: they go to a new file in the same folder, are flushed to the
// disk (when `durability` says so) and then renamed over `file`, so a reader opens either the
// old or the new contents. An existing file's permission bits carry over; a new file gets the
// usual ones (0666 less the umask). Returns the error of the step that failed; the old file is
// then left as it was.
std::error_code replaceFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                                      Durability durability = Durability::Flushed);

} // namespace lw
