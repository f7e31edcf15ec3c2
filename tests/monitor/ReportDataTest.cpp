// The reports' loading and the monthly minima and maxima, on history files written by the
// history writer itself.

#include "ReportData.h"

#include <gtest/gtest.h>

#include "DateTime.h"
#include "Files.h"
#include "HistoryFile.h"

using namespace lw;
using lw::test::TempDir;
using lw::test::writeFile;

namespace {

constexpr double kSecond = 1.0 / 86400;

TankRecord reading(double level, double temperature, double input1) {
    TankRecord r;
    r.Status = 0;
    r.Level = level;
    r.Volume = level * 100;
    r.Temperature = temperature;
    r.Input1 = input1;
    r.Input2 = 0;
    r.LevelBelow = level / 2;
    r.VolumeBelow = level * 50;
    r.LevelAbove = level / 4;
    r.VolumeAbove = level * 25;
    return r;
}

double at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return encodeDateTime({year, month, day, hour, minute, second, 0});
}

class ReportDataTest : public ::testing::Test {
protected:
    const TempDir dir{"lw-reports"};
};

TEST_F(ReportDataTest, ADayIsTheRowsTheWriterWroteThatDayInTheWritersLocale) {
    for (const Formats& f : {Formats::enUS(), Formats::commaDecimal()}) {
        const TempDir folder{"lw-day"};
        const HistoryFile history(folder, f);
        // Tank 7 ordinary, tank 8 an interface tank; rows either side of midnight.
        ASSERT_TRUE(history.append(reading(10.5, -3, 4), 7, false, at(2026, 3, 9, 23, 59, 58)));
        ASSERT_TRUE(history.append(reading(11, -2, 5), 7, false, at(2026, 3, 10, 0, 0, 3)));
        ASSERT_TRUE(history.append(reading(2.25, 20, 1), 8, true, at(2026, 3, 9, 12)));

        const DayLoad ordinary = loadHistoryDay(folder, at(2026, 3, 9), "7", f);
        ASSERT_TRUE(ordinary.found);
        EXPECT_EQ(ordinary.error, "");
        ASSERT_EQ(ordinary.rows.size(), 1u);
        HistRow expected;
        expected.DateTime = at(2026, 3, 9, 23, 59, 58);
        expected.Level = 10.5;
        expected.Volume = 1050;
        expected.Temperature = -3;
        expected.Input1 = 4;
        expected.Input2 = 0;
        EXPECT_EQ(ordinary.rows[0], expected); // below/above empty: the row has 7 fields

        const DayLoad next = loadHistoryDay(folder, at(2026, 3, 10), "7", f);
        ASSERT_EQ(next.rows.size(), 1u);
        EXPECT_EQ(next.rows[0].DateTime, at(2026, 3, 10, 0, 0, 3));

        const DayLoad interfaceTank = loadHistoryDay(folder, at(2026, 3, 9), "8", f);
        ASSERT_EQ(interfaceTank.rows.size(), 1u);
        EXPECT_EQ(interfaceTank.rows[0].LevelBelow, 1.125);
        EXPECT_EQ(interfaceTank.rows[0].VolumeAbove, 56.25);

        // The name carries the text as given, and the month as the locale writes it.
        EXPECT_FALSE(loadHistoryDay(folder, at(2026, 3, 9), "007", f).found);
        EXPECT_FALSE(loadHistoryDay(folder, at(2026, 3, 8), "7", f).found);
        EXPECT_TRUE(std::filesystem::exists(folder / historyFileName(at(2026, 3, 9), "7", f)));
    }
    EXPECT_NE(historyFileName(at(2026, 3, 9), "7", Formats::commaDecimal()),
              historyFileName(at(2026, 3, 9), "7", Formats::enUS()));
}

TEST_F(ReportDataTest, AFileTheReaderRejectsKeepsTheRowsBeforeTheFaultAndSaysWhere) {
    const std::string header = "DateTime\tStatus\tLevel\tVolume\tTemperature\tInput1\tInput2\t"
                               "LevelBelow\tVolumeBelow\tLevelAbove\tVolumeAbove\r\n";
    struct Case {
        std::string body;
        size_t rows;
        std::string error;
    };
    const std::vector<Case> cases{
        {"03/09/2026 10:00:00\t0\t1\t2\t3\t4\t5\r\n03/09/2026 10:00:05\t0\tx\t2\t3\t4\t5\r\n"
         "03/09/2026 10:00:10\t0\t1\t2\t3\t4\t5\r\n",
         1, "2026Mar09-7.txt line 3: 'x' is not a valid floating point value"},
        // Too many values: that line is left out, the others are read.
        {"03/09/2026 10:00:00\t0\t1\t2\t3\t4\t5\r\n03/09/2026 10:00:05\t0\t1\t2\t3\t4\t5\t6\t7\t8"
         "\t9\t10\r\n03/09/2026 10:00:10\t0\t1\t2\t3\t4\t5\r\n",
         2, "2026Mar09-7.txt line 3: Invalid stream format"},
    };
    for (const Case& c : cases) {
        writeFile(dir / "2026Mar09-7.txt", header + c.body);
        const DayLoad day = loadHistoryDay(dir, at(2026, 3, 9), "7", Formats::enUS());
        EXPECT_TRUE(day.found);
        EXPECT_EQ(day.rows.size(), c.rows);
        EXPECT_EQ(day.error, c.error);
    }
}

