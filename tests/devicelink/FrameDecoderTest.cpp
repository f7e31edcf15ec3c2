#include "FrameDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameBuilder.h"
#include "SlotUpdate.h"
#include "ValueText.h"

using namespace lw;
using namespace lw::sim;

namespace {

constexpr double kReadingTime = 46000.25;

using Writes = std::vector<std::string>;

DecodedFrame decode(const UnitValues& unit, int registers) {
    return decodeFrame(FrameBuffer::fromBytes(buildReply(unit, registers)), registers,
                       kReadingTime);
}

// "Field=value" per write, in write order: into an empty row every decoded value is written.
Writes writes(const DecodedSlot& slot) {
    struct Capture final : FieldObserver {
        Writes out;
        void fieldWritten(TankField f, const FieldValue&, const FieldValue& after) override {
            out.push_back(std::string(fieldInfo(f).name) + "=" + valueText(after, Formats::enUS()));
        }
    } capture;
    TankRecord empty;
    applySlot(slot, empty, SlotPolicy{}, &capture);
    return capture.out;
}

Writes concat(Writes a, const Writes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What every slot writes before its status: alarm bits, display battery, inputs, time, type.
Writes shared(const char* alarms, int dispType, bool dispTypeFirst = false) {
    Writes out;
    const std::string type = "DispType=" + std::to_string(dispType);
    if (dispTypeFirst)
        out.push_back(type);
    for (int i = 0; i < 4; ++i)
        out.push_back("Alarm" + std::to_string(i + 1) + "=" +
                      (alarms[i] == '1' ? "True" : "False"));
    out.insert(out.end(), {"BatDisplay=50", "Input1=100", "Input2=65535", "DateTime=46000.25"});
    if (!dispTypeFirst)
        out.push_back(type);
    return out;
}

UnitValues unit(int dispType, std::vector<TankValues> tanks) {
    UnitValues u;
    u.dispType = dispType;
    u.alarms = 0x0005;
    u.input1 = 100;
    u.input2 = 65535;
    u.batteryCode = 2;
    u.tanks = std::move(tanks);
    return u;
}

} // namespace

TEST(FrameDecoder, R200SingleWritesInOrderWithScaling) {
    const auto frame = decode(unit(0, {{.id = 7,
                                        .batteryCode = 9,
                                        .temperature = -10,
                                        .level = 1234,
                                        .volume = 12345,
                                        .volumeDecimals = 2}}),
                              24);
    ASSERT_EQ(frame.slotCount, 1);
    EXPECT_EQ(frame.slots[0].tankId, 7u);
    EXPECT_TRUE(frame.slots[0].statusGood);
    EXPECT_EQ(writes(frame.slots[0]),
              concat(shared("1010", 0), {"Status=0", "BatSender=0", "Temperature=-10",
                                         "Level=123.4", "Volume=123.45"}));
}

TEST(FrameDecoder, VolumeDecimals) {
    struct Case {
        uint32_t raw;
        int decimals;
        double expected;
    };
    const Case cases[] = {{12345, 0, 12345},        {12345, 1, 1234.5}, {12345, 2, 123.45},
                          {12345, 4, 1.2345},       {12345, 5, 1234.5}, {12345, 7, 1234.5},
                          {4000000000u, 3, 4000000}};
    for (const auto& c : cases)
        EXPECT_EQ(scaleVolume(c.raw, c.decimals), c.expected) << c.raw << " / " << c.decimals;
}

TEST(FrameDecoder, R200DualGivesBothTanksTheSharedValues) {
    const auto frame =
        decode(unit(1, {{.id = 7, .level = 10}, {.id = 8, .level = 20, .volume = 5}}), 24);
    ASSERT_EQ(frame.slotCount, 2);
    EXPECT_EQ(frame.slots[1].tankId, 8u);
    const Writes tail2 = {"Status=0", "BatSender=100", "Temperature=0", "Level=2", "Volume=5"};
    EXPECT_EQ(writes(frame.slots[1]), concat(shared("1010", 1), tail2));
}

TEST(FrameDecoder, InterfaceUnitsWriteBelowAndAbove) {
    const TankValues tank{.id = 9,
                          .level = 1500,
                          .volume = 300,
                          .volumeDecimals = 1,
                          .levelBelow = 1234,
                          .volumeBelow = 500,
                          .levelAbove = 266,
                          .volumeAbove = 70000};
    // R200I: 16-bit values in tenths; R300I: 32-bit values in hundredths.
    const auto r200 = decode(unit(3, {tank}), 24);
    ASSERT_EQ(r200.slotCount, 1);
    EXPECT_TRUE(r200.isInterface);
    EXPECT_EQ(writes(r200.slots[0]),
              concat(shared("1010", 3),
                     {"Status=0", "BatSender=100", "Temperature=0", "Level=150", "Volume=30",
                      "LevelBelow=123.4", "VolumeBelow=50", "LevelAbove=26.6",
                      "VolumeAbove=446.4"})); // 70000 does not fit 16 bits: 4464 arrives

    const auto r300 = decode(unit(19, {tank}), 48);
    ASSERT_EQ(r300.slotCount, 1);
    EXPECT_EQ(writes(r300.slots[0]),
              concat(shared("1010", 19), {"Status=0", "BatSender=100", "Temperature=0", "Level=15",
                                          "Volume=30", "LevelBelow=12.34", "VolumeBelow=50",
                                          "LevelAbove=2.66", "VolumeAbove=7000"}));
}

TEST(FrameDecoder, R300QuadDecodesFourBlocks) {
    const auto frame = decode(unit(12, {{.id = 100000,
                                         .temperature = -5,
                                         .level = 70000,
                                         .volume = 123456789,
                                         .volumeDecimals = 3},
                                        {.id = 2, .level = 12345},
                                        {.id = 3, .status = 3},
                                        {.id = 4, .batteryCode = 1, .volume = 7}}),
                              48);
    ASSERT_EQ(frame.slotCount, 4);
    EXPECT_EQ(frame.slots[0].tankId, 100000u);
    EXPECT_EQ(writes(frame.slots[0]),
              concat(shared("1010", 12), {"Status=0", "BatSender=100", "Temperature=-5",
                                          "Level=700", "Volume=123456.789"}));
    // Later slots write their display type first; version 121 gives them their own alarm bits.
    EXPECT_EQ(writes(frame.slots[1]),
              concat(shared("0000", 12, true),
                     {"Status=0", "BatSender=100", "Temperature=0", "Level=123.45", "Volume=0"}));
    EXPECT_EQ(writes(frame.slots[2]), concat(shared("0000", 12, true), {"Status=3"}));
    EXPECT_FALSE(frame.slots[2].statusGood);
    EXPECT_EQ(writes(frame.slots[3]),
              concat(shared("0000", 12, true),
                     {"Status=0", "BatSender=0", "Temperature=0", "Level=0", "Volume=7"}));
}

TEST(FrameDecoder, R300TripleNeverReadsTheFourthBlock) {
    auto bytes = buildReply(unit(8, {{.id = 1}, {.id = 2}, {.id = 3}, {.id = 4}}), 48);
    const auto frame = decodeFrame(FrameBuffer::fromBytes(bytes), 48, kReadingTime);
    EXPECT_EQ(frame.slotCount, 3);
    EXPECT_EQ(frame.slots[2].tankId, 3u);
}

TEST(FrameDecoder, AlarmBitsBySlotAndVersion) {
    struct Case {
        uint16_t version;
        uint16_t alarms;
        std::vector<const char*> perSlot; // Alarm1..4 of slots 1 to 4
    };
    const Case cases[] = {
        {121, 0x0030, {"0000", "1100", "0000", "0000"}},
        {120, 0x0030, {"0000", "0000", "0000", "0000"}},
        {121, 0x8421, {"1000", "0100", "0010", "0001"}},
        {120, 0x8421, {"1000", "1000", "1000", "1000"}},
        {65535, 0xFFF0, {"0000", "1111", "1111", "1111"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        auto u = unit(12, {{.id = 1}, {.id = 2}, {.id = 3}, {.id = 4}});
        u.version = c.version;
        u.alarms = c.alarms;
        const auto frame = decode(u, 48);
        ASSERT_EQ(frame.slotCount, 4);
        for (int k = 0; k < 4; ++k) {
            const Writes w = writes(frame.slots[static_cast<size_t>(k)]);
            const Writes expected = shared(c.perSlot[static_cast<size_t>(k)], 12, k > 0);
            EXPECT_EQ(Writes(w.begin(), w.begin() + 9), expected) << "slot " << k + 1;
        }
    }
    // Both tanks of an R200 dual unit take bits 0 to 3; higher bits are ignored.
    auto dual = unit(1, {{.id = 1}, {.id = 2}});
    dual.alarms = 0xFFF2;
    const Writes second = writes(decode(dual, 24).slots[1]);
    EXPECT_EQ(Writes(second.begin(), second.begin() + 4),
              (Writes{"Alarm1=False", "Alarm2=True", "Alarm3=False", "Alarm4=False"}));
}

TEST(FrameDecoder, StatusGateStopsAfterStatus) {
    for (uint16_t status : {1, 2, 3, 7}) {
        const auto frame = decode(unit(0, {{.id = 7, .status = status, .level = 99}}), 24);
        EXPECT_FALSE(frame.slots[0].statusGood);
        EXPECT_EQ(writes(frame.slots[0]),
                  concat(shared("1010", 0), {"Status=" + std::to_string(status)}));
    }
}

TEST(FrameDecoder, ShortR300RepliesNeverReadBeyondTheFrame) {
    // Bytes beyond a short frame are whatever an earlier long frame left in the buffer.
    FrameBuffer rx = FrameBuffer::fromBytes(std::vector<uint8_t>(kBufferSize, 0x11));
    const auto place = [&](const UnitValues& u) {
        const auto bytes = buildReply(u, 24);
        std::copy(bytes.begin(), bytes.end(), rx.block());
        return decodeFrame(rx, 24, kReadingTime);
    };
    const TankValues tank{
        .id = 5, .level = 100, .volume = 10, .levelBelow = 20, .volumeBelow = 30, .levelAbove = 40};

    // Type 19: the volume above lives in registers 25 and 26.
    const auto r300i = place(unit(19, {tank}));
    EXPECT_EQ(writes(r300i.slots[0]),
              concat(shared("1010", 19),
                     {"Status=0", "BatSender=100", "Temperature=0", "Level=1", "Volume=10",
                      "LevelBelow=0.2", "VolumeBelow=30", "LevelAbove=0.4"}));

    // Type 4: tank 2's decimals, temperature, status and battery lie in registers 25 to 28; its
    // values are not taken without a status.
    const auto r300d = place(unit(4, {tank, {.id = 6, .level = 500}}));
    ASSERT_EQ(r300d.slotCount, 2);
    EXPECT_EQ(r300d.slots[1].tankId, 6u);
    EXPECT_FALSE(r300d.slots[1].statusGood);
    EXPECT_EQ(writes(r300d.slots[1]), shared("0000", 4, true));

    // Type 16 is complete in a short reply.
    const auto r300s = place(unit(16, {tank}));
    EXPECT_EQ(writes(r300s.slots[0]).size(), 14u);
}

TEST(FrameDecoder, UnknownTypeWritesNothingForSlotOne) {
    // Relayed blocks are not filtered by type: the slot is named but not updated.
    auto bytes = buildReply(unit(16, {{.id = 77}}), 48);
    bytes[14] = 7; // register 6 low byte: no display type
    const auto frame = decodeFrame(FrameBuffer::fromBytes(withCrc(bytes)), 48, kReadingTime);
    EXPECT_FALSE(frame.knownType);
    ASSERT_EQ(frame.slotCount, 1);
    EXPECT_EQ(frame.slots[0].tankId, 77u);
    EXPECT_EQ(frame.slots[0].writeCount, 0);
}

namespace {

std::vector<uint8_t> fromHex(std::string_view hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 3)
        bytes.push_back(
            static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

// Per slot: the tank ID and what the sender's registers gave, in write order.
std::vector<std::string> senderValues(const DecodedFrame& frame) {
    std::vector<std::string> out;
    for (const DecodedSlot& slot : frame.decodedSlots()) {
        std::string text = std::to_string(slot.tankId);
        for (const std::string& w : writes(slot))
            if (!w.starts_with("Alarm") && !w.starts_with("BatDisplay") &&
                !w.starts_with("Input") && !w.starts_with("DateTime") && !w.starts_with("DispType"))
                text += " " + w;
        out.push_back(text);
    }
    return out;
}

} // namespace

// Replies laid out by hand, register by register, with their check bytes computed bit by bit
// apart from this code base: they pin where each tank's values sit, which frames built by our
// own frame builder cannot, since it shares the register map with the decoder. Every register of
// a tank holds a value no other register of it holds, so a value read from the wrong offset shows.
TEST(FrameDecoder, RegisterLayoutOfIndependentFrames) {
    struct Case {
        const char* hex;
        std::vector<std::string> slots;
    };
    const Case cases[] = {
        // R300Q, version 121. Tank k: ID k:10+k, level k:1000k+1, volume k:4321, decimals k,
        // temperature 31, -32, 33, -34, status 0, battery codes 3, 2, 3, 2.
        {"05 04 60 00 79 00 00 00 00 00 00 00 00 00 0C 00 03 00 00 00 01 00 0B 00 01 03 E9 00 01 "
         "10 E1 00 01 00 1F 00 00 00 03 00 02 00 0C 00 02 07 D1 00 02 10 E1 00 02 FF E0 00 00 00 "
         "02 00 03 00 0D 00 03 0B B9 00 03 10 E1 00 03 00 21 00 00 00 03 00 04 00 0E 00 04 0F A1 "
         "00 04 10 E1 00 04 FF DE 00 00 00 02 B6 2A",
         {"65547 Status=0 BatSender=100 Temperature=31 Level=665.37 Volume=6985.7",
          "131084 Status=0 BatSender=50 Temperature=-32 Level=1330.73 Volume=1353.93",
          "196621 Status=0 BatSender=100 Temperature=33 Level=1996.09 Volume=200.929",
          "262158 Status=0 BatSender=50 Temperature=-34 Level=2661.45 Volume=26.6465"}},
        // The same with statuses 0, 1, 2 and 3: a tank whose status is not good stops there.
        {"05 04 60 00 79 00 00 00 00 00 00 00 00 00 0C 00 03 00 00 00 01 00 0B 00 01 03 E9 00 01 "
         "10 E1 00 01 00 1F 00 00 00 03 00 02 00 0C 00 02 07 D1 00 02 10 E1 00 02 FF E0 00 01 00 "
         "02 00 03 00 0D 00 03 0B B9 00 03 10 E1 00 03 00 21 00 02 00 03 00 04 00 0E 00 04 0F A1 "
         "00 04 10 E1 00 04 FF DE 00 03 00 02 1D 12",
         {"65547 Status=0 BatSender=100 Temperature=31 Level=665.37 Volume=6985.7",
          "131084 Status=1", "196621 Status=2", "262158 Status=3"}},
        // R300I: ID 1:7, level 0:5000, volume 2:16, decimals 2, temperature -7, status 0,
        // battery 2; below level 3:1, below volume 4:2, above level 5:3, above volume 6:4.
        {"09 04 60 00 79 00 00 00 00 00 00 00 00 00 13 00 03 00 00 00 01 00 07 00 00 13 88 00 02 "
         "00 10 00 02 FF F9 00 00 00 02 00 03 00 01 00 04 00 02 00 05 00 03 00 06 00 04 00 00 00 "
         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
         "00 00 00 00 00 00 00 00 00 00 00 00 96 93",
         {"65543 Status=0 BatSender=50 Temperature=-7 Level=50 Volume=1310.88 LevelBelow=1966.09 "
          "VolumeBelow=2621.46 LevelAbove=3276.83 VolumeAbove=3932.2"}},
        // R200D: tank 31 (status 0, battery 3, temperature -12, level 1234, volume 4567,
        // decimals 3), tank 32 (0, 2, 45, 2345, 6789, 1); counter 99.
        {"1F 04 30 00 07 00 00 00 00 00 00 00 00 00 01 00 03 00 1F 00 00 00 03 FF F4 04 D2 11 D7 "
         "00 03 00 20 00 00 00 02 00 2D 09 29 1A 85 00 01 00 00 00 00 00 63 04 21",
         {"31 Status=0 BatSender=100 Temperature=-12 Level=123.4 Volume=4.567",
          "32 Status=0 BatSender=50 Temperature=45 Level=234.5 Volume=678.9"}},
        // R200I: tank 40 (0, 2, 5, 800, 900, decimals 2), below 300 and 400, above 500 and 600.
        {"28 04 30 00 07 00 00 00 00 00 00 00 00 00 03 00 03 00 28 00 00 00 02 00 05 03 20 03 84 "
         "00 02 01 2C 01 90 01 F4 02 58 00 00 00 00 00 00 00 00 00 00 00 63 F7 54",
         {"40 Status=0 BatSender=50 Temperature=5 Level=80 Volume=9 LevelBelow=30 VolumeBelow=4 "
          "LevelAbove=50 VolumeAbove=6"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        const std::vector<uint8_t> bytes = fromHex(c.hex);
        const FrameBuffer rx = FrameBuffer::fromBytes(bytes);
        const bool isLong = bytes.size() == static_cast<size_t>(kLongFrameLength);
        ASSERT_TRUE(isLong ? longCrcMatches(rx) : shortCrcMatches(rx));
        EXPECT_EQ(senderValues(decodeFrame(rx, isLong ? kLongRegisterCount : kShortRegisterCount,
                                           kReadingTime)),
                  c.slots);
    }
}
