#include "ServicePipeline.h"

#include <string>

#include "AtomicFile.h"
#include "DateTime.h"
#include "FrameTanks.h"
#include "PollList.h"
#include "RelayBlock.h"
#include "TankTableFile.h"

namespace lw {

std::filesystem::path savedFramePath(const std::filesystem::path& folder, uint16_t id) {
    return folder / savedFrameFileName(id);
}

ServicePipeline::ServicePipeline(std::filesystem::path folder, const Formats& formats,
                                 const Clock& clock, LogSink& log, ServicePipelineHooks& hooks,
                                 LearnedTypes& learnedTypes)
    : folder_(folder), formats_(formats), clock_(clock), log_(log), hooks_(hooks),
      receiver_(*this, learnedTypes),
      update_(std::move(folder), formats, log, hooks) {}

void ServicePipeline::removeStaleTempFiles() {
    int removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        const auto target = atomicTempTarget(entry.path().filename().string());
        // The monitor's files may be in the middle of a save right now: only our own.
        if (!target || (*target != kLastDataFile && !savedFrameFileId(*target)))
            continue;
        std::error_code removeError;
        if (std::filesystem::remove(entry.path(), removeError))
            ++removed;
    }
    if (removed > 0)
        log_.Log("Removed " + std::to_string(removed) + " stale temporary files.", 1);
}

void ServicePipeline::ApdComPort1TriggerAvail(std::span<const uint8_t> bytes) {
    log_.Log("ComPortTriggerAvail.", 5);
    receiver_.ApdComPort1TriggerAvail(bytes);
}

void ServicePipeline::logReceived() {
    log_.Log("Serial Data Received on COM" + std::to_string(portNumber_) + ".", 1);
}

// R200 frames are announced before their check, R300 frames after a good one.
void ServicePipeline::r200FrameComplete() {
    logReceived();
}

void ServicePipeline::crcError(FrameKind kind) {
    if (kind == FrameKind::ShortR200) {
        log_.Log("CRC Error.", 0);
        return;
    }
    log_.Log("DATE=" + formatDateTime(clock_.now(), formats_), 1);
    log_.Log("CRC Error!", kind == FrameKind::ShortR300 ? 0 : 1);
}

void ServicePipeline::typeLearned(int address, int type) {
    log_.Log("Modify Tank " + std::to_string(address) + " Display Type = " + std::to_string(type),
             1);
}

void ServicePipeline::frameAccepted(FrameKind kind, FrameBuffer& rx) {
    if (kind != FrameKind::ShortR200)
        logReceived();
    if (isSignalTestReply(rx) && hooks_.answerSignalTest(rx))
        log_.Log(kWirelessTestText, 1);
    const double now = clock_.now();
    setBlockTime(rx, now);
    log_.Log("Save LastData.", 1);
    saveFrame(savedFrameId(kind, rx), rx);
    if (kind == FrameKind::ShortR200)
        log_.Log("Send List.", 7);
    hooks_.forward(std::span<const uint8_t, kBufferSize>(rx.block(), kBufferSize));
    update_.update(kind, rx, now);
}

void ServicePipeline::saveFrame(uint16_t id, const FrameBuffer& rx) {
    const std::filesystem::path file = savedFramePath(folder_, id);
    // Replaced whole, so a monitor's catch-up never reads half a block.
    const std::error_code error = replaceFileAtomically(
        file, std::string_view(reinterpret_cast<const char*>(rx.block()), kBufferSize),
        Durability::Atomic);
    if (error)
        log_.Log("ERROR: " + file.filename().string() + ": " + error.message(), 0);
}

} // namespace lw
