// Any byte stream into the receiver, cut into data events by the input itself, with idle
// timeouts in between; every accepted frame is decoded into a small live table, and the input's
// first 255 bytes are also tried as a relayed block.
//
// Input: a control byte c, then (c & 0x7F) + 1 bytes delivered as one data event; when c has
// its high bit set the idle timer fires before the event. Repeated to the end.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "DateTime.h"
#include "LearnedTypeTable.h"
#include "LiveUpdate.h"
#include "Receiver.h"

namespace {

using namespace lw;

const double kNow = encodeDateTime({2026, 12, 9, 14, 5, 9});

// Detail lines and status texts are built and dropped, so their code runs too.
class Hooks final : public LiveUpdateHooks {
public:
    void detailLine(const std::string& line) override { total += line.size(); }
    void sendAlarmEmail(const AlarmEmailArgs& args) override { total += args.Subject.size(); }
    size_t total = 0;
};

class Owner final : public ReceiverListener {
public:
    explicit Owner(LiveUpdate& update) : update_(update) {}
    void restartIdleTimer() override {}
    void stopIdleTimer() override {}
    void frameAccepted(FrameKind kind, FrameBuffer& rx) override {
        update_.NewTankData(rx, registerCount(kind), FrameSource::Serial, kNow);
    }

private:
    LiveUpdate& update_;
};

TankTable smallTable() {
    std::vector<TankRecord> rows;
    for (const char* id : {"1", "2", "3", "4", "7", "7", "12", "012", "99999"}) {
        TankRecord r;
        r.ID = id;
        r.TankName = std::string("Tank ") + id;
        rows.push_back(r);
    }
    return TankTable(std::move(rows));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TankTable table = smallTable();
    Hooks hooks;
    LiveUpdate update(table, hooks, Formats::enUS());
    Owner owner(update);
    LearnedTypeTable learned({{1, 0}, {2, 16}, {7, 4}});
    Receiver receiver(owner, learned);

    size_t pos = 0;
    while (pos < size) {
        const uint8_t control = data[pos++];
        const size_t count = std::min<size_t>((control & 0x7F) + 1u, size - pos);
        if (control & 0x80)
            receiver.Timer2Timer();
        receiver.ApdComPort1TriggerAvail({data + pos, count});
        pos += count;
        if (receiver.RxCount() < 0 || receiver.RxCount() >= kBufferSize)
            std::abort();
    }

    const FrameBuffer block = FrameBuffer::fromBytes({data, size});
    const CrcMatch match = checkRelayedBlock(block);
    if (match != CrcMatch::None)
        update.NewTankData(block,
                           match == CrcMatch::Short ? kShortRegisterCount : kLongRegisterCount,
                           FrameSource::Relayed, kNow);
    return 0;
}
