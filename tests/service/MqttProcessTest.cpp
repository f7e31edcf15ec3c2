// The collector publishing to a real Mosquitto broker that each test starts on free loopback
// ports with its own configuration: anonymous, with a password file, with TLS from a throw-away
// certificate authority. The test's own subscriber (libmosquitto) always uses a second,
// anonymous listener of the same broker.

#include <gtest/gtest.h>

#include <mosquitto.h>
#include <nlohmann/json.hpp>

#include <mutex>
#include <set>

#include "ServiceProcess.h"

using namespace lw::test;
using Json = nlohmann::json;

namespace {

struct Received {
    std::string topic;
    std::string payload;
    bool retain;
};

// A subscriber on the broker's anonymous listener, collecting what arrives.
class Subscriber {
public:
    Subscriber(int port, const std::vector<std::string>& topics) : topics_(topics) {
        mosquitto_lib_init();
        m_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(m_, [](mosquitto* m, void* self, int rc) {
            if (rc == 0)
                for (const std::string& t : static_cast<Subscriber*>(self)->topics_)
                    mosquitto_subscribe(m, nullptr, t.c_str(), 1);
        });
        mosquitto_message_callback_set(
            m_, [](mosquitto*, void* self, const mosquitto_message* msg) {
                auto* s = static_cast<Subscriber*>(self);
                const std::lock_guard lock(s->mutex_);
                s->received_.push_back({msg->topic,
                                        std::string(static_cast<const char*>(msg->payload),
                                                    static_cast<size_t>(msg->payloadlen)),
                                        msg->retain});
            });
        mosquitto_connect(m_, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_);
    }
    ~Subscriber() {
        mosquitto_disconnect(m_);
        mosquitto_loop_stop(m_, false);
        mosquitto_destroy(m_);
    }

    std::vector<Received> received() const {
        const std::lock_guard lock(mutex_);
        return received_;
    }
    std::vector<Received> on(const std::string& topic) const {
        std::vector<Received> out;
        for (const Received& r : received())
            if (r.topic == topic)
                out.push_back(r);
        return out;
    }
    // The last payload on `topic`; empty when none came yet.
    std::string last(const std::string& topic) const {
        const auto all = on(topic);
        return all.empty() ? std::string() : all.back().payload;
    }

private:
    std::vector<std::string> topics_;
    mosquitto* m_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<Received> received_;
};

bool accepts(int port) {
    const int fd = connectTo("127.0.0.1", static_cast<uint16_t>(port));
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

int run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class MqttTest : public ServiceTest {
protected:
    void TearDown() override {
        service.reset(); // "offline" goes out while the broker is still there
        broker.reset();
        ServiceTest::TearDown();
    }

    // The broker: the service's listener with `serviceListener` lines, and the subscribers'.
    void startBroker(const std::string& serviceListener = "allow_anonymous true\n") {
        const auto conf = root / "mosquitto.conf";
        std::ofstream(conf) << "user root\npersistence false\nper_listener_settings true\n"
                            << "listener " << brokerPort << " 127.0.0.1\n"
                            << serviceListener << "listener " << subscriberPort
                            << " 127.0.0.1\nallow_anonymous true\n";
        broker = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/sbin/mosquitto", "-c", conf.string()});
        ASSERT_TRUE(waitUntil([&] { return accepts(brokerPort) && accepts(subscriberPort); }));
    }
    void killBroker() {
        broker->signal(SIGKILL);
        broker->waitExit(10000);
        broker.reset();
    }

    // The service's [MQTT] settings over the test's defaults; `reload`: and ServiceChange=1.
    void writeMqttSettings(std::map<std::string, std::string> mqtt = {}, bool reload = false) {
        std::map<std::string, std::string> s{{"Host", "127.0.0.1"},
                                             {"Port", std::to_string(brokerPort)},
                                             {"Prefix", "lw"},
                                             {"ClientId", "test-" + std::to_string(::getpid())}};
        for (const auto& [k, v] : mqtt)
            s[k] = v;
        Settings extra{{"Debug", {{"Debug", "1"}}}, {"MQTT", s}};
        if (reload)
            extra["General"]["ServiceChange"] = "1";
        writeSettings(extra);
    }

    int requests() const { return count(readFile(root / "sim.log"), "request "); }
    bool waitConnected(int times = 1) const {
        return waitUntil([&] { return count(log(), " MQTT connected to ") >= times; });
    }
    // A subscriber that came after every tank in `ids` was published, once it holds their
    // retained state.
    std::unique_ptr<Subscriber> freshSubscriber(const std::vector<std::string>& ids) const {
        const auto hasAll = [&](const Subscriber& sub, bool retained) {
            return waitUntil([&] {
                for (const std::string& id : ids) {
                    const auto got = sub.on("lw/tank/" + id);
                    if (got.empty() || (retained && !got.front().retain))
                        return false;
                }
                return true;
            });
        };
        EXPECT_TRUE(hasAll(Subscriber(subscriberPort, {"lw/#"}), false)) << log();
        auto sub = std::make_unique<Subscriber>(
            subscriberPort, std::vector<std::string>{"lw/#", "homeassistant/#"});
        EXPECT_TRUE(hasAll(*sub, true)) << log();
        return sub;
    }

    // The broker's listeners: one for the service, one for the test's subscribers.
    const ReservedPort brokerReserved;
    const ReservedPort subscriberReserved;
    const int brokerPort = brokerReserved.number();
    const int subscriberPort = subscriberReserved.number();
    std::unique_ptr<ChildProcess> broker;
};

} // namespace

TEST_F(MqttTest, EveryTankIsRetainedWithItsValuesAndDiscoveryConfigsAreValid) {
    startBroker();
    writeMqttSettings({{"Discovery", "1"}});
    writeFile("OstrelServicePoll.txt", "1\r\n2\r\n");
    startSim({"--no-drift", "--unit", "1:R200S:level=1234:status=0", "--unit",
              "2:R300D:2,77:level=25000,30000"});
    startService();
    ASSERT_TRUE(waitConnected()) << log();

    const auto sub = freshSubscriber({"1", "2", "77"});
    struct Expected {
        std::string id;
        double level;
        int unit;
        const char* type;
    } expected[] = {{"1", 123.4, 1, "R200S"}, {"2", 250.0, 2, "R300D"}, {"77", 300.0, 2, "R300D"}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.id);
        const Json j = Json::parse(sub->on("lw/tank/" + e.id).front().payload);
        EXPECT_EQ(j["ID"], e.id);
        EXPECT_EQ(j["Level"], e.level);
        EXPECT_EQ(j["Unit"], e.unit);
        EXPECT_EQ(j["DispTypeText"], e.type);
        EXPECT_EQ(j["StatusText"], "Good");
        EXPECT_TRUE(j["Time"].get<std::string>().size() == 29u) << j["Time"];
    }
    ASSERT_FALSE(sub->on("lw/status").empty());
    EXPECT_EQ(sub->on("lw/status").front().payload, "online");
    EXPECT_TRUE(sub->on("lw/status").front().retain);

