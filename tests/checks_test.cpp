// The refresh, launch, wake, hourly and next-day checks from lookup to install, on the simulated
// platform and its virtual clock.
#include "support/prelude.h"

#include <cstdlib>
#include <ctime>

namespace daylume::test {
namespace {

const std::string kImage = "https://www.bing.com/th?id=OHR.Today_1920x1080.jpg";
const ScriptedAnswer kPicture{Seconds(0.5), jpegBytes(), {200, "image/jpeg"}};
const ScriptedAnswer kClosed{
    Seconds(0.5), std::nullopt, {0, ""}, Error{ErrorDomain::Network, 4, "closed"}};
const std::string kUnchanged = "ℹ️ 唤醒后图未变，无需刷新";
const std::string kNewOnWake = "✅ 唤醒后检测到新图，开始更新";

Date utc(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    using namespace std::chrono;
    return sys_days(year(y) / mo / d) + hours(h) + minutes(mi) + seconds(s);
}

class ChecksTest : public ::testing::Test {
protected:
    void SetUp() override { sim.http.script(kImage, kPicture); }
    // A market's answer naming `image` after `delay` seconds.
    static ScriptedAnswer today(double delay, const std::string& image = kImage) {
        return {Seconds(delay), answerWithURL(image.substr(20))};
    }
    std::vector<double> downloadTimes() const {
        std::vector<double> times;
        for (const auto& request : sim.http.downloads()) times.push_back(request.at.count());
        return times;
    }

    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

// The wake check compares the exact text, and an address whose install failed is no picture on
// the desktop, even after another one was: the next wake tries it again.
TEST_F(ChecksTest, AWakeCheckTriesAgainWhatFailedAndWhatDiffersInLetterCase) {
    const std::string upper = "https://www.bing.com/th?id=OHR.TODAY_1920x1080.jpg";
    sim.http.script(upper, kPicture);
    sim.http.script(marketURL("en-US"), today(0.1, upper));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));
    sim.http.script(kImage, std::vector{kClosed, kPicture});
    sim.http.script(marketURL("en-US"), today(0.1));
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(20));
    ASSERT_EQ(sim.log.lines().back(), "❌ 图片下载失败：closed");
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImage);  // for Image Source

    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(20.2));
    delegate.tryFetchAfterWake();  // while the retry is on its way: nothing new
    sim.loop.runUntil(Seconds(30));
    EXPECT_EQ(sim.log.count(kNewOnWake), 2);
    EXPECT_EQ(sim.log.count(kUnchanged), 1);
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);
}

// With the picture kept and only the desktop failing, later checks set the kept copy again
// instead of downloading it; a desktop that cannot change by itself waits for a wake, not every
// activation.
TEST_F(ChecksTest, APictureKeptButNotSetIsSetAgainNotDownloaded) {
    sim.desktop.failure = Error{ErrorDomain::Desktop, 1, "x", Cause::DesktopToolMissing, "swaymsg"};
    sim.http.script(marketURL("en-US"), today(0.1));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(10));
    delegate.refreshWallpaper();
    sim.loop.runUntil(Seconds(20));
    delegate.tryFetchAfterWake(true);  // an activation
    sim.loop.runUntil(Seconds(30));
    EXPECT_EQ(sim.log.count("❌ 设置桌面壁纸失败："), 2);
    EXPECT_EQ(sim.log.count(kUnchanged), 1);
    sim.desktop.failure.reset();
    delegate.tryFetchAfterWake();
    sim.loop.runUntil(Seconds(40));
    EXPECT_EQ(sim.log.lines().back(), kInstalled + sim.desktop.pictures.at(0).string());
    EXPECT_EQ(sim.desktop.setOn, std::vector{SimLoop::Queue::Download});
    EXPECT_EQ(sim.http.downloads().size(), 1u);
}

// After a wake the network is often not back yet; its return checks again, once per half
// minute however often a flapping network comes back.
TEST_F(ChecksTest, TheNetworksReturnChecksAgainAtMostOncePerHalfMinute) {
    // The first return's check does not reach the service: the next return checks again.
    for (const std::string_view market : marketCodes)
        sim.http.script(marketURL(market), {Seconds(0.1),
                                            std::nullopt,
                                            {0, ""},
                                            Error{ErrorDomain::Network, 2, "x", Cause::NoNetwork}});
    delegate.networkDidReturn();
    sim.loop.runUntil(Seconds(6));
    sim.http.script(marketURL("en-US"), today(0.1));
    for (int i = 0; i < 3; ++i) {
        delegate.networkDidReturn();
        sim.loop.runFor(Seconds(5));
    }
    EXPECT_EQ(sim.log.count(kWake), 2);
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);
    sim.loop.runUntil(Seconds(33));
    delegate.networkDidReturn();
    EXPECT_EQ(sim.log.count(kWake), 2);
    sim.loop.runUntil(Seconds(40));
    delegate.networkDidReturn();
    EXPECT_EQ(sim.log.count(kWake), 3);
}

