// Start-up, termination, the tray menu, the observers and the dialogs, on the simulated platform.
#include <fstream>

#include "support/prelude.h"

namespace daylume::test {
namespace {

const std::string kImage = "https://www.bing.com/th?id=OHR.Today_1920x1080.jpg";

class ShellTest : public ::testing::Test {
protected:
    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

// The tray icon and its menu come 3 s after the launch, the launch check 5 s later; wakes,
// activations and refresh requests run checks from then on, and not before.
TEST_F(ShellTest, TheTrayIconComesAfterThreeSecondsThenEventsRunChecks) {
    delegate.applicationDidFinishLaunching();
    sim.notifications.post(SystemEvent::Wake);  // before any observer exists
    sim.loop.runUntil(Seconds(2.999));
    EXPECT_EQ(sim.application.statusItemsMade, 0);
    sim.loop.runUntil(Seconds(3.0));
    ASSERT_EQ(sim.application.statusItemsMade, 1);
    EXPECT_EQ(sim.application.statusItem->image, "StatusIcon");
    sim.notifications.post(SystemEvent::Relaunch);  // with a tray, no window shows
    EXPECT_EQ(sim.application.presented, 0);
    EXPECT_EQ(sim.application.statusActions.size(), 2u);
    EXPECT_TRUE(sim.log.lines().empty());
    sim.notifications.post(SystemEvent::Wake);
    sim.notifications.post(SystemEvent::Activation);
    sim.notifications.post(SystemEvent::RefreshRequest);  // a refresh: no line of its own
    sim.notifications.post(SystemEvent::NetworkReturn);
    EXPECT_EQ(sim.log.lines(), std::vector<std::string>(3, kWake));
    EXPECT_EQ(sim.http.requests().size(), 32u);

    sim.loop.runUntil(Seconds(7.999));
    EXPECT_EQ(sim.log.lines().size(), 3u);
    sim.loop.runUntil(Seconds(8.0));
    EXPECT_EQ(sim.log.lines().at(3), "🕔 启动后静默补偿检查开始");
    EXPECT_TRUE(delegate.timer && delegate.timer->isValid());

    // The menu's entries do what they say.
    const auto& menu = sim.application.statusItem->menu;
    ASSERT_EQ(menu.size(), 7u);
    menu[0].action();
    EXPECT_EQ(sim.application.alerts.back().messageText, "alert_title");
    const auto requests = sim.http.requests().size();
    menu[1].action();
    EXPECT_EQ(sim.http.requests().size(), requests + 8);
    menu[2].action();
    EXPECT_EQ(sim.application.alerts.back().messageText, "alert_no_source");
    menu[3].action();
    EXPECT_EQ(sim.application.preferencesDialogs, 1);
    // Two toggles return to the first state, and each says what happened.
    menu[4].action();
    EXPECT_EQ(sim.application.policy, ActivationPolicy::Regular);
    EXPECT_EQ(sim.application.alerts.back().informativeText, "alert_dock_shown");
    menu[4].action();
    EXPECT_EQ(sim.application.policy, ActivationPolicy::Accessory);
    EXPECT_EQ(sim.application.alerts.back().informativeText, "alert_dock_hidden");
    EXPECT_EQ(sim.application.terminations, 0);
    menu[6].action();
    EXPECT_EQ(sim.application.terminations, 1);
}

// Without a tray the window is Daylume's face: shown when the user launches Daylume, and again at
// a second launch, not at login; it offers the menu's commands besides its own buttons.
TEST(ShellWithoutTrayTest, TheWindowShowsForTheUserAndOffersTheMenu) {
    for (const bool atLogin : {false, true}) {
        SimPlatform sim;
        sim.application.trayHost = false;
        AppDelegate delegate(sim.platform);
        delegate.startedAtLogin = atLogin;
        delegate.applicationDidFinishLaunching();
        sim.loop.runUntil(Seconds(3));
        EXPECT_EQ(sim.application.presented, atLogin ? 0 : 1);
        std::vector<std::string> titles;
        for (const MenuEntry& action : sim.application.statusActions)
            titles.push_back(action.title);
        EXPECT_EQ(titles,
                  (std::vector<std::string>{"menu_refresh", "button_open_folder", "menu_about",
                                            "menu_source", "menu_preferences", "menu_quit"}));
        sim.notifications.post(SystemEvent::Relaunch);
        EXPECT_EQ(sim.application.presented, atLogin ? 1 : 2);
    }
}

// Quitting before the deferred set-up, or after it: nothing new starts, and only lookups
// already under way still end.
TEST(ShellQuitTest, QuittingStopsTheSetUpTheTimerAndTheObservers) {
    for (const double quitAt : {1.0, 8.0}) {
        SimPlatform sim;
        AppDelegate delegate(sim.platform);
        delegate.applicationDidFinishLaunching();
        sim.loop.runUntil(Seconds(quitAt));
        const auto armed = delegate.timer;
        delegate.applicationWillTerminate();
        EXPECT_EQ(delegate.timer, armed);
        EXPECT_TRUE(!armed || !armed->isValid());
        EXPECT_TRUE(sim.notifications.observers.empty());
        const auto before = sim.log.lines().size();
        sim.notifications.post(SystemEvent::Wake);
        sim.loop.runUntil(Seconds(2 * 3600));
        EXPECT_EQ(sim.application.statusItemsMade, quitAt < 3 ? 0 : 1);
        EXPECT_EQ(sim.http.requests().size(), quitAt < 8 ? 0u : 16u);
        const auto lines = sim.log.lines();
        for (auto line = lines.begin() + long(before); line != lines.end(); ++line)
            EXPECT_TRUE(line->starts_with("❌")) << *line;
    }
}

TEST_F(ShellTest, AboutShowsTheTextAndTheVersionBlock) {
    sim.bundle.strings = {{"alert_title", "Daylume"},
                          {"alert_about", "100%% wallpaper, %d%s %n free"}};
    delegate.showAbout();
    ASSERT_EQ(sim.application.alerts.size(), 1u);
    const Alert& about = sim.application.alerts[0];
    EXPECT_EQ(about.messageText, "Daylume");
    EXPECT_EQ(about.informativeText, "100% wallpaper, %d%s %n free\n\n版本：2.3（Build 17）");
    EXPECT_TRUE(about.informational);
    EXPECT_TRUE(about.buttons.empty());
}

TEST_F(ShellTest, TheImageSourceDialogOpensExactlyTheCurrentImageOnlyWhenAsked) {
    delegate.showImageSource();
    ASSERT_EQ(sim.application.alerts.size(), 1u);
    EXPECT_EQ(sim.application.alerts[0].messageText, "alert_no_source");
    EXPECT_EQ(sim.application.alerts[0].informativeText, "alert_no_source_detail");
    EXPECT_TRUE(sim.application.alerts[0].buttons.empty());
    EXPECT_FALSE(sim.application.alerts[0].informational);

    delegate.currentImageURL = Url::parse(kImage + "&rf=LaDigue_1920x1080.jpg");
    sim.application.answers = {0, kAlertFirstButtonReturn + 1, kAlertFirstButtonReturn};
    delegate.showImageSource();  // closed with "button_close"
    EXPECT_TRUE(sim.application.openedURLs.empty());
    delegate.showImageSource();  // "button_open"
    EXPECT_EQ(sim.application.openedURLs,
              std::vector<std::string>{kImage + "&rf=LaDigue_1920x1080.jpg"});
    const Alert& link = sim.application.alerts[2];
    EXPECT_EQ(link.messageText, "alert_image_link");
    EXPECT_EQ(link.informativeText, kImage + "&rf=LaDigue_1920x1080.jpg");
    EXPECT_EQ(link.buttons, (std::vector<std::string>{"button_open", "button_close"}));

    // What the picture shows and who took it stand above the address, when the answer said.
    sim.http.script(marketURL("en-US"),
                    {Seconds(0), R"({"images":[{"url":"/th?id=OHR.Today_1920x1080.jpg",
                                         "title":"Boats","copyright":"© A"}]})"});
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(1));
    delegate.showImageSource();
    EXPECT_EQ(sim.application.alerts.back().informativeText, "Boats\n© A\n\n" + kImage);
}

