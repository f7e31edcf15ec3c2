#include "ServiceLog.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "DateTime.h"

namespace lw {
namespace {

void appendLine(const std::filesystem::path& file, const std::string& bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        rest.remove_prefix(static_cast<size_t>(n));
    }
    ::close(fd);
}

} // namespace

ServiceLog::ServiceLog(std::filesystem::path file, Formats formats, Clock now)
    : file_(std::move(file)), formats_(std::move(formats)), now_(std::move(now)) {}

void ServiceLog::setObserver(LineObserver observer) {
    observer_ = std::move(observer);
}

void ServiceLog::Log(std::string_view text, int level) {
    const bool written = level <= debugLevel_;
    const bool observed = observer_ && level <= observerLevel_;
    if (!written && !observed)
        return;
    std::string line = formatDateTime(now_(), formats_);
    line += ' ';
    line += text;
    if (written) {
        std::lock_guard lock(writeLock_);
        appendLine(file_, line + "\r\n");
    }
    if (observed)
        observer_(line, level);
}

} // namespace lw
