#include "ServiceLog.h"

#include "AppendFile.h"
#include "DateTime.h"

namespace lw {

ServiceLog::ServiceLog(std::filesystem::path file, Formats formats, Clock now)
    : file_(std::move(file)), formats_(std::move(formats)), now_(std::move(now)) {}

void ServiceLog::setObserver(LineObserver observer) {
    observer_ = std::move(observer);
}

void ServiceLog::Log(std::string_view text, int level) {
    const bool written = level <= debugLevel_;
    if (!written && !observer_)
        return;
    std::string line = formatDateTime(now_(), formats_);
    line += ' ';
    line += text;
    if (written) {
        std::lock_guard lock(writeLock_);
        appendToFile(file_, line + "\r\n");
    }
    if (observer_)
        observer_(line, level);
}

} // namespace lw