// The tooltip and the task-bar window say what the picture is, when it was set and what Daylume
// is doing, and why a step failed.
TEST_F(ShellTest, TheStatusTellsThePictureTheWorkAndWhatFailed) {
    sim.bundle.strings = {{"status_set_at", "Set at %1"},
                          {"status_checking", "Checking"},
                          {"status_lookup_failed", "Nothing found at %1: %2"},
                          {"status_download_failed", "The download failed at %1: %2"},
                          {"cause_no_network", "no network"},
                          {"cause_connection_closed", "closed"}};
    sim.bundle.locale = "fr_FR";  // the market that answers: its facts are final at once
    sim.loop.startDate += std::chrono::hours(8);
    const ScriptedAnswer boats{Seconds(0.2), R"({"images":[{"url":"/th?id=OHR.Boats.jpg",
                                                "title":"Boats","copyright":"© A"}]})"};
    sim.http.script(marketURL("fr-FR"), boats);
    sim.http.script("https://www.bing.com/th?id=OHR.Boats.jpg", {Seconds(0.5), jpegBytes()});
    delegate.setupStatusItem();
    const std::string& tip = sim.application.statusItem->toolTip;
    EXPECT_EQ(tip, "Daylume\nstatus_no_picture");
    sim.loop.runUntil(Seconds(5.5));  // the lookups have ended, the install runs
    EXPECT_EQ(tip, "Daylume\nstatus_no_picture\nChecking");
    sim.loop.runUntil(Seconds(10));
    EXPECT_EQ(tip, "Daylume\nBoats\n© A\nSet at 08:00");
    EXPECT_EQ(sim.application.status.picture, sim.desktop.pictures.at(0));
    ASSERT_EQ(sim.application.notifications.size(), 1u);
    EXPECT_EQ(sim.application.notifications[0].title, "Boats");
    EXPECT_EQ(sim.application.notifications[0].body, "© A");
    EXPECT_EQ(sim.application.notifications[0].image, sim.desktop.pictures[0]);

    sim.http.script(
        marketURL("fr-FR"),
        {Seconds(0.1), std::nullopt, {}, Error{ErrorDomain::Network, 2, "x", Cause::NoNetwork}});
    delegate.refreshWallpaper();
    sim.loop.runFor(Seconds(60));
    EXPECT_EQ(tip, "Daylume\nBoats\n© A\nSet at 08:00\nNothing found at 08:00: no network");
    sim.http.script(marketURL("fr-FR"), boats);
    sim.http.script("https://www.bing.com/th?id=OHR.Boats.jpg",
                    {Seconds(0.5),
                     std::nullopt,
                     {},
                     Error{ErrorDomain::Network, 4, "x", Cause::ConnectionClosed}});
    delegate.refreshWallpaper();
    sim.loop.runFor(Seconds(60));
    EXPECT_EQ(tip, "Daylume\nBoats\n© A\nSet at 08:00\nThe download failed at 08:01: closed");

    // Launched again the same day, Daylume shows at once the picture it remembers on the
    // desktop, and sets the kept copy: not a new picture to announce.
    sim.application.status = {};
    AppDelegate relaunched(sim.platform);
    relaunched.applicationDidFinishLaunching();
    EXPECT_EQ(sim.application.status.title, "Boats");
    EXPECT_EQ(sim.application.status.picture, sim.desktop.pictures.at(0));
    EXPECT_TRUE(sim.application.preferences.canSaveCopy);
    relaunched.showImageSource();
    EXPECT_EQ(sim.application.alerts.back().informativeText,
              "Boats\n© A\n\nhttps://www.bing.com/th?id=OHR.Boats.jpg");
    sim.http.script("https://www.bing.com/th?id=OHR.Boats.jpg", {Seconds(0.5), jpegBytes()});
    relaunched.refreshWallpaper();
    sim.loop.runFor(Seconds(60));
    EXPECT_EQ(sim.desktop.pictures.size(), 3u);  // and the launch check's
    EXPECT_EQ(sim.application.notifications.size(), 1u);

    // What cannot be read, or names a picture no longer kept, is nothing known.
    const auto memory = sim.temp.path() / "state/Daylume/shown.json";
    const std::string remembered = readText(memory);
    auto known = [&](const std::string& text) {
        sim.application.preferences = {};
        std::ofstream(memory) << text;
        AppDelegate(sim.platform).applicationDidFinishLaunching();
        return sim.application.preferences.canSaveCopy;
    };
    EXPECT_FALSE(known("{\"address\": 7"));
    EXPECT_FALSE(known(remembered + std::string(70000, ' ')));
    std::filesystem::remove(sim.desktop.pictures.at(0));
    EXPECT_FALSE(known(remembered));
}

