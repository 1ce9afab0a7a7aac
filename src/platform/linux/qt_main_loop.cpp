#include "platform/linux/qt_main_loop.h"

#include <QThread>
#include <QTimer>
#include <cmath>

namespace daylume {
namespace {

std::chrono::milliseconds toMilliseconds(Seconds delay) {
    return std::chrono::milliseconds(std::llround(delay.count() * 1000.0));
}

// A QTimer that keeps running while valid, even when no caller holds it any more, like a timer
// owned by the run loop. Qt's default coarse timers may fire up to 5% late, which on a 19-hour
// timer is most of an hour: these are precise.
class QtTimer final : public Timer, public std::enable_shared_from_this<QtTimer> {
public:
    static std::shared_ptr<QtTimer> start(Seconds interval, bool repeats, TimerBlock block) {
        auto timer = std::shared_ptr<QtTimer>(new QtTimer(std::move(block)));
        timer->self_ = timer;
        timer->timer_.setTimerType(Qt::PreciseTimer);
        timer->timer_.setSingleShot(!repeats);
        timer->timer_.setInterval(toMilliseconds(interval));
        QObject::connect(&timer->timer_, &QTimer::timeout, &timer->timer_,
                         [raw = timer.get()] { raw->fire(); });
        timer->timer_.start();
        return timer;
    }

    void invalidate() override {
        timer_.stop();
        self_.reset();  // may be the last reference; nothing touches `this` after it
    }
    bool isValid() const override { return timer_.isActive(); }

private:
    explicit QtTimer(TimerBlock block) : block_(std::move(block)) {}

    void fire() {
        // Held for the call: the block may drop every other reference to this timer.
        const std::shared_ptr<QtTimer> keep = shared_from_this();
        if (timer_.isSingleShot()) self_.reset();
        block_(keep);
    }

    QTimer timer_;
    TimerBlock block_;
    std::shared_ptr<QtTimer> self_;  // the loop's reference while the timer is valid
};

}  // namespace

void QtMainLoop::async(Task task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void QtMainLoop::asyncAfter(Seconds delay, Task task) {
    const auto ms = toMilliseconds(delay);
    if (QThread::currentThread() != context_.thread()) {
        async([this, ms, task = std::move(task)]() mutable {
            QTimer::singleShot(ms, Qt::PreciseTimer, &context_, std::move(task));
        });
        return;
    }
    QTimer::singleShot(ms, Qt::PreciseTimer, &context_, std::move(task));
}

std::shared_ptr<Timer> QtMainLoop::scheduledTimer(Seconds interval, bool repeats,
                                                  TimerBlock block) {
    return QtTimer::start(interval, repeats, std::move(block));
}

Date QtMainLoop::currentDate() const {
    return std::chrono::system_clock::now();
}

}  // namespace daylume
