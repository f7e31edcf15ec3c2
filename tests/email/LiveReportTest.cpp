// The live report's two bodies, from the operator's live table and from the collector's two
// tables: layout, value texts, code words, the collector's short rows and its log lines.

#include <gtest/gtest.h>

#include "DateTime.h"
#include "LiveReport.h"
#include "RecordingLog.h"

using namespace lw;
using lw::test::LogLine;
using lw::test::RecordingLog;

namespace {

const Formats kUS = Formats::enUS();
const double kNow = encodeDateTime({2026, 12, 9, 14, 5, 9});
const std::string kTitle = "Levelwatch Report - 12/9/2026 2:05:09 PM";
const std::string kHtmlStart =
    "<HTML><HEAD></HEAD><BODY><H2>" + kTitle +
    "</H2><TABLE frame=\"box\" border=1 cellSpacing=0 cellPadding=4><TR>"
    "<TD><B>Tank ID</B></TD><TD><B>Tank Name</B></TD><TD><B>Status</B></TD>"
    "<TD><B>Level</B></TD><TD><B>Volume</B></TD><TD><B>Temperature</B></TD>"
    "<TD><B>Alarm 1</B></TD><TD><B>Alarm 2</B></TD><TD><B>Alarm 3</B></TD>"
    "<TD><B>Alarm 4</B></TD><TD><B>Display Battery</B></TD><TD><B>Sender Battery</B></TD>"
    "<TD><B>Last Update</B></TD></TR>";
const std::string kHtmlEnd = "</TABLE></BODY></HTML>";

TankRecord tank(std::string id, std::optional<std::string> name = std::nullopt) {
    TankRecord r;
    r.ID = std::move(id);
    r.TankName = std::move(name);
    return r;
}

// Every value set, with words at their edges: status 7, battery 50 and 51, a midnight update,
// and a name that would be markup.
TankRecord fullTank() {
    TankRecord r = tank("1", "A&B <x>");
    r.Status = 7;
    r.Level = 12.5;
    r.Volume = 300;
    r.Temperature = -3.25;
    r.Alarm1 = true;
    r.Alarm2 = false;
    r.Alarm4 = true;
    r.BatDisplay = 50;
    r.BatSender = 51;
    r.DateTime = encodeDateTime({2026, 12, 9});
    return r;
}

std::string emptyCells(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "<TD></TD>";
    return s;
}

} // namespace

TEST(LiveReport, MonitorBodiesListEveryTankInTableOrder) {
    const TankTable live({fullTank(), tank("2")});

    EXPECT_EQ(GetHTML(live, kNow, kUS),
              kHtmlStart +
                  "<TR><TD>1</TD><TD>A&amp;B &lt;x&gt;</TD><TD>Unkown</TD><TD>12.5</TD>"
                  "<TD>300</TD><TD>-3.25</TD><TD>On</TD><TD>Off</TD><TD></TD><TD>On</TD>"
                  "<TD>Fair</TD><TD>Good</TD><TD>12/9/2026</TD>"
                  "<TR><TD>2</TD>" +
                  emptyCells(12) + kHtmlEnd);
    EXPECT_EQ(GetText(live, kNow, kUS),
              kTitle +
                  "\r\r"
                  "Tank ID: 1\rTank Name:A&B <x>\rStatus: Unkown\rLevel: 12.5\rVolume: 300\r"
                  "Temperature: -3.25\rAlarm1: On\rAlarm2: Off\rAlarm3: ?\rAlarm4: On\r"
                  "Display Battery: Fair\rSender Battery: Good\rLast Update: 12/9/2026\r\r"
                  "Tank ID: 2\rTank Name:\rStatus: Unkown\rLevel: ?\rVolume: ?\rTemperature: ?\r"
                  "Alarm1: ?\rAlarm2: ?\rAlarm3: ?\rAlarm4: ?\rDisplay Battery: ?\r"
                  "Sender Battery: ?\rLast Update: ?\r\r");
}

TEST(LiveReport, EmptyTableGivesHeadingAndHeaderOnly) {
    const TankTable none;
    EXPECT_EQ(GetHTML(none, kNow, kUS), kHtmlStart + kHtmlEnd);
    EXPECT_EQ(GetText(none, kNow, kUS), kTitle + "\r\r");
    RecordingLog log;
    EXPECT_EQ(GetHTMLData(none, none, kNow, kUS, log), kHtmlStart + kHtmlEnd);
    EXPECT_EQ(GetTextData(none, none, kNow, kUS, log), kTitle + "\r\r");
}

