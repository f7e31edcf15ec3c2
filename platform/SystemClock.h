#pragma once
// The machine's clock as the programs' Clock, and conversions between Qt's local date-times
// and the stored form.

#include <QDateTime>

#include <cmath>
#include <cstdint>

#include "Clock.h"

namespace lw {

class SystemClock final : public Clock {
public:
    double now() const override;
};

// The system time zone's offset, remembered per quarter hour (the time zones change their
// offsets on quarter hours only): asking the zone costs microseconds. For one thread.
class LocalUtcOffset final : public UtcOffset {
public:
    int minutesAt(double localDateTime) const override;

private:
    mutable int64_t quarter_ = -1;
    mutable int minutes_ = 0;
};

double toDateTime(const QDateTime& local);
QDateTime fromDateTime(double dateTime);

} // namespace lw
