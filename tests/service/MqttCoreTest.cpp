// What the collector publishes and when: payloads parsed back as JSON, the publisher's rules
// over a sequence of frames, and the queue between the collector and the network thread.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "DateTime.h"
#include "MqttPayload.h"
#include "MqttPublisher.h"
#include "MqttQueue.h"

using namespace lw;
using Json = nlohmann::json;

namespace {

class NullLog final : public LogSink {
public:
    void Log(std::string_view, int) override {}
};

const double kNoon = encodeDateTime({2024, 3, 5, 12, 0, 0, 250});

TankRecord goodRow(const std::string& id) {
    TankRecord r;
    r.ID = id;
    r.Status = 0;
    r.Level = 123.4;
    r.Volume = 5000;
    r.Temperature = -3;
    r.Input1 = 7;
    r.Input2 = 0;
    r.Alarm1 = false;
    r.Alarm2 = true;
    r.Alarm3 = false;
    r.Alarm4 = false;
    r.BatDisplay = 100;
    r.BatSender = 50;
    r.DateTime = kNoon;
    return r;
}

std::vector<MqttMessage> drain(MqttQueue& q) {
    std::vector<MqttMessage> out;
    while (auto item = q.next())
        out.push_back(item->message);
    return out;
}

std::vector<std::string> topicsOf(const std::vector<MqttMessage>& messages) {
    std::vector<std::string> out;
    for (const MqttMessage& m : messages)
        out.push_back(m.topic);
    return out;
}

} // namespace

