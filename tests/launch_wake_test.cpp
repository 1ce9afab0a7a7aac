// The launch check and the wake check on the simulated platform.
#include <gtest/gtest.h>

#include "shell/app_delegate.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

const std::string kImage = "https://www.bing.com/th?id=OHR.Today_1920x1080.jpg";
const ScriptedAnswer kPicture{Seconds(0.5), jpegBytes(), {200, "image/jpeg"}};

class LaunchWakeTest : public ::testing::Test {
protected:
    void SetUp() override { sim.http.script(kImage, kPicture); }
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

TEST_F(LaunchWakeTest, TheLaunchCheckAnnouncesBothChecksBeforeAnyResult) {
    sim.http.script(marketURL("zh-CN"), today(0));
    delegate.runLaunchCheck();
    EXPECT_EQ(sim.log.lines(), (std::vector<std::string>{"🕔 启动后静默补偿检查开始",
                                                         "💡 唤醒或激活后尝试补偿拉取新图"}));
    EXPECT_EQ(sim.http.requests().size(), 16u);
    ASSERT_TRUE(delegate.timer);
    EXPECT_EQ(sim.loop.scheduledTimers().back().interval.count(), 3600.0);
    EXPECT_TRUE(sim.loop.scheduledTimers().back().repeats);
}

TEST_F(LaunchWakeTest, RefreshResultFirstMakesTheWakeCheckFindNothingNew) {
    sim.http.script(marketURL("zh-CN"), today(0.2));
    delegate.runLaunchCheck();
    sim.loop.runUntil(Seconds(10));

    EXPECT_EQ(linesAfter(2),
              (std::vector<std::string>{"✅ 全球优先：成功拉取 [zh-CN] 区域图 " + kImage,
                                        "✅ 全球优先：成功拉取 [zh-CN] 区域图 " + kImage,
                                        "ℹ️ 唤醒后图未变，无需刷新",
                                        "✅ 壁纸设置成功：" + sim.desktop.pictures.at(0).string()}));
    EXPECT_EQ(sim.http.downloads().size(), 1u);
}

TEST_F(LaunchWakeTest, WakeResultFirstCountsAsNewAndTheRefreshDownloadsAgain) {
    // The refresh lookup's answer (the first request) is slower than the wake lookup's.
    sim.http.script(marketURL("zh-CN"), std::vector{today(2.0), today(1.0)});
    delegate.runLaunchCheck();
    sim.loop.runUntil(Seconds(10));

    const auto lines = linesAfter(2);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "✅ 唤醒后检测到新图，开始更新");
    EXPECT_EQ(sim.http.downloads().size(), 2u);
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);
}

TEST_F(LaunchWakeTest, ActivationsInQuickSuccessionEachLookUp) {
    sim.http.script(marketURL("en-US"), today(0.3));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));
    sim.log.clear();
    for (int i = 0; i < 3; ++i) {
        delegate.tryFetchAfterWake();
        sim.loop.runFor(Seconds(0.1));
    }
    sim.loop.runUntil(Seconds(20));

    EXPECT_EQ(sim.http.requests().size(), 8u + 24u + 1u);
    EXPECT_EQ(sim.log.count("💡 唤醒或激活后尝试补偿拉取新图"), 3);
    EXPECT_EQ(sim.log.count("ℹ️ 唤醒后图未变，无需刷新"), 3);
    EXPECT_EQ(sim.http.downloads().size(), 1u);
}

// The wake check compares the exact text, and an address whose install failed is no picture on
// the desktop: the next wake tries it again instead of waiting for the next hourly tick.
TEST_F(LaunchWakeTest, AWakeCheckTriesAgainWhatFailedAndWhatDiffersInLetterCase) {
    sim.http.script(
        kImage, std::vector{ScriptedAnswer{
                                Seconds(0.5), std::nullopt, {0, ""}, Error{"Network", 4, "closed"}},
                            kPicture});
    sim.http.script(marketURL("en-US"), today(0.1));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));
    ASSERT_EQ(sim.log.lines().back(), "❌ 图片下载失败：closed");

    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(10.2));
    delegate.tryFetchAfterWake();  // while the retry is on its way: nothing new
    sim.loop.runUntil(Seconds(20));
    EXPECT_EQ(sim.log.count("✅ 唤醒后检测到新图，开始更新"), 1);
    EXPECT_EQ(sim.log.count("ℹ️ 唤醒后图未变，无需刷新"), 1);
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);

    const std::string upper = "https://www.bing.com/th?id=OHR.TODAY_1920x1080.jpg";
    sim.http.script(upper, kPicture);
    sim.http.script(marketURL("en-US"), today(0.1, upper));
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(30));
    EXPECT_EQ(sim.log.count("✅ 唤醒后检测到新图，开始更新"), 2);
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), upper);
}

// After a wake the network is often not back yet; its return checks again, once per half
// minute however often a flapping network comes back.
TEST_F(LaunchWakeTest, TheNetworksReturnChecksAgainAtMostOncePerHalfMinute) {
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(6));
    EXPECT_EQ(sim.log.lines().back(), "❌ 唤醒后无新图");
    sim.http.script(marketURL("en-US"), today(0.1));
    for (int i = 0; i < 3; ++i) {
        delegate.networkDidReturn();
        sim.loop.runFor(Seconds(5));
    }
    EXPECT_EQ(sim.log.count("💡 唤醒或激活后尝试补偿拉取新图"), 2);
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);
    sim.loop.runUntil(Seconds(40));
    delegate.networkDidReturn();
    EXPECT_EQ(sim.log.count("💡 唤醒或激活后尝试补偿拉取新图"), 3);
}

TEST_F(LaunchWakeTest, AWakeCheckThatFindsNothingPrintsOneLineAndChangesNothing) {
    delegate.currentImageURL = Url::parse(kImage);
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(60));
    EXPECT_EQ(sim.log.lines(),
              (std::vector<std::string>{"💡 唤醒或激活后尝试补偿拉取新图",
                                        "❌ 所有区域抓取超时，返回 nil", "❌ 唤醒后无新图"}));
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);
}

TEST_F(LaunchWakeTest, AWakeCheckRestartsNoTimer) {
    sim.http.script(marketURL("fr-FR"), today(0.1));
    delegate.startHourlyTimer();
    const auto hourly = delegate.timer;
    sim.loop.runUntil(Seconds(1000));
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(2000));

    EXPECT_EQ(sim.http.downloads().size(), 1u);
    EXPECT_EQ(delegate.timer, hourly);
    EXPECT_TRUE(hourly->isValid());
    EXPECT_EQ(sim.loop.scheduledTimers().size(), 1u);
}

}  // namespace
}  // namespace daylume::test
