// Start-up, termination, the tray menu, the observers and the dialogs, on the simulated platform.
#include <gtest/gtest.h>

#include "shell/app_delegate.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

const std::string kImage = "https://www.bing.com/th?id=OHR.Today_1920x1080.jpg";

class ShellTest : public ::testing::Test {
protected:
    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

TEST_F(ShellTest, TheTrayIconComesAfterThreeSecondsAndTheLaunchCheckAfterEight) {
    delegate.applicationDidFinishLaunching();
    sim.loop.runUntil(Seconds(2.999));
    EXPECT_EQ(sim.application.statusItemsMade, 0);
    EXPECT_TRUE(sim.notifications.observers.empty());

    sim.loop.runUntil(Seconds(3.0));
    ASSERT_EQ(sim.application.statusItemsMade, 1);
    EXPECT_EQ(sim.application.statusItem->image, "StatusIcon");
    ASSERT_EQ(sim.notifications.observers.size(), 4u);
    EXPECT_EQ(sim.notifications.observers[0].first, SystemEvent::Wake);
    EXPECT_EQ(sim.notifications.observers[1].first, SystemEvent::Activation);

    sim.loop.runUntil(Seconds(7.999));
    EXPECT_TRUE(sim.log.lines().empty());
    sim.loop.runUntil(Seconds(8.0));
    EXPECT_EQ(sim.log.lines(), (std::vector<std::string>{"🕔 启动后静默补偿检查开始",
                                                         "💡 唤醒或激活后尝试补偿拉取新图"}));
    EXPECT_TRUE(delegate.timer && delegate.timer->isValid());
}

TEST_F(ShellTest, QuittingBeforeTheSetUpLeavesNothingToRun) {
    delegate.applicationDidFinishLaunching();
    sim.loop.runUntil(Seconds(1.0));
    delegate.applicationWillTerminate();
    sim.loop.runUntil(Seconds(60));
    EXPECT_EQ(sim.application.statusItemsMade, 0);
    EXPECT_FALSE(delegate.timer);
    EXPECT_TRUE(sim.notifications.observers.empty());
    EXPECT_TRUE(sim.log.lines().empty());
}

TEST_F(ShellTest, TerminationStopsTheTimerAndTheObservers) {
    delegate.applicationDidFinishLaunching();
    sim.loop.runUntil(Seconds(8.0));
    const auto hourly = delegate.timer;
    delegate.applicationWillTerminate();

    EXPECT_EQ(delegate.timer, hourly);  // still referenced, but dead
    EXPECT_FALSE(hourly->isValid());
    EXPECT_TRUE(sim.notifications.observers.empty());
    sim.log.clear();
    sim.notifications.post(SystemEvent::Wake);
    sim.loop.runUntil(Seconds(2 * 3600));
    // Only the launch check's lookups, already under way, still end; nothing new starts.
    for (const std::string& line : sim.log.lines()) {
        EXPECT_FALSE(line.starts_with("🔁")) << line;
        EXPECT_FALSE(line.starts_with("💡")) << line;
    }
    EXPECT_EQ(sim.http.requests().size(), 16u);
}

TEST_F(ShellTest, TheMenuHasSixEntriesWithTitlesShortcutsAndActions) {
    sim.bundle.strings = {{"menu_about", "About Daylume"},
                          {"menu_refresh", "Refresh"},
                          {"menu_source", "Image Source"},
                          {"menu_quit", "Quit"}};
    delegate.setupStatusItem();
    const auto& menu = sim.application.statusItem->menu;

    ASSERT_EQ(menu.size(), 6u);
    const std::vector<std::string> titles = {"About Daylume",    "Refresh", "Image Source",
                                             "menu_toggle_dock", "",        "Quit"};
    const std::string keys = {'i', 'r', 's', 'd', 0, 'q'};
    for (std::size_t i = 0; i < menu.size(); ++i) {
        EXPECT_EQ(menu[i].title, titles[i]);
        EXPECT_EQ(menu[i].keyEquivalent, keys[i]);
        EXPECT_EQ(bool(menu[i].action), i != 4);
    }

    menu[0].action();
    EXPECT_EQ(sim.application.alerts.back().informativeText.find("版本："),
              2u + sim.application.alerts.back().informativeText.find("\n\n"));
    menu[1].action();
    EXPECT_EQ(sim.http.requests().size(), 8u);
    menu[2].action();
    EXPECT_EQ(sim.application.alerts.back().messageText, "alert_no_source");
    menu[3].action();
    EXPECT_EQ(sim.application.policy, ActivationPolicy::Regular);
    EXPECT_EQ(sim.application.terminations, 0);
    menu[5].action();
    EXPECT_EQ(sim.application.terminations, 1);
}

TEST_F(ShellTest, WakesActivationsAndRefreshRequestsRunChecksButNotBeforeTheSetUp) {
    sim.notifications.post(SystemEvent::Wake);  // before any observer exists
    delegate.setupStatusItem();
    sim.notifications.post(SystemEvent::Wake);
    sim.notifications.post(SystemEvent::Activation);
    EXPECT_EQ(sim.log.lines(), (std::vector<std::string>{"💡 唤醒或激活后尝试补偿拉取新图",
                                                         "💡 唤醒或激活后尝试补偿拉取新图"}));
    sim.notifications.post(SystemEvent::RefreshRequest);  // a refresh: no line of its own
    EXPECT_EQ(sim.log.lines().size(), 2u);
    sim.notifications.post(SystemEvent::NetworkReturn);
    EXPECT_EQ(sim.log.lines().size(), 3u);
    EXPECT_EQ(sim.http.requests().size(), 32u);
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

    sim.bundle.settings.clear();
    delegate.showAbout();
    EXPECT_EQ(sim.application.alerts[1].informativeText,
              "100% wallpaper, %d%s %n free\n\n版本：1.0（Build 1）");
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
}

TEST_F(ShellTest, TwoDockTogglesReturnToTheFirstStateAndSayWhatHappened) {
    ASSERT_EQ(sim.application.policy, ActivationPolicy::Accessory);
    delegate.toggleDockVisibility();
    EXPECT_EQ(sim.application.policy, ActivationPolicy::Regular);
    delegate.toggleDockVisibility();
    EXPECT_EQ(sim.application.policy, ActivationPolicy::Accessory);
    ASSERT_EQ(sim.application.alerts.size(), 2u);
    EXPECT_EQ(sim.application.alerts[0].messageText, "alert_title");
    EXPECT_EQ(sim.application.alerts[0].informativeText, "alert_dock_shown");
    EXPECT_EQ(sim.application.alerts[1].informativeText, "alert_dock_hidden");
}

}  // namespace
}  // namespace daylume::test
