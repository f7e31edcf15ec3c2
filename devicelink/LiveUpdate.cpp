#include "LiveUpdate.h"

#include <charconv>
#include <string_view>

#include "DateTime.h"
#include "DetailLines.h"
#include "FrameDecoder.h"
#include "SlotUpdate.h"

namespace lw {
namespace {

constexpr std::string_view kParsedNewData = " parsed new data";

class HookObserver final : public FieldObserver {
public:
    HookObserver(LiveUpdateHooks& hooks, int slot, int row)
        : hooks_(hooks), slot_(slot), row_(row) {}
    void fieldWritten(TankField field, const FieldValue&, const FieldValue& after) override {
        hooks_.fieldWritten(slot_, row_, field, after);
        if (field == TankField::DispType)
            hooks_.dispTypeChanged();
    }

private:
    LiveUpdateHooks& hooks_;
    int slot_;
    int row_;
};

} // namespace

LiveUpdate::LiveUpdate(TankTable& table, LiveUpdateHooks& hooks, const Formats& formats,
                       LiveUpdateTexts texts)
    : table_(table), hooks_(hooks), formats_(formats), texts_(texts) {}

void LiveUpdate::NewTankData(const FrameBuffer& rx, int registerCount, FrameSource source,
                             double now) {
    if (hooks_.editorOpen())
        return;
    const bool portOwned = source == FrameSource::Serial;
    // A relayed block's time is eight bytes outside the CRC; one that is no date-time would
    // poison the row's DateTime, so the reading then counts as taken now.
    const double readingTime = portOwned || !isValidDateTime(blockTime(rx)) ? now : blockTime(rx);
    const DecodedFrame frame = decodeFrame(rx, registerCount, readingTime);

    if (texts_.detail)
        showDetail(commonDetailLines(rx, frame, now, formats_));

    for (const DecodedSlot& slot : frame.decodedSlots()) {
        if (texts_.detail && slot.number > 1)
            hooks_.detailLine(tankIdDetailLine(slot));
        char id[12];
        const auto end = std::to_chars(id, id + sizeof id, slot.tankId).ptr;
        const auto row = table_.findId(std::string_view(id, static_cast<size_t>(end - id)));
        // The monitor never adds rows; a slot 1 of no known display type is not updated.
        if (!row || (slot.number == 1 && !frame.knownType))
            continue;
        if (texts_.detail)
            showDetail(slotDetailLines(rx, frame, slot));

        TankRecord& record = table_.values(*row);
        HookObserver observer(hooks_, slot.number, *row);
        const SlotResult result = applySlot(slot, record, SlotPolicy{}, &observer);

        if (portOwned && slot.statusGood) {
            hooks_.historyRow(record, slot.tankId, result.change, frame.isInterface);
            if (result.alarmchange)
                hooks_.sendAlarmEmail(makeAlarmEmailArgs(record, record.TankName.value_or(""),
                                                         frame.isInterface, now, formats_));
        }
        if (texts_.status) {
            // A tank without a name shows no text at all.
            const std::string name = record.TankName.value_or("");
            hooks_.statusText(name.empty() ? std::string()
                                           : formatDateTime(now, formats_) + " " + name +
                                                 std::string(kParsedNewData));
        }
        hooks_.rowPosted(*row);
    }

    if (texts_.detail)
        showDetail(counterDetailLines(rx, frame));
}

void LiveUpdate::showDetail(const std::vector<std::string>& lines) {
    for (const auto& line : lines)
        hooks_.detailLine(line);
}

} // namespace lw
