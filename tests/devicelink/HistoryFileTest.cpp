#include "HistoryFile.h"

#include <gtest/gtest.h>

#include "Files.h"

using namespace lw;
using lw::test::readFile;
using lw::test::TempDir;
using lw::test::writeFile;
namespace fs = std::filesystem;

namespace {

constexpr double kSecond = 1.0 / 86400;
const std::string kHeader = "DateTime\tStatus\tLevel\tVolume\tTemperature\tInput1\tInput2\t"
                            "LevelBelow\tVolumeBelow\tLevelAbove\tVolumeAbove\r\n";

TankRecord reading() {
    TankRecord r;
    r.ID = "12";
    r.Status = 0;
    r.Level = 1234.5;
    r.Volume = 20000;
    r.Temperature = -3;
    r.Input1 = 4;
    r.Input2 = 0;
    r.LevelBelow = 10.25;
    r.VolumeBelow = 300;
    r.LevelAbove = 0.5;
    return r; // VolumeAbove empty
}

class HistoryFileTest : public ::testing::Test {
protected:
    const TempDir dir{"lw-history"};
    const double t0 = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
};

} // namespace

TEST_F(HistoryFileTest, RowsOfOrdinaryAndInterfaceTanks) {
    const HistoryFile history(dir, Formats::enUS());
    EXPECT_EQ(history.path(12, t0), dir / "2026Dec09-12.txt");
    ASSERT_TRUE(history.append(reading(), 12, false, t0));
    ASSERT_TRUE(history.append(reading(), 12, true, t0 + 5 * kSecond));
    EXPECT_EQ(readFile(dir / "2026Dec09-12.txt"),
              kHeader + "12/09/2026 14:05:09\t0\t1234.5\t20000\t-3\t4\t0\r\n"
                        "12/09/2026 14:05:14\t0\t1234.5\t20000\t-3\t4\t0\t10.25\t300\t0.5\t\r\n");
}

TEST_F(HistoryFileTest, FollowsTheLocale) {
    Formats f = Formats::commaDecimal();
    f.dateSeparator = '.';
    f.timeSeparator = '-';
    const HistoryFile history(dir, f);
    const double march = encodeDateTime({2026, 3, 1, 7, 8, 9, 0});
    ASSERT_TRUE(history.append(reading(), 7, false, march));
    EXPECT_EQ(readFile(dir / "2026Mär01-7.txt"),
              kHeader + "03.01.2026 07-08-09\t0\t1234,5\t20000\t-3\t4\t0\r\n");
}

TEST_F(HistoryFileTest, MonitorWritesOnChangeOrAfter58Seconds) {
    HistoryFile history(dir, Formats::enUS());
    struct Step {
        double at; // seconds after t0
        bool change;
        bool written;
    } steps[] = {
        {0, false, true},   // first frame after start-up
        {10, false, false}, // same values 10 s later
        {58, false, false}, // not later than 58 s
        {59, false, true},  // 59 s after the last row
        {64, true, true},   // a change writes at once
        {70, false, false},
    };
    for (const Step& s : steps)
        EXPECT_EQ(history.writeIfDue(reading(), 12, s.change, false, t0 + s.at * kSecond),
                  s.written)
            << "at " << s.at;
    // Tanks are remembered separately.
    EXPECT_TRUE(history.writeIfDue(reading(), 13, false, false, t0 + 70 * kSecond));
    std::istringstream lines(readFile(dir / "2026Dec09-12.txt"));
    std::string line;
    int rows = -1;
    while (std::getline(lines, line))
        ++rows;
    EXPECT_EQ(rows, 3);
}

TEST(HistoryRule, ServiceMeasuresFromTheRowsDateTime) {
    const double t0 = encodeDateTime({2026, 12, 9, 14, 5, 9, 0});
    struct Case {
        std::optional<double> rowTime; // seconds before now
        bool change, alarmChange, due;
    } cases[] = {
        {std::nullopt, false, false, true},
        {10, false, false, false},
        {59, false, false, true},
        {10, true, false, true},
        {10, false, true, true},
    };
    for (const Case& c : cases) {
        const auto rowTime = c.rowTime ? std::optional(t0 - *c.rowTime * kSecond) : std::nullopt;
        EXPECT_EQ(serviceHistoryDue(rowTime, c.change, c.alarmChange, t0), c.due)
            << c.rowTime.value_or(-1) << c.change << c.alarmChange;
    }
}

TEST_F(HistoryFileTest, RowsAroundMidnightGoToTwoFiles) {
    HistoryFile history(dir, Formats::enUS());
    const double midnight = encodeDateTime({2027, 1, 1});
    ASSERT_TRUE(history.writeIfDue(reading(), 12, true, false, midnight - kSecond));
    ASSERT_TRUE(history.writeIfDue(reading(), 12, true, false, midnight));
    EXPECT_EQ(readFile(dir / "2026Dec31-12.txt"),
              kHeader + "12/31/2026 23:59:59\t0\t1234.5\t20000\t-3\t4\t0\r\n");
    EXPECT_EQ(readFile(dir / "2027Jan01-12.txt"),
              kHeader + "01/01/2027 00:00:00\t0\t1234.5\t20000\t-3\t4\t0\r\n");
}

TEST_F(HistoryFileTest, FileThatCannotBeOpenedLosesTheRowOnly) {
    HistoryFile history(dir, Formats::enUS());
    // A folder in the file's place cannot be opened for writing, not even by root.
    fs::create_directory(dir / "2026Dec09-12.txt");
    EXPECT_FALSE(history.writeIfDue(reading(), 12, false, false, t0));
    fs::remove(dir / "2026Dec09-12.txt");
    // The failed row did not count as written: five seconds later, unchanged, it is still due.
    EXPECT_TRUE(history.writeIfDue(reading(), 12, false, false, t0 + 5 * kSecond));
    EXPECT_EQ(readFile(dir / "2026Dec09-12.txt"),
              kHeader + "12/09/2026 14:05:14\t0\t1234.5\t20000\t-3\t4\t0\r\n");
}

TEST_F(HistoryFileTest, ExistingFileWithoutHeaderIsAppendedTo) {
    writeFile(dir / "2026Dec09-12.txt", "");
    ASSERT_TRUE(HistoryFile(dir, Formats::enUS()).append(reading(), 12, false, t0));
    EXPECT_EQ(readFile(dir / "2026Dec09-12.txt"),
              "12/09/2026 14:05:09\t0\t1234.5\t20000\t-3\t4\t0\r\n");
}
