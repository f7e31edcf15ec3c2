#include "LiveUpdate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "DateTime.h"
#include "FrameBuilder.h"
#include "SlotUpdate.h"
#include "ValueText.h"

using namespace lw;
using namespace lw::sim;

namespace {

using Lines = std::vector<std::string>;

const double kNow = encodeDateTime({2026, 12, 9, 14, 5, 9});
const std::string kNowText = "12/9/2026 2:05:09 PM";

// Records every hook call as one line, in call order.
class Recorder final : public LiveUpdateHooks {
public:
    Lines calls;
    std::vector<AlarmEmailArgs> mails;
    bool editing = false;

    bool editorOpen() const override { return editing; }
    void detailLine(const std::string& line) override { calls.push_back("detail " + line); }
    void fieldWritten(int slot, int row, TankField field, const FieldValue& value) override {
        calls.push_back("write " + std::to_string(slot) + " row" + std::to_string(row) + " " +
                        std::string(fieldInfo(field).name) + "=" +
                        valueText(value, Formats::enUS()));
    }
    void dispTypeChanged() override { calls.push_back("poll list"); }
    void historyRow(const TankRecord& row, uint32_t tankId, bool change,
                    bool isInterface) override {
        calls.push_back("history " + row.ID.value_or("?") + " " + std::to_string(tankId) +
                        (change ? " change" : "") + (isInterface ? " interface" : ""));
    }
    void sendAlarmEmail(const AlarmEmailArgs& args) override {
        calls.push_back("mail " + args.ID);
        mails.push_back(args);
    }
    void statusText(const std::string& text) override { calls.push_back("status " + text); }
    void rowPosted(int row) override { calls.push_back("posted " + std::to_string(row)); }

    // Calls that start with `kind`, with the kind cut off.
    Lines only(const std::string& kind) const {
        Lines out;
        for (const auto& c : calls)
            if (c.rfind(kind + " ", 0) == 0)
                out.push_back(c.substr(kind.size() + 1));
            else if (c == kind)
                out.push_back({});
        return out;
    }
};

TankRecord row(const std::string& id, const std::string& name = {}) {
    TankRecord r;
    r.ID = id;
    if (!name.empty())
        r.TankName = name;
    return r;
}

UnitValues single(uint32_t id, int dispType = 0) {
    UnitValues u;
    u.address = static_cast<uint8_t>(id);
    u.dispType = dispType;
    u.alarms = 0x0005;
    u.input1 = 100;
    u.batteryCode = 2;
    u.counter = 77;
    u.tanks = {{.id = id, .temperature = -10, .level = 1234, .volume = 12345, .volumeDecimals = 2}};
    return u;
}

struct Fixture {
    TankTable table;
    Recorder hooks;
    LiveUpdate update{table, hooks, Formats::enUS()};

    explicit Fixture(std::vector<TankRecord> rows) : table(std::move(rows)) {}

    void serial(const UnitValues& u, double now = kNow) {
        const int registers = isR300Type(u.dispType) ? 48 : 24;
        update.NewTankData(FrameBuffer::fromBytes(buildReply(u, registers)), registers,
                           FrameSource::Serial, now);
    }
};

} // namespace

