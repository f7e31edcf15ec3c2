#include "ServiceLog.h"

#include "AppendFile.h"
#include "DateTime.h"

namespace lw {

ServiceLog::ServiceLog(std::filesystem::path file, Formats formats, const Clock& clock)
    : file_(std::move(file)), formats_(std::move(formats)), clock_(clock) {}

void ServiceLog::setObserver(LineObserver observer) {
    observer_ = std::move(observer);
}

void ServiceLog::Log(std::string_view text, int level) {
    const bool written = level <= debugLevel_;
    const bool observed = observer_ && level <= observerLevel_;
    if (!written && !observed)
        return;
    std::string line = formatDateTime(clock_.now(), formats_);
    line += ' ';
    line += text;
    if (written) {
        std::lock_guard lock(writeLock_);
        appendToFile(file_, line + "\r\n");
    }
    if (observed)
        observer_(line, level);
}

} // namespace lw