// ---- The hourly and next-day timers

// The hourly check comes on the hour and stays while it finds nothing or its install fails: the
// day's hand-over waits for a picture on the desktop.
TEST_F(ChecksTest, TheHourlyCheckStaysUntilAPictureIsOnTheDesktop) {
    delegate.startHourlyTimer();
    delegate.startHourlyTimer();  // a restart replaces the timer
    const auto hourly = delegate.timer;
    sim.loop.runUntil(Seconds(3599.999));
    EXPECT_TRUE(sim.log.lines().empty() && sim.http.requests().empty());
    sim.loop.runUntil(Seconds(3600 + 10));
    EXPECT_EQ(sim.log.lines(), (std::vector<std::string>{"🔁 每小时检查 Bing 是否有新图", kTimedOut,
                                                         "❌ 无法获取 Bing 图片"}));
    EXPECT_EQ(sim.http.requests().size(), 8u);

    sim.http.script(marketURL("en-GB"), today(0));
    sim.http.script(kImage, std::vector{kClosed, kPicture});
    sim.loop.runUntil(Seconds(7201));
    EXPECT_EQ(sim.log.lines().back(), "❌ 图片下载失败：closed");
    EXPECT_EQ(delegate.timer, hourly);
    EXPECT_TRUE(hourly->isValid());
    sim.loop.runUntil(Seconds(10801));
    EXPECT_EQ(downloadTimes(), (std::vector<double>{7200, 10800}));
    EXPECT_FALSE(hourly->isValid());
    EXPECT_FALSE(sim.loop.scheduledTimers().back().repeats);
}

// An hourly install that ends after midnight hands over at once: its day is over. The timers
// replaced are released on the main thread, though a late answer keeps its lookup on the network.
TEST_F(ChecksTest, AnHourlyInstallEndingAfterMidnightHandsOverAtOnce) {
    sim.loop.startDate = utc(2026, 12, 6, 22, 59, 50);
    sim.http.script(marketURL("en-GB"), today(0));
    sim.http.script(marketURL("de-DE"), today(5000));
    sim.http.script(kImage, {Seconds(15), jpegBytes()});
    delegate.startHourlyTimer();
    sim.loop.runUntil(Seconds(9000));
    EXPECT_EQ(downloadTimes(), (std::vector<double>{3600, 7215}));
    EXPECT_EQ(sim.loop.timersReleasedOffMain, 0);
}

TEST(NextDayTest, TheIntervalIsCountedInUtcWhateverTheLocalZone) {
    const std::vector<std::pair<Date, double>> cases = {
        {utc(2026, 12, 6, 5, 4, 25), 68136},  // 18 h 55 min 36 s
        {utc(2026, 12, 6, 0, 0, 0), 86401},   // exactly midnight: the next one
        {utc(2027, 3, 14, 6, 30, 0), 63001},  // New York changes to summer time that day
    };
    setenv("TZ", "America/New_York", 1);
    tzset();
    for (const auto& [date, interval] : cases) {
        SimPlatform sim;
        AppDelegate delegate(sim.platform);
        sim.loop.startDate = date;
        delegate.scheduleNextDayTimer();
        EXPECT_EQ(sim.loop.scheduledTimers().back().interval.count(), interval);
        EXPECT_FALSE(sim.loop.scheduledTimers().back().repeats);
    }
    unsetenv("TZ");
    tzset();
}

TEST_F(ChecksTest, ARepeatedAddressIsIgnoredAndALateDifferentOneInstallsAgain) {
    const std::string kImageB = "https://www.bing.com/th?id=OHR.B_1920x1080.jpg";
    sim.http.script(kImageB, {Seconds(0.5), jpegBytes(64, 36, 1), {200, ""}});
    delegate.startHourlyTimer();
    const auto hourly = delegate.timer;
    const auto memory = std::make_shared<std::optional<std::string>>();
    auto result = [&](const std::string& image) {
        delegate.handleHourlyResult(FoundImage{*Url::parse(image)}, memory, hourly);
        sim.loop.runFor(Seconds(1));
    };

    result(kImage);
    const auto firstNextDay = delegate.timer;
    EXPECT_NE(firstNextDay, hourly);
    EXPECT_FALSE(hourly->isValid());
    result(kImage);
    EXPECT_EQ(delegate.timer, firstNextDay);
    result(kImageB);
    EXPECT_NE(delegate.timer, firstNextDay);
    EXPECT_FALSE(firstNextDay->isValid());
    EXPECT_EQ(sim.loop.armedTimers(), 1);
    EXPECT_EQ(sim.log.count("✅ 成功拉取并设置新壁纸"), 2);
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImageB);
    EXPECT_EQ(sim.http.downloads().size(), 2u);
}

}  // namespace
}  // namespace daylume::test
