#include "SystemClock.h"

#include "DateTime.h"

namespace lw {

double SystemClock::now() const { return toDateTime(QDateTime::currentDateTime()); }

int LocalUtcOffset::minutesAt(double localDateTime) const {
    return fromDateTime(localDateTime).offsetFromUtc() / 60;
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
