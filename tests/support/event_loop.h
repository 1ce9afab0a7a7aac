#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <chrono>

namespace daylume::test {

// Runs Qt's event loop until `done()` holds or `limit` has passed; returns whether it holds.
template <typename Predicate>
bool waitUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    QDeadlineTimer deadline(limit);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Runs Qt's event loop for `time`: for what must not happen, or an answer nothing waits for.
inline void pause(std::chrono::milliseconds time) {
    waitUntil([] { return false; }, time);
}

}  // namespace daylume::test
