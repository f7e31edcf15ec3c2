#pragma once
// The messages waiting for the broker, between the collector's thread that makes them and the
// network thread that sends them. Two kinds:
//  - state (a tank's row, discovery configs, the status): the latest per topic is kept for as
//    long as the queue lives, a newer one replaces a waiting older one, none is ever dropped,
//    and resendStates() queues all of them again after a (re)connect;
//  - events (alarm changes): first in, first out, at most `eventLimit` waiting; when full, the
//    oldest waiting event is dropped and counted.
// Thread-safe.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "MqttPayload.h"

namespace lw {

class MqttQueue {
public:
    explicit MqttQueue(size_t eventLimit);

    void publishState(MqttMessage message);
    void publishEvent(MqttMessage message);
    // Every state message again, behind what waits (a waiting one keeps its place).
    void resendStates();
    // Events that were on their way when the connection went: before everything else, in
    // their order. They may reach the broker twice, as QoS 1 allows; never not at all.
    void requeueEvents(std::vector<MqttMessage> events);

    struct Item {
        MqttMessage message;
        bool event = false;
    };
    // The oldest waiting message.
    std::optional<Item> next();
    bool empty() const;
    size_t waiting() const;
    // Events dropped since the last call.
    uint64_t takeDropped();

private:
    void enqueueState(const MqttMessage& message); // with the lock held

    const size_t eventLimit_;
    mutable std::mutex mutex_;
    int64_t nextSeq_ = 0;
    int64_t frontSeq_ = 0; // requeued events go before every other message
    std::map<int64_t, Item> waiting_;
    std::unordered_map<std::string, int64_t> waitingState_; // topic -> its place in waiting_
    std::deque<int64_t> waitingEvents_;                     // places of the events, in order
    std::map<std::string, MqttMessage> states_;             // the latest per topic
    uint64_t dropped_ = 0;
};

} // namespace lw
