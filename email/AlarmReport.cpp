#include "AlarmReport.h"

#include <array>

#include "CodeTables.h"
#include "DateTime.h"
#include "ReportWords.h"

namespace lw {
namespace {

constexpr char kCr = '\r';

std::string title(double now, const Formats& f) {
    return "Alarm Change Report - " + formatDateTime(now, f);
}

std::string_view statusWord(const AlarmEmailArgs& a) {
    const auto status = parseInteger(a.Status);
    if (!status)
        throw AlarmReportError("'" + a.Status + "' is not a valid integer value");
    return reportStatusWord(*status);
}

// Exactly "True": the callers pass "True" or "False", and anything else counts as off.
std::string_view alarmText(const std::string& a) {
    return alarmWord(a == "True");
}

std::array<const std::string*, 4> interfaceValues(const AlarmEmailArgs& a) {
    return {&a.LevelBelow, &a.VolumeBelow, &a.LevelAbove, &a.VolumeAbove};
}

std::array<const std::string*, 4> alarms(const AlarmEmailArgs& a) {
    return {&a.Alarm1, &a.Alarm2, &a.Alarm3, &a.Alarm4};
}

} // namespace

std::string alarmReportHtml(const AlarmEmailArgs& a, double now, const Formats& f) {
    using namespace reporthtml;
    const std::string_view status = statusWord(a);
    std::string out;
    out += kBodyStart;
    appendHeading(out, title(now, f));
    out += kTableStart;
    for (const char* caption : {"Tank ID", "Tank Name", "Status", "Level", "Volume"})
        appendHeaderCell(out, caption);
    if (a.IsInterface)
        for (const char* caption : {"Level Below", "Volume Below", "Level Above", "Volume Above"})
            appendHeaderCell(out, caption);
    for (const char* caption : {"Temperature", "Alarm 1", "Alarm 2", "Alarm 3", "Alarm 4",
                                "Display Battery", "Sender Battery", "Last Update"})
        appendHeaderCell(out, caption);
    out += "</TR><TR>";
    for (const std::string* text : {&a.ID, &a.Name})
        appendCell(out, *text);
    appendCell(out, status);
    appendCell(out, a.Level);
    appendCell(out, a.Volume);
    if (a.IsInterface)
        for (const std::string* value : interfaceValues(a))
            appendCell(out, *value);
    appendCell(out, a.Temp);
    for (const std::string* alarm : alarms(a))
        appendCell(out, alarmText(*alarm));
    appendCell(out, batteryWord(a.BatDisplay));
    appendCell(out, batteryWord(a.BatSender));
    appendCell(out, a.LastUpdate);
    out += kEnd;
    return out;
}

std::string alarmReportText(const AlarmEmailArgs& a, double now, const Formats& f) {
    const std::string_view status = statusWord(a);
    std::string out;
    const auto line = [&out](std::string_view label, std::string_view value = {}) {
        out += label;
        out += value;
        out += kCr;
    };
    line(title(now, f));
    out += kCr;
    line("Tank ID: ", a.ID);
    line("Tank Name:", a.Name);
    line("Status: ", status);
    line("Level: ", a.Level);
    line("Volume: ", a.Volume);
    if (a.IsInterface)
        for (const std::string* value : interfaceValues(a))
            line(*value);
    line("Temperature: ", a.Temp);
    const std::array<std::string_view, 4> labels{"Alarm1: ", "Alarm2: ", "Alarm3: ", "Alarm4: "};
    const auto alarmTexts = alarms(a);
    for (size_t i = 0; i < labels.size(); ++i)
        line(labels[i], alarmText(*alarmTexts[i]));
    line("Display Battery: ", batteryWord(a.BatDisplay));
    line("Sender Battery: ", batteryWord(a.BatSender));
    line("Last Update: ", a.LastUpdate);
    out += kCr;
    return out;
}

} // namespace lw
