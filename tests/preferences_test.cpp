// Ultra HD, the lock screen and the copy to keep, on the simulated platform.
#include "shell/text_format.h"
#include "support/prelude.h"

namespace daylume::test {
namespace {

const std::string kFound = "https://www.bing.com/th?id=OHR.Owl_EN-US1_1920x1080.jpg";
const std::string kUltraHD = "https://www.bing.com/th?id=OHR.Owl_EN-US1_UHD.jpg";

class PreferencesTest : public ::testing::Test {
protected:
    PreferencesTest() {
        sim.http.script(marketURL("en-US"),
                        {Seconds(0.1), R"({"images":[{"url":"/th?id=OHR.Owl_EN-US1_1920x1080.jpg)"
                                       R"(&pid=hp","urlbase":"/th?id=OHR.Owl_EN-US1&pid=hp",)"
                                       R"("title":"Owl/Night"}]})"});
        sim.http.script(kFound, {Seconds(0.5), jpegBytes(64, 36, 1)});
        sim.http.script(kUltraHD, {Seconds(0.5), jpegBytes(128, 72, 2)});
    }
    // Launches, then refreshes and waits for the install.
    void refresh() {
        delegate.refreshWallpaper();
        sim.loop.runFor(Seconds(60));
    }
    std::vector<std::string> downloads() const {
        std::vector<std::string> urls;
        for (const auto& request : sim.http.downloads()) urls.push_back(request.url);
        return urls;
    }

    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

// On a screen larger than 1920×1080 the Ultra HD picture is downloaded, or the one found when
// there is none; everything else (the log, the current address) stays the found picture's.
TEST_F(PreferencesTest, UltraHDOnALargeScreenFallsBackOnceToThePictureFound) {
    delegate.loadPreferences();
    sim.desktop.screenSize = {3840, 2160};
    refresh();
    EXPECT_EQ(downloads(), std::vector<std::string>{kFound});  // off by default
    EXPECT_EQ(sim.application.preferences.ultraHDNote, "preferences_screen_larger");

    // Turned on, it fetches the sharper picture at once, in place of the smaller copy and with
    // no second notification, and is kept.
    sim.application.preferenceActions.changed(Preference::UltraHD, true);
    sim.loop.runFor(Seconds(60));
    EXPECT_TRUE(sim.preferences.kept.ultraHD);
    EXPECT_EQ(downloads(), (std::vector<std::string>{kFound, kUltraHD}));
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);
    EXPECT_EQ(sim.storedNames().size(), 1u);
    EXPECT_EQ(sim.application.notifications.size(), 1u);
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kFound);
    EXPECT_EQ(sim.log.lines().back().rfind(kInstalled, 0), 0u);
    EXPECT_EQ(sim.application.preferences.ultraHDNote, "");

    // An older picture without one: the found address, once, even when that fails as well.
    sim.http.script(kUltraHD, {Seconds(0.5), "Not Found", {404, "text/html"}});
    refresh();
    EXPECT_EQ(downloads().size(), 4u);
    EXPECT_EQ(downloads().back(), kFound);
    EXPECT_EQ(sim.desktop.pictures.size(), 3u);
    sim.http.script(kFound, {Seconds(0.5), "Not Found", {404, "text/html"}});
    refresh();
    EXPECT_EQ(downloads().size(), 6u);
    EXPECT_EQ(sim.desktop.pictures.size(), 3u);

    // So after any final failure of the Ultra HD picture: a placeholder with an error status,
    // a broken picture.
    sim.http.script(kFound, {Seconds(0.5), jpegBytes(64, 36, 1)});
    for (const ScriptedAnswer& failed :
         {ScriptedAnswer{Seconds(0.5), jpegBytes(32, 18, 7), {404, "image/jpeg"}},
          ScriptedAnswer{Seconds(0.5), jpegBytes(128, 72, 2).substr(0, 300)}}) {
        sim.http.script(kUltraHD, failed);
        refresh();
        EXPECT_EQ(downloads().back(), kFound);
    }
    EXPECT_EQ(downloads().size(), 10u);
    EXPECT_EQ(sim.desktop.pictures.size(), 5u);

    // Larger in one direction is larger; a screen the found picture fills gets that.
    sim.http.script(kUltraHD, {Seconds(0.5), jpegBytes(128, 72, 2)});
    sim.desktop.screenSize = {1920, 1200};
    refresh();
    EXPECT_EQ(downloads().back(), kUltraHD);
    sim.desktop.screenSize = {1920, 1080};
    refresh();
    EXPECT_EQ(downloads().size(), 12u);
    EXPECT_EQ(downloads().back(), kFound);
}

