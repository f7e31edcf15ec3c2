#include "Receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameBuilder.h"
#include "LearnedTypeTable.h"
#include "PollList.h"

using namespace lw;
using namespace lw::sim;

namespace {

// Records every event as a short word, so a test states the whole sequence it expects.
class Recorder final : public ReceiverListener {
public:
    std::vector<std::string> events;
    std::vector<std::vector<uint8_t>> accepted;

    void restartIdleTimer() override { events.push_back("timer"); }
    void stopIdleTimer() override { events.push_back("stop"); }
    void r200FrameComplete() override { events.push_back("r200"); }
    void crcError(FrameKind kind) override { events.push_back("crc " + name(kind)); }
    void typeLearned(int address, int type) override {
        events.push_back("learned " + std::to_string(address) + " " + std::to_string(type));
    }
    void frameAccepted(FrameKind kind, FrameBuffer& rx) override {
        events.push_back("accept " + name(kind));
        const int length = kind == FrameKind::LongR300 ? kLongFrameLength : kShortFrameLength;
        accepted.emplace_back(rx.block(), rx.block() + length);
    }

    // Events other than the idle timer's.
    std::vector<std::string> frameEvents() const {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e != "timer" && e != "stop")
                out.push_back(e);
        return out;
    }

private:
    static std::string name(FrameKind kind) {
        switch (kind) {
        case FrameKind::ShortR200:
            return "short-r200";
        case FrameKind::ShortR300:
            return "short-r300";
        case FrameKind::LongR300:
            return "long-r300";
        }
        return {};
    }
};

std::vector<uint8_t> reply(int dispType, int registers, uint32_t tankId = 12,
                           uint8_t address = 12) {
    UnitValues u;
    u.address = address;
    u.dispType = dispType;
    u.tanks = {{.id = tankId, .level = 1234}};
    return buildReply(u, registers);
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Fixture {
    Recorder events;
    LearnedTypeTable learned{{{12, 0}}};
    Receiver rx{events, learned};

    void byteByByte(const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes)
            rx.ApdComPort1TriggerAvail({&b, 1});
    }
    void all(const std::vector<uint8_t>& bytes) { rx.ApdComPort1TriggerAvail(bytes); }
};

using Events = std::vector<std::string>;

} // namespace