TEST(MqttPayload, IsoTimesCarryTheOffset) {
    struct Case {
        int offset;
        const char* text;
    } cases[] = {
        {0, "2024-03-05T12:00:00.250+00:00"},
        {60, "2024-03-05T12:00:00.250+01:00"},
        {-330, "2024-03-05T12:00:00.250-05:30"},
        {765, "2024-03-05T12:00:00.250+12:45"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isoDateTime(kNoon, c.offset), c.text) << c.offset;
}

TEST(MqttPayload, TankRowAsJsonWithTypesAndTexts) {
    TankRecord row = goodRow("12");
    row.TankName = "North \xff tank"; // not UTF-8: replaced, never an exception
    const FixedUtcOffset offset(60);
    const Json j = Json::parse(tankPayload(row, 3, 19, kNoon + 1.0 / 86400, offset));

    EXPECT_EQ(j["ID"], "12");
    EXPECT_TRUE(j["TankName"].is_string());
    EXPECT_TRUE(j["Level"].is_number_float());
    EXPECT_EQ(j["Level"], 123.4);
    EXPECT_EQ(j["Temperature"], -3);
    EXPECT_TRUE(j["Status"].is_number_integer());
    EXPECT_EQ(j["BatSender"], 50);
    EXPECT_EQ(j["Alarm2"], true);
    EXPECT_EQ(j["Alarm1"], false);
    EXPECT_EQ(j["DateTime"], "2024-03-05T12:00:00.250+01:00");
    EXPECT_EQ(j["Time"], "2024-03-05T12:00:01.250+01:00");
    EXPECT_EQ(j["StatusText"], "Good");
    EXPECT_EQ(j["DispType"], 19);
    EXPECT_EQ(j["DispTypeText"], "R300I");
    EXPECT_EQ(j["Unit"], 3);
    // Empty fields are left out, not null.
    for (const char* absent : {"LevelBelow", "VolumeAbove", "Relay1", "ComType"})
        EXPECT_FALSE(j.contains(absent)) << absent;
}

TEST(MqttPayload, CodesWithoutTextGiveNoText) {
    TankRecord row;
    row.ID = "5";
    row.Status = 7;
    const Json j = Json::parse(tankPayload(row, 5, 2, kNoon, FixedUtcOffset(0)));
    EXPECT_EQ(j["Status"], 7);
    EXPECT_FALSE(j.contains("StatusText"));
    EXPECT_FALSE(j.contains("DispTypeText"));
    EXPECT_FALSE(j.contains("Level"));
    EXPECT_FALSE(j.contains("DateTime"));
}

TEST(MqttPayload, DiscoveryConfigsFollowTheConvention) {
    const MqttTopics topics{"levelwatch/plant"};
    const std::string node = discoveryNodeId("ostrel-plant.example:1");
    EXPECT_EQ(node, "ostrel-plant_example_1");
    const std::regex topicForm("homeassistant/(sensor|binary_sensor)/" + node +
                               "/tank12_[a-z0-9]+/config");

    const auto plain = discoveryConfigs(topics, node, "12", 0, 1);
    const auto interfaceTank = discoveryConfigs(topics, node, "12", 19, 1);
    EXPECT_EQ(plain.size(), 8u);          // level, volume, temperature, status, 4 alarms
    EXPECT_EQ(interfaceTank.size(), 12u); // and below and above
    std::set<std::string> uniqueIds;
    for (const MqttMessage& m : interfaceTank) {
        SCOPED_TRACE(m.topic);
        EXPECT_TRUE(std::regex_match(m.topic, topicForm));
        EXPECT_TRUE(m.retain);
        const Json j = Json::parse(m.payload);
        EXPECT_EQ(j["state_topic"], "levelwatch/plant/tank/12");
        EXPECT_EQ(j["availability_topic"], "levelwatch/plant/status");
        EXPECT_EQ(j["payload_available"], kMqttOnline);
        EXPECT_TRUE(j["value_template"].get<std::string>().starts_with("{{"));
        EXPECT_EQ(j["device"]["identifiers"][0], node + "_tank12");
        uniqueIds.insert(j["unique_id"].get<std::string>());
    }
    EXPECT_EQ(uniqueIds.size(), interfaceTank.size());
}

// --- the publisher over a sequence of frames ----------------------------------------------

class Publisher : public ::testing::Test {
protected:
    void frame(const TankRecord& row, double secondsLater = 1, int unit = 1, int type = 0) {
        now += secondsLater / 86400;
        publisher.tankUpdated(row, unit, type, now);
    }
    std::vector<MqttMessage> sent() { return drain(queue); }

    double now = kNoon;
    FixedUtcOffset offset{0};
    NullLog log;
    MqttQueue queue{100};
    MqttPublisherOptions options{MqttTopics{"lw"}, "node", 1, true, false};
    MqttPublisher publisher{options, offset, queue, log};
};

TEST_F(Publisher, StateWhenTheRowChangesOrAMinutePassed) {
    ASSERT_EQ(topicsOf(sent()), (std::vector<std::string>{"lw/status"}));
    TankRecord row = goodRow("7");
    row.Alarm2 = false;
    struct Step {
        const char* what;
        double seconds;
        std::optional<double> level; // a new level, or the same row
        int unit;
        bool published;
    } steps[] = {
        {"first frame", 1, {}, 1, true},
        {"same row 5 s later", 5, {}, 1, false},
        {"new level", 5, 124.0, 1, true},
        {"same row 59 s after the last", 59, {}, 1, false},
        {"same row 60 s after the last", 1, {}, 1, true},
        {"another unit reports it", 1, {}, 2, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.level)
            row.Level = *s.level;
        frame(row, s.seconds, s.unit);
        const auto messages = sent();
        ASSERT_EQ(messages.size(), s.published ? 1u : 0u);
        if (s.published) {
            EXPECT_EQ(messages[0].topic, "lw/tank/7");
            EXPECT_TRUE(messages[0].retain);
            EXPECT_EQ(Json::parse(messages[0].payload)["Unit"], s.unit);
        }
    }
}

TEST_F(Publisher, OneEventPerAlarmChange) {
    sent();
    TankTable table({goodRow("7")}); // as loaded at start-up: alarm 2 on, the rest off
    publisher.seed(table);
    TankRecord row = goodRow("7");
    frame(row);
    EXPECT_EQ(topicsOf(sent()), (std::vector<std::string>{"lw/tank/7"})) << "nothing changed";

    row.Alarm2 = false;
    row.Alarm4 = true;
    frame(row);
    const auto messages = sent();
    ASSERT_EQ(topicsOf(messages),
              (std::vector<std::string>{"lw/tank/7/alarm", "lw/tank/7/alarm", "lw/tank/7"}));
    EXPECT_FALSE(messages[0].retain);
    const Json off = Json::parse(messages[0].payload);
    EXPECT_EQ(off["Alarm"], 2);
    EXPECT_EQ(off["Old"], true);
    EXPECT_EQ(off["New"], false);
    EXPECT_EQ(Json::parse(messages[1].payload)["Alarm"], 4);

    // A tank never seen before: only the alarms that are on, without an old state.
    TankRecord fresh = goodRow("8");
    frame(fresh);
    const auto first = sent();
    ASSERT_EQ(topicsOf(first), (std::vector<std::string>{"lw/tank/8/alarm", "lw/tank/8"}));
    const Json on = Json::parse(first[0].payload);
    EXPECT_EQ(on["Alarm"], 2);
    EXPECT_FALSE(on.contains("Old"));
}

TEST_F(Publisher, DiscoveryOnFirstSightAndWhenTheTypeChanges) {
    MqttPublisher discovering({MqttTopics{"lw"}, "node", 1, true, true}, offset, queue, log);
    sent();
    const TankRecord row = goodRow("7");
    discovering.tankUpdated(row, 1, 19, now);
    EXPECT_EQ(sent().size(), 12u + 2u); // configs, alarm 2 on, the state
    discovering.tankUpdated(row, 1, 19, now + 1.0 / 86400);
    EXPECT_TRUE(sent().empty());

    // No longer an interface unit: its below and above configs are removed.
    discovering.tankUpdated(row, 1, 16, now + 2.0 / 86400);
    int removals = 0;
    for (const MqttMessage& m : sent())
        if (m.payload.empty()) {
            ++removals;
            EXPECT_TRUE(m.retain);
            EXPECT_TRUE(m.topic.find("below/") != std::string::npos ||
                        m.topic.find("above/") != std::string::npos)
                << m.topic;
        }
    EXPECT_EQ(removals, 4);
}

// --- the queue ----------------------------------------------------------------------------

TEST(MqttQueueTest, StatesAreKeptLatestAndResentEventsDropOldestWhenFull) {
    MqttQueue q(2);
    q.publishState({"t/1", "a", 1, true});
    q.publishEvent({"e", "1", 1, false});
    q.publishState({"t/1", "b", 1, true}); // replaces the waiting one, keeps its place
    q.publishEvent({"e", "2", 1, false});
    q.publishEvent({"e", "3", 1, false}); // full: "1" goes
    const auto first = drain(q);
    std::vector<std::string> payloads;
    for (const MqttMessage& m : first)
        payloads.push_back(m.payload);
    EXPECT_EQ(payloads, (std::vector<std::string>{"b", "2", "3"}));
    EXPECT_EQ(q.takeDropped(), 1u);
    EXPECT_EQ(q.takeDropped(), 0u);

    // A reconnect: the latest state of every topic again; events were sent and stay sent.
    q.publishState({"t/2", "c", 1, true});
    drain(q);
    q.resendStates();
    payloads.clear();
    for (const MqttMessage& m : drain(q))
        payloads.push_back(m.payload);
    EXPECT_EQ(payloads, (std::vector<std::string>{"b", "c"}));

    // Events that were in flight go first, in their order, before what waits.
    q.publishEvent({"e", "4", 1, false});
    q.requeueEvents({{"e", "2", 1, false}, {"e", "3", 1, false}});
    payloads.clear();
    for (const MqttMessage& m : drain(q))
        payloads.push_back(m.payload);
    EXPECT_EQ(payloads, (std::vector<std::string>{"3", "4"})) << "the limit holds: the oldest go";
    EXPECT_EQ(q.takeDropped(), 1u);
}
