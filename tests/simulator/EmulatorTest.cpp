// The display-unit emulator: plant descriptions, the answers of a plant, request scanning.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>

#include "FrameBuffer.h"
#include "Plant.h"
#include "RequestScanner.h"
#include "RunCommand.h"
#include "UnitConfig.h"

using namespace lw;
using namespace lw::sim;

namespace {

std::vector<uint32_t> ids(const UnitConfig& u) {
    std::vector<uint32_t> out;
    for (const TankValues& t : u.values.tanks)
        out.push_back(t.id);
    return out;
}

} // namespace

TEST(UnitConfig, ParsesUnitsWithTheirTanksAndValues) {
    struct Case {
        const char* text;
        int dispType;
        std::vector<uint32_t> ids;
    };
    const Case cases[] = {
        {"1:R300S", 16, {1}},
        {"5:R300Q", 12, {5, 1005, 2005, 3005}},
        {"7:R200D:70,71", 1, {70, 71}},
        {"12:R300T:9012,100000,4294967295", 8, {9012, 100000, 4294967295u}},
        {"255:R200I", 3, {255}},
        {"4:R300I:8004", 19, {8004}},
        {"9:R300D", 4, {9, 1009}},
        {"2:R200S:65535", 0, {65535}},
    };
    for (const Case& c : cases) {
        const UnitConfig u = parseUnitConfig(c.text);
        EXPECT_EQ(u.values.dispType, c.dispType) << c.text;
        EXPECT_EQ(ids(u), c.ids) << c.text;
    }

    const UnitConfig u = parseUnitConfig(
        "3:R300D:30,31:version=120:alarms=48:status=0,1:level=12345:temp=-7,8:silent:steady");
    EXPECT_EQ(u.values.address, 3);
    EXPECT_EQ(u.values.version, 120);
    EXPECT_EQ(u.values.alarms, 48);
    EXPECT_EQ(u.values.tanks[1].status, 1);
    EXPECT_EQ(u.values.tanks[0].level, 12345u);
    EXPECT_EQ(u.values.tanks[1].level, 12345u);
    EXPECT_EQ(u.values.tanks[0].temperature, -7);
    EXPECT_TRUE(u.silent);
    EXPECT_TRUE(u.steady);
    EXPECT_EQ(parseUnitConfig("3:R200S:signal-test").values.function, kFunctionSignalTest);
}

TEST(UnitConfig, RejectsWhatNoUnitCouldBe) {
    for (const char* text : {"", "1", "0:R200S", "256:R200S", "x:R200S", "1:R200X", "1:R200S:1,2",
                             "1:R200S:65536", "1:R300S:0", "1:R300D:status=0,1,2",
                             "1:R200S:level=70000", "1:R200S:colour=red", "1:R200S:loud"}) {
        EXPECT_THROW(parseUnitConfig(text), ConfigError) << text;
    }
    EXPECT_NO_THROW(parseUnitConfig("1:R300S:level=70000")); // 32-bit levels in the R300 family
}

TEST(UnitConfig, PlantFileSkipsCommentsAndNamesTheBadLine) {
    std::istringstream good("# plant\n\n1:R300S\r\n  2:R200D:20,21  \n");
    const auto units = parsePlantFile(good);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(ids(units[1]), (std::vector<uint32_t>{20, 21}));

    std::istringstream bad("1:R300S\n2:R999\n");
    try {
        parsePlantFile(bad);
        FAIL() << "accepted an unknown type";
    } catch (const ConfigError& e) {
        EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    }
}

TEST(RunOptions, ParsesFaultsAndRefusesClashes) {
    const RunOptions o = parseRunOptions({"--unit", "1:R300S", "--unit", "2:R200S", "--signal-test",
                                          "--bad-crc", "0.25", "--split", "3", "--baud", "9600",
                                          "--seed", "7", "--no-drift", "--exit-on-hangup"});
    EXPECT_EQ(o.units.size(), 2u);
    EXPECT_EQ(o.units[1].values.function, kFunctionSignalTest);
    EXPECT_DOUBLE_EQ(o.plant.badCrcRate, 0.25);
    EXPECT_EQ(o.splitParts, 3);
    EXPECT_EQ(o.plant.seed, 7u);
    EXPECT_FALSE(o.plant.drift);
    EXPECT_TRUE(o.exitOnHangup);

    const std::vector<std::vector<std::string>> bad{
        {},
        {"--unit", "1:R300S", "--unit", "1:R200S"},
        {"--unit", "1:R300S", "--bad-crc", "2"},
        {"--unit", "1:R300S", "--turnaround"},
        {"--unit", "1:R300S", "--frobnicate"},
        {"--plant", "/nonexistent/plant.txt"},
    };
    for (const auto& args : bad)
        EXPECT_THROW(parseRunOptions(args), ConfigError) << (args.empty() ? "" : args.back());
}

