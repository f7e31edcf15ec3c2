// The collector's receive pipeline on its own: frames in, with an injected clock; saved frames,
// relayed blocks, the table of current values, history rows, alarm mails and log lines out.

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "DateTime.h"
#include "Files.h"
#include "FrameBuilder.h"
#include "LearnedTypeTable.h"
#include "ServicePipeline.h"
#include "TankTableFile.h"

using namespace lw;
using lw::sim::buildReply;
using lw::sim::TankValues;
using lw::sim::UnitValues;
using lw::sim::withBadCrc;
using lw::test::readFile;
using lw::test::TempDir;
using lw::test::writeFile;

namespace {

struct LogLine {
    std::string text;
    int level;
};

class RecordingLog final : public LogSink {
public:
    void Log(std::string_view text, int level) override {
        lines.push_back({std::string(text), level});
    }
    bool has(const std::string& text, int level) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const LogLine& l) { return l.text == text && l.level == level; });
    }
    std::vector<std::string> atLevel(int level) const {
        std::vector<std::string> out;
        for (const LogLine& l : lines)
            if (l.level == level)
                out.push_back(l.text);
        return out;
    }
    std::vector<LogLine> lines;
};

class FakeHooks final : public ServicePipelineHooks {
public:
    void restartIdleTimer() override {}
    void stopIdleTimer() override {}
    bool answerSignalTest(const FrameBuffer&) override {
        events.push_back("answer");
        return true;
    }
    void forward(std::span<const uint8_t, kBufferSize> block) override {
        events.push_back("forward");
        forwarded.emplace_back(block.begin(), block.end());
    }
    const TankTable& tankList() override {
        if (!list)
            throw std::runtime_error("no tank list");
        return *list;
    }
    void SendAlarmEmail(const AlarmEmailArgs& args, std::string_view) override {
        mails.push_back(args);
    }
    void tanksUpdated(const UpdatedTanks& u) override {
        events.push_back("updated unit " + std::to_string(u.unitAddress) + " type " +
                         std::to_string(u.dispType));
        updatedIds.assign(u.tankIds.begin(), u.tankIds.end());
        updatedAt = u.time;
    }

    std::optional<TankTable> list;
    std::vector<uint32_t> updatedIds;
    double updatedAt = 0;
    std::vector<std::string> events;
    std::vector<std::vector<uint8_t>> forwarded;
    std::vector<AlarmEmailArgs> mails;
};

UnitValues r200(uint32_t id, uint32_t level = 1234, uint16_t alarms = 0) {
    UnitValues u;
    u.address = static_cast<uint8_t>(id);
    u.dispType = 0;
    u.alarms = alarms;
    u.tanks = {TankValues{.id = id, .level = level, .volume = 500}};
    return u;
}

int countLines(const std::filesystem::path& p) {
    const std::string text = readFile(p);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class Pipeline : public ::testing::Test {
protected:
    void receive(const std::vector<uint8_t>& frame) { pipeline.ApdComPort1TriggerAvail(frame); }
    void receive(const UnitValues& unit, int registers = 24) {
        receive(buildReply(unit, registers));
    }
    // Seconds later by the injected clock; the receive timeout has passed meanwhile.
    void later(double seconds) {
        clock.advanceSeconds(seconds);
        pipeline.Timer2Timer();
    }
    std::filesystem::path history(uint32_t id) const {
        return dir / ("2024Mar05-" + std::to_string(id) + ".txt");
    }
    TankTable savedTable() const {
        TankTable t;
        loadTankTable(t, dir / "LastData.txt", Formats::enUS(), TankIds::Whole);
        return t;
    }

    const TempDir dir{"pipeline"};
    ManualClock clock{encodeDateTime({2024, 3, 5, 10, 0, 0, 0})};
    RecordingLog log;
    FakeHooks hooks;
    LearnedTypeTable learned;
    ServicePipeline pipeline{dir, Formats::enUS(), clock, log, hooks, learned};
};

} // namespace

