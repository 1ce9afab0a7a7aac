// The hourly and next-day timers on the virtual clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "shell/app_delegate.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

using namespace std::chrono;

const std::string kImageA = "https://www.bing.com/th?id=OHR.A_1920x1080.jpg";
const std::string kImageB = "https://www.bing.com/th?id=OHR.B_1920x1080.jpg";

Date utc(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return sys_days(year(y) / mo / d) + hours(h) + minutes(mi) + seconds(s);
}

class CheckTimersTest : public ::testing::Test {
protected:
    void answerEveryHour(const std::string& image, double downloadDelay = 0.5) {
        sim.http.script(marketURL("en-GB"), {Seconds(0), answerWithURL(image.substr(20))});
        sim.http.script(image, {Seconds(downloadDelay), jpegBytes(), {200, "image/jpeg"}});
    }
    std::vector<double> downloadTimes() const {
        std::vector<double> times;
        for (const auto& request : sim.http.downloads()) times.push_back(request.at.count());
        return times;
    }
    double lastTimerInterval() const { return sim.loop.scheduledTimers().back().interval.count(); }

    SimPlatform sim;
    AppDelegate delegate{sim.platform};
};

TEST_F(CheckTimersTest, TheHourlyCheckComesOnTheHourAndStaysWhileItFindsNothing) {
    delegate.startHourlyTimer();
    const auto hourly = delegate.timer;
    sim.loop.runUntil(Seconds(3599.999));
    EXPECT_TRUE(sim.log.lines().empty() && sim.http.requests().empty());
    sim.loop.runUntil(Seconds(3600 + 10));
    EXPECT_EQ(sim.log.lines(),
              (std::vector<std::string>{"🔁 每小时检查 Bing 是否有新图",
                                        "❌ 所有区域抓取超时，返回 nil", "❌ 无法获取 Bing 图片"}));
    EXPECT_EQ(sim.http.requests().size(), 8u);
    EXPECT_EQ(delegate.timer, hourly);
    EXPECT_TRUE(hourly->isValid());
    sim.loop.runUntil(Seconds(7200));
    EXPECT_EQ(sim.log.lines().back(), "🔁 每小时检查 Bing 是否有新图");
}

TEST_F(CheckTimersTest, ANewImageHandsOverToTheTimerOneSecondPastMidnightUtc) {
    // The worked example: a new image taken at 05:04:25 UTC waits 18 h 55 min 36 s.
    sim.loop.startDate = utc(2026, 12, 6, 4, 4, 25);
    answerEveryHour(kImageA, 0);
    delegate.startHourlyTimer();
    const auto hourly = delegate.timer;
    sim.loop.runUntil(Seconds(3600));

    const auto lines = sim.log.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"🔁 每小时检查 Bing 是否有新图",
                                        "✅ 全球优先：成功拉取 [en-GB] 区域图 " + kImageA,
                                        "✅ 成功拉取并设置新壁纸"}));
    EXPECT_TRUE(lines[3].starts_with("✅ 壁纸设置成功："));
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImageA);
    EXPECT_FALSE(hourly->isValid());
    EXPECT_EQ(lastTimerInterval(), 68136);
    EXPECT_EQ(sim.loop.armedTimers(), 1);

    // At 00:00:01 UTC a fresh hourly timer starts, with an empty memory: its first check
    // installs the same picture again, and hands over to the next day in turn.
    const double restart = 3600 + 68136;
    sim.loop.runUntil(Seconds(restart - 0.001));
    EXPECT_EQ(sim.loop.scheduledTimers().size(), 2u);
    sim.loop.runUntil(Seconds(restart));
    ASSERT_EQ(sim.loop.scheduledTimers().size(), 3u);
    EXPECT_EQ(sim.loop.currentDate(), utc(2026, 12, 7, 0, 0, 1));
    EXPECT_TRUE(sim.loop.scheduledTimers().back().repeats);
    sim.loop.runUntil(Seconds(restart + 86400 + 3601));
    EXPECT_EQ(downloadTimes(), (std::vector<double>{3600, restart + 3600, restart + 86400 + 3600}));
    EXPECT_EQ(sim.loop.armedTimers(), 1);
}

TEST_F(CheckTimersTest, TheNextDayIntervalIsCountedInUtcWhateverTheLocalZone) {
    const std::vector<std::pair<Date, double>> cases = {
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

TEST_F(CheckTimersTest, ARepeatedAddressIsIgnoredAndALateDifferentOneInstallsAgain) {
    for (const std::string& image : {kImageA, kImageB})
        sim.http.script(image, {Seconds(0), jpegBytes(64, 36, unsigned(image.size())), {200, ""}});
    delegate.startHourlyTimer();
    const auto hourly = delegate.timer;
    const auto memory = std::make_shared<std::optional<std::string>>();
    auto result = [&](const std::string& image) {
        delegate.handleHourlyResult(FoundImage{*Url::parse(image)}, memory, hourly);
        sim.loop.runFor(Seconds(1));
    };

    result(kImageA);
    const auto firstNextDay = delegate.timer;
    EXPECT_NE(firstNextDay, hourly);
    EXPECT_FALSE(hourly->isValid());
    result(kImageA);
    EXPECT_EQ(delegate.timer, firstNextDay);
    result(kImageB);
    EXPECT_NE(delegate.timer, firstNextDay);
    EXPECT_FALSE(firstNextDay->isValid());
    EXPECT_EQ(sim.loop.armedTimers(), 1);
    EXPECT_EQ(sim.log.count("✅ 成功拉取并设置新壁纸"), 2);
    EXPECT_EQ(delegate.currentImageURL->absoluteString(), kImageB);
    EXPECT_EQ(sim.http.downloads().size(), 2u);
}

// The day's hand-over waits for a picture on the desktop: after a failed install the next tick
// tries again rather than the first one after midnight.
TEST_F(CheckTimersTest, AnInstallThatFailsIsTriedAgainAtTheNextTick) {
    answerEveryHour(kImageA);
    sim.http.script(kImageA, std::vector<ScriptedAnswer>{
                                 {Seconds(0.5), std::nullopt, {0, ""}, Error{"Network", 4, "x"}},
                                 {Seconds(0.5), jpegBytes(), {200, "image/jpeg"}}});
    delegate.startHourlyTimer();
    const auto hourly = delegate.timer;
    sim.loop.runUntil(Seconds(3601));
    EXPECT_EQ(sim.log.lines().back(), "❌ 图片下载失败：x");
    EXPECT_EQ(delegate.timer, hourly);
    EXPECT_TRUE(hourly->isValid());

    sim.loop.runUntil(Seconds(7201));
    EXPECT_EQ(downloadTimes(), (std::vector<double>{3600, 7200}));
    EXPECT_FALSE(hourly->isValid());
    EXPECT_FALSE(sim.loop.scheduledTimers().back().repeats);
}

}  // namespace
}  // namespace daylume::test