TEST(LiveReport, WordsAndValueTexts) {
    struct Case {
        const char* what;
        TankRecord record;
        std::string cell; // the cell that must appear in the row
        std::string line; // the line that must appear in the text
        Formats formats = kUS;
    };
    const auto with = [](auto member, auto value) {
        TankRecord r = tank("9");
        r.*member = value;
        return r;
    };
    const Case cases[] = {
        {"status 0", with(&TankRecord::Status, 0), "<TD>Good</TD>", "Status: Good"},
        {"status 1", with(&TankRecord::Status, 1), "<TD>No Light</TD>", "Status: No Light"},
        {"status 2", with(&TankRecord::Status, 2), "<TD>Unknown</TD>", "Status: Unknown"},
        {"status 3", with(&TankRecord::Status, 3), "<TD>Bad Light</TD>", "Status: Bad Light"},
        {"status -1", with(&TankRecord::Status, -1), "<TD>Unkown</TD>", "Status: Unkown"},
        {"battery 0", with(&TankRecord::BatDisplay, 0), "<TD>Poor</TD>", "Display Battery: Poor"},
        {"battery -1", with(&TankRecord::BatSender, -1), "<TD>Fair</TD>", "Sender Battery: Fair"},
        {"level 300", with(&TankRecord::Level, 300.0), "<TD>300</TD>", "Level: 300"},
        {"volume 0.0001", with(&TankRecord::Volume, 0.0001), "<TD>0.0001</TD>", "Volume: 0.0001"},
        {"comma decimal", with(&TankRecord::Level, 12.5), "<TD>12,5</TD>", "Level: 12,5",
         Formats::commaDecimal()},
        {"update with time", with(&TankRecord::DateTime, encodeDateTime({2026, 1, 2, 3, 4, 5})),
         "<TD>1/2/2026 3:04:05 AM</TD>", "Last Update: 1/2/2026 3:04:05 AM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TankTable live({c.record});
        const std::string html = GetHTML(live, kNow, c.formats);
        const std::string text = GetText(live, kNow, c.formats);
        EXPECT_NE(html.find(c.cell), std::string::npos) << html;
        EXPECT_NE(text.find("\r" + c.line + "\r"), std::string::npos) << text;
    }
}

TEST(LiveReport, CollectorTakesNamesFromLiveDataAndValuesFromItsOwnTable) {
    TankRecord values = tank("012");
    values.Status = 0;
    values.Level = 1;
    values.DateTime = encodeDateTime({2026, 12, 9, 8, 30, 0});
    TankRecord later = tank("12");
    later.Level = 99; // a second row of the same number: the first one counts
    const TankTable last({tank("5"), values, later});
    const TankTable live({tank("12", ""), tank("7", "Tank 7"), tank("x1", "Odd")});

    RecordingLog log;
    EXPECT_EQ(GetHTMLData(live, last, kNow, kUS, log),
              kHtmlStart + "<TR><TD>12</TD><TD></TD><TD>Good</TD><TD>1</TD>" + emptyCells(8) +
                  "<TD>12/9/2026 8:30:00 AM</TD>"
                  "<TR><TD>7</TD><TD>Tank 7</TD><TD></TD>"
                  "<TR><TD>x1</TD><TD>Odd</TD><TD></TD>" +
                  kHtmlEnd);
    EXPECT_EQ(
        log.lines,
        (std::vector<LogLine>{
            {"GetHTML.", 5}, {"Tank Name: Tank 7", 5}, {"Tank Name: Odd", 5}, {"Done HTML.", 5}}));

    log.lines.clear();
    EXPECT_EQ(GetTextData(live, last, kNow, kUS, log),
              kTitle +
                  "\r\r"
                  "Tank ID: 12\rTank Name: ?\rStatus: Good\rLevel: 1\rVolume: ?\r"
                  "Temperature: ?\rAlarm1: ?\rAlarm2: ?\rAlarm3: ?\rAlarm4: ?\r"
                  "Display Battery: ?\rSender Battery: ?\rLast Update: 12/9/2026 8:30:00 AM\r\r"
                  "Last Update: ?\r\r"
                  "Last Update: ?\r\r");
    EXPECT_EQ(log.lines, (std::vector<LogLine>{{"GetText.", 5},
                                               {"Looking at 5 12", 5},
                                               {"Looking at 012 12", 5},
                                               {"Found 12", 5},
                                               {"Tank Name: ", 5},
                                               {"Status: 0", 5},
                                               {"Level: 1", 5},
                                               {"Volume: ?", 5},
                                               {"Temperature: ?", 5},
                                               {"Alarms", 2},
                                               {"DispBat", 5},
                                               {"SenderBat", 5},
                                               {"LastUpdate12/9/2026 8:30:00 AM", 5},
                                               {"Looking at 5 7", 5},
                                               {"Looking at 012 7", 5},
                                               {"Looking at 12 7", 5},
                                               {"Looking at 5 x1", 5},
                                               {"Looking at 012 x1", 5},
                                               {"Looking at 12 x1", 5},
                                               {"DoneText.", 5}}));
}
