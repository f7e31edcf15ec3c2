#pragma once
// The connection to the MQTT broker, over libmosquitto, on a network thread of its own: it
// connects, sets the Last Will ("offline" on the status topic), and after every connect queues
// every state message again. A broker that is down or refuses the login is logged once per
// reason at level 0 and tried again after 1 s, doubling to 60 s; a connect and a loss are
// logged at level 1. The thread runs libmosquitto's loop itself rather than through
// mosquitto_loop_start, whose thread gives up for good after a TLS, name-lookup or login error
// and backs off by the square of the attempts.
//
// Sending: the owner's thread calls wake() when it has queued messages; that hands the first to
// libmosquitto, which wakes the network thread, and the network thread hands on the rest after
// each pass of its loop, at most kMqttWindow unacknowledged at a time. So the owner never
// blocks on the network, and a frame's messages leave in one pass.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "LogSink.h"
#include "MqttQueue.h"

struct mosquitto;

namespace lw {

struct MqttClientOptions {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string caFile;   // empty: the system's certificate authorities
    std::string username; // empty: no login
    std::string password;
    std::string clientId;
    std::string statusTopic; // "online" is the publisher's; "offline" is the will's and ours
    int qos = 1;
};

// Messages handed to libmosquitto and not yet acknowledged, at most.
inline constexpr int kMqttWindow = 100;

class MqttClient {
public:
    MqttClient(MqttClientOptions options, MqttQueue& queue, LogSink& log);
    // A clean stop: "offline" on the status topic, waited for up to a second, then DISCONNECT,
    // so the broker does not send the will.
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Messages wait in the queue.
    void wake();

private:
    using SteadyClock = std::chrono::steady_clock;

    void run();
    std::string setUp();
    // With the lock held: hands waiting messages to libmosquitto, at most `limit`.
    void send(int limit);
    void attemptFailed(const std::string& reason);
    void connectionLost(const std::string& reason);
    std::string where() const;

    static void onConnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    MqttClientOptions options_;
    MqttQueue& queue_;
    LogSink& log_;
    mosquitto* mosq_ = nullptr;

    std::mutex mutex_; // everything below, unless atomic
    std::condition_variable changed_;
    enum class Phase { Down, Connecting, Up } phase_ = Phase::Down;
    bool stopping_ = false;
    std::string refusal_; // the broker's CONNACK reason, set by onConnect
    std::string loggedReason_;
    std::chrono::seconds backoff_{1};
    SteadyClock::time_point nextAttempt_{};
    SteadyClock::time_point attemptStarted_{};
    std::map<int, MqttMessage> inFlightEvents_; // by message ID, QoS 1 and 2 only
    int inFlight_ = 0;
    int offlineMid_ = -1;
    bool offlineSent_ = false;
    std::mutex errorMutex_; // taken in libmosquitto's log callback, which may hold its locks
    std::string lastError_; // libmosquitto's last error line (TLS details)
    std::thread thread_;
};

} // namespace lw
