#include "LastDataUpdate.h"

#include <exception>
#include <string>

#include "FrameDecoder.h"
#include "FrameTanks.h"
#include "SlotUpdate.h"
#include "TankTableFile.h"

namespace lw {
namespace {

constexpr std::string_view kLastDataSave = "LastDataSave";
constexpr std::string_view kLastDataError = "ERROR: LastData.txt: ";
constexpr char kDamagedSuffix[] = ".damaged";

// The collector keeps DateTime for its last history row and learns display types by polling.
constexpr SlotPolicy kPolicy{.writeDateTime = false, .writeDispType = false};

enum class Step : uint8_t { Alarms, Shared, Sender };

Step stepOf(TankField field) {
    switch (field) {
    case TankField::Alarm1:
    case TankField::Alarm2:
    case TankField::Alarm3:
    case TankField::Alarm4:
        return Step::Alarms;
    case TankField::BatDisplay:
    case TankField::Input1:
    case TankField::Input2:
    case TankField::DateTime:
    case TankField::DispType:
    case TankField::Status:
        return Step::Shared;
    default:
        return Step::Sender;
    }
}

// The decoded writes of one step, in their order: the steps are logged and gated apart.
DecodedSlot writesOf(const DecodedSlot& slot, Step step) {
    DecodedSlot part = slot;
    part.writeCount = 0;
    for (const FieldWrite& w : slot.fieldWrites())
        if (stepOf(w.field) == step)
            part.writes[static_cast<size_t>(part.writeCount++)] = w;
    return part;
}

std::string boolText(bool b) {
    return b ? "True" : "False";
}

// The per-field log lines of a tank update, as the fields are written.
class UpdateLog final : public FieldObserver {
public:
    UpdateLog(LogSink& log, const TankTexts& texts, const std::string& id)
        : log_(log), texts_(texts), id_(id) {}

    void fieldWritten(TankField field, const FieldValue& before, const FieldValue& after) override {
        if (stepOf(field) == Step::Alarms) {
            alarm(static_cast<int>(field) - static_cast<int>(TankField::Alarm1), before,
                  std::get<bool>(after));
            return;
        }
        const std::string_view text = updatedText(field);
        if (!text.empty())
            log_.Log(std::string(text) + id_ + ".", 5);
    }

private:
    // An empty stored alarm counts as the opposite of the received one.
    void alarm(int index, const FieldValue& before, bool received) {
        const bool empty = std::holds_alternative<std::monostate>(before);
        const bool stored = empty ? !received : std::get<bool>(before);
        log_.Log(empty ? std::string("tempBoolean") : "<> null" + boolText(stored), 5);
        log_.Log("AlarmChanged.", 2);
        const std::string_view label = texts_.alarmLabels[static_cast<size_t>(index)];
        if (AlarmChanged(stored, received) && !label.empty())
            log_.Log(std::string(label) + boolText(stored) + " " + boolText(received), 5);
    }

    static std::string_view updatedText(TankField field) {
        switch (field) {
        case TankField::BatDisplay:
            return "BatDisplay updated ";
        case TankField::Input1:
        case TankField::Input2:
            return "Inputs updated ";
        case TankField::Temperature:
            return "Temp updated ";
        case TankField::Level:
            return "Inches updated ";
        case TankField::Volume:
            return "Volume updated ";
        default:
            return {};
        }
    }

    LogSink& log_;
    const TankTexts& texts_;
    const std::string& id_;
};

} // namespace

LastDataUpdate::LastDataUpdate(std::filesystem::path folder, const Formats& formats, LogSink& log,
                               LastDataHooks& hooks)
    : file_(folder / kLastDataFile), formats_(formats), log_(log), hooks_(hooks),
      history_(std::move(folder), formats) {}

void LastDataUpdate::load() {
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) {
        log_.Log(kLastDataSave, 2);
        save();
        return;
    }
    try {
        loadTankTable(LastData_, file_, formats_, TankIds::Whole);
    } catch (const std::exception& e) {
        log_.Log(std::string(kLastDataError) + e.what(), 0);
        // The next save writes only the rows read before the fault: keep the file as it was.
        std::filesystem::path copy = file_;
        copy += kDamagedSuffix;
        std::filesystem::copy_file(file_, copy, std::filesystem::copy_options::overwrite_existing,
                                   error);
        log_.Log(error ? std::string(kLastDataError) + copy.string() + ": " + error.message()
                       : "LastData.txt kept as " + copy.filename().string(),
                 0);
    }
    dropRowsWithoutId();
}