TEST_F(Pipeline, AcceptedFrameIsStampedSavedAndRelayedThenStored) {
    // An R300 ID beyond 16 bits is saved under its low 16 bits; its tanks keep their full IDs.
    UnitValues r300;
    r300.address = 9;
    r300.dispType = 4;
    r300.function = kFunctionSignalTest;
    r300.tanks = {TankValues{.id = 65536 + 3, .level = 25000}, TankValues{.id = 70000}};
    receive(r300, 48);

    ASSERT_EQ(hooks.forwarded.size(), 1u);
    // Publishers hear of the tanks once their rows are up to date.
    EXPECT_EQ((hooks.events),
              (std::vector<std::string>{"answer", "forward", "updated unit 9 type 4"}));
    EXPECT_EQ(hooks.updatedIds, (std::vector<uint32_t>{65539, 70000}));
    EXPECT_EQ(hooks.updatedAt, clock.now());
    const std::string saved = readFile(dir / "LastData-3.bin");
    ASSERT_EQ(saved.size(), 255u);
    EXPECT_EQ(saved, std::string(hooks.forwarded[0].begin(), hooks.forwarded[0].end()));
    FrameBuffer rx;
    std::memcpy(rx.block(), saved.data(), kBufferSize);
    EXPECT_EQ(blockTime(rx), clock.now());
    EXPECT_TRUE(log.has("Testing Wireless Signal Strength.", 1));

    const TankTable table = savedTable();
    ASSERT_EQ(table.size(), 2);
    EXPECT_EQ(table[0].ID, "65539");
    EXPECT_EQ(table[0].Level, 250.0);
    EXPECT_EQ(table[0].DateTime, clock.now()); // the time of its history row
    EXPECT_FALSE(table[0].DispType);           // learned by polling only
    EXPECT_EQ(table[1].ID, "70000");
    EXPECT_EQ(countLines(history(65539)), 2); // header and one row
    EXPECT_EQ(countLines(history(70000)), 2);
}