TEST(Receiver, AcceptsEachFrameKindAtItsLastByte) {
    struct Case {
        const char* name;
        std::vector<uint8_t> frame;
        Events expected;
    };
    const Case cases[] = {
        {"R200S", reply(0, 24), {"r200", "accept short-r200"}},
        {"R200D", reply(1, 24), {"r200", "accept short-r200"}},
        {"R200I", reply(3, 24), {"r200", "accept short-r200"}},
        {"short R300I", reply(19, 24, 40, 40), {"accept short-r300"}},
        {"long R300S", reply(16, 48), {"accept long-r300"}},
        {"long R300D", reply(4, 48), {"accept long-r300"}},
        {"long R300T", reply(8, 48), {"accept long-r300"}},
        {"long R300Q", reply(12, 48), {"accept long-r300"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.byteByByte(std::vector<uint8_t>(c.frame.begin(), c.frame.end() - 1));
        EXPECT_TRUE(f.events.accepted.empty());
        f.byteByByte({c.frame.back()});
        EXPECT_EQ(f.events.frameEvents(), c.expected);
        ASSERT_EQ(f.events.accepted.size(), 1u);
        EXPECT_EQ(f.events.accepted[0], c.frame);
        EXPECT_EQ(f.rx.RxCount(), 0);
    }
}

TEST(Receiver, TypeRegisterIsTestedAs16Bits) {
    // Valid frames whose register 6 has a low byte that is a type but a high byte that is not 0.
    for (const uint16_t type : {0x0100, 0x0101, 0x0110, 0x0104, 0x010C}) {
        for (const int registers : {24, 48}) {
            SCOPED_TRACE(std::to_string(type) + " " + std::to_string(registers));
            std::vector<uint8_t> frame = reply(type & 0xFF, registers);
            frame[2 * reg::kType + 1] = static_cast<uint8_t>(type >> 8);
            Fixture f;
            f.all(withCrc(frame));
            EXPECT_TRUE(f.events.frameEvents().empty());
            EXPECT_EQ(f.learned.learnedType(12), 0);
        }
    }
}

TEST(Receiver, CorruptFramesReportTheirKindAndWaitForTheIdleTimer) {
    struct Case {
        const char* name;
        std::vector<uint8_t> frame;
        Events expected;
    };
    auto oddByteCount = reply(16, 24, 40);
    oddByteCount[2] = 0;
    const Case cases[] = {
        {"short R200", withBadCrc(reply(0, 24)), {"r200", "crc short-r200"}},
        {"short R300", withBadCrc(reply(16, 24, 40)), {"crc short-r300"}},
        {"short R300, byte count not 96", oddByteCount, {"crc short-r300"}},
        // A long reply is not mistaken for a corrupt short one at its 53rd byte.
        {"long R300", withBadCrc(reply(4, 48)), {"crc long-r300"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.byteByByte(c.frame);
        EXPECT_EQ(f.events.frameEvents(), c.expected);
        EXPECT_EQ(f.rx.RxCount(), static_cast<int>(c.frame.size()));

        // Bytes that follow without a gap only pile up; after the gap a frame is taken again.
        f.all(reply(0, 24));
        EXPECT_TRUE(f.events.accepted.empty());
        f.rx.Timer2Timer();
        EXPECT_EQ(f.rx.RxCount(), 0);
        f.all(reply(0, 24));
        EXPECT_EQ(f.events.accepted.size(), 1u);
    }
}

TEST(Receiver, ByteCountOfALongReplyDefersTheShortCheckToTheIdleTimer) {
    struct Case {
        const char* name;
        std::vector<uint8_t> frame;
        Events beforeIdle, atIdle;
    };
    const auto longByteCount = [](std::vector<uint8_t> frame) {
        frame[2] = 0x60; // the check bytes stay those of the frame as it was sent
        return frame;
    };
    const Case cases[] = {
        // A corrupt short reply is reported once the line is quiet and no long reply came.
        {"short R300S, byte count hit",
         longByteCount(reply(16, 24, 40, 40)),
         {},
         {"crc short-r300"}},
        {"short R300D, byte count hit",
         longByteCount(reply(4, 24, 40, 40)),
         {},
         {"crc short-r300"}},
        // Short replies of types 8 and 12 are never taken, so never reported either.
        {"short R300Q, byte count hit", longByteCount(reply(12, 24, 40, 40)), {}, {}},
        // A long reply is reported or taken once, at its 101st byte, never also as a short one.
        {"long R300S", reply(16, 48), {"accept long-r300"}, {}},
        {"corrupt long R300S", withBadCrc(reply(16, 48)), {"crc long-r300"}, {}},
        // Bytes after a corrupt short reply that never make 101 bytes: still reported.
        {"byte count hit, more bytes",
         concat({longByteCount(reply(16, 24, 40, 40)), {1, 2, 3}}),
         {},
         {"crc short-r300"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.byteByByte(c.frame);
        EXPECT_EQ(f.events.frameEvents(), c.beforeIdle);
        f.events.events.clear();
        f.rx.Timer2Timer();
        EXPECT_EQ(f.events.frameEvents(), c.atIdle);
        f.events.events.clear();
        f.rx.Timer2Timer(); // reported once
        EXPECT_TRUE(f.events.frameEvents().empty());
    }
}

TEST(Receiver, ShortR300ReplyTeachesTheUnitsTypeAndIsDropped) {
    Fixture f; // the poll entry of unit 12 records type 0
    f.all(reply(16, 24, 12));
    EXPECT_EQ(f.events.events, (Events{"timer", "stop", "learned 12 16"}));
    EXPECT_EQ(f.learned.learnedType(12), 16);
    EXPECT_EQ(f.rx.RxCount(), 0);

    // Now the entry knows the type: the same reply is decoded.
    f.all(reply(16, 24, 12));
    EXPECT_EQ(f.events.frameEvents(), (Events{"learned 12 16", "accept short-r300"}));
}

TEST(Receiver, TypeLearningTeachesThePolledUnitsEntry) {
    struct Case {
        const char* name;
        uint8_t address;
        int type;
        uint32_t tankId;
        Events expected;
        int learnedBy12; // the type that unit 12's entry holds afterwards
    };
    const Case cases[] = {
        {"tank ID equals the address", 12, 16, 12, {"learned 12 16"}, 16},
        // The entry is found by the unit's address, not by its first tank.
        {"wireless tank ID", 12, 16, 9012, {"learned 12 16"}, 16},
        {"tank ID above 255", 12, 4, 268, {"learned 12 4"}, 4},
        // Types 8 and 12 teach the entry but are never decoded from a short reply.
        {"quad", 12, 12, 12, {"learned 12 12"}, 12},
        // Another unit whose first tank carries unit 12's number teaches nobody.
        {"unit without poll entry", 40, 16, 12, {"accept short-r300"}, 0},
        {"quad without poll entry", 40, 12, 12, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.all(reply(c.type, 24, c.tankId, c.address));
        EXPECT_EQ(f.events.frameEvents(), c.expected);
        EXPECT_EQ(f.learned.learnedType(12), c.learnedBy12);
    }
}

TEST(Receiver, TypeLearningReachesEveryPollEntryAndNoOther) {
    // A full list: entry k polls unit k, so unit 255's entry is the last one. (CR alone ends an
    // entry: with CR LF the file would pass the 1024 bytes that are read.)
    std::string file;
    for (int address = 1; address <= kPollListSize; ++address)
        file += std::to_string(address) + "\r";
    PollList list;
    ASSERT_EQ(list.load(file), kPollListSize);
    Recorder events;
    Receiver rx(events, list);

    rx.ApdComPort1TriggerAvail(reply(4, 24, 9255, 255));
    EXPECT_EQ(events.frameEvents(), (Events{"learned 255 4"}));
    EXPECT_EQ(list.entry(255).DispType, 4);

    // Address 0 is polled by no entry (0 ends a list); such a reply is decoded, teaching none.
    PollList shortList;
    shortList.load("2\r\n21\r\n");
    Recorder others;
    Receiver rx2(others, shortList);
    rx2.ApdComPort1TriggerAvail(reply(16, 24, 21, 0));
    // Unit 2, whose tanks are 21 and 22, teaches its own entry, not the one polling unit 21.
    rx2.ApdComPort1TriggerAvail(reply(4, 24, 21, 2));
    EXPECT_EQ(others.frameEvents(), (Events{"accept short-r300", "learned 2 4"}));
    EXPECT_EQ(shortList.entry(1).DispType, 4);
    EXPECT_EQ(shortList.entry(2).DispType, 0);
    for (int i = 3; i <= kPollListSize; ++i)
        ASSERT_EQ(shortList.entry(i).DispType, 0) << i;
}

TEST(Receiver, CorruptShortR300DoesNotTeach) {
    Fixture f;
    f.all(withBadCrc(reply(16, 24, 12)));
    EXPECT_EQ(f.events.frameEvents(), (Events{"crc short-r300"}));
    EXPECT_EQ(f.learned.learnedType(12), 0);
}

TEST(Receiver, FramesSplitOrJoinedInEventsAreAllTaken) {
    const auto a = reply(0, 24);
    const auto b = reply(12, 48);
    const auto stream = concat({a, b, a});
    Fixture f;
    // Pieces of 1, 2, 3 ... bytes, cutting frames anywhere.
    size_t pos = 0;
    for (size_t n = 1; pos < stream.size(); ++n) {
        const size_t take = std::min(n, stream.size() - pos);
        f.rx.ApdComPort1TriggerAvail({stream.data() + pos, take});
        pos += take;
    }
    EXPECT_EQ(f.events.accepted, (std::vector<std::vector<uint8_t>>{a, b, a}));
}

TEST(Receiver, IdleTimerRestartsWithEveryEventAndStopsOnAcceptance) {
    Fixture f;
    const auto frame = reply(0, 24);
    f.all(std::vector<uint8_t>(frame.begin(), frame.begin() + 10));
    f.all(std::vector<uint8_t>(frame.begin() + 10, frame.end()));
    EXPECT_EQ(f.events.events, (Events{"timer", "timer", "r200", "stop", "accept short-r200"}));

    // A byte after an acceptance in the same event starts the timer again.
    f.events.events.clear();
    f.all(concat({frame, {0x01}}));
    EXPECT_EQ(f.events.events, (Events{"timer", "r200", "stop", "accept short-r200", "timer"}));
}

TEST(Receiver, NoiseNeverRunsPastTheBuffer) {
    // Bytes that never form a frame: register 6 reads 0xAAAA.
    const std::vector<uint8_t> noise(300, 0xAA);
    Fixture f;
    f.all(std::vector<uint8_t>(noise.begin(), noise.begin() + 254));
    EXPECT_EQ(f.rx.RxCount(), 254);
    f.all({0xAA}); // the 255th byte fills the buffer: it starts over
    EXPECT_EQ(f.rx.RxCount(), 0);
    f.all(std::vector<uint8_t>(noise.begin() + 255, noise.end()));
    EXPECT_EQ(f.rx.RxCount(), 45);
    EXPECT_TRUE(f.events.frameEvents().empty());

    // A frame that starts right where the buffer started over is taken.
    Fixture g;
    g.all(concat({std::vector<uint8_t>(255, 0xAA), reply(0, 24)}));
    EXPECT_EQ(g.events.accepted.size(), 1u);
}

TEST(Receiver, BufferKeepsBytesBeyondTheCurrentFrame) {
    // Relay blocks carry what earlier frames left behind; the buffer is never cleared.
    Fixture f;
    const auto longFrame = reply(12, 48);
    f.all(longFrame);
    f.all(reply(0, 24));
    EXPECT_EQ(f.rx.RxData()[kLongFrameLength], longFrame.back());
    EXPECT_EQ(f.rx.RxData()[60], longFrame[59]);
}

TEST(Receiver, RelayedBlockChecksShortFirstThenLong) {
    const auto toBlock = [](const std::vector<uint8_t>& bytes) {
        FrameBuffer b;
        std::copy(bytes.begin(), bytes.end(), b.block());
        return b;
    };
    const auto shortFrame = reply(0, 24);
    const auto longFrame = reply(12, 48);
    // A valid short frame followed by the rest of a long one is still a short frame.
    auto shortOverLong = longFrame;
    std::copy(shortFrame.begin(), shortFrame.end(), shortOverLong.begin());

    EXPECT_EQ(checkRelayedBlock(toBlock(relayBlock(shortFrame, 45000.5))), CrcMatch::Short);
    EXPECT_EQ(checkRelayedBlock(toBlock(relayBlock(longFrame, 45000.5))), CrcMatch::Long);
    EXPECT_EQ(checkRelayedBlock(toBlock(shortOverLong)), CrcMatch::Short);
    EXPECT_EQ(checkRelayedBlock(toBlock(relayBlock(withBadCrc(longFrame), 0))), CrcMatch::None);
    EXPECT_EQ(checkRelayedBlock(toBlock(std::vector<uint8_t>(255, 0x55))), CrcMatch::None);
}
