#pragma once
// Waiting in tests that run Qt's event loop: the condition is checked while events are
// processed, so the objects under test go on working between the checks.

#include <QEventLoop>
#include <QTimer>

#include "Wait.h"

namespace lw::test {

// Runs the event loop for `ms` milliseconds.
inline void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Condition> bool waitFor(Condition condition, int timeoutMs = kWaitMs) {
    return waitUntil(condition, timeoutMs, [] { spin(10); });
}

} // namespace lw::test