TEST_F(PreferencesTest, TheLockScreenFollowsAndItsFailureHidesNoDesktopSuccess) {
    sim.bundle.strings = {{"status_lock_screen_failed", "Lock screen failed at %1: %2"},
                          {"cause_desktop_tool_missing", "%1 is missing"}};
    sim.preferences.kept.lockScreen = true;
    delegate.loadPreferences();
    refresh();
    EXPECT_EQ(sim.desktop.lockScreenPictures, sim.desktop.pictures);
    EXPECT_EQ(sim.application.status.activity, "");

    sim.desktop.lockScreenFailure =
        Error{ErrorDomain::Desktop, 1, "x", Cause::DesktopToolMissing, "kwriteconfig5"};
    const auto lines = sim.log.lines().size();
    sim.http.script(kFound, {Seconds(0.5), jpegBytes(64, 36, 3)});
    refresh();
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);
    EXPECT_EQ(sim.application.status.picture, sim.desktop.pictures.back());
    EXPECT_EQ(sim.application.status.activity,
              "Lock screen failed at 00:01: kwriteconfig5 is missing");
    EXPECT_EQ(sim.log.lines().size(), lines + 2);  // no line of its own
    // The copy the lock screen still names stays, though a newer copy of it came.
    EXPECT_TRUE(std::filesystem::exists(sim.desktop.lockScreenPictures.at(0)));

    // Turned off, the lock screen shows what it did before; on again, today's picture at once.
    sim.desktop.lockScreenFailure.reset();
    sim.application.preferenceActions.changed(Preference::LockScreen, false);
    sim.loop.runFor(Seconds(1));
    EXPECT_EQ(sim.desktop.lockScreenPictures.back(), "");
    sim.application.preferenceActions.changed(Preference::LockScreen, true);
    sim.loop.runFor(Seconds(1));
    EXPECT_EQ(sim.desktop.lockScreenPictures.back(), sim.desktop.pictures.back());

    // A lock screen that shows the desktop picture, or none Daylume knows, is not set.
    sim.desktop.lockScreenKind = LockScreen::DesktopPicture;
    refresh();
    EXPECT_EQ(sim.desktop.lockScreenPictures.size(), 3u);
    EXPECT_EQ(sim.application.preferences.lockScreenNote, "preferences_lock_screen_shows_desktop");
    sim.desktop.lockScreenKind = LockScreen::Unknown;
    delegate.updateStatus();
    EXPECT_EQ(sim.application.preferences.lockScreenNote, "preferences_lock_screen_unknown");
    EXPECT_FALSE(sim.application.preferences.chosen.lockScreen);
}

TEST_F(PreferencesTest, ACopyIsOfferedOnceAPictureIsShownAndAFailedSaveKeepsTheChoice) {
    delegate.loadPreferences();
    delegate.updateStatus();
    EXPECT_FALSE(sim.application.preferences.canSaveCopy);
    sim.application.preferenceActions.saveCopy();
    EXPECT_TRUE(sim.application.savedCopies.empty());
    refresh();
    EXPECT_TRUE(sim.application.preferences.canSaveCopy);
    sim.application.preferenceActions.saveCopy();
    ASSERT_EQ(sim.application.savedCopies.size(), 1u);
    EXPECT_EQ(sim.application.savedCopies[0].first, sim.desktop.pictures.back());
    EXPECT_EQ(sim.application.savedCopies[0].second, "Owl Night.jpg");

    sim.preferences.failure = Error{ErrorDomain::Posix, 13, "could not write", Cause::FileError};
    sim.application.preferenceActions.changed(Preference::StartAtLogin, true);
    EXPECT_EQ(sim.application.alerts.back().messageText, "alert_preferences_not_saved");
    EXPECT_FALSE(sim.application.preferences.chosen.startAtLogin);

    // In a sandbox, starting at login is the desktop's to choose: off, with the reason.
    sim.preferences.kept.startAtLogin = true;
    sim.preferences.sandboxed = true;
    delegate.loadPreferences();
    delegate.updateStatus();
    EXPECT_FALSE(sim.application.preferences.chosen.startAtLogin);
    EXPECT_EQ(sim.application.preferences.startAtLoginNote, "preferences_start_at_login_sandboxed");
}

// Off, a new picture comes without a notification; a region chosen is kept and looked up at once.
TEST_F(PreferencesTest, NewPicturesGoUnannouncedWhenAskedAndARegionShowsAtOnce) {
    sim.preferences.kept.notify = false;
    delegate.loadPreferences();
    refresh();
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);
    EXPECT_TRUE(sim.application.notifications.empty());
    const auto asked = sim.http.requests().size();
    sim.application.preferenceActions.regionChosen("en-US");
    EXPECT_EQ(sim.preferences.kept.region, "en-US");
    EXPECT_EQ(sim.http.requests().size(), asked + marketCodes.size());
}

TEST(FileNameTest, KeepsTheTitleReadableAndTheNameSafe) {
    EXPECT_EQ(fileNameFor("Owl/Night\n", "jpg"), "Owl Night.jpg");
    EXPECT_EQ(fileNameFor("..", "png"), "Daylume.png");
    EXPECT_EQ(fileNameFor(".hidden", "jpg"), "hidden.jpg");
    const std::string name =
        fileNameFor(std::string(160, 'a') + std::string(30, '\0') + "猫猫猫猫", "jpg");
    EXPECT_EQ(name, std::string(160, 'a') + std::string(30, ' ') + "猫猫猫.jpg");
}

}  // namespace
}  // namespace daylume::test
