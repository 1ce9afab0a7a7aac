// The manual refresh from lookup to install, on the simulated platform.
#include <gtest/gtest.h>

#include "shell/app_delegate.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

const std::string kImage = "https://www.bing.com/th?id=OHR.Today_1920x1080.jpg";

class CoordinatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.http.script(marketURL("fr-FR"),
                        {Seconds(0.2), answerWithURL("/th?id=OHR.Today_1920x1080.jpg&pid=hp")});
        sim.http.script(kImage, {Seconds(0.5), jpegBytes(), {200, "image/jpeg"}});
    }
    std::vector<SimHttp::Request> downloads() const {
        std::vector<SimHttp::Request> result;
        for (const auto& request : sim.http.requests())
            if (request.download) result.push_back(request);
        return result;
    }

    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

TEST_F(CoordinatorTest, RefreshInstallsAndItsHandlerPrintsNothingOfItsOwn) {
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));

    ASSERT_TRUE(delegate.currentImageURL.has_value());
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);
    ASSERT_EQ(downloads().size(), 1u);
    EXPECT_EQ(downloads()[0].url, kImage);
    ASSERT_EQ(sim.desktop.pictures.size(), 1u);
    EXPECT_EQ(sim.log.lines(),
              (std::vector<std::string>{"✅ 全球优先：成功拉取 [fr-FR] 区域图 " + kImage,
                                        "✅ 壁纸设置成功：" + sim.desktop.pictures[0].string()}));
}

TEST_F(CoordinatorTest, RefreshOfTheCurrentImageDownloadsAndStoresItAgain) {
    delegate.currentImageURL = Url::parse(kImage);
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(20));

    EXPECT_EQ(downloads().size(), 2u);
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);
    EXPECT_NE(sim.desktop.pictures[0], sim.desktop.pictures[1]);
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
    for (const auto& request : quiet.http.requests()) EXPECT_FALSE(request.download);
}

TEST_F(CoordinatorTest, AFailedDownloadLeavesTheNewImageRecorded) {
    sim.http.script(
        kImage,
        {Seconds(0.5), std::nullopt, {0, ""}, Error{"QNetworkReply", 2, "Connection closed"}});
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));

    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);
    EXPECT_EQ(sim.log.lines().back(), "❌ 图片下载失败：Connection closed");
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
    // The answer arrived on the network queue; the download was started from the main queue.
    ASSERT_EQ(downloads().size(), 1u);
    EXPECT_EQ(downloads()[0].queue, SimLoop::Queue::Main);
}

}  // namespace
}  // namespace daylume::test
