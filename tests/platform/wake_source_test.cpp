// The logind wake source against a private bus where a stand-in plays logind.
#include <gtest/gtest.h>

#include <QDBusMessage>

#include "platform/linux/logind_wake_source.h"
#include "support/event_loop.h"
#include "support/private_bus.h"

namespace daylume::test {
namespace {

void emitPrepareForSleep(QDBusConnection& bus, bool goingToSleep) {
    QDBusMessage signal = QDBusMessage::createSignal(
        "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
    signal << goingToSleep;
    ASSERT_TRUE(bus.send(signal));
}

TEST(LogindWakeSourceTest, ASuspendAndResumeIsExactlyOneWake) {
    PrivateBus bus;  // standing for the system bus
    DBusMock logind(bus, "org.freedesktop.login1", "/org/freedesktop/login1", "logind");
    ASSERT_TRUE(logind.ready());
    auto prepareForSleep = [&](bool goingToSleep) {
        logind.mock("EmitSignal", {"org.freedesktop.login1.Manager", "PrepareForSleep", "b",
                                   QVariantList{goingToSleep}});
    };

    int wakes = 0;
    LogindWakeSource source([&] { ++wakes; }, bus.connect("daylume"));
    // Signals from anyone but logind's owner of the name are not wakes.
    QDBusConnection other = bus.connect("someone-else");
    emitPrepareForSleep(other, false);
    waitUntil([] { return false; }, std::chrono::milliseconds(200));
    prepareForSleep(true);
    prepareForSleep(false);

    EXPECT_TRUE(waitUntil([&] { return wakes == 1; }));
    waitUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(wakes, 1);
}

}  // namespace
}  // namespace daylume::test
