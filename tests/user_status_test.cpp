// What the tooltip, the window and notifications show as checks start and end.
#include "shell/user_status.h"
#include "support/prelude.h"

namespace daylume::test {
namespace {
namespace fs = std::filesystem;

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
    std::string activity(bool installing = false) {
        status.show(nullptr, installing);
        return sim.application.status.activity;
    }

    SimPlatform sim;
    UserStatus status{sim.application, sim.bundle, sim.loop, *Url::parse("https://www.bing.com")};
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
    status.lookupEnded(true, noNetwork);
    EXPECT_EQ(activity(true), "Checking");
    EXPECT_EQ(activity(), "Nothing found: no network");
}

// A failure shows until its step works again. A desktop that cannot be set is notified once for
// each cause until a success; a picture once, when it first reaches the desktop.
TEST_F(UserStatusTest, FailuresShowUntilASuccessAndEachIsNotifiedOnce) {
    status.lookupEnded(false, noNetwork);
    EXPECT_EQ(activity(), "Nothing found: no network");
    status.lookupEnded(false, std::nullopt);
    EXPECT_EQ(activity(), "");

    const Error failed{ErrorDomain::Desktop, 1, "x", Cause::DesktopToolFailed, "gsettings"};
    const Error missing{ErrorDomain::Desktop, 1, "x", Cause::DesktopToolMissing};
    const fs::path a = sim.temp.path() / "a.jpg", b = sim.temp.path() / "b.jpg";
    status.installEnded({}, {.picture = a, .newCopy = true, .error = failed});
    status.installEnded({}, {.error = failed});
    EXPECT_EQ(activity(), "Not set: gsettings failed");
    status.installEnded({}, {.error = missing});
    status.installEnded({}, {.picture = a});  // no screen
    EXPECT_EQ(activity(), "Not set: cause_no_screen");
    for (const auto& [picture, newCopy] : {std::pair{a, false}, {a, false}, {b, true}})
        status.installEnded({.facts = {.title = "Boats"}},
                            {.picture = picture, .newCopy = newCopy, .onDesktop = true});
    EXPECT_EQ(activity(), "");
    status.installEnded({}, {.error = failed});
    const auto& told = sim.application.notifications;
    ASSERT_EQ(told.size(), 5u);
    EXPECT_EQ(told[0].body, "gsettings failed");
    EXPECT_EQ(told[1].body, "cause_desktop_tool_missing");
    EXPECT_EQ(told[2].title, "Boats");
    EXPECT_EQ(told[2].image, a);
    EXPECT_EQ(told[3].image, b);
    EXPECT_EQ(told[4].body, "gsettings failed");
}

// The status says which step failed, by who reported it, and why in words the user can act on.
TEST_F(UserStatusTest, AFailedInstallNamesItsStepAndCause) {
    sim.bundle.strings = {{"status_download_failed", "download: %2"},
                          {"status_store_failed", "store: %2"},
                          {"status_desktop_failed", "desktop: %2"}};
    for (const auto& [error, said] : std::vector<std::pair<Error, std::string>>{
             {{ErrorDomain::Picture, 1, "x", Cause::HttpStatus, "404"},
              "download: cause_http_status"},
             {posixError(EROFS, "/data/Daylume"), "store: cause_folder_read_only"},
             {posixError(EDQUOT, "/data/Daylume"), "store: cause_disk_full"},
             {posixError(EIO, "/data/Daylume"), "store: cause_file_error"},
             {{ErrorDomain::Desktop, 1, "x", Cause::NoDesktop}, "desktop: cause_no_desktop"}}) {
        status.installEnded({}, {.error = error});
        EXPECT_EQ(activity(), said);
    }
}

}  // namespace
}  // namespace daylume::test
