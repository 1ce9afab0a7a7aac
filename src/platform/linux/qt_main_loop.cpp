#include "platform/linux/qt_main_loop.h"

#include <QThread>
#include <QTimer>
#include <cmath>

namespace daylume {

void QtMainLoop::async(Task task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void QtMainLoop::asyncAfter(Seconds delay, Task task) {
    // Qt's default coarse timers may fire up to 5% late; the delays here are exact times.
    const auto ms = std::chrono::milliseconds(std::llround(delay.count() * 1000.0));
    if (QThread::currentThread() != context_.thread()) {
        async([this, ms, task = std::move(task)]() mutable {
            QTimer::singleShot(ms, Qt::PreciseTimer, &context_, std::move(task));
        });
        return;
    }
    QTimer::singleShot(ms, Qt::PreciseTimer, &context_, std::move(task));
}

}  // namespace daylume