TEST_F(Pipeline, FrameFailingItsCheckIsLoggedAndGoesNowhere) {
    struct Case {
        const char* name;
        std::vector<uint8_t> frame;
        std::vector<LogLine> expected;
    };
    UnitValues r300 = r200(9);
    r300.dispType = 16;
    // Corrupted where it tells a short reply from a long one: its byte count.
    std::vector<uint8_t> longByteCount = buildReply(r300, 24);
    longByteCount[2] = 0x60;
    const Case cases[] = {
        {"R200", withBadCrc(buildReply(r200(5), 24)), {{"CRC Error.", 0}}},
        {"short R300", withBadCrc(buildReply(r300, 24)), {{"DATE=", 1}, {"CRC Error!", 0}}},
        {"short R300, byte count hit", longByteCount, {{"DATE=", 1}, {"CRC Error!", 0}}},
        {"long R300", withBadCrc(buildReply(r300, 48)), {{"DATE=", 1}, {"CRC Error!", 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        receive(c.frame);
        pipeline.Timer2Timer(); // the line falls idle
        std::vector<LogLine> errors;
        for (const LogLine& l : log.lines)
            if (l.text.starts_with("DATE=") || l.text.starts_with("CRC Error"))
                errors.push_back(l);
        ASSERT_EQ(errors.size(), c.expected.size());
        for (size_t i = 0; i < errors.size(); ++i) {
            std::string expected = c.expected[i].text;
            if (expected == "DATE=")
                expected += formatDateTime(clock.now(), Formats::enUS());
            EXPECT_EQ(errors[i].text, expected);
            EXPECT_EQ(errors[i].level, c.expected[i].level) << expected;
        }
        later(1.5);
    }
    EXPECT_TRUE(hooks.forwarded.empty());
    EXPECT_TRUE(pipeline.LastData().size() == 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "LastData-5.bin"));
    EXPECT_FALSE(std::filesystem::exists(dir / "LastData-9.bin"));

    // After the timeout the next good frame is taken.
    receive(r200(5));
    EXPECT_EQ(hooks.forwarded.size(), 1u);
}

TEST_F(Pipeline, UnchangedTankGetsAHistoryRowOnlyAfter58Seconds) {
    receive(r200(5));
    const double first = clock.now();
    later(30);
    receive(r200(5));
    EXPECT_EQ(countLines(history(5)), 2);
    EXPECT_EQ(savedTable()[0].DateTime, first);

    later(29); // 59 s after the last row
    receive(r200(5));
    EXPECT_EQ(countLines(history(5)), 3);
    EXPECT_EQ(savedTable()[0].DateTime, clock.now());

    later(1); // a change writes at once
    receive(r200(5, 1240));
    EXPECT_EQ(countLines(history(5)), 4);
}

TEST_F(Pipeline, RowDateTimeFromAnEarlierRunTimesTheNextHistoryRow) {
    TankRecord kept;
    kept.ID = "5";
    kept.Level = 123.4;
    kept.Volume = 500;
    kept.DateTime = clock.now() - 10.0 / 86400;
    saveTankTable(TankTable({kept}), dir / "LastData.txt", Formats::enUS());
    pipeline.loadLastData();
    receive(r200(5)); // alarms are new to the row: that alone writes a row
    EXPECT_EQ(countLines(history(5)), 2);
    later(30);
    receive(r200(5));
    EXPECT_EQ(countLines(history(5)), 2);
}

TEST_F(Pipeline, TankWithBadStatusKeepsSharedValuesButIsNotSavedMailedOrLogged) {
    hooks.list = TankTable();
    UnitValues faulty = r200(5, 1234, 0x1);
    faulty.input1 = 42;
    faulty.tanks[0].status = 2;
    receive(faulty);
    EXPECT_EQ(pipeline.LastData()[0].Status, 2);
    EXPECT_EQ(pipeline.LastData()[0].Input1, 42.0);
    EXPECT_EQ(pipeline.LastData()[0].Alarm1, true);
    EXPECT_FALSE(pipeline.LastData()[0].Level);
    EXPECT_TRUE(hooks.mails.empty());
    EXPECT_FALSE(std::filesystem::exists(history(5)));
    EXPECT_FALSE(std::filesystem::exists(dir / "LastData.txt"));

    // The alarm is stored already: the good frame that follows reports nothing.
    later(2);
    receive(r200(5, 1234, 0x1));
    EXPECT_TRUE(hooks.mails.empty());
    EXPECT_EQ(savedTable()[0].Level, 123.4);
}

TEST_F(Pipeline, AlarmChangeMailNamesTheTankFromTheTankList) {
    TankRecord named;
    named.ID = "5";
    named.TankName = "Diesel";
    TankRecord other;
    other.ID = "8";
    hooks.list = TankTable({other, named});

    receive(r200(5)); // a new tank: every alarm counts as changed
    ASSERT_EQ(hooks.mails.size(), 1u);
    EXPECT_EQ(hooks.mails[0].Name, "Diesel");
    EXPECT_EQ(hooks.mails[0].Subject, "Diesel Alarm Change - 3/5/2024 10:00:00 AM");
    EXPECT_EQ(hooks.mails[0].Level, "123.4");
    EXPECT_EQ(hooks.mails[0].Alarm1, "False");
    EXPECT_EQ(log.atLevel(1),
              (std::vector<std::string>{"Serial Data Received on COM1.", "Save LastData.",
                                        "Save Data.", "8 5", "5 5", "LastDataSave"}));

    later(1);
    receive(r200(5, 1234, 0x4));
    receive(r200(6));
    ASSERT_EQ(hooks.mails.size(), 3u);
    EXPECT_EQ(hooks.mails[1].Alarm3, "True");
    EXPECT_EQ(hooks.mails[2].Name, "Unkown Tank");
}

TEST_F(Pipeline, WithoutTankListEachTankLogsItsFrameKindsErrorAndTheTableIsStillSaved) {
    struct Case {
        const char* name;
        int dispType;
        int registers;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"R200 single", 0, 24, {"ERROR: Alarm Change: R200"}},
        {"R200 dual", 1, 24, {"ERROR: Alarm Change: R200", "ERROR: Alarm Change: R200D"}},
        // The short reply holds no status for the second tank: its row waits for a long one.
        {"R300 short dual", 4, 24, {"ERROR: Alarm Change: R300"}},
        {"R300 long quad",
         12,
         48,
         {"ERROR: Alarm Change: R300S", "ERROR: Alarm Change: R300D", "ERROR: Alarm Change: R300T",
          "ERROR: Alarm Change: R300D"}},
    };
    uint32_t id = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        UnitValues u;
        u.dispType = c.dispType;
        const int tanks = c.dispType == 4 ? 2 : static_cast<int>(c.errors.size());
        for (int i = 0; i < tanks; ++i)
            u.tanks.push_back(TankValues{.id = ++id});
        receive(u, c.registers);
        later(2);
        EXPECT_EQ(log.atLevel(0), c.errors);
        EXPECT_EQ(pipeline.LastData().size(), static_cast<int>(id - 100));
    }
    EXPECT_EQ(savedTable().size(), static_cast<int>(id - 100));
    EXPECT_TRUE(hooks.mails.empty());
}

TEST_F(Pipeline, ShortR300ReplyThatTeachesATypeIsDropped) {
    learned = LearnedTypeTable({{9, 0}});
    UnitValues u = r200(9);
    u.dispType = 16;
    receive(u);
    EXPECT_TRUE(log.has("Modify Tank 9 Display Type = 16", 1));
    EXPECT_EQ(learned.learnedType(9), 16);
    EXPECT_TRUE(hooks.forwarded.empty());
    receive(u);
    EXPECT_EQ(hooks.forwarded.size(), 1u);
}

