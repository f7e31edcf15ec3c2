// The alarm report's two bodies: 13 or 17 columns, bare interface lines, the word rules.

#include <gtest/gtest.h>

#include "AlarmReport.h"
#include "DateTime.h"

using namespace lw;

namespace {

const Formats kUS = Formats::enUS();
const double kNow = encodeDateTime({2026, 12, 9, 14, 5, 9});

AlarmEmailArgs interfaceTank() {
    AlarmEmailArgs a;
    a.Subject = "North <1> Alarm Change - 12/9/2026 2:05:09 PM";
    a.IsInterface = true;
    a.ID = "3";
    a.Name = "North <1>";
    a.Status = "0";
    a.Level = "120.5";
    a.Volume = "3000";
    a.LevelBelow = "40";
    a.VolumeBelow = "1000";
    a.LevelAbove = "80.5";
    a.VolumeAbove = "2000";
    a.Temp = "21";
    a.Alarm1 = "True";
    a.Alarm2 = "False";
    a.Alarm3 = "true"; // only the exact text counts as on
    a.Alarm4 = "";
    a.BatDisplay = 50;
    a.BatSender = 51;
    a.LastUpdate = "12/9/2026 2:05:09 PM";
    return a;
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
        ++n;
    return n;
}

} // namespace

TEST(AlarmReport, InterfaceTankHasSeventeenColumnsAndBareLines) {
    const AlarmEmailArgs a = interfaceTank();
    EXPECT_EQ(alarmReportHtml(a, kNow, kUS),
              "<HTML><HEAD></HEAD><BODY><H2>Alarm Change Report - 12/9/2026 2:05:09 PM</H2>"
              "<TABLE frame=\"box\" border=1 cellSpacing=0 cellPadding=4><TR>"
              "<TD><B>Tank ID</B></TD><TD><B>Tank Name</B></TD><TD><B>Status</B></TD>"
              "<TD><B>Level</B></TD><TD><B>Volume</B></TD><TD><B>Level Below</B></TD>"
              "<TD><B>Volume Below</B></TD><TD><B>Level Above</B></TD>"
              "<TD><B>Volume Above</B></TD><TD><B>Temperature</B></TD><TD><B>Alarm 1</B></TD>"
              "<TD><B>Alarm 2</B></TD><TD><B>Alarm 3</B></TD><TD><B>Alarm 4</B></TD>"
              "<TD><B>Display Battery</B></TD><TD><B>Sender Battery</B></TD>"
              "<TD><B>Last Update</B></TD></TR>"
              "<TR><TD>3</TD><TD>North &lt;1&gt;</TD><TD>Good</TD><TD>120.5</TD><TD>3000</TD>"
              "<TD>40</TD><TD>1000</TD><TD>80.5</TD><TD>2000</TD><TD>21</TD><TD>On</TD>"
              "<TD>Off</TD><TD>Off</TD><TD>Off</TD><TD>Fair</TD><TD>Good</TD>"
              "<TD>12/9/2026 2:05:09 PM</TD></TABLE></BODY></HTML>");
    EXPECT_EQ(alarmReportText(a, kNow, kUS),
              "Alarm Change Report - 12/9/2026 2:05:09 PM\r\r"
              "Tank ID: 3\rTank Name:North <1>\rStatus: Good\rLevel: 120.5\rVolume: 3000\r"
              "40\r1000\r80.5\r2000\r"
              "Temperature: 21\rAlarm1: On\rAlarm2: Off\rAlarm3: Off\rAlarm4: Off\r"
              "Display Battery: Fair\rSender Battery: Good\rLast Update: 12/9/2026 2:05:09 PM\r\r");
}

TEST(AlarmReport, PlainTankHasThirteenColumnsAndNoBareLines) {
    AlarmEmailArgs a = interfaceTank();
    a.IsInterface = false;
    const std::string html = alarmReportHtml(a, kNow, kUS);
    EXPECT_EQ(count(html, "<TD><B>"), 13u);
    EXPECT_EQ(count(html, "<TD>") - count(html, "<TD><B>"), 13u);
    EXPECT_EQ(html.find("Below"), std::string::npos);
    const std::string text = alarmReportText(a, kNow, kUS);
    EXPECT_NE(text.find("Volume: 3000\rTemperature: 21\r"), std::string::npos) << text;
}

TEST(AlarmReport, WordRules) {
    struct Case {
        const char* status;
        int32_t display, sender;
        const char* statusLine;
        const char* displayLine;
        const char* senderLine;
    };
    const Case cases[] = {
        {"1", 0, 100, "Status: No Light", "Display Battery: Poor", "Sender Battery: Good"},
        {"2", -1, 1, "Status: Unknown", "Display Battery: Fair", "Sender Battery: Fair"},
        {"3", 50, 51, "Status: Bad Light", "Display Battery: Fair", "Sender Battery: Good"},
        {"9", 0, 0, "Status: Unkown", "Display Battery: Poor", "Sender Battery: Poor"},
    };
    for (const Case& c : cases) {
        AlarmEmailArgs a = interfaceTank();
        a.Status = c.status;
        a.BatDisplay = c.display;
        a.BatSender = c.sender;
        const std::string text = alarmReportText(a, kNow, kUS);
        for (const char* line : {c.statusLine, c.displayLine, c.senderLine})
            EXPECT_NE(text.find(std::string("\r") + line + "\r"), std::string::npos)
                << c.status << ": " << line;
    }
}

TEST(AlarmReport, StatusThatIsNoNumberBuildsNoBody) {
    for (const char* status : {"", "Good", "1.5"}) {
        AlarmEmailArgs a = interfaceTank();
        a.Status = status;
        EXPECT_THROW(alarmReportHtml(a, kNow, kUS), AlarmReportError) << status;
        EXPECT_THROW(alarmReportText(a, kNow, kUS), AlarmReportError) << status;
    }
}
