#pragma once
// The machine's clock as the programs' Clock, and conversions between Qt's local date-times
// and the stored form.

#include <QDateTime>

#include "Clock.h"

namespace lw {

class SystemClock final : public Clock {
public:
    double now() const override;
};

// The system time zone's offset.
class LocalUtcOffset final : public UtcOffset {
public:
    int minutesAt(double localDateTime) const override;
};

double toDateTime(const QDateTime& local);
QDateTime fromDateTime(double dateTime);

} // namespace lw
