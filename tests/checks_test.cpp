// The refresh, launch and wake checks from lookup to install, on the simulated platform.
#include <gtest/gtest.h>

#include "shell/app_delegate.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

using Queue = SimLoop::Queue;
const std::string kImage = "https://www.bing.com/th?id=OHR.Today_1920x1080.jpg";
const ScriptedAnswer kPicture{Seconds(0.5), jpegBytes(), {200, "image/jpeg"}};
const ScriptedAnswer kClosed{Seconds(0.5), std::nullopt, {0, ""}, Error{"Network", 4, "closed"}};
const std::string kWake = "💡 唤醒或激活后尝试补偿拉取新图";
const std::string kUnchanged = "ℹ️ 唤醒后图未变，无需刷新";
const std::string kNewOnWake = "✅ 唤醒后检测到新图，开始更新";

class ChecksTest : public ::testing::Test {
protected:
    void SetUp() override { sim.http.script(kImage, kPicture); }
    // A market's answer naming `image` after `delay` seconds.
    static ScriptedAnswer today(double delay, const std::string& image = kImage) {
        return {Seconds(delay), answerWithURL(image.substr(20))};
    }
    std::vector<std::string> linesAfter(std::size_t first) const {
        const auto lines = sim.log.lines();
        return {lines.begin() + std::ptrdiff_t(std::min(first, lines.size())), lines.end()};
    }

    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

TEST_F(ChecksTest, ARefreshInstallsOffTheMainThreadAndPrintsNothingOfItsOwn) {
    sim.http.script(marketURL("fr-FR"),
                    {Seconds(0.2), answerWithURL("/th?id=OHR.Today_1920x1080.jpg&pid=hp")});
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));

    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);
    ASSERT_EQ(sim.http.downloads().size(), 1u);
    EXPECT_EQ(sim.http.downloads()[0].url, kImage);
    // Started by the result handler on the main thread; installed on the download queue.
    EXPECT_EQ(sim.http.downloads()[0].queue, Queue::Main);
    EXPECT_EQ(sim.desktop.setOn, std::vector{Queue::Download});
    EXPECT_EQ(sim.log.lines(),
              (std::vector<std::string>{"✅ 全球优先：成功拉取 [fr-FR] 区域图 " + kImage,
                                        "✅ 壁纸设置成功：" + sim.desktop.pictures[0].string()}));

    // A refresh of the current image downloads and sets it again.
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(20));
    EXPECT_EQ(sim.http.downloads().size(), 2u);
    EXPECT_EQ(sim.desktop.pictures, std::vector(2, sim.desktop.pictures[0]));
}

TEST_F(ChecksTest, ALateAnswerFailsFirstThenInstallsFromTheMainQueue) {
    sim.http.script(marketURL("fr-FR"), today(6.0));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(5.5));
    EXPECT_FALSE(delegate.currentImageURL.has_value());
    sim.loop.runUntil(Seconds(20));

    const auto lines = sim.log.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"❌ 所有区域抓取超时，返回 nil", "❌ 获取 Bing 图片 URL 失败",
                                        "✅ 全球优先：成功拉取 [fr-FR] 区域图 " + kImage}));
    EXPECT_TRUE(lines[3].starts_with("✅ 壁纸设置成功："));
    ASSERT_EQ(sim.http.downloads().size(), 1u);
    EXPECT_EQ(sim.http.downloads()[0].queue, Queue::Main);
}

TEST_F(ChecksTest, ChecksThatFindNothingPrintOneLineAndKeepTheCurrentImage) {
    delegate.currentImageURL = Url::parse(kImage);
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(20));
    EXPECT_EQ(sim.log.lines(),
              (std::vector<std::string>{"❌ 所有区域抓取超时，返回 nil", "❌ 获取 Bing 图片 URL 失败",
                                        kWake, "❌ 所有区域抓取超时，返回 nil", "❌ 唤醒后无新图"}));
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);
    EXPECT_TRUE(sim.http.downloads().empty());
}

TEST_F(ChecksTest, TheLaunchCheckAnnouncesBothChecksBeforeAnyResult) {
    sim.http.script(marketURL("zh-CN"), today(0));
    delegate.runLaunchCheck();
    EXPECT_EQ(sim.log.lines(), (std::vector<std::string>{"🕔 启动后静默补偿检查开始", kWake}));
    EXPECT_EQ(sim.http.requests().size(), 16u);
    ASSERT_TRUE(delegate.timer);
    EXPECT_EQ(sim.loop.scheduledTimers().back().interval.count(), 3600.0);
    EXPECT_TRUE(sim.loop.scheduledTimers().back().repeats);
}