    // Discovery: 8 configs per tank, each reading a tank topic that exists.
    std::set<std::string> stateTopics;
    int configs = 0;
    ASSERT_TRUE(waitUntil([&] {
        int n = 0;
        for (const Received& r : sub->received())
            n += r.topic.starts_with("homeassistant/") ? 1 : 0;
        return n >= 24;
    }));
    for (const Received& r : sub->received()) {
        if (!r.topic.starts_with("homeassistant/"))
            continue;
        SCOPED_TRACE(r.topic);
        ++configs;
        EXPECT_TRUE(r.retain);
        EXPECT_TRUE(r.topic.ends_with("/config"));
        const Json j = Json::parse(r.payload);
        EXPECT_FALSE(j["unique_id"].get<std::string>().empty());
        stateTopics.insert(j["state_topic"].get<std::string>());
    }
    EXPECT_EQ(configs, 24);
    EXPECT_EQ(stateTopics, (std::set<std::string>{"lw/tank/1", "lw/tank/2", "lw/tank/77"}));

    // A clean stop says "offline"; the broker keeps it.
    stopService();
    EXPECT_TRUE(waitUntil([&] { return sub->last("lw/status") == "offline"; }));
}

TEST_F(MqttTest, AnAlarmChangeGivesOneEvent) {
    startBroker();
    writeMqttSettings();
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startSim({"--no-drift", "--unit", "1:R200S:alarms=0"});
    startService();
    ASSERT_TRUE(waitConnected()) << log();
    const auto sub = freshSubscriber({"1"});
    EXPECT_TRUE(sub->on("lw/tank/1/alarm").empty()) << "a new tank with every alarm off";

    // The unit's first alarm goes on: the same line, served by a plant with the alarm set.
    unplug();
    startSim({"--no-drift", "--unit", "1:R200S:alarms=1"});
    ASSERT_TRUE(waitUntil([&] { return !sub->on("lw/tank/1/alarm").empty(); })) << log();
    // Three more polls of the same state bring no second event.
    const int polled = requests();
    ASSERT_TRUE(waitUntil([&] { return requests() >= polled + 3; }));
    const auto events = sub->on("lw/tank/1/alarm");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].retain);
    const Json j = Json::parse(events[0].payload);
    EXPECT_EQ(j["Alarm"], 1);
    EXPECT_EQ(j["Old"], false);
    EXPECT_EQ(j["New"], true);
    EXPECT_EQ(Json::parse(sub->last("lw/tank/1"))["Alarm1"], true);
}

