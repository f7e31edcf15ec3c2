#pragma once
// When the collector publishes what: after each frame, per tank, one event for every alarm that
// changed, and the tank's retained state when its row changed or a minute has passed since it
// was last published (so a subscriber sees a unit that still answers); the discovery configs
// when a tank is first seen and when its display type changes. Pure: the messages go to the
// queue, times come with the frames.

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Clock.h"
#include "LogSink.h"
#include "MqttPayload.h"
#include "MqttQueue.h"
#include "TankTable.h"

namespace lw {

struct MqttPublisherOptions {
    MqttTopics topics;
    std::string nodeId; // for discovery
    int qos = 1;
    bool retain = true; // the tanks' states; status and discovery configs are always retained
    bool discovery = false;
};

// Every tank's state is published again at least this often while frames come.
inline constexpr double kMqttRepublishSeconds = 60;

class MqttPublisher {
public:
    // Publishes "online" on the status topic at once (a state: sent after every connect).
    MqttPublisher(MqttPublisherOptions options, const UtcOffset& offset, MqttQueue& queue,
                  LogSink& log);

    // The alarm states of the collector's table as loaded at start-up: the first frame of a
    // tank is compared with them, as the table's own update does.
    void seed(const TankTable& table);
    // A tank's row after a frame from unit `unit` of display type `dispType`, accepted at
    // `time`.
    void tankUpdated(const TankRecord& row, int unit, int dispType, double time);

private:
    struct Tank {
        std::array<std::optional<bool>, 4> alarms;
        std::optional<TankRecord> published; // the row as last published
        int unit = 0;
        int dispType = -1;
        double publishedAt = 0;
        std::vector<std::string> discoveryTopics;
    };

    void publishDiscovery(Tank& tank, const std::string& id, int dispType);
    void log(const MqttMessage& m);

    MqttPublisherOptions options_;
    const UtcOffset& offset_;
    MqttQueue& queue_;
    LogSink& log_;
    std::unordered_map<std::string, Tank> tanks_;
};

} // namespace lw
