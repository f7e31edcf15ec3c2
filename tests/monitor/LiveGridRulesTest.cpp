#include "LiveGridRules.h"

#include <gtest/gtest.h>

#include <set>

#include "DateTime.h"
#include "TankEntry.h"

using namespace lw;

namespace {

TEST(LiveColumns, CoverEveryFieldOnceWithTheCaptionsOperatorsKnow) {
    std::set<TankField> fields;
    for (const LiveColumnInfo& c : liveColumns()) {
        fields.insert(c.field);
        EXPECT_EQ(columnOf(c.field), c.column) << c.name;
    }
    EXPECT_EQ(fields.size(), static_cast<size_t>(kTankFieldCount));
    // The display order differs from the file order around the relays and alarm 4.
    const std::vector<std::string_view> captions{
        "ID",          "Tank Name", "Status",          "Level",          "Volume",      "Temp",
        "Level Below", "Vol Below", "Vol Above",       "Level Above",    "Input 1",     "Input 2",
        "Alarm 1",     "Alarm 2",   "Alarm 3",         "Realy 3",        "Realy 4",     "Relay 2",
        "Alarm 4",     "Relay 1",   "Battery Display", "Battery Sender", "Last Update", "Com Type",
        "Display Type"};
    for (size_t i = 0; i < captions.size(); ++i)
        EXPECT_EQ(liveColumns()[i].caption, captions[i]);
}

TEST(CellText, ShowsValuesAndCodesAsTheGridDoes) {
    TankRecord r;
    r.ID = "12";
    r.Status = 2;
    r.Level = 1234.5;
    r.Volume = 350;
    r.DateTime = encodeDateTime({2026, 12, 9, 14, 5, 9});
    r.DispType = 16;
    r.Alarm1 = true;
    r.BatSender = 50;

    struct Case {
        LiveColumn column;
        Formats formats;
        std::string text;
    };
    const std::vector<Case> cases{
        {LiveColumn::ID, Formats::enUS(), "12"},
        {LiveColumn::Status, Formats::enUS(), "Unkown"}, // the grid's own spelling of code 2
        {LiveColumn::Level, Formats::enUS(), "1234.5"},
        {LiveColumn::Level, Formats::commaDecimal(), "1234,5"},
        {LiveColumn::Volume, Formats::enUS(), "350"},
        {LiveColumn::DateTime, Formats::enUS(), "12/9/2026 2:05:09 PM"},
        {LiveColumn::DateTime, Formats::commaDecimal(), "12/9/2026 14:05:09"},
        {LiveColumn::DispType, Formats::enUS(), "R300S"},
        {LiveColumn::ComType, Formats::enUS(), "Unknown"}, // empty code
        {LiveColumn::Temp, Formats::enUS(), ""},           // empty value
        {LiveColumn::Alarm1, Formats::enUS(), ""},         // check boxes have no text
        {LiveColumn::BatSender, Formats::enUS(), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cellText(r, c.column, c.formats), c.text) << liveColumn(c.column).name;

    r.Status = 7; // outside the table
    r.DateTime = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(cellText(r, LiveColumn::Status, Formats::enUS()), "");
    EXPECT_EQ(cellText(r, LiveColumn::DateTime, Formats::enUS()), "");
}

TEST(BatteryBar, StyleAndFillFollowTheStoredLevel) {
    struct Case {
        std::optional<int32_t> level;
        BatteryBar::Style style;
        double fill;
    };
    const std::vector<Case> cases{
        {0, BatteryBar::PoorBat, 0.2}, // red over -25..100: a stub of a fifth
        {1, BatteryBar::FairBat, 0.01},
        {50, BatteryBar::FairBat, 0.5},
        {51, BatteryBar::GoodBat, 0.51},
        {100, BatteryBar::GoodBat, 1.0},
        {std::nullopt, BatteryBar::FairBat, 0.0},
        {-5, BatteryBar::FairBat, 0.0},
        {150, BatteryBar::GoodBat, 1.0},
    };
    for (const Case& c : cases) {
        const BatteryBar bar = batteryBar(c.level);
        EXPECT_EQ(bar.style, c.style) << c.level.value_or(-999);
        EXPECT_DOUBLE_EQ(bar.fill, c.fill) << c.level.value_or(-999);
    }
}

TEST(LiveDataReportTitle, JoinsTheDateWithoutABlank) {
    const double jan5 = encodeDateTime({2024, 1, 5});
    EXPECT_EQ(liveDataReportTitle(jan5, Formats::enUS()), "Live Data Report -Jan 05 2024");
    Formats german = Formats::commaDecimal();
    german.shortMonthNames[0] = "Jän";
    EXPECT_EQ(liveDataReportTitle(jan5, german), "Live Data Report -Jän 05 2024");
}

TEST(TankEntry, StoresWhatTheOperatorTyped) {
    EXPECT_EQ(storedTankId(""), "1");
    EXPECT_EQ(storedTankId("7"), "7");
    EXPECT_EQ(storedTankId("123456"), "12345");

    TankRecord expected; // every other field stays empty
    expected.ID = "1";
    expected.TankName = "A name longer than t";
    expected.ComType = 1;
    expected.Alarm1 = expected.Alarm2 = expected.Alarm3 = expected.Alarm4 = false;
    EXPECT_EQ(newTankRecord("", "A name longer than twenty", 1), expected);

    EXPECT_EQ(newTankRecord("5", "Tänk", std::nullopt).ComType, std::nullopt);
    // Twenty characters, not twenty bytes.
    EXPECT_EQ(newTankRecord("5", "ÄÖÜäöüßÄÖÜäöüßÄÖÜäöüßx", 0).TankName, "ÄÖÜäöüßÄÖÜäöüßÄÖÜäöü");
}

} // namespace