// Titles come from the market in the user's language when it names the same picture before the
// deadline, whichever market answered first; "Info" is no title, the credit says what it shows.
TEST_F(ShellTest, TitlesComeFromTheUsersMarketForTheSamePicture) {
    sim.bundle.locale = "en_GB.UTF-8";
    const auto answer = [](const std::string& id, const std::string& title) {
        return R"j({"images":[{"url":"/th?id=OHR.)j" + id + R"j(_1920x1080.jpg","title":")j" +
               title + R"j(","copyright":"Owl (© A)"}]})j";
    };
    sim.http.script(marketURL("ja-JP"), {Seconds(0.1), answer("Owl_JA-JP1", "フクロウ")});
    sim.http.script(marketURL("en-GB"),
                    std::vector<ScriptedAnswer>{{Seconds(1), answer("Owl_ROW2", "Info")},
                                                {Seconds(1), answer("Cat_EN-GB3", "Cat")},
                                                {Seconds(6), answer("Owl_EN-GB4", "Late")},
                                                {Seconds(3), answer("Owl_EN-GB5", "Snowy owl")}});
    // The picture is on the desktop before the user's market answers: its notification waits.
    sim.http.script("https://www.bing.com/th?id=OHR.Owl_JA-JP1_1920x1080.jpg",
                    {Seconds(0.1), jpegBytes()});
    for (const char* title : {"Owl", "フクロウ", "フクロウ", "Snowy owl"}) {
        delegate.refreshWallpaper();
        sim.loop.runFor(Seconds(10));
        EXPECT_EQ(sim.application.status.title, title);
        delegate.showImageSource();
        EXPECT_TRUE(sim.application.alerts.back().informativeText.starts_with(title));
    }
    ASSERT_EQ(sim.application.notifications.size(), 1u);
    EXPECT_EQ(sim.application.notifications[0].title, "Owl");
}

}  // namespace
}  // namespace daylume::test