// A row without an ID can never match a tank; carried on, it would only grow the file.
void LastDataUpdate::dropRowsWithoutId() {
    std::vector<TankRecord> kept;
    for (const TankRecord& row : LastData_.rows())
        if (row.ID && !row.ID->empty())
            kept.push_back(row);
    const size_t dropped = LastData_.rows().size() - kept.size();
    if (dropped == 0)
        return;
    LastData_.assign(std::move(kept));
    log_.Log("LastData.txt: " + std::to_string(dropped) + " rows without an ID dropped.", 0);
}

void LastDataUpdate::update(FrameKind kind, const FrameBuffer& rx, double now) {
    const DecodedFrame frame = decodeFrame(rx, registerCount(kind), now);
    bool passed = false;
    std::array<uint32_t, kMaxSlots> ids{};
    size_t updated = 0;
    for (const DecodedSlot& slot : frame.decodedSlots()) {
        passed |= updateTank(kind, frame, slot, now);
        ids[updated++] = slot.tankId;
    }
    hooks_.tanksUpdated(
        {rx[1], frame.dispType & 0xFF, std::span<const uint32_t>(ids.data(), updated), now});
    // One write for all tanks of the frame: the file ends up the same as with one per tank,
    // at a quarter of the disk work for four-tank units.
    if (passed)
        save();
}

bool LastDataUpdate::updateTank(FrameKind kind, const DecodedFrame& frame, const DecodedSlot& slot,
                                double now) {
    const TankTexts& texts = tankTexts(kind, slot.number);
    const std::string id = std::to_string(slot.tankId);
    log_.Log("LastData.First " + id + ".", texts.searchLevel);
    std::optional<int> row = LastData_.findId(id);
    if (!row) {
        log_.Log("Adding Tank" + id + ".", texts.searchLevel);
        TankRecord added;
        added.ID = id;
        row = LastData_.appendRow(std::move(added));
        log_.Log("Done Adding Tank" + id + ".", texts.searchLevel);
    }
    if (texts.logFound)
        log_.Log("Found Tank " + id + ".", 5);
    log_.Log("Edit " + id + ".", 5);

    TankRecord& record = LastData_.values(*row);
    UpdateLog fieldLog(log_, texts, id);
    log_.Log(texts.alarmsLog, 2);
    const bool alarmChange =
        applySlot(writesOf(slot, Step::Alarms), record, kPolicy, &fieldLog).alarmchange;
    log_.Log(texts.alarmsDone, 2);
    bool change = applySlot(writesOf(slot, Step::Shared), record, kPolicy, &fieldLog).change;
    log_.Log("BatDisplay Done " + id + ".", 5);
    log_.Log("Inputs Done " + id + ".", 5);
    log_.Log("Status Done " + id + ".", 5);
    // A tank that reports a fault keeps its new shared values in the table, unsaved until
    // the next update that is saved; its readings, history row and mail wait for a good status.
    if (!slot.statusGood)
        return false;
    change |= applySlot(writesOf(slot, Step::Sender), record, kPolicy, &fieldLog).change;

    log_.Log("Save Data.", 1);
    if (serviceHistoryDue(record.DateTime, change, alarmChange, now) &&
        history_.append(record, slot.tankId, frame.isInterface, now))
        record.DateTime = now;
    if (alarmChange)
        sendAlarmEmail(record, id, frame.isInterface, texts.errorText, now);
    log_.Log(kLastDataSave, 1);
    return true;
}

void LastDataUpdate::sendAlarmEmail(const TankRecord& row, const std::string& id, bool isInterface,
                                    std::string_view errorText, double now) {
    try {
        const TankTable& list = hooks_.tankList();
        std::string name = kUnknownTankName;
        for (const TankRecord& entry : list.rows()) {
            log_.Log(entry.ID.value_or("") + " " + id, 1);
            if (entry.ID == id) {
                name = entry.TankName.value_or("");
                break;
            }
        }
        hooks_.SendAlarmEmail(makeAlarmEmailArgs(row, name, isInterface, now, formats_), errorText);
    } catch (const std::exception&) {
        log_.Log(errorText, 0);
    }
}

void LastDataUpdate::save() {
    try {
        // Rewritten after every frame, like the history files appended without a flush: a
        // flush per frame would hold up reception for the disk.
        saveTankTable(LastData_, file_, formats_, Durability::Atomic);
    } catch (const std::exception& e) {
        // The rows stay in memory and go out with the next save.
        log_.Log(std::string(kLastDataError) + e.what(), 0);
    }
}

} // namespace lw
