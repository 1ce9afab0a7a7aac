// What the system bus tells: resumes from logind, the network's return from NetworkManager, each
// against python-dbusmock on the test's own bus, standing for the system bus.
#include <gtest/gtest.h>

#include <QDBusMessage>

#include "platform/linux/logind_wake_source.h"
#include "platform/linux/network_monitor.h"
#include "support/dbus_mock.h"
#include "support/event_loop.h"

namespace daylume::test {
namespace {

void settle() {
    waitUntil([] { return false; }, std::chrono::milliseconds(300));
}

TEST(SystemEventsTest, ASuspendAndResumeIsExactlyOneWake) {
    DBusMock logind("org.freedesktop.login1", "/org/freedesktop/login1", "logind");
    ASSERT_TRUE(logind.ready());
    int wakes = 0;
    LogindWakeSource source([&] { ++wakes; }, QDBusConnection::sessionBus());
    // Signals from anyone but logind are not wakes.
    QDBusMessage impostor = QDBusMessage::createSignal(
        "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
    impostor << false;
    QDBusConnection::connectToBus(QDBusConnection::SessionBus, "someone-else").send(impostor);
    for (bool goingToSleep : {true, false})
        logind.mock("EmitSignal", {"org.freedesktop.login1.Manager", "PrepareForSleep", "b",
                                   QVariantList{goingToSleep}});
    EXPECT_TRUE(waitUntil([&] { return wakes == 1; }));
    settle();
    EXPECT_EQ(wakes, 1);
}

TEST(SystemEventsTest, OnlyAReturnToFullNetworkAccessCounts) {
    DBusMock manager("org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager",
                     "networkmanager");
    ASSERT_TRUE(manager.ready());
    int returns = 0;
    NetworkMonitor monitor([&] { ++returns; }, QDBusConnection::sessionBus());
    settle();  // it starts online: no change
    auto enter = [&](uint state) {
        manager.mock("SetGlobalConnectionState", {state});
        settle();
    };
    enter(70);  // online to online
    EXPECT_EQ(returns, 0);
    enter(20);  // disconnected
    enter(70);
    EXPECT_EQ(returns, 1);
    enter(60);  // a network without the internet, then the internet again
    enter(70);
    EXPECT_EQ(returns, 2);
}

}  // namespace
}  // namespace daylume::test
