// The manual refresh from lookup to install, on the simulated platform.
#include <gtest/gtest.h>

#include "shell/app_delegate.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

using Queue = SimLoop::Queue;
const std::string kImage = "https://www.bing.com/th?id=OHR.Today_1920x1080.jpg";

class CoordinatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.http.script(marketURL("fr-FR"),
                        {Seconds(0.2), answerWithURL("/th?id=OHR.Today_1920x1080.jpg&pid=hp")});
        sim.http.script(kImage, {Seconds(0.5), jpegBytes(), {200, "image/jpeg"}});
    }

    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

TEST_F(CoordinatorTest, ARefreshInstallsOffTheMainThreadAndPrintsNothingOfItsOwn) {
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

    // A refresh of the current image downloads and sets it again, but keeps one copy.
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(20));
    EXPECT_EQ(sim.http.downloads().size(), 2u);
    EXPECT_EQ(sim.desktop.pictures, std::vector(2, sim.desktop.pictures[0]));
    EXPECT_EQ(sim.storedNames().size(), 1u);
}

TEST_F(CoordinatorTest, NothingFoundPrintsOneLineAndKeepsTheCurrentImage) {
    SimPlatform quiet;  // no market answers
    AppDelegate delegate(quiet.platform);
    delegate.currentImageURL = Url::parse("https://www.bing.com/th?id=OHR.Yesterday.jpg");
    delegate.refreshWallpaper();
    quiet.loop.runUntil(Seconds(60));

    EXPECT_EQ(quiet.log.lines(), (std::vector<std::string>{"❌ 所有区域抓取超时，返回 nil",
                                                           "❌ 获取 Bing 图片 URL 失败"}));
    EXPECT_EQ(delegate.currentImageURL->absoluteString(),
              "https://www.bing.com/th?id=OHR.Yesterday.jpg");
    EXPECT_TRUE(quiet.http.downloads().empty());
}

TEST_F(CoordinatorTest, AFailedDownloadLeavesTheNewImageRecorded) {
    sim.http.script(kImage, {Seconds(0.5), std::nullopt, {0, ""}, Error{"Network", 4, "closed"}});
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));

    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);
    EXPECT_EQ(sim.log.lines().back(), "❌ 图片下载失败：closed");
    EXPECT_TRUE(sim.desktop.pictures.empty());
}

TEST_F(CoordinatorTest, ALateAnswerFailsFirstThenInstallsFromTheMainQueue) {
    sim.http.script(marketURL("fr-FR"),
                    {Seconds(6.0), answerWithURL("/th?id=OHR.Today_1920x1080.jpg")});
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(5.5));
    EXPECT_FALSE(delegate.currentImageURL.has_value());
    sim.loop.runUntil(Seconds(20));

    const auto lines = sim.log.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "❌ 所有区域抓取超时，返回 nil");
    EXPECT_EQ(lines[1], "❌ 获取 Bing 图片 URL 失败");
    EXPECT_EQ(lines[2], "✅ 全球优先：成功拉取 [fr-FR] 区域图 " + kImage);
    EXPECT_TRUE(lines[3].starts_with("✅ 壁纸设置成功："));
    ASSERT_EQ(sim.http.downloads().size(), 1u);
    EXPECT_EQ(sim.http.downloads()[0].queue, Queue::Main);
}

}  // namespace
}  // namespace daylume::test
