#include "LiveReport.h"

#include <array>
#include <charconv>
#include <optional>
#include <unordered_map>

#include "CodeTables.h"
#include "DateTime.h"
#include "ReportWords.h"
#include "TableFile.h"

namespace lw {
namespace {

constexpr char kCr = '\r';

constexpr std::array<std::string_view, 13> kHeaderCells{
    "Tank ID",         "Tank Name",      "Status",     "Level",   "Volume",
    "Temperature",     "Alarm 1",        "Alarm 2",    "Alarm 3", "Alarm 4",
    "Display Battery", "Sender Battery", "Last Update"};

using OptionalAlarm = std::optional<bool> TankRecord::*;
constexpr std::array<OptionalAlarm, 4> kAlarms{&TankRecord::Alarm1, &TankRecord::Alarm2,
                                               &TankRecord::Alarm3, &TankRecord::Alarm4};

std::optional<std::string> numberText(const std::optional<double>& v, const Formats& f) {
    if (!v)
        return std::nullopt;
    return formatNumber(*v, f);
}

// The date alone at midnight, else the date and the time, as the table files write it.
std::optional<std::string> lastUpdateText(const TankRecord& r, const Formats& f) {
    if (!r.DateTime)
        return std::nullopt;
    std::string text;
    appendValueText(text, *r.DateTime, fieldInfo(TankField::DateTime), f);
    if (text.empty())
        return std::nullopt; // no date a text can show
    return text;
}

std::string_view orEmpty(const std::optional<std::string>& s) {
    return s ? std::string_view(*s) : std::string_view();
}

void appendHtmlStart(std::string& out, double now, const Formats& f) {
    out += reporthtml::kBodyStart;
    reporthtml::appendHeading(out, liveReportTitle(now, f));
    out += reporthtml::kTableStart;
    for (const std::string_view caption : kHeaderCells)
        reporthtml::appendHeaderCell(out, caption);
    out += "</TR>";
}

// The eleven cells after ID and name.
void appendValueCells(std::string& out, const TankRecord& r, const Formats& f) {
    using reporthtml::appendCell;
    appendCell(out, r.Status ? reportStatusWord(*r.Status) : std::string_view());
    appendCell(out, numberText(r.Level, f).value_or(""));
    appendCell(out, numberText(r.Volume, f).value_or(""));
    appendCell(out, numberText(r.Temperature, f).value_or(""));
    for (const OptionalAlarm alarm : kAlarms)
        appendCell(out, (r.*alarm) ? alarmWord(*(r.*alarm)) : std::string_view());
    appendCell(out, r.BatDisplay ? batteryWord(r.BatDisplay) : std::string_view());
    appendCell(out, r.BatSender ? batteryWord(r.BatSender) : std::string_view());
    appendCell(out, lastUpdateText(r, f).value_or(""));
}

void appendLine(std::string& out, std::string_view a, std::string_view b = {}) {
    out += a;
    out += b;
    out += kCr;
}

// Every line of a tank's text block after its name, and the blank line that ends it.
void appendValueLines(std::string& out, const TankRecord& r, const Formats& f, LogSink* log) {
    const auto logged = [&](std::string_view label, std::string_view text, int level = 5) {
        if (log && log->logs(level))
            log->Log(std::string(label) + std::string(text), level);
    };
    const auto valueLine = [&](std::string_view label, const std::optional<double>& v) {
        const std::string text = numberText(v, f).value_or("?");
        appendLine(out, label, text);
        logged(label, text);
    };
    logged("Status: ", r.Status ? std::to_string(*r.Status) : std::string());
    appendLine(out, "Status: ", r.Status ? reportStatusWord(*r.Status) : "Unkown");
    valueLine("Level: ", r.Level);
    valueLine("Volume: ", r.Volume);
    valueLine("Temperature: ", r.Temperature);
    logged("Alarms", "", 2);
    static constexpr std::array<std::string_view, 4> kAlarmLabels{
        "Alarm1: ", "Alarm2: ", "Alarm3: ", "Alarm4: "};
    for (size_t i = 0; i < kAlarms.size(); ++i) {
        const std::optional<bool>& alarm = r.*kAlarms[i];
        appendLine(out, kAlarmLabels[i], alarm ? alarmWord(*alarm) : "?");
    }
    logged("DispBat", "");
    appendLine(out, "Display Battery: ", batteryWord(r.BatDisplay));
    logged("SenderBat", "");
    appendLine(out, "Sender Battery: ", batteryWord(r.BatSender));
    const std::optional<std::string> update = lastUpdateText(r, f);
    logged("LastUpdate", update.value_or(""));
    appendLine(out, "Last Update: ", update.value_or("?"));
    out += kCr;
}

std::optional<int64_t> idNumber(const std::optional<std::string>& id) {
    if (!id)
        return std::nullopt;
    std::string_view text = *id;
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// The collector's search of its own table for a tank's row: the first row whose ID is the
// same number. A map gives the row at once; the log still names every row the search passes.
class ValueRows {
public:
    explicit ValueRows(const TankTable& LastData) : table_(LastData) {
        for (int row = 0; row < LastData.size(); ++row)
            if (const auto n = idNumber(LastData[row].ID))
                first_.try_emplace(*n, row);
    }

    const TankRecord* find(const std::optional<std::string>& tankId, LogSink* log) const {
        const auto n = idNumber(tankId);
        const auto it = n ? first_.find(*n) : first_.end();
        const int found = it == first_.end() ? -1 : it->second;
        if (log && log->logs(5)) {
            const int examined = found < 0 ? table_.size() : found + 1;
            for (int row = 0; row < examined; ++row)
                log->Log("Looking at " + table_[row].ID.value_or("") + " " + tankId.value_or(""),
                         5);
        }
        return found < 0 ? nullptr : &table_[found];
    }

private:
    const TankTable& table_;
    std::unordered_map<int64_t, int> first_;
};

} // namespace

std::string liveReportTitle(double now, const Formats& f) {
    return "Levelwatch Report - " + formatDateTime(now, f);
}

std::string GetHTML(const TankTable& LiveData, double now, const Formats& f) {
    std::string out;
    appendHtmlStart(out, now, f);
    for (const TankRecord& r : LiveData.rows()) {
        out += "<TR>";
        reporthtml::appendCell(out, orEmpty(r.ID));
        reporthtml::appendCell(out, orEmpty(r.TankName));
        appendValueCells(out, r, f);
    }
    out += reporthtml::kEnd;
    return out;
}

std::string GetText(const TankTable& LiveData, double now, const Formats& f) {
    std::string out;
    appendLine(out, liveReportTitle(now, f));
    out += kCr;
    for (const TankRecord& r : LiveData.rows()) {
        appendLine(out, "Tank ID: ", orEmpty(r.ID));
        appendLine(out, "Tank Name:", orEmpty(r.TankName));
        appendValueLines(out, r, f, nullptr);
    }
    return out;
}

std::string GetHTMLData(const TankTable& LiveData, const TankTable& LastData, double now,
                        const Formats& f, LogSink& log) {
    log.Log("GetHTML.", 5);
    const ValueRows values(LastData);
    std::string out;
    appendHtmlStart(out, now, f);
    for (const TankRecord& tank : LiveData.rows()) {
        const std::string_view name = orEmpty(tank.TankName);
        if (!name.empty() && log.logs(5))
            log.Log("Tank Name: " + std::string(name), 5);
        out += "<TR>";
        reporthtml::appendCell(out, orEmpty(tank.ID));
        reporthtml::appendCell(out, name);
        if (const TankRecord* r = values.find(tank.ID, nullptr))
            appendValueCells(out, *r, f);
        else
            reporthtml::appendCell(out, "");
    }
    out += reporthtml::kEnd;
    log.Log("Done HTML.", 5);
    return out;
}

std::string GetTextData(const TankTable& LiveData, const TankTable& LastData, double now,
                        const Formats& f, LogSink& log) {
    log.Log("GetText.", 5);
    const ValueRows values(LastData);
    std::string out;
    appendLine(out, liveReportTitle(now, f));
    out += kCr;
    for (const TankRecord& tank : LiveData.rows()) {
        const TankRecord* r = values.find(tank.ID, &log);
        if (!r) {
            appendLine(out, "Last Update: ?");
            out += kCr;
            continue;
        }
        const std::string_view name = orEmpty(tank.TankName);
        if (log.logs(5)) {
            log.Log("Found " + std::string(orEmpty(tank.ID)), 5);
            log.Log("Tank Name: " + std::string(name), 5);
        }
        appendLine(out, "Tank ID: ", orEmpty(tank.ID));
        appendLine(out, "Tank Name:", name.empty() ? std::string_view(" ?") : name);
        appendValueLines(out, *r, f, &log);
    }
    log.Log("DoneText.", 5);
    return out;
}

} // namespace lw
