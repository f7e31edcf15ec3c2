#pragma once
// The collector's table of current values per tank ("LastData.txt") and its update from each
// accepted frame: a row is added for an unknown tank, alarms are compared with the stored
// states, a tank whose status is not good stops after its shared values, and a good one gets
// its history row when due, its alarm mail when an alarm changed, and the table saved.

#include <cstdint>
#include <filesystem>
#include <span>

#include "AlarmEmailArgs.h"
#include "Formats.h"
#include "HistoryFile.h"
#include "LogSink.h"
#include "Receiver.h"
#include "TankTable.h"

namespace lw {

// Kept out of this header: it is included by Qt code, where "slots" is a keyword.
struct DecodedFrame;
struct DecodedSlot;

inline constexpr char kUnknownTankName[] = "Unkown Tank";

// An accepted frame's tanks, once their rows are up to date: for publishers of current values.
struct UpdatedTanks {
    int unitAddress = 0; // the reply's first byte
    int dispType = 0;    // the display type the frame reported (low byte of register 6)
    std::span<const uint32_t> tankIds;
    double time = 0; // when the frame was accepted
};

class LastDataHooks {
public:
    virtual ~LastDataHooks() = default;
    // The monitor's tank list with the tank names, reloaded when its file changed. Throws when
    // it cannot be had (missing or unreadable file): the alarm mail is then not sent.
    virtual const TankTable& tankList() = 0;
    // Throws when no mail can be made of `args`; `errorText` is the frame kind's text for a
    // mail that fails later, after the update has moved on.
    virtual void SendAlarmEmail(const AlarmEmailArgs& args, std::string_view errorText) = 0;
    // After the rows of each accepted frame are up to date, before the table is saved: a
    // publisher does not wait for the disk.
    virtual void tanksUpdated(const UpdatedTanks&) {}
};

class LastDataUpdate {
public:
    LastDataUpdate(std::filesystem::path folder, const Formats& formats, LogSink& log,
                   LastDataHooks& hooks);

    // Start-up: loads "LastData.txt" with whole tank IDs, or writes it empty when it is missing.
    // A file that cannot be read whole is copied to "LastData.txt.damaged" and keeps the rows
    // read before the fault (none when its header names no column); rows without an ID are
    // dropped. Failures are logged at level 0.
    void load();
    // One tank update per tank of the accepted frame in `rx`, stamped `now`.
    void update(FrameKind kind, const FrameBuffer& rx, double now);

    const TankTable& LastData() const { return LastData_; }

private:
    // True when the tank passed the status gate: the table is then due to be saved.
    bool updateTank(FrameKind kind, const DecodedFrame& frame, const DecodedSlot& slot, double now);
    void sendAlarmEmail(const TankRecord& row, const std::string& id, bool isInterface,
                        std::string_view errorText, double now);
    void dropRowsWithoutId();
    void save();

    std::filesystem::path file_;
    Formats formats_;
    LogSink& log_;
    LastDataHooks& hooks_;
    HistoryFile history_;
    TankTable LastData_;
};

} // namespace lw
