#pragma once
// Assembles reply frames from the serial byte stream, one byte at a time, and recognises a frame
// by its length and its display-type register alone: 53 bytes (24 registers) or 101 bytes
// (48 registers) with a matching CRC. The owner renders the events in its own way (Detail
// lines, log lines) and runs its own acceptance sequence.

#include <cstdint>
#include <span>

#include "FrameBuffer.h"
#include "LearnedTypes.h"

namespace lw {

enum class FrameKind : uint8_t {
    ShortR200, // 53 bytes, display type 0, 1 or 3
    ShortR300, // 53 bytes, display type 16, 4 or 19
    LongR300,  // 101 bytes, any R300 type
};

// Registers that decoding may read from a frame of this kind.
int registerCount(FrameKind kind);

class ReceiverListener {
public:
    virtual ~ReceiverListener() = default;

    // The idle timer (200 ms in the monitor, 1000 ms in the service) must start now, or start
    // over when it runs. It is single-shot: when it fires, the owner calls Timer2Timer().
    virtual void restartIdleTimer() = 0;
    virtual void stopIdleTimer() = 0;

    // 53 bytes of an R200 type are in; their CRC check follows.
    virtual void r200FrameComplete() {}
    // A frame of this kind failed its CRC check. The bytes stay until the idle timer. A short R300
    // reply whose byte count announced a long one is reported from Timer2Timer(), once it is
    // clear that no long reply followed.
    virtual void crcError(FrameKind) {}
    // A valid short R300 reply taught the poll entry of `address`, the unit that answered, its
    // display type; the frame itself is dropped.
    virtual void typeLearned(int /*address*/, int /*type*/) {}
    // A frame was accepted: RxCount is already 0 and the idle timer stopped; `rx` holds the
    // frame from position 1 and may be changed (the service stamps its time into it).
    virtual void frameAccepted(FrameKind kind, FrameBuffer& rx) = 0;
};

class Receiver {
public:
    Receiver(ReceiverListener& listener, LearnedTypes& learnedTypes);

    // One data-available event of the port with the bytes it delivered.
    void ApdComPort1TriggerAvail(std::span<const uint8_t> bytes);
    // The idle timer fired: a frame in progress is discarded (and reported when it was a corrupt
    // short R300 reply that looked like the start of a long one).
    void Timer2Timer();

    const FrameBuffer& RxData() const { return rxData_; }
    int RxCount() const { return rxCount_; }

private:
    void receiveByte(uint8_t byte);
    void checkShortFrame();
    void checkLongFrame();
    // A valid short R300 reply of `type`: true when it taught its unit's poll entry a new type.
    bool learnType(int type);
    void accept(FrameKind kind);
    void stopTimer();

    ReceiverListener& listener_;
    LearnedTypes& learnedTypes_;
    // Never cleared: a relay block carries whatever earlier frames left beyond the current one.
    FrameBuffer rxData_;
    int rxCount_ = 0;
    bool timerRunning_ = false;
    // A short R300 check failed at byte 53 while the byte count announced a long reply.
    bool shortCrcErrorPending_ = false;
};

enum class CrcMatch : uint8_t { None, Short, Long };

// Which check a relayed 255-byte block passes: the short one first, then the long one.
CrcMatch checkRelayedBlock(const FrameBuffer& block);

} // namespace lw
