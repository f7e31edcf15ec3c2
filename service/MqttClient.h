#pragma once
// The connection to the MQTT broker, over libmosquitto, on a network thread of its own: it
// connects, sets the Last Will ("offline" on the status topic), and after every connect queues
// every state message again. A broker that is down or refuses the login is logged once per
// reason at level 0 and tried again after 1 s, doubling to 60 s; a connect and a loss are
// logged at level 1.
//
// The owner's thread sends: pump() hands the queue's messages to libmosquitto, at most
// kMqttWindow of them unacknowledged at a time, and never blocks on the network. When the
// broker has taken messages and more wait, or after a connect, the client calls `wakeOwner`
// (from its own thread): the owner then calls pump() on its thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
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
    MqttClient(MqttClientOptions options, MqttQueue& queue, LogSink& log,
               std::function<void()> wakeOwner);
    // A clean stop: "offline" on the status topic, waited for up to a second, then DISCONNECT,
    // so the broker does not send the will.
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // On the owner's thread: hand waiting messages to libmosquitto while connected.
    void pump();
    bool connected() const { return connected_; }

private:
    using SteadyClock = std::chrono::steady_clock;

    void run();
    std::string setUp();
    void attemptFailed(const std::string& reason);
    void connectionLost(const std::string& reason);
    std::string where() const;

    static void onConnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    MqttClientOptions options_;
    MqttQueue& queue_;
    LogSink& log_;
    std::function<void()> wakeOwner_;
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
    std::atomic<bool> connected_{false};
    std::atomic<bool> wakeRequested_{false};
    std::thread thread_;
};

} // namespace lw
