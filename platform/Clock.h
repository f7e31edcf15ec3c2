#pragma once
// The current local date-time as the system stores it (days since 1899-12-30), behind a seam
// so that minute and day rules can be tested without waiting.

#include <QDateTime>

namespace lw {

class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

class SystemClock final : public Clock {
public:
    double now() const override;
};

// Conversions between Qt's local date-times and the stored form.
double toDateTime(const QDateTime& local);
QDateTime fromDateTime(double dateTime);

} // namespace lw
