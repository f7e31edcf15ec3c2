#pragma once
// Publishing to an MQTT broker, wired for the collector: the publisher's rules, the queue and
// the client, made from one settings snapshot (a changed snapshot makes a new one). Used from
// the collector's thread.

#include "LogSink.h"
#include "MqttClient.h"
#include "MqttPublisher.h"
#include "MqttQueue.h"
#include "ServicePipeline.h"
#include "Settings.h"
#include "SystemClock.h"
#include "TankTable.h"

namespace lw {

// Alarm events waiting for a broker that is away, at most; then the oldest are dropped.
inline constexpr size_t kMqttEventLimit = 10000;

class MqttLink {
public:
    // `settings` must be enabled(). `lastData`: the collector's table as loaded, whose alarm
    // states the first frames are compared with.
    MqttLink(const MqttSettings& settings, LogSink& log, const TankTable& lastData);

    // The tanks of an accepted frame, with the table that now holds their rows.
    void tanksUpdated(const UpdatedTanks& tanks, const TankTable& lastData);

private:
    LocalUtcOffset offset_;
    MqttQueue queue_;
    MqttPublisher publisher_;
    MqttClient client_; // last: its thread ends before the rest goes
};

} // namespace lw
