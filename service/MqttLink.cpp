#include "MqttLink.h"

#include <string>

namespace lw {
namespace {

MqttPublisherOptions publisherOptions(const MqttSettings& s) {
    return {MqttTopics{s.prefix.toStdString()}, discoveryNodeId(s.clientId.toStdString()), s.qos,
            s.retain, s.discovery};
}

MqttClientOptions clientOptions(const MqttSettings& s) {
    return {s.host.toStdString(),
            s.port,
            s.security == MqttSecurity::Tls,
            s.caFile.toStdString(),
            s.username.toStdString(),
            s.password.toStdString(),
            s.clientId.toStdString(),
            MqttTopics{s.prefix.toStdString()}.status(),
            s.qos};
}

} // namespace

MqttLink::MqttLink(const MqttSettings& settings, LogSink& log, const TankTable& lastData)
    : queue_(kMqttEventLimit), publisher_(publisherOptions(settings), offset_, queue_, log),
      client_(clientOptions(settings), queue_, log) {
    publisher_.seed(lastData);
}

void MqttLink::tanksUpdated(const UpdatedTanks& tanks, const TankTable& lastData) {
    for (const uint32_t id : tanks.tankIds)
        if (const auto row = lastData.findId(std::to_string(id)))
            publisher_.tankUpdated(lastData[*row], tanks.unitAddress, tanks.dispType, tanks.time);
    client_.wake();
}

} // namespace lw
