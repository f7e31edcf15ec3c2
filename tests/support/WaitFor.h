#pragma once
// Waiting in tests that run Qt's event loop: check a condition while events are processed, with
// a generous deadline, so a loaded machine slows a test down instead of failing it.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace lw::test {

// Runs the event loop for `ms` milliseconds.
inline void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 15000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        spin(10);
    }
    return true;
}

} // namespace lw::test
