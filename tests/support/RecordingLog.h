#pragma once
// A log sink that keeps every line with its level, for tests of routines that log.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "LogSink.h"

namespace lw::test {

struct LogLine {
    std::string text;
    int level;
    bool operator==(const LogLine&) const = default;
};

class RecordingLog final : public LogSink {
public:
    void Log(std::string_view text, int level) override {
        lines.push_back({std::string(text), level});
    }
    bool has(const std::string& text, int level) const {
        return std::find(lines.begin(), lines.end(), LogLine{text, level}) != lines.end();
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const LogLine& l : lines)
            out.push_back(l.text);
        return out;
    }
    std::vector<LogLine> lines;
};

} // namespace lw::test
