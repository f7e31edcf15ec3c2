#pragma once
// The current local date-time as the system stores it (days since 1899-12-30), behind one
// interface, so that minute and day rules are tested with a clock the test sets instead of by
// waiting. The programs use the system clock (platform/SystemClock.h).

namespace lw {

class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

// A clock that says what it is told: for tests and tools that replay a day.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double dateTime = 0) : now_(dateTime) {}
    double now() const override { return now_; }
    void set(double dateTime) { now_ = dateTime; }
    void advanceSeconds(double seconds) { now_ += seconds / 86400.0; }

private:
    double now_;
};

// How far local time is ahead of UTC at a local date-time, in minutes (daylight saving moves
// it). The programs use the system's time zone (platform/SystemClock.h).
class UtcOffset {
public:
    virtual ~UtcOffset() = default;
    virtual int minutesAt(double localDateTime) const = 0;
};

class FixedUtcOffset final : public UtcOffset {
public:
    explicit FixedUtcOffset(int minutes) : minutes_(minutes) {}
    int minutesAt(double) const override { return minutes_; }

private:
    int minutes_;
};

} // namespace lw