TEST(Plant, AnswersEachRequestLikeTheUnit) {
    struct Case {
        const char* name;
        PollRequest request;
        Answer::Kind kind;
        size_t length;
    };
    const Case cases[] = {
        {"R300 asked for 24 sends the short reply", pollRequest(1, 24), Answer::Kind::Reply, 53},
        {"R300 asked for 48 sends the long reply", pollRequest(1, 48), Answer::Kind::Reply, 101},
        {"R200 always sends 24 registers", pollRequest(2, 48), Answer::Kind::Reply, 53},
        {"nobody at the address", pollRequest(9, 24), Answer::Kind::NoUnit, 0},
        {"a silent unit", pollRequest(3, 24), Answer::Kind::Silent, 0},
        {"another register count", pollRequest(1, 10), Answer::Kind::Unsupported, 0},
        {"another function", {1, 3, 0, 0, 0, 24, 0, 0}, Answer::Kind::Unsupported, 0},
    };
    Plant plant({parseUnitConfig("1:R300Q:100000,2,3,4"), parseUnitConfig("2:R200D:20,21"),
                 parseUnitConfig("3:R200S:silent")},
                {});
    for (const Case& c : cases) {
        const Answer a = plant.answer(c.request);
        EXPECT_EQ(a.kind, c.kind) << c.name;
        ASSERT_EQ(a.bytes.size(), c.length) << c.name;
        if (c.length == 0)
            continue;
        const FrameBuffer rx = FrameBuffer::fromBytes(a.bytes);
        EXPECT_TRUE(c.length == 53 ? shortCrcMatches(rx) : longCrcMatches(rx)) << c.name;
        EXPECT_EQ(rx[1], c.request[0]) << c.name;
    }
    const FrameBuffer quad = FrameBuffer::fromBytes(plant.answer(pollRequest(1, 48)).bytes);
    EXPECT_EQ(RxInput(quad, reg::kType), 12);
    EXPECT_EQ(RxInput2(quad, 9), 100000u);
    EXPECT_EQ(RxInput2(quad, 39), 4u);
}

TEST(Plant, ValuesDriftDeterministicallyUnlessSteady) {
    auto replies = [](PlantOptions options, const char* unit) {
        Plant plant({parseUnitConfig(unit)}, options);
        std::vector<std::vector<uint8_t>> out;
        for (int i = 0; i < 200; ++i)
            out.push_back(plant.answer(pollRequest(1, 48)).bytes);
        return out;
    };
    const auto a = replies({.seed = 5}, "1:R300Q");
    EXPECT_EQ(a, replies({.seed = 5}, "1:R300Q"));
    EXPECT_NE(a, replies({.seed = 6}, "1:R300Q"));
    EXPECT_NE(a.front(), a.back());

    // Levels move, and over 200 replies an alarm switches at least once.
    const FrameBuffer first = FrameBuffer::fromBytes(a.front());
    const FrameBuffer last = FrameBuffer::fromBytes(a.back());
    EXPECT_NE(RxInput2(first, 11), RxInput2(last, 11));
    bool alarmSwitched = false;
    for (const auto& r : a)
        alarmSwitched = alarmSwitched || RxInput(FrameBuffer::fromBytes(r), 2) != RxInput(first, 2);
    EXPECT_TRUE(alarmSwitched);

    for (const auto& steady : {replies({.drift = false}, "1:R300Q"), replies({}, "1:R300Q:steady")})
        EXPECT_EQ(steady.front(), steady.back());
}

