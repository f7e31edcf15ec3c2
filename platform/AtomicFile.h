#pragma once
// Whole-file replacement that a concurrent reader or a crash never sees half done.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
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

// The temporary file of a replacement, hidden beside `file` and named so that no other writer
// uses it at the same moment: "." + file name + ".tmp" + process ID + "-" + counter + "-" +
// attempt. Folder listings by name never pick it up as the file itself.
std::filesystem::path atomicTempName(const std::filesystem::path& file, unsigned processId,
                                     unsigned counter, int attempt);

// The file name that a temporary file of that pattern was to replace; empty for any other name.
// A process killed between writing and renaming leaves such files behind.
std::optional<std::string> atomicTempTarget(std::string_view tempFileName);

} // namespace lw
