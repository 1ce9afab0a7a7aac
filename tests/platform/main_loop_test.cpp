// Qt's main loop as the application's: hand-over from other threads and timers.
#include <gtest/gtest.h>

#include <QThread>
#include <thread>

#include "platform/linux/qt_main_loop.h"
#include "support/event_loop.h"

namespace daylume::test {
namespace {

TEST(QtMainLoopTest, TasksFromOtherThreadsRunOnTheMainThread) {
    QtMainLoop loop;
    std::atomic<int> onMain = 0;
    auto check = [&] { onMain += QThread::currentThread() == qApp->thread(); };
    std::thread([&] {
        loop.async(check);
        loop.asyncAfter(Seconds(0.02), check);
    }).join();
    EXPECT_TRUE(waitUntil([&] { return onMain == 2; }));
}

TEST(QtMainLoopTest, TimersRunUntilInvalidatedWhoeverHoldsThem) {
    QtMainLoop loop;
    int ticks = 0;
    // Nobody keeps this one: it runs on until its block invalidates it.
    loop.scheduledTimer(Seconds(0.01), true, [&](const std::shared_ptr<Timer>& timer) {
        if (++ticks == 3) timer->invalidate();
    });
    // A one-shot timer whose block drops the last outside reference to it while it runs.
    std::shared_ptr<Timer> held;
    bool fired = false;
    held = loop.scheduledTimer(Seconds(0.01), false, [&](const std::shared_ptr<Timer>& timer) {
        EXPECT_EQ(timer, held);
        held.reset();
        fired = true;
    });
    EXPECT_TRUE(waitUntil([&] { return ticks == 3 && fired; }));
    waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(held);

    const auto cancelled = loop.scheduledTimer(Seconds(0.01), false, [&](auto&) { ++ticks; });
    EXPECT_TRUE(cancelled->isValid());
    cancelled->invalidate();
    EXPECT_FALSE(cancelled->isValid());
    waitUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(ticks, 3);
}

}  // namespace
}  // namespace daylume::test
