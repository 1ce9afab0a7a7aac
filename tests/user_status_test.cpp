// What the tooltip, the window and notifications show as checks start and end.
#include "shell/user_status.h"
#include "support/prelude.h"

namespace daylume::test {
namespace {

class UserStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.bundle.strings = {{"status_checking", "Checking"},
                              {"status_lookup_failed", "Nothing found: %2"},
                              {"status_desktop_failed", "Not set: %2"},
                              {"cause_no_network", "no network"},
                              {"cause_desktop_tool_failed", "%1 failed"}};
    }
    // What the window's activity line says now.
    std::string activity() {
        status.show(nullptr);
        return sim.application.status.activity;
    }
    InstallOutcome installed(const std::string& name) {
        return {.picture = sim.temp.path() / name, .onDesktop = true};
    }

    SimPlatform sim;
    UserStatus status{sim.application, sim.bundle, sim.loop};
    const LookupFailure noNetwork{Cause::NoNetwork};
};

// "Checking" lasts while any lookup or install runs; a lookup's late find after its deadline
// does not count it as ended twice.
TEST_F(UserStatusTest, CheckingLastsUntilTheLastLookupAndInstallEnd) {
    status.lookupStarted();
    status.lookupStarted();
    status.lookupEnded(true, noNetwork);
    status.lookupEnded(false, std::nullopt);
    EXPECT_EQ(activity(), "Checking");
    status.installStarted();
    status.lookupEnded(true, noNetwork);
    EXPECT_EQ(activity(), "Checking");
    status.installEnded({}, installed("a.jpg"));
    EXPECT_EQ(activity(), "");
}

// A failure shows until its step works again; a desktop that cannot be set is notified once, a
// new picture once however often it is set.
TEST_F(UserStatusTest, FailuresShowUntilASuccessAndEachIsNotifiedOnce) {
    status.lookupEnded(false, noNetwork);
    EXPECT_EQ(activity(), "Nothing found: no network");
    status.lookupEnded(false, std::nullopt);
    EXPECT_EQ(activity(), "");

    const Error desktop{"Desktop", 1, "x", Cause::DesktopToolFailed, "gsettings"};
    for (int i = 0; i < 2; ++i) status.installEnded({}, {.error = desktop});
    EXPECT_EQ(activity(), "Not set: gsettings failed");
    status.installEnded({}, {.picture = sim.temp.path() / "a.jpg"});  // no screen
    EXPECT_EQ(activity(), "Not set: cause_no_screen");
    for (const char* name : {"a.jpg", "a.jpg", "b.jpg"})
        status.installEnded({.title = "Boats"}, installed(name));
    EXPECT_EQ(activity(), "");
    ASSERT_EQ(sim.application.notifications.size(), 3u);
    EXPECT_EQ(sim.application.notifications[0].body, "gsettings failed");
    EXPECT_EQ(sim.application.notifications[1].title, "Boats");
    EXPECT_EQ(sim.application.notifications[2].image, sim.temp.path() / "b.jpg");
}

}  // namespace
}  // namespace daylume::test
