#include "SystemClock.h"

#include "DateTime.h"

namespace lw {

double SystemClock::now() const { return toDateTime(QDateTime::currentDateTime()); }

int LocalUtcOffset::minutesAt(double localDateTime) const {
    constexpr double kQuartersPerDay = 96;
    const auto quarter = static_cast<int64_t>(std::floor(localDateTime * kQuartersPerDay));
    if (quarter != quarter_) {
        minutes_ = fromDateTime(localDateTime).offsetFromUtc() / 60;
        quarter_ = quarter;
    }
    return minutes_;
}

double toDateTime(const QDateTime& local) {
    const QDateTime t = local.toLocalTime();
    const QDate d = t.date();
    const QTime tm = t.time();
    return encodeDateTime(
        {d.year(), d.month(), d.day(), tm.hour(), tm.minute(), tm.second(), tm.msec()});
}

QDateTime fromDateTime(double dateTime) {
    const CivilTime c = decodeDateTime(dateTime);
    return QDateTime(QDate(c.year, c.month, c.day), QTime(c.hour, c.minute, c.second, c.millisecond));
}

} // namespace lw
