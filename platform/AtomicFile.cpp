#include "AtomicFile.h"

namespace lw {
namespace {

constexpr std::string_view kTempMark = ".tmp";

bool allDigits(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::filesystem::path atomicTempName(const std::filesystem::path& file, unsigned processId,
                                     unsigned counter, int attempt) {
    return file.parent_path() /
           ("." + file.filename().string() + std::string(kTempMark) + std::to_string(processId) +
            '-' + std::to_string(counter) + '-' + std::to_string(attempt));
}

std::optional<std::string> atomicTempTarget(std::string_view name) {
    const size_t mark = name.rfind(kTempMark);
    if (!name.starts_with('.') || mark == std::string_view::npos || mark < 2)
        return std::nullopt;
    // Three numbers joined by '-': process, counter, attempt.
    std::string_view numbers = name.substr(mark + kTempMark.size());
    for (int part = 0; part < 3; ++part) {
        const size_t dash = numbers.find('-');
        if ((part < 2) != (dash != std::string_view::npos))
            return std::nullopt;
        if (!allDigits(numbers.substr(0, dash)))
            return std::nullopt;
        numbers = part < 2 ? numbers.substr(dash + 1) : std::string_view{};
    }
    return std::string(name.substr(1, mark - 1));
}

} // namespace lw
