#include "Receiver.h"

#include <utility>

#include "CodeTables.h"

namespace lw {
namespace {

// Byte count of a 48-register reply (byte 3): tells a long reply from a short one at byte 53.
constexpr uint8_t kLongByteCount = 2 * kLongRegisterCount;

bool isShortR300Decodable(int type) {
    return type == disptype::R300S || type == disptype::R300D || type == disptype::R300I;
}

} // namespace

int registerCount(FrameKind kind) {
    return kind == FrameKind::LongR300 ? kLongRegisterCount : kShortRegisterCount;
}

Receiver::Receiver(ReceiverListener& listener, LearnedTypes& learnedTypes)
    : listener_(listener), learnedTypes_(learnedTypes) {}

void Receiver::ApdComPort1TriggerAvail(std::span<const uint8_t> bytes) {
    // The idle period counts from the last data event, so a frame may arrive in pieces.
    listener_.restartIdleTimer();
    timerRunning_ = true;
    // Where a check fails, the port component of old stopped reading and re-delivered the rest
    // of the bytes at once; handling them here in the same loop gives the same result.
    for (const uint8_t byte : bytes)
        receiveByte(byte);
}

void Receiver::Timer2Timer() {
    rxCount_ = 0;
    timerRunning_ = false;
    if (std::exchange(shortCrcErrorPending_, false))
        listener_.crcError(FrameKind::ShortR300);
}

void Receiver::receiveByte(uint8_t byte) {
    rxData_[++rxCount_] = byte;
    if (rxCount_ == 1 && !timerRunning_) {
        listener_.restartIdleTimer();
        timerRunning_ = true;
    }
    if (rxCount_ == kShortFrameLength)
        checkShortFrame();
    else if (rxCount_ == kLongFrameLength)
        checkLongFrame();
    // The buffer is bounded: a run that fills it without a frame starts over, so noise without
    // idle gaps can never write past the end.
    if (rxCount_ == kBufferSize)
        rxCount_ = 0;
}

void Receiver::checkShortFrame() {
    const int type = RxInput(rxData_, reg::kType);
    if (isR200Type(type)) {
        listener_.r200FrameComplete();
        if (shortCrcMatches(rxData_))
            accept(FrameKind::ShortR200);
        else
            listener_.crcError(FrameKind::ShortR200);
        return;
    }
    if (!isR300Type(type))
        return;
    // Bytes 52 and 53 of a long reply in progress are data, not check bytes: its byte count says
    // so. A short reply whose byte count was corrupted to that value looks the same here; unless
    // a long reply completes, its failed check is reported when the line falls idle.
    if (rxData_[reg::kByteCountByte] == kLongByteCount) {
        shortCrcErrorPending_ = isShortR300Decodable(type) && !shortCrcMatches(rxData_);
        return;
    }

    const bool crcOk = shortCrcMatches(rxData_);
    if (crcOk && learnType(type))
        return;
    // Short replies of types 8 and 12 lack tanks; only the long reply carries them.
    if (!isShortR300Decodable(type))
        return;
    if (crcOk)
        accept(FrameKind::ShortR300);
    else
        listener_.crcError(FrameKind::ShortR300);
}

// The reply comes from the unit that was polled: the poll entry of its address learns the type,
// whatever its tanks are numbered (a wireless unit's first tank is 9000 + its address).
bool Receiver::learnType(int type) {
    const int address = rxData_[reg::kAddressByte];
    const std::optional<int> learned = learnedTypes_.learnedType(address);
    if (!learned || *learned == type)
        return false;
    learnedTypes_.setLearnedType(address, type);
    stopTimer();
    rxCount_ = 0;
    listener_.typeLearned(address, type);
    return true;
}

void Receiver::checkLongFrame() {
    // The 101st byte came: what looked like a long reply at byte 53 was one, good or bad.
    shortCrcErrorPending_ = false;
    if (!isR300Type(RxInput(rxData_, reg::kType)))
        return;
    if (longCrcMatches(rxData_))
        accept(FrameKind::LongR300);
    else
        listener_.crcError(FrameKind::LongR300);
}

void Receiver::accept(FrameKind kind) {
    stopTimer();
    rxCount_ = 0;
    listener_.frameAccepted(kind, rxData_);
}

void Receiver::stopTimer() {
    listener_.stopIdleTimer();
    timerRunning_ = false;
}

CrcMatch checkRelayedBlock(const FrameBuffer& block) {
    if (shortCrcMatches(block))
        return CrcMatch::Short;
    if (longCrcMatches(block))
        return CrcMatch::Long;
    return CrcMatch::None;
}

} // namespace lw
