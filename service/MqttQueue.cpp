#include "MqttQueue.h"

#include <utility>

namespace lw {

MqttQueue::MqttQueue(size_t eventLimit) : eventLimit_(eventLimit) {}

void MqttQueue::enqueueState(const MqttMessage& message) {
    if (const auto it = waitingState_.find(message.topic); it != waitingState_.end()) {
        waiting_[it->second].message = message;
        return;
    }
    const int64_t seq = nextSeq_++;
    waiting_.emplace(seq, Item{message, false});
    waitingState_.emplace(message.topic, seq);
}

void MqttQueue::publishState(MqttMessage message) {
    const std::lock_guard lock(mutex_);
    enqueueState(message);
    states_.insert_or_assign(message.topic, std::move(message));
}

void MqttQueue::publishEvent(MqttMessage message) {
    const std::lock_guard lock(mutex_);
    if (eventLimit_ == 0) {
        ++dropped_;
        return;
    }
    if (waitingEvents_.size() >= eventLimit_) {
        waiting_.erase(waitingEvents_.front());
        waitingEvents_.pop_front();
        ++dropped_;
    }
    const int64_t seq = nextSeq_++;
    waiting_.emplace(seq, Item{std::move(message), true});
    waitingEvents_.push_back(seq);
}

void MqttQueue::resendStates() {
    const std::lock_guard lock(mutex_);
    for (const auto& [topic, message] : states_)
        enqueueState(message);
}

void MqttQueue::requeueEvents(std::vector<MqttMessage> events) {
    const std::lock_guard lock(mutex_);
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        const int64_t seq = --frontSeq_;
        waiting_.emplace(seq, Item{std::move(*it), true});
        waitingEvents_.push_front(seq);
    }
    // Over the limit now: the oldest go, as they would have while waiting.
    while (waitingEvents_.size() > eventLimit_) {
        waiting_.erase(waitingEvents_.front());
        waitingEvents_.pop_front();
        ++dropped_;
    }
}

std::optional<MqttQueue::Item> MqttQueue::next() {
    const std::lock_guard lock(mutex_);
    if (waiting_.empty())
        return std::nullopt;
    auto node = waiting_.extract(waiting_.begin());
    if (node.mapped().event)
        waitingEvents_.pop_front(); // events leave in order: the first waiting is this one
    else
        waitingState_.erase(node.mapped().message.topic);
    return std::move(node.mapped());
}

bool MqttQueue::empty() const {
    const std::lock_guard lock(mutex_);
    return waiting_.empty();
}

size_t MqttQueue::waiting() const {
    const std::lock_guard lock(mutex_);
    return waiting_.size();
}

uint64_t MqttQueue::takeDropped() {
    const std::lock_guard lock(mutex_);
    return std::exchange(dropped_, 0);
}

} // namespace lw