TEST(Plant, ValuesDriftAroundTheConfiguredOnesWithinTheRegisterWidths) {
    struct Case {
        const char* unit;
        int level, volume, temperature; // registers, 32-bit for levels and volumes of R300
        bool wide;
        int64_t configuredLevel, configuredVolume, configuredTemperature;
    };
    using T = reg::R300Tank;
    using S = reg::R200Tank;
    const Case cases[] = {
        // Above any fixed drift limit of old, and at the very top of each register.
        {"1:R300S:level=4000000:volume=4000000000:temp=32767", reg::r300Tank(1) + T::kLevel,
         reg::r300Tank(1) + T::kVolume, reg::r300Tank(1) + T::kTemperature, true, 4000000,
         4000000000, 32767},
        {"1:R300S:level=4294967295:volume=4294967295:temp=-32768", reg::r300Tank(1) + T::kLevel,
         reg::r300Tank(1) + T::kVolume, reg::r300Tank(1) + T::kTemperature, true, 4294967295,
         4294967295, -32768},
        {"1:R200S:level=65535:volume=65535:temp=32767", reg::kR200Tank1 + S::kLevel,
         reg::kR200Tank1 + S::kVolume, reg::kR200Tank1 + S::kTemperature, false, 65535, 65535,
         32767},
        {"1:R200S:level=0:volume=0:temp=-32768", reg::kR200Tank1 + S::kLevel,
         reg::kR200Tank1 + S::kVolume, reg::kR200Tank1 + S::kTemperature, false, 0, 0, -32768},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Plant plant({parseUnitConfig(c.unit)}, {.seed = 3});
        const auto read = [&](const FrameBuffer& rx, int r) -> int64_t {
            return c.wide ? RxInput2(rx, r) : RxInput(rx, r);
        };
        std::optional<FrameBuffer> previous;
        int64_t lowest = c.configuredLevel, highest = c.configuredLevel;
        for (int i = 0; i < 300; ++i) {
            const FrameBuffer rx =
                FrameBuffer::fromBytes(plant.answer(pollRequest(1, c.wide ? 48 : 24)).bytes);
            const int64_t level = read(rx, c.level);
            const int64_t temperature = static_cast<int16_t>(RxInput(rx, c.temperature));
            if (!previous) {
                EXPECT_EQ(level, c.configuredLevel);
                EXPECT_EQ(read(rx, c.volume), c.configuredVolume);
                EXPECT_EQ(temperature, c.configuredTemperature);
            } else {
                // One step at a time: no jump, no wrap at the register's ends.
                ASSERT_LE(std::abs(level - read(*previous, c.level)), 25) << i;
                ASSERT_LE(std::abs(read(rx, c.volume) - read(*previous, c.volume)), 75) << i;
                ASSERT_LE(
                    std::abs(temperature - static_cast<int16_t>(RxInput(*previous, c.temperature))),
                    1)
                    << i;
            }
            EXPECT_LE(std::abs(level - c.configuredLevel), 2000);
            lowest = std::min(lowest, level);
            highest = std::max(highest, level);
            previous = rx;
        }
        EXPECT_LT(lowest, highest); // it does move
    }
}

TEST(Plant, InjectsBadChecksAtTheGivenRate) {
    auto badShare = [](double rate) {
        Plant plant({parseUnitConfig("1:R200S")}, {.badCrcRate = rate});
        int bad = 0;
        for (int i = 0; i < 400; ++i) {
            const Answer a = plant.answer(pollRequest(1, 24));
            EXPECT_EQ(a.badCrc, !shortCrcMatches(FrameBuffer::fromBytes(a.bytes)));
            bad += a.badCrc ? 1 : 0;
        }
        return bad;
    };
    EXPECT_EQ(badShare(0), 0);
    EXPECT_EQ(badShare(1), 400);
    const int half = badShare(0.5);
    EXPECT_GT(half, 120);
    EXPECT_LT(half, 280);
}

TEST(RequestScanner, FindsRequestsAndTheWirelessAnswerInAnyStream) {
    const PollRequest r1 = pollRequest(7, 24);
    const PollRequest r2 = pollRequest(12, 48);
    std::vector<uint8_t> stream{0x00, 0xFF, 0x04, 0x01}; // noise first
    stream.insert(stream.end(), r1.begin(), r1.end());
    stream.insert(stream.end(), {'O', 'K', '\r'});
    stream.insert(stream.end(), r2.begin(), r2.end());
    stream.insert(stream.end(), r2.begin(), r2.begin() + 5); // cut off

    RequestScanner scanner;
    std::vector<std::pair<RequestScanner::Found, int>> found;
    for (uint8_t b : stream) {
        const auto f = scanner.feed(b);
        if (f != RequestScanner::Found::Nothing)
            found.emplace_back(f, f == RequestScanner::Found::Request ? scanner.request()[0] : 0);
    }
    using F = RequestScanner::Found;
    EXPECT_EQ(found, (std::vector<std::pair<F, int>>{
                         {F::Request, 7}, {F::WirelessAnswer, 0}, {F::Request, 12}}));
    EXPECT_EQ(scanner.request(), r2);
}