TEST_F(MqttTest, ARestartedBrokerGetsEveryTankAgainWhilePollingGoesOn) {
    startBroker();
    writeMqttSettings();
    writeFile("OstrelServicePoll.txt", "1\r\n2\r\n");
    startSim({"--unit", "1:R200S", "--unit", "2:R300Q:2,3,4,5"});
    startService();
    ASSERT_TRUE(waitConnected()) << log();
    freshSubscriber({"1", "2", "3", "4", "5"});

    killBroker();
    ASSERT_TRUE(waitLog("MQTT connection to 127.0.0.1:" + std::to_string(brokerPort) + " lost"))
        << log();
    // Polling does not wait for the broker: a request a second goes on while it is away.
    const int before = requests();
    ASSERT_TRUE(waitUntil([&] { return requests() >= before + 3; }, 6000)) << "polling stalled";

    startBroker(); // empty: it kept nothing
    ASSERT_TRUE(waitConnected(2)) << log();
    const auto sub = freshSubscriber({"1", "2", "3", "4", "5"});
    EXPECT_EQ(sub->last("lw/status"), "online");
    EXPECT_TRUE(service->running());
}

TEST_F(MqttTest, AWrongPasswordIsLoggedOnceAndPollingGoesOn) {
    const auto passwords = root / "passwords";
    ASSERT_EQ(run("mosquitto_passwd -c -b '" + passwords.string() + "' levelwatch right"), 0);
    startBroker("allow_anonymous false\npassword_file " + passwords.string() + "\n");
    writeMqttSettings({{"Username", "levelwatch"}, {"Password", "wrong"}});
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startSim({"--unit", "1:R200S"});
    startService();

    const std::string refused = "ERROR: MQTT broker 127.0.0.1:" + std::to_string(brokerPort) +
                                ": Connection Refused: not authorised.";
    ASSERT_TRUE(waitLog(refused)) << log();
    // Retried after 1, 2 and 4 s meanwhile: still one line, and a poll every second.
    const int before = requests();
    ASSERT_TRUE(waitUntil([&] { return requests() >= before + 5; }, 8000)) << "polling stalled";
    EXPECT_EQ(count(log(), refused), 1) << log();
    EXPECT_EQ(log().find("wrong"), std::string::npos) << "the password is never logged";
    EXPECT_TRUE(service->running());

    // Mended at the next settings reload.
    writeMqttSettings({{"Username", "levelwatch"}, {"Password", "right"}}, true);
    ASSERT_TRUE(waitConnected()) << log();
    freshSubscriber({"1"});
}

TEST_F(MqttTest, TlsWithAPrivateAuthorityIsVerified) {
    const std::string d = root.path().string();
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    for (const std::string ca : {"ca", "other-ca"})
        ASSERT_EQ(run("openssl req -x509 -days 1" + ec + "-subj /CN=" + ca + " -keyout " + d + "/" +
                      ca + ".key -out " + d + "/" + ca + ".crt"),
                  0);
    ASSERT_EQ(run("openssl req -new" + ec + "-subj /CN=localhost -keyout " + d +
                  "/server.key -out " + d + "/server.csr"),
              0);
    std::ofstream(root / "san.ext") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    ASSERT_EQ(run("openssl x509 -req -days 1 -in " + d + "/server.csr -CA " + d +
                  "/ca.crt -CAkey " + d + "/ca.key -CAcreateserial -extfile " + d +
                  "/san.ext -out " + d + "/server.crt"),
              0);
    startBroker("allow_anonymous true\ncertfile " + d + "/server.crt\nkeyfile " + d +
                "/server.key\n");

    // A certificate that no trusted authority signed is refused, and said why.
    writeMqttSettings(
        {{"Host", "localhost"}, {"Security", "TLS"}, {"CAFile", d + "/other-ca.crt"}});
    writeFile("OstrelServicePoll.txt", "1\r\n");
    startSim({"--unit", "1:R200S"});
    startService();
    ASSERT_TRUE(waitUntil([&] {
        return log().find("ERROR: MQTT broker localhost:" + std::to_string(brokerPort)) !=
                   std::string::npos &&
               log().find("certificate verify failed") != std::string::npos;
    })) << log();
    EXPECT_EQ(count(log(), " MQTT connected to "), 0);

    writeMqttSettings({{"Host", "localhost"}, {"Security", "TLS"}, {"CAFile", d + "/ca.crt"}},
                      true);
    ASSERT_TRUE(waitConnected()) << log();
    freshSubscriber({"1"});
}
