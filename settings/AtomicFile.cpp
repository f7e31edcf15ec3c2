#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace lw {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// A hidden name beside the file that no other writer uses at the same moment (process, counter,
// attempt), so that folder listings by name never pick up a file being written.
std::filesystem::path tempName(const std::filesystem::path& file, int attempt) {
    static std::atomic<unsigned> counter{0};
    return file.parent_path() /
           ("." + file.filename().string() + ".tmp" + std::to_string(::getpid()) + '-' +
            std::to_string(counter++) + '-' + std::to_string(attempt));
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

std::error_code replaceFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                                      Durability durability) {
    std::filesystem::path temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = tempName(file, attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return lastError();
    }
    if (fd < 0)
        return std::make_error_code(std::errc::file_exists);

    struct stat old {};
    bool ok = (::stat(file.c_str(), &old) != 0 || ::fchmod(fd, old.st_mode & 07777) == 0) &&
              writeAll(fd, bytes) && (durability == Durability::Atomic || ::fsync(fd) == 0);
    std::error_code error = ok ? std::error_code{} : lastError();
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = lastError();
    }
    if (ok && ::rename(temp.c_str(), file.c_str()) != 0) {
        ok = false;
        error = lastError();
    }
    if (!ok)
        ::unlink(temp.c_str());
    return error;
}

} // namespace lw
