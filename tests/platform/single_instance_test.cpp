// One Daylume per user: a later launch is handed to the first one.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/linux/single_instance.h"
#include "support/event_loop.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

TEST(SingleInstanceTest, ASecondLaunchIsHandedToTheFirst) {
    TempDir runtime;
    const QString socket = QString::fromStdString((runtime.path() / "daylume.socket").string());
    SingleInstance first(socket);
    int launches = 0;
    QObject::connect(&first, &SingleInstance::launchedAgain, [&] { ++launches; });
    ASSERT_TRUE(first.claim());

    SingleInstance second(socket);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(waitUntil([&] { return launches == 1; }));
    SingleInstance third(socket);
    EXPECT_FALSE(third.claim());
    EXPECT_TRUE(waitUntil([&] { return launches == 2; }));
}

TEST(SingleInstanceTest, ASocketLeftByACrashedInstanceDoesNotBlockTheNextStart) {
    TempDir runtime;
    const auto path = runtime.path() / "daylume.socket";
    std::ofstream(path) << "";  // nobody listens here
    SingleInstance instance(QString::fromStdString(path.string()));
    EXPECT_TRUE(instance.claim());
}

}  // namespace
}  // namespace daylume::test
