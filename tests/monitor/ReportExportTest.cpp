// The headless export on a fixture month written by the history writer in a comma-decimal
// locale: the output is the same en-US text whatever the locale.

#include "ReportExport.h"

#include <gtest/gtest.h>

#include <sstream>

#include "DateTime.h"
#include "Files.h"
#include "HistoryFile.h"

using namespace lw;
using lw::test::TempDir;
using lw::test::writeFile;

namespace {

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

double at(int day, int hour = 0, int minute = 0) {
    return encodeDateTime({2026, 12, day, hour, minute, 0, 0});
}

struct Exported {
    int code;
    std::string out, err;
};

class ReportExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        const HistoryFile history(dir, locale);
        history.append(reading(10, -5, 3), 7, false, at(1, 8));
        history.append(reading(12.5, -2, 7), 7, false, at(1, 14, 30));
        history.append(reading(11, -3, 5), 7, false, at(1, 23, 59));
        history.append(reading(2.25, 20, 1), 7, true, at(2, 0, 1)); // an interface row
    }
    Exported run(std::vector<std::string> args) const {
        std::ostringstream out, err;
        const int code = runExport(args, dir.path(), locale, out, err);
        return {code, out.str(), err.str()};
    }

    const TempDir dir{"lw-export"};
    const Formats locale = Formats::commaDecimal();
};

const std::string kMonthHeader =
    "DateTime,LevelMin,LevelMax,VolumeMin,VolumeMax,TemperatureMin,TemperatureMax,"
    "LevelBelowMin,LevelBelowMax,VolumeBelowMin,VolumeBelowMax,LevelAboveMin,LevelAboveMax,"
    "VolumeAboveMin,VolumeAboveMax,Input1Min,Input1Max,Input2Min,Input2Max\r\n";
const std::string kHistHeader =
    "DateTime,Level,Volume,Temperature,LevelBelow,VolumeBelow,LevelAbove,VolumeAbove,Input1,"
    "Input2\r\n";

TEST_F(ReportExportTest, MonthlyAndHistoryCsvOfAFixtureMonth) {
    const Exported month = run({"--export", "monthly", "--tank", "007", "--date", "2026-12-20"});
    EXPECT_EQ(month.code, 0) << month.err;
    EXPECT_EQ(month.err, "");
    EXPECT_EQ(month.out, kMonthHeader +
                             "12/1/2026,10,12.5,1000,1250,-5,-2,,,,,,,,,3,7,0,0\r\n"
                             "12/2/2026,2.25,2.25,225,225,20,20,1.125,1.125,112.5,112.5,0.5625,"
                             "0.5625,56.25,56.25,1,1,0,0\r\n");

    const Exported day = run({"--export=history", "--tank=7", "--date=2026-12-01", "--format=csv"});
    EXPECT_EQ(day.code, 0) << day.err;
    EXPECT_EQ(day.out, kHistHeader + "12/1/2026 8:00:00 AM,10,1000,-5,,,,,3,0\r\n"
                                     "12/1/2026 2:30:00 PM,12.5,1250,-2,,,,,7,0\r\n"
                                     "12/1/2026 11:59:00 PM,11,1100,-3,,,,,5,0\r\n");
}

TEST_F(ReportExportTest, MonthlyHtmlHasTheWindowsBandsAndCaptions) {
    std::filesystem::remove(dir / historyFileName(at(2), "7", locale));
    const Exported r =
        run({"--export", "monthly", "--tank", "7", "--date", "2026-12-01", "--format", "html"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(
        r.out, "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
               "<title>Monthly Report 7-Dec 2026</title>\n</head>\n<body>\n"
               "<h1>Monthly Report 7-Dec 2026</h1>\n"
               "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<thead>\n"
               "<tr><th rowspan=\"2\">Date</th><th colspan=\"2\">Level</th>"
               "<th colspan=\"2\">Vol</th><th colspan=\"2\">Temp</th>"
               "<th colspan=\"2\">Level Below</th><th colspan=\"2\">Vol Below</th>"
               "<th colspan=\"2\">Level Above</th><th colspan=\"2\">Vol Above</th>"
               "<th colspan=\"2\">Input1</th><th colspan=\"2\">Input2</th></tr>\n<tr>" +
                   [] {
                       std::string s;
                       for (int i = 0; i < 9; ++i)
                           s += "<th>Min</th><th>Max</th>";
                       return s;
                   }() +
                   "</tr>\n</thead>\n<tbody>\n<tr><td>12/1/2026</td><td align=\"right\">10</td>"
                   "<td align=\"right\">12.5</td><td align=\"right\">1000</td>"
                   "<td align=\"right\">1250</td><td align=\"right\">-5</td>"
                   "<td align=\"right\">-2</td>" +
                   [] {
                       std::string s;
                       for (int i = 0; i < 8; ++i)
                           s += "<td align=\"right\"></td>";
                       return s;
                   }() +
                   "<td align=\"right\">3</td><td align=\"right\">7</td>"
                   "<td align=\"right\">0</td><td align=\"right\">0</td></tr>\n"
                   "</tbody>\n</table>\n</body>\n</html>\n");
}

TEST_F(ReportExportTest, NoDataIsTheHeaderAloneAndABadFileIsAnErrorAfterTheRowsRead) {
    const Exported none = run({"--export", "history", "--tank", "8", "--date", "2026-12-01"});
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.out, kHistHeader);

    writeFile(dir / historyFileName(at(3), "7", locale),
              "DateTime\tLevel\r\n12/03/2026 08:00:00\tten\r\n");
    const Exported broken = run({"--export", "monthly", "--tank", "7", "--date", "2026-12-01"});
    EXPECT_EQ(broken.code, kExportUnreadable);
    EXPECT_EQ(std::count(broken.out.begin(), broken.out.end(), '\n'), 3); // header and two days
    EXPECT_NE(broken.err.find("2026Dez03-7.txt line 2: 'ten' is not a valid floating point value"),
              std::string::npos)
        << broken.err;
}

TEST(ExportArguments, BadArgumentsAreSaidWithTheUsageAndExit1) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--export", "weekly", "--tank", "7", "--date", "2026-12-01"}, "'history' or 'monthly'"},
        {{"--export", "history", "--date", "2026-12-01"}, "--tank ID is missing"},
        {{"--export", "history", "--tank", "North", "--date", "2026-12-01"}, "no tank ID"},
        {{"--export", "history", "--tank", "-7", "--date", "2026-12-01"}, "no tank ID"},
        {{"--export", "history", "--tank", "7", "--date", "2026-02-30"}, "no date"},
        {{"--export", "history", "--tank", "7", "--date", "12/1/2026"}, "no date"},
        {{"--export", "history", "--tank", "7"}, "--date YYYY-MM-DD is missing"},
        {{"--export", "history", "--tank", "7", "--date", "2026-12-01", "--format", "pdf"},
         "'csv' or 'html'"},
        {{"--export", "history", "--tank", "7", "--date", "2026-12-01", "--colour", "red"},
         "unknown argument '--colour'"},
        {{"--export", "history", "--tank"}, "--tank needs a value"},
    };
    const TempDir dir{"lw-export-args"};
    for (const auto& [args, message] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runExport(args, dir.path(), Formats::enUS(), out, err), kExportBadArguments);
        EXPECT_EQ(out.str(), "");
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("usage: Levelwatch --export"), std::string::npos);
    }
}

} // namespace