TEST_F(Pipeline, LastDataFileAtStartUp) {
    // Missing: written empty.
    pipeline.loadLastData();
    EXPECT_TRUE(log.has("LastDataSave", 2));
    EXPECT_EQ(countLines(dir / "LastData.txt"), 1);

    // Corrupt: the rows before the fault stay, the next save keeps them, and the file as it
    // was is kept beside it for the rows after the fault.
    const std::string damaged = "ID\tLevel\r\n7\t1.5\r\n8\tlots\r\n9\t2\r\n";
    writeFile(dir / "LastData.txt", damaged);
    pipeline.loadLastData();
    EXPECT_EQ(log.atLevel(0).size(), 2u);
    EXPECT_EQ(readFile(dir / "LastData.txt.damaged"), damaged);
    receive(r200(5));
    const TankTable table = savedTable();
    ASSERT_EQ(table.size(), 2);
    EXPECT_EQ(table[0].ID, "7");
    EXPECT_EQ(table[0].Level, 1.5);
    EXPECT_EQ(table[1].ID, "5");
}

TEST_F(Pipeline, HeaderlessOrIdlessRowsAreNotCarriedForward) {
    // Without its header the first row would name the columns and the others load empty: the
    // file is kept aside and the table starts empty.
    const std::string headerless = "7\t\t0\t1.5\r\n8\t\t0\t2.5\r\n9\t\t0\t3.5\r\n";
    writeFile(dir / "LastData.txt", headerless);
    pipeline.loadLastData();
    EXPECT_EQ(readFile(dir / "LastData.txt.damaged"), headerless);
    EXPECT_TRUE(log.has("ERROR: LastData.txt: line 1: the header line names no column of this table", 0));
    EXPECT_EQ(pipeline.LastData().size(), 0);

    // Rows with no ID can never match a tank.
    writeFile(dir / "LastData.txt", "ID\tLevel\r\n\t1\r\n7\t1.5\r\n\t\r\n");
    ServicePipeline restarted{dir, Formats::enUS(), clock, log, hooks, learned};
    restarted.loadLastData();
    EXPECT_TRUE(log.has("LastData.txt: 2 rows without an ID dropped.", 0));
    ASSERT_EQ(restarted.LastData().size(), 1);
    EXPECT_EQ(restarted.LastData()[0].ID, "7");
}

TEST_F(Pipeline, SixDigitTankIdsSurviveARestart) {
    const auto r300 = [](uint8_t address, uint32_t id, uint32_t level) {
        UnitValues u;
        u.address = address;
        u.dispType = 16;
        u.tanks = {TankValues{.id = id, .level = level}};
        return buildReply(u, 24);
    };
    pipeline.loadLastData();
    receive(r300(1, 123456, 1000));
    later(2);
    receive(r300(2, 12345, 2000));
    later(2);

    ServicePipeline restarted{dir, Formats::enUS(), clock, log, hooks, learned};
    restarted.loadLastData();
    restarted.ApdComPort1TriggerAvail(r300(1, 123456, 1100));
    restarted.Timer2Timer();
    restarted.ApdComPort1TriggerAvail(r300(2, 12345, 2100));
    const TankTable table = savedTable();
    ASSERT_EQ(table.size(), 2);
    EXPECT_EQ(table[0].ID, "123456");
    EXPECT_EQ(table[0].Level, 11);
    EXPECT_EQ(table[1].ID, "12345");
    EXPECT_EQ(table[1].Level, 21);
}

TEST_F(Pipeline, FailedSavesAreLoggedAndReceptionGoesOn) {
    // A folder where the files should be: neither can be replaced.
    std::filesystem::create_directories(dir / "LastData.txt");
    std::filesystem::create_directories(dir / "LastData-5.bin");
    receive(r200(5));
    later(2);
    receive(r200(5, 999));
    EXPECT_EQ(hooks.forwarded.size(), 2u);
    EXPECT_EQ(pipeline.LastData()[0].Level, 99.9);
    const auto errors = log.atLevel(0);
    EXPECT_EQ(
        std::count_if(errors.begin(), errors.end(),
                      [](const std::string& e) { return e.starts_with("ERROR: LastData.txt"); }),
        2);
    EXPECT_EQ(
        std::count_if(errors.begin(), errors.end(),
                      [](const std::string& e) { return e.starts_with("ERROR: LastData-5.bin"); }),
        2);
}

TEST_F(Pipeline, StaleTemporaryFilesOfOurOwnAreRemoved) {
    const std::vector<std::string> ours{".LastData-3.bin.tmp999-0-0", ".LastData.txt.tmp1-2-3"};
    // The monitor's files may be in the middle of a save; other names are not ours at all.
    const std::vector<std::string> others{".LiveData.txt.tmp5-0-0", ".Email.txt.tmp5-1-0",
                                          "LastData.txt.tmp1-2-3", ".LastData-3.bin.swp"};
    for (const auto& name : ours)
        writeFile(dir / name, "x");
    for (const auto& name : others)
        writeFile(dir / name, "x");
    pipeline.removeStaleTempFiles();
    for (const auto& name : ours)
        EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
    for (const auto& name : others)
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_TRUE(log.has("Removed 2 stale temporary files.", 1));
}
