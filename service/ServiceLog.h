#pragma once
// The collector's log "OstrelServiceLog.txt": one line per call whose level is not above the
// debug level, each written by its own open-append-close so the file may be read or removed
// while the service runs (the next line creates it again). Lines from several threads are
// serialised, so none is lost. A file that cannot be written drops the line silently.

#include <atomic>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <string>

#include "Clock.h"
#include "Formats.h"
#include "LogSink.h"

namespace lw {

inline constexpr char kServiceLogFile[] = "OstrelServiceLog.txt";

class ServiceLog final : public LogSink {
public:
    // Told of every call, written or not, with the line as the file would hold it (date-time,
    // a blank, the text; no line end).
    using LineObserver = std::function<void(const std::string& line, int level)>;

    ServiceLog(std::filesystem::path file, Formats formats, const Clock& clock);

    // Lines above this level are not written; a negative level writes nothing at all.
    void setDebugLevel(int level) { debugLevel_ = level; }
    int debugLevel() const { return debugLevel_; }
    void setObserver(LineObserver observer);
    // Lines above this level are not passed to the observer (negative: none are); it is told of
    // every line until this is set.
    void setObserverLevel(int maxLevel) { observerLevel_ = maxLevel; }

    bool logs(int level) const override {
        return level <= debugLevel_ || (observer_ && level <= observerLevel_);
    }

    void Log(std::string_view text, int level) override;

private:
    std::filesystem::path file_;
    Formats formats_;
    const Clock& clock_;
    std::atomic<int> debugLevel_{0};
    std::atomic<int> observerLevel_{std::numeric_limits<int>::max()};
    LineObserver observer_;
    std::mutex writeLock_;
};

} // namespace lw
