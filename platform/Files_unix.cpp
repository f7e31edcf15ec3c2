#include "AppendFile.h"
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
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = atomicTempName(file, static_cast<unsigned>(::getpid()), counter++, attempt);
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

bool appendToFile(const std::filesystem::path& file, std::string_view bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes);
    return ::close(fd) == 0 && written;
}

} // namespace lw
