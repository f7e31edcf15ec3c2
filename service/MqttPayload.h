#pragma once
// What the collector publishes to an MQTT broker, as topics and JSON texts: a tank's current
// row, one event per alarm change, the service's own status, and the discovery configs of the
// common home-automation convention. Pure: times and the UTC offset are passed in.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"
#include "TankRecord.h"

namespace lw {

struct MqttMessage {
    std::string topic;
    std::string payload;
    int qos = 1;
    bool retain = false;

    bool operator==(const MqttMessage&) const = default;
};

// The service's status topic: "online" while connected, "offline" as its Last Will and after a
// clean stop.
inline constexpr char kMqttOnline[] = "online";
inline constexpr char kMqttOffline[] = "offline";

// Topics below the prefix (given without a trailing '/'). Link health per unit is to go to
// "<prefix>/unit/<addr>" once polling keeps it.
struct MqttTopics {
    std::string prefix;

    std::string tank(std::string_view id) const { return prefix + "/tank/" + std::string(id); }
    std::string alarm(std::string_view id) const { return tank(id) + "/alarm"; }
    std::string status() const { return prefix + "/status"; }
};

// The tank's row as one JSON object: every field under its name, numbers as numbers, alarms
// and relays as booleans, date-times as ISO 8601 local time with offset, empty fields left
// out; then "StatusText" and "DispTypeText" from the code tables (when the code has a text),
// "Unit" (the polled address) and "Time" (when the frame was accepted). The collector's row
// holds no display type: `dispType` is the one the frame reported.
std::string tankPayload(const TankRecord& row, int unit, int dispType, double time,
                        const UtcOffset& offset);

// One alarm change: {"Alarm": 1..4, "Old": .., "New": .., "Time": ..}; "Old" is left out for
// an alarm seen for the first time (published only when it is on).
std::string alarmPayload(int alarm, std::optional<bool> old, bool now, double time,
                         const UtcOffset& offset);

// The discovery topic root of the convention.
inline constexpr char kDiscoveryPrefix[] = "homeassistant";

// The discovery configs of one tank (retained): sensors for level, volume, temperature and
// status, the values below and above for interface types, and a binary sensor per alarm, all
// reading the tank's topic and available while the status topic says "online". `nodeId` names
// the collector (only letters, digits, '_' and '-': see discoveryNodeId).
std::vector<MqttMessage> discoveryConfigs(const MqttTopics& topics, std::string_view nodeId,
                                          std::string_view id, int dispType, int qos);

// A client ID made fit for discovery topics and unique IDs: other characters become '_'.
std::string discoveryNodeId(std::string_view clientId);

} // namespace lw
