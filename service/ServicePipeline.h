#pragma once
// The collector's receive pipeline: bytes from the serial port become checked frames; each
// accepted frame is answered when its unit runs a signal test, stamped with its acceptance time,
// saved as "LastData-<ID>.bin", relayed, and then brought into the table of current values.
// Pure: the port, the idle timer and the relay are the owner's, behind the hooks.

#include <cstdint>
#include <filesystem>
#include <span>

#include "Clock.h"
#include "FrameBuffer.h"
#include "LastDataUpdate.h"
#include "LearnedTypes.h"
#include "LogSink.h"
#include "Receiver.h"

namespace lw {

class ServicePipelineHooks : public LastDataHooks {
public:
    // The single-shot receive timeout; when it fires the owner calls Timer2Timer().
    virtual void restartIdleTimer() = 0;
    virtual void stopIdleTimer() = 0;
    // A unit in signal-test mode replied: answer it on the port. True when the answer went out.
    virtual bool answerSignalTest(const FrameBuffer& rx) = 0;
    // The accepted frame's relay block, for every connected monitor.
    virtual void forward(std::span<const uint8_t, kBufferSize> block) = 0;
};

// "LastData-" + ID + ".bin": the last relay block received for a unit.
std::filesystem::path savedFramePath(const std::filesystem::path& folder, uint16_t id);

class ServicePipeline final : private ReceiverListener {
public:
    ServicePipeline(std::filesystem::path folder, const Formats& formats, const Clock& clock,
                    LogSink& log, ServicePipelineHooks& hooks, LearnedTypes& learnedTypes);

    // The COM number that the log lines name.
    void setPortNumber(int comNumber) { portNumber_ = comNumber; }
    // Start-up: removes the temporary files that a crash during a save left of the files only
    // the collector writes ("LastData.txt", the saved frames), and logs how many at level 1.
    void removeStaleTempFiles();
    // Start-up: the table of current values from "LastData.txt".
    void loadLastData() { update_.load(); }

    // One data-available event of the port.
    void ApdComPort1TriggerAvail(std::span<const uint8_t> bytes);
    // The receive timeout fired: a frame in progress is discarded.
    void Timer2Timer() { receiver_.Timer2Timer(); }

    const TankTable& LastData() const { return update_.LastData(); }

private:
    void restartIdleTimer() override { hooks_.restartIdleTimer(); }
    void stopIdleTimer() override { hooks_.stopIdleTimer(); }
    void r200FrameComplete() override;
    void crcError(FrameKind kind) override;
    void typeLearned(int address, int type) override;
    void frameAccepted(FrameKind kind, FrameBuffer& rx) override;

    void logReceived();
    void saveFrame(uint16_t id, const FrameBuffer& rx);

    std::filesystem::path folder_;
    Formats formats_;
    const Clock& clock_;
    LogSink& log_;
    ServicePipelineHooks& hooks_;
    Receiver receiver_;
    LastDataUpdate update_;
    int portNumber_ = 1;
};

} // namespace lw