// The launch's refresh and wake checks race: whichever result comes first decides whether the
// wake check finds something new.
TEST_F(ChecksTest, TheLaunchsWakeCheckInstallsOnlyWhatTheRefreshHasNotYetTaken) {
    sim.http.script(marketURL("zh-CN"), today(0.2));
    delegate.runLaunchCheck();
    sim.loop.runUntil(Seconds(10));
    EXPECT_EQ(linesAfter(2),
              (std::vector<std::string>{"✅ 全球优先：成功拉取 [zh-CN] 区域图 " + kImage,
                                        "✅ 全球优先：成功拉取 [zh-CN] 区域图 " + kImage, kUnchanged,
                                        "✅ 壁纸设置成功：" + sim.desktop.pictures.at(0).string()}));
    EXPECT_EQ(sim.http.downloads().size(), 1u);

    // The refresh lookup's answer (the first request) is slower than the wake lookup's.
    SimPlatform sim;
    AppDelegate delegate(sim.platform);
    sim.http.script(kImage, kPicture);
    sim.http.script(marketURL("zh-CN"), std::vector{today(2.0), today(1.0)});
    delegate.runLaunchCheck();
    sim.loop.runUntil(Seconds(10));
    EXPECT_EQ(sim.log.lines().at(3), kNewOnWake);
    EXPECT_EQ(sim.http.downloads().size(), 2u);
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);
}

TEST_F(ChecksTest, ActivationsInQuickSuccessionEachLookUpAndRestartNoTimer) {
    sim.http.script(marketURL("en-US"), today(0.3));
    delegate.startHourlyTimer();
    const auto hourly = delegate.timer;
    for (int i = 0; i < 3; ++i) {
        delegate.tryFetchAfterWake();
        sim.loop.runFor(Seconds(0.1));
    }
    sim.loop.runUntil(Seconds(20));

    EXPECT_EQ(sim.http.requests().size(), 24u + 1u);
    EXPECT_EQ(sim.log.count(kWake), 3);
    EXPECT_EQ(sim.log.count(kNewOnWake), 1);
    EXPECT_EQ(sim.log.count(kUnchanged), 2);
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);
    EXPECT_EQ(delegate.timer, hourly);
    EXPECT_TRUE(hourly->isValid());
    EXPECT_EQ(sim.loop.scheduledTimers().size(), 1u);
}

// The wake check compares the exact text, and an address whose install failed is no picture on
// the desktop: the next wake tries it again instead of waiting for the next hourly tick.
TEST_F(ChecksTest, AWakeCheckTriesAgainWhatFailedAndWhatDiffersInLetterCase) {
    sim.http.script(kImage, std::vector{kClosed, kPicture});
    sim.http.script(marketURL("en-US"), today(0.1));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));
    ASSERT_EQ(sim.log.lines().back(), "❌ 图片下载失败：closed");
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);  // for Image Source

    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(10.2));
    delegate.tryFetchAfterWake();  // while the retry is on its way: nothing new
    sim.loop.runUntil(Seconds(20));
    EXPECT_EQ(sim.log.count(kNewOnWake), 1);
    EXPECT_EQ(sim.log.count(kUnchanged), 1);
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);

    const std::string upper = "https://www.bing.com/th?id=OHR.TODAY_1920x1080.jpg";
    sim.http.script(upper, kPicture);
    sim.http.script(marketURL("en-US"), today(0.1, upper));
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(30));
    EXPECT_EQ(sim.log.count(kNewOnWake), 2);
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), upper);
}

// After a wake the network is often not back yet; its return checks again, once per half
// minute however often a flapping network comes back.
TEST_F(ChecksTest, TheNetworksReturnChecksAgainAtMostOncePerHalfMinute) {
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(6));
    sim.http.script(marketURL("en-US"), today(0.1));
    for (int i = 0; i < 3; ++i) {
        delegate.networkDidReturn();
        sim.loop.runFor(Seconds(5));
    }
    EXPECT_EQ(sim.log.count(kWake), 2);
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);
    sim.loop.runUntil(Seconds(40));
    delegate.networkDidReturn();
    EXPECT_EQ(sim.log.count(kWake), 3);
}

}  // namespace
}  // namespace daylume::test