TEST(DayMinMax, TakesTheTrueSmallestAndLargestReadingOfEachQuantity) {
    auto row = [](std::optional<double> level, std::optional<double> temperature,
                  std::optional<int32_t> input1) {
        HistRow r;
        r.Level = level;
        r.Temperature = temperature;
        r.Input1 = input1;
        return r;
    };
    const double day = at(2026, 12, 9);
    const MonthRow m = dayMinMax(day, std::vector<HistRow>{row(10, -5, 3), row(12.5, -2, 7),
                                                           row(11, std::nullopt, std::nullopt)});
    EXPECT_EQ(m.DateTime, day);
    EXPECT_EQ(m.LevelMin, 10);
    EXPECT_EQ(m.LevelMax, 12.5);
    EXPECT_EQ(m.TemperatureMin, -5);
    EXPECT_EQ(m.TemperatureMax, -2); // an all-negative day keeps its negative maximum
    EXPECT_EQ(m.Input1Min, 3);
    EXPECT_EQ(m.Input1Max, 7);
    // No reading is no value, not 0 or a start value.
    EXPECT_EQ(m.VolumeMin, std::nullopt);
    EXPECT_EQ(m.LevelAboveMax, std::nullopt);
    EXPECT_EQ(m.Input2Min, std::nullopt);
    MonthRow empty;
    empty.DateTime = day;
    EXPECT_EQ(dayMinMax(day, {}), empty);
}

TEST_F(ReportDataTest, AMonthHasOneRowPerDayWithAFileAndStopsAtARejectedDay) {
    const HistoryFile history(dir, Formats::enUS());
    for (const int d : {1, 2, 15}) {
        ASSERT_TRUE(history.append(reading(10, 5, 3), 7, false, at(2026, 2, d, 8)));
        ASSERT_TRUE(history.append(reading(12.5, 9, 7), 7, false, at(2026, 2, d, 9)));
    }
    history.append(reading(99, 9, 9), 7, false, at(2026, 3, 1, 8)); // the next month
    writeFile(dir / "2026Feb30-7.txt", "not a history file");       // a day February has not

    const MonthLoad month = loadMonth(dir, at(2026, 2, 20), "7", Formats::enUS());
    EXPECT_EQ(month.error, "");
    ASSERT_EQ(month.rows.size(), 3u);
    EXPECT_EQ(month.rows[0].DateTime, at(2026, 2, 1));
    EXPECT_EQ(month.rows[1].DateTime, at(2026, 2, 2));
    EXPECT_EQ(month.rows[2].DateTime, at(2026, 2, 15));
    EXPECT_EQ(month.rows[2].LevelMin, 10);
    EXPECT_EQ(month.rows[2].LevelMax, 12.5);
    EXPECT_EQ(month.rows[2].Input1Max, 7);
    EXPECT_EQ(month.rows[2].LevelBelowMin, std::nullopt); // an ordinary tank: no readings
    EXPECT_TRUE(loadMonth(dir, at(2026, 2, 20), "8", Formats::enUS()).rows.empty());

    // A day the reader rejects ends the load there; the days before stay.
    writeFile(dir / "2026Feb02-7.txt", "DateTime\tLevel\r\n02/02/2026 08:00:00\tten\r\n");
    const MonthLoad broken = loadMonth(dir, at(2026, 2, 20), "7", Formats::enUS());
    ASSERT_EQ(broken.rows.size(), 1u);
    EXPECT_EQ(broken.rows[0].DateTime, at(2026, 2, 1));
    EXPECT_EQ(broken.error, "2026Feb02-7.txt line 2: 'ten' is not a valid floating point value");
}

TEST(ReportTexts, TankTextsTitlesAndCells) {
    for (const auto& [id, text] :
         std::vector<std::pair<std::string, std::optional<std::string>>>{{"007", "7"},
                                                                         {"12", "12"},
                                                                         {"", std::nullopt},
                                                                         {"North", std::nullopt},
                                                                         {"1a", std::nullopt}})
        EXPECT_EQ(historyTankText(id), text) << id;

    EXPECT_EQ(histReportTitle("12", at(2026, 12, 9), Formats::enUS()), "12-Dec 09 2026");
    EXPECT_EQ(monthReportTitle("12", at(2026, 12, 9), Formats::enUS()), "12-Dec 2026");

    HistRow h;
    h.DateTime = at(2026, 12, 9, 0, 0, 0);
    h.Level = 1234.5;
    const auto hc = histColumns();
    EXPECT_EQ(reportCellText(h, hc[0], Formats::enUS()), "12/9/2026 12:00:00 AM"); // with the time
    EXPECT_EQ(reportCellText(h, hc[1], Formats::commaDecimal()), "1234,5");
    EXPECT_EQ(reportCellText(h, hc[2], Formats::enUS()), "");
    MonthRow m;
    m.DateTime = at(2026, 12, 9);
    m.Input2Max = 7;
    const auto mc = monthColumns();
    EXPECT_EQ(reportCellText(m, mc[0], Formats::enUS()), "12/9/2026");
    EXPECT_EQ(reportCellText(m, mc[18], Formats::enUS()), "7");
    EXPECT_EQ(mc[18].band, "Input2");
    EXPECT_EQ(monthBandOf(18), 9);
}

} // namespace