TEST(LiveUpdate, SecondIdenticalFrameChangesNothingButTheTimeAndBatteries) {
    Fixture f({row("7", "North")});
    f.serial(single(7));
    EXPECT_EQ(f.hooks.only("write"),
              (Lines{"1 row0 Alarm1=True", "1 row0 Alarm2=False", "1 row0 Alarm3=True",
                     "1 row0 Alarm4=False", "1 row0 BatDisplay=50", "1 row0 Input1=100",
                     "1 row0 Input2=0", "1 row0 DateTime=" + formatNumber(kNow, Formats::enUS()),
                     "1 row0 DispType=0", "1 row0 Status=0", "1 row0 BatSender=100",
                     "1 row0 Temperature=-10", "1 row0 Level=123.4", "1 row0 Volume=123.45"}));
    EXPECT_EQ(f.hooks.only("history"), (Lines{"7 7 change"}));
    EXPECT_EQ(f.hooks.only("mail"), (Lines{"7"})); // first sight of the alarms
    EXPECT_EQ(f.hooks.only("status"), (Lines{kNowText + " North parsed new data"}));
    EXPECT_EQ(f.hooks.only("posted"), (Lines{"0"}));

    f.hooks.calls.clear();
    const double later = kNow + 5.0 / 86400;
    f.serial(single(7), later);
    EXPECT_EQ(
        f.hooks.only("write"),
        (Lines{"1 row0 Alarm1=True", "1 row0 Alarm2=False", "1 row0 Alarm3=True",
               "1 row0 Alarm4=False", "1 row0 BatDisplay=50",
               "1 row0 DateTime=" + formatNumber(later, Formats::enUS()), "1 row0 BatSender=100"}));
    EXPECT_EQ(f.hooks.only("history"), (Lines{"7 7"}));
    EXPECT_TRUE(f.hooks.only("mail").empty());
    EXPECT_EQ(f.table[0].DateTime, later);
}

