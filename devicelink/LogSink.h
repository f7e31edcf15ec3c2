#pragma once
// Where the collector's routines send their log lines: a text and its level (0 errors and
// lifecycle, 1 serial setup and frames, 2 routine steps, 5 details, 6 mail arithmetic, 7 per-frame
// relay and table steps). Whether a line is written is the sink's business.

#include <string_view>

namespace lw {

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void Log(std::string_view text, int level) = 0;
    // Whether a line of `level` would be written: lets a caller skip building lines that
    // would be dropped (one per table row, say).
    virtual bool logs(int level) const {
        (void)level;
        return true;
    }
};

} // namespace lw
