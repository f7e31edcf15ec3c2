#include "MqttClient.h"

#include <mosquitto.h>
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace lw {
namespace {

constexpr int kKeepAliveSeconds = 30;
// How long one pass of the network loop may wait: a stop is seen within it.
constexpr int kLoopTimeoutMs = 250;
constexpr std::chrono::seconds kMaxBackoff{60};
constexpr std::chrono::seconds kConnectTimeout{10};
constexpr std::chrono::seconds kOfflineWait{1};

std::once_flag libraryInit;

std::string errorText(int rc, int savedErrno) {
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(savedErrno);
    return mosquitto_strerror(rc);
}

} // namespace

MqttClient::MqttClient(MqttClientOptions options, MqttQueue& queue, LogSink& log)
    : options_(std::move(options)), queue_(queue), log_(log) {
    std::call_once(libraryInit, [] { mosquitto_lib_init(); });
    thread_ = std::thread([this] { run(); });
}

MqttClient::~MqttClient() {
    {
        std::unique_lock lock(mutex_);
        stopping_ = true;
        if (phase_ == Phase::Up) {
            int mid = 0;
            if (mosquitto_publish(mosq_, &mid, options_.statusTopic.c_str(),
                                  static_cast<int>(std::strlen(kMqttOffline)), kMqttOffline,
                                  options_.qos, true) == MOSQ_ERR_SUCCESS) {
                offlineMid_ = mid;
                changed_.wait_for(lock, kOfflineWait,
                                  [&] { return offlineSent_ || phase_ != Phase::Up; });
            }
        }
        if (mosq_)
            mosquitto_disconnect(mosq_); // wakes the network loop; the broker keeps the will
    }
    changed_.notify_all();
    thread_.join();
    if (mosq_)
        mosquitto_destroy(mosq_);
}

std::string MqttClient::where() const {
    return options_.host + ":" + std::to_string(options_.port);
}

// With the lock held: a fresh instance for each attempt, so nothing of a lost connection's
// packets lingers in the library; what was unacknowledged comes from our own queue again.
// Returns the reason when the instance cannot be set up.
std::string MqttClient::setUp() {
    if (mosq_)
        mosquitto_destroy(mosq_);
    mosq_ = mosquitto_new(options_.clientId.c_str(), true, this);
    if (!mosq_)
        return std::strerror(errno);
    mosquitto_threaded_set(mosq_, true); // the owner publishes while this thread runs the loop
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_max_inflight_messages_set(mosq_, kMqttWindow);
    mosquitto_connect_callback_set(mosq_, &MqttClient::onConnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::onPublish);
    mosquitto_log_callback_set(mosq_, &MqttClient::onLog);
    int rc = mosquitto_will_set(mosq_, options_.statusTopic.c_str(),
                                static_cast<int>(std::strlen(kMqttOffline)), kMqttOffline,
                                options_.qos, true);
    if (rc == MOSQ_ERR_SUCCESS && !options_.username.empty())
        rc = mosquitto_username_pw_set(mosq_, options_.username.c_str(),
                                       options_.password.empty() ? nullptr
                                                                 : options_.password.c_str());
    if (rc != MOSQ_ERR_SUCCESS)
        return errorText(rc, errno);
    if (options_.tls) {
        rc = options_.caFile.empty() ? mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                                     : mosquitto_tls_set(mosq_, options_.caFile.c_str(), nullptr,
                                                         nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return "TLS set-up" + (options_.caFile.empty() ? "" : " with " + options_.caFile) +
                   ": " + errorText(rc, errno);
    }
    return {};
}

void MqttClient::run() {
    pthread_setname_np(pthread_self(), "mqtt"); // for top -H and the benchmark
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (phase_ == Phase::Down) {
            if (SteadyClock::now() < nextAttempt_) {
                changed_.wait_until(lock, nextAttempt_);
                continue;
            }
            refusal_.clear();
            {
                const std::lock_guard errorLock(errorMutex_);
                lastError_.clear();
            }
            if (const std::string problem = setUp(); !problem.empty()) {
                attemptFailed(problem);
                continue;
            }
            const int rc = mosquitto_connect_async(mosq_, options_.host.c_str(), options_.port,
                                                   kKeepAliveSeconds);
            const int savedErrno = errno;
            if (rc != MOSQ_ERR_SUCCESS) {
                attemptFailed(errorText(rc, savedErrno));
                continue;
            }
            phase_ = Phase::Connecting;
            attemptStarted_ = SteadyClock::now();
            continue;
        }
        mosquitto* const mosq = mosq_;
        lock.unlock();
        const int rc = mosquitto_loop(mosq, kLoopTimeoutMs, 1);
        const int savedErrno = errno;
        lock.lock();
        if (stopping_)
            break;
        if (rc == MOSQ_ERR_SUCCESS && phase_ == Phase::Up) {
            send(kMqttWindow);
        } else if (rc != MOSQ_ERR_SUCCESS || !refusal_.empty()) {
            std::string reason = !refusal_.empty() ? refusal_ : errorText(rc, savedErrno);
            {
                const std::lock_guard errorLock(errorMutex_);
                if (!lastError_.empty() && refusal_.empty())
                    reason += " (" + lastError_ + ")";
            }
            if (phase_ == Phase::Up)
                connectionLost(reason);
            else
                attemptFailed(reason);
        } else if (phase_ == Phase::Connecting &&
                   SteadyClock::now() - attemptStarted_ > kConnectTimeout) {
            attemptFailed("no answer from the broker");
        }
    }
}

// With the lock held.
void MqttClient::attemptFailed(const std::string& reason) {
    phase_ = Phase::Down;
    if (reason != loggedReason_) {
        log_.Log("ERROR: MQTT broker " + where() + ": " + reason, 0);
        loggedReason_ = reason;
    }
    nextAttempt_ = SteadyClock::now() + backoff_;
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
}

// With the lock held.
void MqttClient::connectionLost(const std::string& reason) {
    phase_ = Phase::Down;
    log_.Log("MQTT connection to " + where() + " lost: " + reason, 1);
    loggedReason_.clear();
    backoff_ = std::chrono::seconds(1);
    nextAttempt_ = SteadyClock::now() + backoff_;
    backoff_ *= 2;
}

void MqttClient::onConnect(mosquitto*, void* self, int rc) {
    auto* c = static_cast<MqttClient*>(self);
    {
        const std::lock_guard lock(c->mutex_);
        if (rc != 0) {
            c->refusal_ = mosquitto_connack_string(rc);
            return;
        }
        c->phase_ = Phase::Up;
        c->backoff_ = std::chrono::seconds(1);
        c->loggedReason_.clear();
        std::vector<MqttMessage> unacknowledged;
        for (auto& [mid, message] : c->inFlightEvents_)
            unacknowledged.push_back(std::move(message));
        c->inFlightEvents_.clear();
        c->inFlight_ = 0;
        c->queue_.requeueEvents(std::move(unacknowledged));
        c->queue_.resendStates();
        c->log_.Log("MQTT connected to " + c->where() + ".", 1);
        if (const uint64_t dropped = c->queue_.takeDropped(); dropped > 0)
            c->log_.Log("ERROR: MQTT " + std::to_string(dropped) +
                            " alarm events dropped: the queue was full.",
                        0);
    }
    c->changed_.notify_all();
}

void MqttClient::onPublish(mosquitto*, void* self, int mid) {
    auto* c = static_cast<MqttClient*>(self);
    {
        const std::lock_guard lock(c->mutex_);
        c->inFlight_ = std::max(0, c->inFlight_ - 1);
        c->inFlightEvents_.erase(mid);
        if (mid == c->offlineMid_)
            c->offlineSent_ = true;
    }
    c->changed_.notify_all();
}

void MqttClient::onLog(mosquitto*, void* self, int level, const char* text) {
    if (level != MOSQ_LOG_ERR)
        return;
    auto* c = static_cast<MqttClient*>(self);
    const std::lock_guard lock(c->errorMutex_);
    c->lastError_ = text;
}

void MqttClient::wake() {
    const std::lock_guard lock(mutex_);
    send(1);
}

void MqttClient::send(int limit) {
    for (int sent = 0; sent < limit && phase_ == Phase::Up && !stopping_ && inFlight_ < kMqttWindow;
         ++sent) {
        std::optional<MqttQueue::Item> item = queue_.next();
        if (!item)
            return;
        const MqttMessage& m = item->message;
        int mid = 0;
        const int rc =
            mosquitto_publish(mosq_, &mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                              m.payload.data(), m.qos, m.retain);
        if (rc != MOSQ_ERR_SUCCESS) {
            // The connection is going: states go again after the next connect, events are kept.
            if (item->event)
                queue_.requeueEvents({std::move(item->message)});
            return;
        }
        ++inFlight_;
        if (item->event && m.qos > 0)
            inFlightEvents_.emplace(mid, std::move(item->message));
    }
}

} // namespace lw
