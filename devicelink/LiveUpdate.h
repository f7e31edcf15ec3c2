#pragma once
// The monitor's update of its live table from one accepted frame (NewTankData): per slot the
// first row with the tank's ID takes the decoded values; history rows and alarm mails follow
// when the monitor owns the serial port.

#include <cstdint>
#include <string>
#include <vector>

#include "AlarmEmailArgs.h"
#include "Formats.h"
#include "FrameBuffer.h"
#include "TankTable.h"

namespace lw {

enum class FrameSource : uint8_t {
    Serial,  // the monitor owns the port: reading time is now; history rows and mails
    Relayed, // a block from the service: reading time is the block's (now when the block's
             // time is no date-time); no history, no mail
};

// What the monitor's window does around the update. Every hook is optional.
class LiveUpdateHooks {
public:
    virtual ~LiveUpdateHooks() = default;
    // The operator edits a cell: the frame is ignored.
    virtual bool editorOpen() const { return false; }
    virtual void detailLine(const std::string& /*line*/) {}
    virtual void fieldWritten(int /*slot*/, int /*row*/, TankField /*field*/,
                              const FieldValue& /*value*/) {}
    // A row's display type changed: the poll list is rebuilt at once.
    virtual void dispTypeChanged() {}
    // The slot's row after its update, before posting; the writer decides whether it is due.
    virtual void historyRow(const TankRecord& /*row*/, uint32_t /*tankId*/, bool /*change*/,
                            bool /*isInterface*/) {}
    virtual void sendAlarmEmail(const AlarmEmailArgs& /*args*/) {}
    virtual void statusText(const std::string& /*text*/) {}
    // The row was posted; the live table is saved.
    virtual void rowPosted(int /*row*/) {}
};

struct LiveUpdateTexts {
    bool detail = true; // Detail lines: only while a Detail window listens
    bool status = true; // the status bar's " parsed new data" text
};

class LiveUpdate {
public:
    LiveUpdate(TankTable& table, LiveUpdateHooks& hooks, const Formats& formats,
               LiveUpdateTexts texts = {});

    // The frame in `rx` has `registerCount` registers (24 or 48); `now` is the current time.
    void NewTankData(const FrameBuffer& rx, int registerCount, FrameSource source, double now);

private:
    void showDetail(const std::vector<std::string>& lines);

    TankTable& table_;
    LiveUpdateHooks& hooks_;
    Formats formats_;
    LiveUpdateTexts texts_;
};

} // namespace lw
