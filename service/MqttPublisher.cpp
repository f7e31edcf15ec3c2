#include "MqttPublisher.h"

#include <algorithm>

namespace lw {
namespace {

constexpr double kSecondsPerDay = 86400.0;

std::array<std::optional<bool>, 4> alarmsOf(const TankRecord& row) {
    return {row.Alarm1, row.Alarm2, row.Alarm3, row.Alarm4};
}

} // namespace

MqttPublisher::MqttPublisher(MqttPublisherOptions options, const UtcOffset& offset,
                             MqttQueue& queue, LogSink& log)
    : options_(std::move(options)), offset_(offset), queue_(queue), log_(log) {
    queue_.publishState({options_.topics.status(), kMqttOnline, options_.qos, true});
}

void MqttPublisher::seed(const TankTable& table) {
    for (const TankRecord& row : table.rows())
        if (row.ID)
            tanks_[*row.ID].alarms = alarmsOf(row);
}

void MqttPublisher::tankUpdated(const TankRecord& row, int unit, int dispType, double time) {
    if (!row.ID)
        return;
    const std::string& id = *row.ID;
    Tank& tank = tanks_[id];

    const auto alarms = alarmsOf(row);
    for (size_t i = 0; i < alarms.size(); ++i) {
        if (!alarms[i] || alarms[i] == tank.alarms[i])
            continue;
        // A tank seen for the first time reports the alarms that are on; "off" is no news.
        if (!tank.alarms[i] && !*alarms[i])
            continue;
        MqttMessage event{
            options_.topics.alarm(id),
            alarmPayload(static_cast<int>(i + 1), tank.alarms[i], *alarms[i], time, offset_),
            options_.qos, false};
        log(event);
        queue_.publishEvent(std::move(event));
    }
    tank.alarms = alarms;

    if (options_.discovery && (!tank.published || tank.dispType != dispType))
        publishDiscovery(tank, id, dispType);

    const bool due = !tank.published || *tank.published != row || tank.unit != unit ||
                     tank.dispType != dispType ||
                     (time - tank.publishedAt) * kSecondsPerDay >= kMqttRepublishSeconds;
    if (!due)
        return;
    MqttMessage state{options_.topics.tank(id), tankPayload(row, unit, dispType, time, offset_),
                      options_.qos, options_.retain};
    log(state);
    queue_.publishState(std::move(state));
    tank.published = row;
    tank.unit = unit;
    tank.dispType = dispType;
    tank.publishedAt = time;
}

void MqttPublisher::publishDiscovery(Tank& tank, const std::string& id, int dispType) {
    std::vector<std::string> topics;
    for (MqttMessage& m :
         discoveryConfigs(options_.topics, options_.nodeId, id, dispType, options_.qos)) {
        topics.push_back(m.topic);
        log(m);
        queue_.publishState(std::move(m));
    }
    // A config the new type no longer has is removed by an empty retained message.
    for (const std::string& old : tank.discoveryTopics)
        if (std::find(topics.begin(), topics.end(), old) == topics.end()) {
            MqttMessage removal{old, "", options_.qos, true};
            log(removal);
            queue_.publishState(std::move(removal));
        }
    tank.discoveryTopics = std::move(topics);
}

void MqttPublisher::log(const MqttMessage& m) {
    log_.Log("MQTT publish " + m.topic, 7);
}

} // namespace lw
