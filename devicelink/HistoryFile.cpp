#include "HistoryFile.h"

#include <fstream>

#include "ValueText.h"

namespace lw {
namespace {

constexpr std::array<TankField, 6> kOrdinaryFields{TankField::Status, TankField::Level,
                                                   TankField::Volume, TankField::Temperature,
                                                   TankField::Input1, TankField::Input2};
constexpr std::array<TankField, 4> kInterfaceFields{TankField::LevelBelow, TankField::VolumeBelow,
                                                    TankField::LevelAbove, TankField::VolumeAbove};

} // namespace

Formats historyFormats(const Formats& f) {
    Formats h = f;
    h.shortDateFormat = "MM/dd/yyyy";
    h.longTimeFormat = "HH:mm:ss";
    return h;
}

std::string historyFileName(double date, std::string_view tankText, const Formats& f) {
    Formats name = f;
    name.shortDateFormat = "yyyyMMMdd";
    std::string text = formatDate(date, name);
    text += '-';
    text += tankText;
    text += ".txt";
    return text;
}

bool monitorHistoryDue(double lastSave, bool change, double now) {
    return change || now > lastSave + kHistoryInterval;
}

bool serviceHistoryDue(const std::optional<double>& rowDateTime, bool change, bool alarmChange,
                       double now) {
    return change || alarmChange || !rowDateTime || now > *rowDateTime + kHistoryInterval;
}

HistoryFile::HistoryFile(std::filesystem::path folder, Formats formats)
    : folder_(std::move(folder)), formats_(std::move(formats)),
      timeFormats_(historyFormats(formats_)) {}

std::filesystem::path HistoryFile::path(uint32_t tankId, double now) const {
    return folder_ / historyFileName(now, std::to_string(tankId), formats_);
}

bool HistoryFile::append(const TankRecord& row, uint32_t tankId, bool isInterface,
                         double now) const {
    const std::filesystem::path file = path(tankId, now);
    std::string text;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        for (const std::string_view name : kHistoryColumns) {
            text += name;
            text += name == kHistoryColumns.back() ? "\r\n" : "\t";
        }
    }
    text += formatDateTime(now, timeFormats_);
    auto appendFields = [&](const auto& fields) {
        for (const TankField field : fields)
            text += '\t' + valueText(getField(row, field), formats_);
    };
    appendFields(kOrdinaryFields);
    if (isInterface)
        appendFields(kInterfaceFields);
    text += "\r\n";

    // Header and row leave in one write: a reader never meets a new file without its row.
    std::ofstream out(file, std::ios::binary | std::ios::app);
    if (!out)
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

bool HistoryFile::writeIfDue(const TankRecord& row, uint32_t tankId, bool change, bool isInterface,
                             double now) {
    const auto last = LastSave.find(tankId);
    if (!monitorHistoryDue(last == LastSave.end() ? 0.0 : last->second, change, now))
        return false;
    if (!append(row, tankId, isInterface, now))
        return false;
    LastSave[tankId] = now;
    return true;
}

} // namespace lw