TEST(LiveUpdate, AlarmChangeDetection) {
    struct Case {
        const char* name;
        std::array<std::optional<bool>, 4> stored;
        uint16_t bits;
        bool alarmchange;
    };
    const Case cases[] = {
        {"empty alarm 2, bits 0", {false, std::nullopt, false, false}, 0x0, true},
        {"alarm 3 on to off", {false, false, true, false}, 0x0, true},
        {"alarm 3 off to on", {false, false, false, false}, 0x4, true},
        {"unchanged", {true, false, true, false}, 0x5, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TankRecord r = row("7");
        r.Alarm1 = c.stored[0];
        r.Alarm2 = c.stored[1];
        r.Alarm3 = c.stored[2];
        r.Alarm4 = c.stored[3];
        UnitValues u = single(7);
        u.alarms = c.bits;
        const auto frame = decodeFrame(FrameBuffer::fromBytes(buildReply(u, 24)), 24, kNow);
        const SlotResult result = applySlot(frame.slots[0], r, SlotPolicy{});
        EXPECT_EQ(result.alarmchange, c.alarmchange);
        EXPECT_EQ(r.Alarm2, (c.bits & 2) != 0);
        EXPECT_EQ(r.Alarm3, (c.bits & 4) != 0);
    }
}

TEST(LiveUpdate, BadStatusUpdatesAlarmsAndStatusOnly) {
    TankRecord stored = row("7", "North");
    stored.Status = 0;
    stored.Level = 50;
    stored.Volume = 60;
    stored.Alarm1 = stored.Alarm2 = stored.Alarm3 = stored.Alarm4 = false;
    Fixture f({stored});
    UnitValues u = single(7);
    u.tanks[0].status = 2;
    f.serial(u);
    EXPECT_EQ(f.table[0].Status, 2);
    EXPECT_EQ(f.table[0].Alarm1, true);
    EXPECT_EQ(f.table[0].Level, 50);
    EXPECT_EQ(f.table[0].Volume, 60);
    EXPECT_FALSE(f.table[0].Temperature);
    EXPECT_TRUE(f.hooks.only("history").empty());
    EXPECT_TRUE(f.hooks.only("mail").empty());
    EXPECT_EQ(f.hooks.only("posted"), (Lines{"0"}));

    // The alarm is now stored: a good frame later brings no mail for it.
    f.hooks.calls.clear();
    f.serial(single(7));
    EXPECT_TRUE(f.hooks.only("mail").empty());
    EXPECT_EQ(f.hooks.only("history"), (Lines{"7 7 change"}));
}

TEST(LiveUpdate, RelayedFrameTakesTheBlockTimeAndWritesNoHistoryOrMail) {
    Fixture f({row("7")});
    const double accepted = kNow - 1.0 / 24;
    const auto block = relayBlock(buildReply(single(7), 24), accepted);
    f.update.NewTankData(FrameBuffer::fromBytes(block), 24, FrameSource::Relayed, kNow);
    EXPECT_EQ(f.table[0].DateTime, accepted);
    EXPECT_EQ(f.table[0].Level, 123.4);
    EXPECT_TRUE(f.hooks.only("history").empty());
    EXPECT_TRUE(f.hooks.only("mail").empty());
    EXPECT_EQ(f.hooks.only("detail")[0], "DATE=" + kNowText);

    // The time bytes lie outside the frame's check: a block carrying no date-time there
    // counts as read now.
    for (double bad : {std::nan(""), 1e300, -1e7}) {
        f.update.NewTankData(FrameBuffer::fromBytes(relayBlock(buildReply(single(7), 24), bad)), 24,
                             FrameSource::Relayed, kNow);
        EXPECT_EQ(f.table[0].DateTime, kNow);
    }
}

TEST(LiveUpdate, FirstRowWithTheIdTextIsUpdated) {
    Fixture f({row("012"), row("7"), row("7"), row("99999")});
    UnitValues dual = single(7, 1);
    dual.tanks.push_back({.id = 12, .level = 5});
    f.serial(dual);
    EXPECT_EQ(f.table[1].Level, 123.4);
    EXPECT_FALSE(f.table[0].Level); // "012" is not tank 12
    EXPECT_FALSE(f.table[2].Level); // only the upper of two rows with one ID
    EXPECT_EQ(f.hooks.only("posted"), (Lines{"1"}));

    // A tank ID above 99,999 has no row: a row's ID has at most five digits.
    f.hooks.calls.clear();
    f.serial(single(100000, 16));
    EXPECT_TRUE(f.hooks.only("write").empty());
    EXPECT_EQ(f.hooks.only("detail").back(), " ");
}

TEST(LiveUpdate, TypeRegisterDecidesSlotsBy16BitsAndTheStoredTypeByItsLowByte) {
    struct Case {
        const char* name;
        int layoutType; // the tanks as this type lays them out
        uint16_t typeRegister;
        Lines writes7, writes8; // DispType and Level written to the rows of tanks 7 and 8
    };
    const Case cases[] = {
        {"R300S with a high byte", 16, 0x0110, {"DispType=16", "Level=12.34"}, {}},
        // Slot 2 needs register 6 to be 1 as a 16-bit number.
        {"R200D with a high byte", 1, 0x0101, {"DispType=1", "Level=123.4"}, {}},
        {"R200D", 1, 0x0001, {"DispType=1", "Level=123.4"}, {"DispType=1", "Level=2"}},
        // A low byte that is no display type: slot 1's row is not touched at all.
        {"no display type", 16, 0x0007, {}, {}},
        {"no display type, R200 layout", 0, 0x0102, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitValues u = single(7, c.layoutType);
        u.tanks[0].level = 1234;
        if (c.layoutType == disptype::R200D)
            u.tanks.push_back({.id = 8, .level = 20});
        std::vector<uint8_t> frame = buildReply(u, isR300Type(c.layoutType) ? 48 : 24);
        frame[2 * reg::kType + 1] = static_cast<uint8_t>(c.typeRegister >> 8);
        frame[2 * reg::kType + 2] = static_cast<uint8_t>(c.typeRegister & 0xFF);
        const std::vector<uint8_t> block = relayBlock(withCrc(frame), kNow);

        Fixture f({row("7", "North"), row("8", "South")});
        const int registers = static_cast<int>(frame.size()) == kLongFrameLength ? 48 : 24;
        f.update.NewTankData(FrameBuffer::fromBytes(block), registers, FrameSource::Relayed, kNow);
        const auto rowWrites = [&](const std::string& prefix) {
            Lines out;
            for (const std::string& w : f.hooks.only("write"))
                for (const char* field : {"DispType=", "Level="})
                    if (w.starts_with(prefix + field))
                        out.push_back(w.substr(prefix.size()));
            return out;
        };
        EXPECT_EQ(rowWrites("1 row0 "), c.writes7);
        EXPECT_EQ(rowWrites("2 row1 "), c.writes8);
        if (c.writes7.empty()) {
            // Nor posted, nor named on the status bar, nor shown beyond the common lines.
            EXPECT_TRUE(f.hooks.only("posted").empty());
            EXPECT_TRUE(f.hooks.only("status").empty());
            const Lines detail = f.hooks.only("detail");
            EXPECT_EQ(std::count(detail.begin(), detail.end(), "VERSION      =121"), 0);
        }
    }
}

TEST(LiveUpdate, ChangedDisplayTypeRebuildsThePollListAtOnce) {
    TankRecord stored = row("7");
    stored.DispType = 0;
    Fixture f({stored});
    f.serial(single(7, 16));
    const auto& calls = f.hooks.calls;
    const auto at = std::find(calls.begin(), calls.end(), "poll list");
    ASSERT_NE(at, calls.end());
    EXPECT_EQ(*(at - 1), "write 1 row0 DispType=16");
    EXPECT_EQ(*(at + 1), "write 1 row0 Status=0");

    f.hooks.calls.clear();
    f.serial(single(7, 16));
    EXPECT_TRUE(f.hooks.only("poll list").empty());
}

TEST(LiveUpdate, OpenEditorIgnoresTheFrame) {
    Fixture f({row("7")});
    f.hooks.editing = true;
    f.serial(single(7));
    EXPECT_TRUE(f.hooks.calls.empty());
    EXPECT_EQ(f.table[0], row("7"));
}

TEST(LiveUpdate, DetailLinesOfASingleTank) {
    Fixture f({row("7")});
    UnitValues u = single(7);
    u.relays = 3;
    u.input2 = 200;
    const auto frame = buildReply(u, 24);
    f.update.NewTankData(FrameBuffer::fromBytes(frame), 24, FrameSource::Serial, kNow);
    const std::string crc = std::to_string(frame[51] * 256 + frame[52]);
    EXPECT_EQ(f.hooks.only("detail"), (Lines{"DATE=" + kNowText,
                                             "1 =121",
                                             "2 =5",
                                             "3 =3",
                                             "4 =100",
                                             "5 =200",
                                             "6 =0",
                                             "7 =2",
                                             "8 =7",
                                             "9 =0",
                                             "10=3",
                                             "11=65526",
                                             "12=1234",
                                             "13=12345",
                                             "14=2",
                                             "15=0",
                                             "16=0",
                                             "17=0",
                                             "18=0",
                                             "19=0",
                                             "20=0",
                                             "21=0",
                                             "22=0",
                                             "23=0",
                                             "24=77",
                                             "25=" + crc,
                                             "26=0",
                                             "SLAVE ADDRESS=7",
                                             "TANK ID1     =7",
                                             "VERSION      =121",
                                             "ALARMS       =5",
                                             "RELAYS       =3",
                                             "R2INPUT1     =100",
                                             "R2INPUT2     =200",
                                             "TYPE         =0",
                                             "BATDISPLAY   =2",
                                             "STATUS       =0",
                                             "BATSENDER    =3",
                                             "TEMP         =-10",
                                             "LEVEL        =1234",
                                             "VOLUME       =12345",
                                             "VOLUME DEC   =2",
                                             "R200 COUNTER   =77",
                                             " "}));
}

TEST(LiveUpdate, DetailLinesPerSlotAndFamily) {
    // Lines after the shared registers, per display type.
    struct Case {
        const char* name;
        UnitValues unit;
        Lines rows;
        Lines expected;
    };
    UnitValues dual = single(7, 1);
    dual.tanks.push_back({.id = 8,
                          .status = 1,
                          .batteryCode = 2,
                          .temperature = -2,
                          .level = 20,
                          .volume = 30,
                          .volumeDecimals = 4});
    UnitValues r300d = dual;
    r300d.dispType = 4;
    r300d.counter = 5;
    r300d.tanks[1].level = 70000;
    UnitValues r300i = single(9, 19);
    r300i.tanks[0].levelBelow = 100000;
    r300i.tanks[0].volumeAbove = 4;
    const Case cases[] = {
        {"R200D",
         dual,
         {"7", "8"},
         {"STATUS1      =0", "BATSENDER1   =3", "TEMP1        =-10", "LEVEL1       =1234",
          "VOLUME1      =12345", "VOLUME1DEC   =2", "TANK ID2     =8", "STATUS2      =1",
          "BATSENDER2   =2", "TEMP2        =-2", "LEVEL2       =20", "VOLUME2      =30",
          "VOLUME2DEC   =4", "R200 COUNTER   =77", " "}},
        {"R200D without a row for tank 2",
         dual,
         {"7"},
         {"STATUS1      =0", "BATSENDER1   =3", "TEMP1        =-10", "LEVEL1       =1234",
          "VOLUME1      =12345", "VOLUME1DEC   =2", "TANK ID2     =8", "R200 COUNTER   =77", " "}},
        {"R300D",
         r300d,
         {"7", "8"},
         {"STATUS1      =0", "BATSENDER1   =3", "TEMP1        =-10", "LEVEL1       =1234",
          "VOLUME1      =12345", "VOLUME1DEC   =2", "TANK ID2     =8", "STATUS2      =1",
          "BATSENDER2   =2", "TEMP2        =-2", "LEVEL2       =70000", "VOLUME2      =30",
          "VOLUME2DEC   =4", "R300 COUNTER   =5", " "}},
        {"R300I",
         r300i,
         {"9"},
         {"STATUS      =0", "BATSENDER   =3", "TEMP        =-10", "LEVEL       =1234",
          "VOLUME      =12345", "VOLUME1DEC  =2", "BELOWLEVEL  =100000", "BELOWVOLUME =0",
          "ABOVELEVEL  =0", "ABOVEVOLUME =4", "R300 COUNTER   =77", " "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TankRecord> rows;
        for (const auto& id : c.rows)
            rows.push_back(row(id));
        Fixture f(rows);
        f.serial(c.unit);
        const Lines detail = f.hooks.only("detail");
        const auto shared = std::find_if(detail.begin(), detail.end(), [](const auto& l) {
            return l.rfind("BATDISPLAY   =", 0) == 0;
        });
        ASSERT_NE(shared, detail.end());
        EXPECT_EQ(Lines(shared + 1, detail.end()), c.expected);
    }
}

TEST(LiveUpdate, QuadUnitShowsAllFortyEightRegisters) {
    UnitValues quad = single(1, 12);
    quad.tanks = {{.id = 1}, {.id = 2}, {.id = 3}, {.id = 4, .batteryCode = 9}};
    Fixture f({});
    f.serial(quad);
    const Lines detail = f.hooks.only("detail");
    EXPECT_NE(std::find(detail.begin(), detail.end(), "48=9"), detail.end());
    EXPECT_NE(std::find(detail.begin(), detail.end(), "TANK ID4     =4"), detail.end());
}

TEST(LiveUpdate, AlarmMailCarriesTheRowsValuesAsTexts) {
    UnitValues u = single(9, 19);
    u.tanks[0] = {.id = 9,
                  .temperature = -3,
                  .level = 1250,
                  .volume = 300,
                  .volumeDecimals = 1,
                  .levelBelow = 1234,
                  .volumeBelow = 500,
                  .levelAbove = 16,
                  .volumeAbove = 7};
    for (const auto& formats : {Formats::enUS(), Formats::commaDecimal()}) {
        TankTable table({row("9", "North")});
        Recorder hooks;
        LiveUpdate update(table, hooks, formats);
        update.NewTankData(FrameBuffer::fromBytes(buildReply(u, 48)), 48, FrameSource::Serial,
                           kNow);
        ASSERT_EQ(hooks.mails.size(), 1u);
        const std::string when = formatDateTime(kNow, formats);
        const bool comma = formats.decimalSeparator == ',';
        AlarmEmailArgs expected{.Subject = "North Alarm Change - " + when,
                                .IsInterface = true,
                                .ID = "9",
                                .Name = "North",
                                .Status = "0",
                                .Level = comma ? "12,5" : "12.5",
                                .Volume = "30",
                                .LevelBelow = comma ? "12,34" : "12.34",
                                .VolumeBelow = "50",
                                .LevelAbove = comma ? "0,16" : "0.16",
                                .VolumeAbove = comma ? "0,7" : "0.7",
                                .Temp = "-3",
                                .Alarm1 = "True",
                                .Alarm2 = "False",
                                .Alarm3 = "True",
                                .Alarm4 = "False",
                                .BatDisplay = 50,
                                .BatSender = 100,
                                .LastUpdate = when,
                                .AttachmentName = ""};
        EXPECT_EQ(hooks.mails[0], expected);
        EXPECT_EQ(hooks.only("history"), (Lines{"9 9 change interface"}));
    }
}

TEST(LiveUpdate, TankWithoutNameHasNoStatusTextAndABareSubject) {
    Fixture f({row("7")});
    f.serial(single(7));
    EXPECT_EQ(f.hooks.only("status"), (Lines{""}));
    ASSERT_EQ(f.hooks.mails.size(), 1u);
    EXPECT_EQ(f.hooks.mails[0].Subject, " Alarm Change - " + kNowText);
    EXPECT_EQ(f.hooks.mails[0].LevelBelow, "");
}

TEST(LiveUpdate, TextsCanBeSwitchedOff) {
    TankTable table({row("7", "North")});
    Recorder hooks;
    LiveUpdate update(table, hooks, Formats::enUS(), {.detail = false, .status = false});
    update.NewTankData(FrameBuffer::fromBytes(buildReply(single(7), 24)), 24, FrameSource::Serial,
                       kNow);
    EXPECT_TRUE(hooks.only("detail").empty());
    EXPECT_TRUE(hooks.only("status").empty());
    EXPECT_EQ(table[0].Level, 123.4);
}

TEST(SlotUpdate, ServicePolicyKeepsTimeAndTypeAndReportsEachWrite) {
    // The service keeps DateTime for its history rows and learns types through the poll list.
    struct Log final : FieldObserver {
        Lines lines;
        void fieldWritten(TankField f, const FieldValue& before, const FieldValue& after) override {
            lines.push_back(std::string(fieldInfo(f).name) + " " +
                            valueText(before, Formats::enUS()) + ">" +
                            valueText(after, Formats::enUS()));
        }
    } log;
    TankRecord r = row("7");
    r.Alarm1 = true;
    r.Input1 = 100;
    r.DateTime = 1.0;
    const auto frame = decodeFrame(FrameBuffer::fromBytes(buildReply(single(7), 24)), 24, kNow);
    const SlotResult result =
        applySlot(frame.slots[0], r, {.writeDateTime = false, .writeDispType = false}, &log);
    EXPECT_EQ(log.lines,
              (Lines{"Alarm1 True>True", "Alarm2 >False", "Alarm3 >True", "Alarm4 >False",
                     "BatDisplay >50", "Input2 >0", "Status >0", "BatSender >100",
                     "Temperature >-10", "Level >123.4", "Volume >123.45"}));
    EXPECT_TRUE(result.change);
    EXPECT_TRUE(result.alarmchange);
    EXPECT_EQ(r.DateTime, 1.0);
    EXPECT_FALSE(r.DispType);
}

TEST(TankTable, LookupFollowsEveryChangeOfIds) {
    TankTable t({row("5"), row("7"), row("7")});
    EXPECT_EQ(t.findId("7"), 1);
    t.setField(1, TankField::ID, std::string("8"));
    EXPECT_EQ(t.findId("7"), 2);
    EXPECT_EQ(t.findId("8"), 1);
    t.insertRow(0, row("7"));
    EXPECT_EQ(t.findId("7"), 0);
    t.removeRow(0);
    t.setRow(2, row("9"));
    EXPECT_EQ(t.findId("7"), std::nullopt);
    EXPECT_EQ(t.appendRow(row("5")), 3);
    EXPECT_EQ(t.findId("5"), 0);
    t.assign({row("1")});
    EXPECT_EQ(t.findId("9"), std::nullopt);
    EXPECT_EQ(t.findId("1"), 0);
}
