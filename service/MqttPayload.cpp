#include "MqttPayload.h"

#include <nlohmann/json.hpp>

#include "CodeTables.h"
#include "DateTime.h"

namespace lw {
namespace {

// In the order of the row, so that a person reading the broker sees the table's columns.
using Json = nlohmann::ordered_json;

std::string isoAt(double time, const UtcOffset& offset) {
    return isoDateTime(time, offset.minutesAt(time));
}

std::string dump(const Json& j) {
    // Texts come from files that a person may have edited: a byte that is no UTF-8 is replaced
    // instead of ending the publication.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

struct Sensor {
    std::string_view field; // the tank payload's member it reads
    std::string_view name;
    bool interfaceOnly;
};

constexpr Sensor kSensors[] = {
    {"Level", "Level", false},
    {"Volume", "Volume", false},
    {"Temperature", "Temperature", false},
    {"StatusText", "Status", false},
    {"LevelBelow", "Level below", true},
    {"VolumeBelow", "Volume below", true},
    {"LevelAbove", "Level above", true},
    {"VolumeAbove", "Volume above", true},
};
constexpr std::string_view kAlarms[] = {"Alarm1", "Alarm2", "Alarm3", "Alarm4"};

std::string lowerCase(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

std::string tankPayload(const TankRecord& row, int unit, int dispType, double time,
                        const UtcOffset& offset) {
    Json j = Json::object();
    for (const RowField<TankRecord>& f : tankRowFields()) {
        const FieldValue v = getRowField(row, f.member);
        if (f.info.name == "DispType") {
            j["DispType"] = dispType; // the frame's: the collector's row never holds one
            continue;
        }
        if (const auto* text = std::get_if<std::string>(&v)) {
            if (!text->empty())
                j[f.info.name] = *text;
        } else if (const auto* i = std::get_if<int32_t>(&v)) {
            j[f.info.name] = *i;
        } else if (const auto* d = std::get_if<double>(&v)) {
            if (f.info.type == FieldType::DateTime) {
                if (isValidDateTime(*d))
                    j[f.info.name] = isoAt(*d, offset);
            } else {
                j[f.info.name] = *d;
            }
        } else if (const auto* b = std::get_if<bool>(&v)) {
            j[f.info.name] = *b;
        }
    }
    if (const std::string_view s = statusText(row.Status); !s.empty())
        j["StatusText"] = s;
    if (const std::string_view s = dispTypeText(dispType); !s.empty())
        j["DispTypeText"] = s;
    j["Unit"] = unit;
    j["Time"] = isoAt(time, offset);
    return dump(j);
}

std::string alarmPayload(int alarm, std::optional<bool> old, bool now, double time,
                         const UtcOffset& offset) {
    Json j = Json::object();
    j["Alarm"] = alarm;
    if (old)
        j["Old"] = *old;
    j["New"] = now;
    j["Time"] = isoAt(time, offset);
    return dump(j);
}

std::string discoveryNodeId(std::string_view clientId) {
    std::string id(clientId);
    for (char& c : id)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-'))
            c = '_';
    return id;
}

std::vector<MqttMessage> discoveryConfigs(const MqttTopics& topics, std::string_view nodeId,
                                          std::string_view id, int dispType, int qos) {
    const std::string node(nodeId);
    const std::string tankKey = node + "_tank" + std::string(id);
    Json device = Json::object();
    device["identifiers"] = Json::array({tankKey});
    device["name"] = "Tank " + std::string(id);
    if (const std::string_view model = dispTypeText(dispType); !model.empty())
        device["model"] = model;

    const auto config = [&](std::string_view component, std::string_view field,
                            std::string_view name) {
        const std::string object = "tank" + std::string(id) + "_" + lowerCase(field);
        Json j = Json::object();
        j["name"] = name;
        j["unique_id"] = node + "_" + object;
        j["object_id"] = node + "_" + object;
        j["state_topic"] = topics.tank(id);
        j["availability_topic"] = topics.status();
        j["payload_available"] = kMqttOnline;
        j["payload_not_available"] = kMqttOffline;
        j["device"] = device;
        return std::pair{std::string(kDiscoveryPrefix) + "/" + std::string(component) + "/" + node +
                             "/" + object + "/config",
                         std::move(j)};
    };

    std::vector<MqttMessage> out;
    for (const Sensor& s : kSensors) {
        if (s.interfaceOnly && !isInterfaceType(dispType))
            continue;
        auto [topic, j] = config("sensor", s.field, s.name);
        j["value_template"] = "{{ value_json." + std::string(s.field) + " }}";
        if (s.field != "StatusText")
            j["state_class"] = "measurement";
        out.push_back({std::move(topic), dump(j), qos, true});
    }
    for (size_t i = 0; i < std::size(kAlarms); ++i) {
        auto [topic, j] = config("binary_sensor", kAlarms[i], "Alarm " + std::to_string(i + 1));
        j["value_template"] = "{{ 'ON' if value_json." + std::string(kAlarms[i]) + " else 'OFF' }}";
        j["payload_on"] = "ON";
        j["payload_off"] = "OFF";
        j["device_class"] = "problem";
        out.push_back({std::move(topic), dump(j), qos, true});
    }
    return out;
}

} // namespace lw
