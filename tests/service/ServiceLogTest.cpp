// The collector's log file: level filter, line form, a file removed under it, several writers.

#include <gtest/gtest.h>

#include <thread>

#include "DateTime.h"
#include "Files.h"
#include "ServiceLog.h"

using namespace lw;

namespace {

class ServiceLogFile : public ::testing::Test {
protected:
    std::string text() const { return lw::test::readFile(dir / kServiceLogFile); }

    const lw::test::TempDir dir{"servicelog"};
    const ManualClock clock{encodeDateTime({2024, 3, 5, 14, 7, 9, 0})};
    ServiceLog log{dir / kServiceLogFile, Formats::enUS(), clock};
};

} // namespace

TEST_F(ServiceLogFile, WritesLinesUpToTheDebugLevel) {
    struct Case {
        int debug;
        std::string expected; // the texts of levels 0, 1, 2, 5, 7 that are written
    };
    const Case cases[] = {{-1, ""}, {0, "0"}, {1, "01"}, {5, "0125"}, {7, "01257"}, {10, "01257"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.debug);
        std::filesystem::remove(dir / kServiceLogFile);
        log.setDebugLevel(c.debug);
        for (int level : {0, 1, 2, 5, 7})
            log.Log(std::to_string(level), level);
        std::string expected;
        for (char level : c.expected)
            expected += "3/5/2024 2:07:09 PM " + std::string(1, level) + "\r\n";
        EXPECT_EQ(text(), expected);
    }
}

TEST_F(ServiceLogFile, LineIsDateTimeBlankTextCrLfAndARemovedFileComesBack) {
    log.Log("Service Start", 0);
    EXPECT_EQ(text(), "3/5/2024 2:07:09 PM Service Start\r\n");
    std::filesystem::remove(dir / kServiceLogFile);
    log.Log("Service Stop", 0);
    EXPECT_EQ(text(), "3/5/2024 2:07:09 PM Service Stop\r\n");
}

TEST_F(ServiceLogFile, ObserverHearsEveryCallWrittenOrNot) {
    std::vector<std::pair<std::string, int>> heard;
    log.setObserver([&](const std::string& line, int level) { heard.emplace_back(line, level); });
    log.Log("written", 0);
    log.Log("filtered", 7);
    EXPECT_EQ(heard, (std::vector<std::pair<std::string, int>>{
                         {"3/5/2024 2:07:09 PM written", 0}, {"3/5/2024 2:07:09 PM filtered", 7}}));
    EXPECT_EQ(text(), "3/5/2024 2:07:09 PM written\r\n");
}

TEST_F(ServiceLogFile, ConcurrentWritersLoseNoLine) {
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                log.Log("writer " + std::to_string(t) + " line " + std::to_string(i), 0);
        });
    for (std::thread& w : writers)
        w.join();
    const std::string all = text();
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), kThreads * kLines);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_NE(all.find("writer " + std::to_string(t) + " line " + std::to_string(kLines - 1) +
                           "\r\n"),
                  std::string::npos);
}
