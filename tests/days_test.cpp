// The days before today: the window's list and its small pictures, a day put on the desktop and
// kept there by the checks, and the pages about the pictures.
#include <chrono>
#include <fstream>

#include "support/prelude.h"

namespace daylume::test {
namespace {

namespace fs = std::filesystem;
const std::string kArchive =
    "https://www.bing.com/HPImageArchive.aspx?format=js&idx=0&n=8&mkt=en-US";

std::string picture(int day, std::string_view size = "1920x1080") {
    return "https://www.bing.com/th?id=OHR.Day" + std::to_string(day) + "_EN-US1_" +
           std::string(size) + ".jpg";
}

// Eight days from 6 December back; the page about day 1 is on another host, day 2's not https.
std::string archive() {
    std::string images;
    int i = 0;
    for (const char* date : {"20261206", "20261205", "20261204", "20261203", "20261202", "20261201",
                             "20261130", "20261129"}) {
        const std::string link = i == 1   ? "https://bing.example/x"
                                 : i == 2 ? "http://www.bing.com/x"
                                          : "https://www.bing.com/search?q=" + std::to_string(i);
        images += std::string(i ? "," : "") + R"({"startdate":")" + date + R"(","url":")" +
                  picture(i).substr(20) + R"(","title":"Day )" + std::to_string(i) +
                  R"(","copyrightlink":")" + link + R"("})";
        ++i;
    }
    return R"({"images":[)" + images + "]}";
}

// Asked for only when the window is seen, and again once the list is an hour old or of another
// UTC day; small pictures, or the whole one where the small one is refused, in a cache of 16.
TEST(DaysTest, TheDaysAreAskedForWhenSeenWithSmallPicturesInABoundedCache) {
    SimPlatform sim;
    sim.loop.startDate += std::chrono::hours(23);
    AppDelegate delegate{sim.platform};
    delegate.setupDays();
    sim.http.script(kArchive, {Seconds(0.2), archive()});
    for (int i = 0; i < 8; ++i)
        sim.http.script(picture(i, "400x240"), {Seconds(0.1), jpegBytes(40, 24, unsigned(i))});
    sim.http.script(picture(3, "400x240"), {Seconds(0.1), "Not Found", {404, "text/html"}});
    sim.http.script(picture(5, "400x240"), {Seconds(0.1), "<html>busy</html>", {200, "text/html"}});
    for (int i : {3, 5})
        sim.http.script(picture(i), {Seconds(0.1), jpegBytes(64, 36, unsigned(i))});
    const fs::path cache = sim.temp.path() / "cache/daylume";
    fs::create_directories(cache);
    for (int i = 0; i < 12; ++i) std::ofstream(cache / ("old" + std::to_string(i) + ".jpg")) << i;

    auto asked = [&] {
        return std::ranges::count(sim.http.requests(), kArchive, &SimHttp::Request::url);
    };
    // From 23:00: seen at 23:40, 23:55, 00:10 the next day, 01:00 and 01:11.
    for (const auto& [minute, requests] :
         std::vector<std::pair<int, long>>{{0, 0}, {40, 1}, {55, 1}, {70, 2}, {120, 2}, {131, 3}}) {
        sim.loop.runUntil(Seconds(minute * 60.0));
        if (minute > 0) sim.application.windowActions.seen();
        sim.loop.runFor(Seconds(10));
        EXPECT_EQ(asked(), requests) << minute;
    }

    const std::vector<DayPicture>& days = sim.application.days;
    ASSERT_EQ(days.size(), 8u);
    EXPECT_EQ(days[7].title, "Day 7");
    EXPECT_EQ(days[0].day, std::chrono::sys_days(std::chrono::year(2026) / 12 / 6));
    for (const DayPicture& day : days) EXPECT_TRUE(day.thumbnail && fs::exists(*day.thumbnail));
    for (int i : {3, 5}) EXPECT_EQ(readText(*days[i].thumbnail), jpegBytes(64, 36, unsigned(i)));
    int kept = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(cache)) ++kept;
    EXPECT_EQ(kept, 16);

    EXPECT_EQ(std::vector<bool>({days[0].learnMore, days[1].learnMore, days[2].learnMore}),
              std::vector<bool>({true, false, false}));
    sim.application.windowActions.learnMore(1);
    sim.application.windowActions.learnMore(0);
    EXPECT_EQ(sim.application.openedURLs,
              std::vector<std::string>{"https://www.bing.com/search?q=0"});
}

// A day the user put on the desktop stays through wakes, activations and a restart, unannounced;
// the next picture of the day Daylume has not shown replaces it, as does Refresh.
TEST(DaysTest, AChosenDayStaysUntilANewPictureOfTheDay) {
    SimPlatform sim;
    sim.http.script(marketURL("en-US"), {Seconds(0.1), answerWithURL(picture(0).substr(20))});
    sim.http.script(kArchive, {Seconds(0.2), archive()});
    for (int i : {0, 3})
        sim.http.script(picture(i), {Seconds(0.1), jpegBytes(64, 36, unsigned(i))});
    auto delegate = std::make_unique<AppDelegate>(sim.platform);
    delegate->applicationDidFinishLaunching();
    sim.loop.runFor(Seconds(30));
    EXPECT_FALSE(sim.application.status.learnMore);
    sim.application.windowActions.seen();
    sim.loop.runFor(Seconds(5));
    sim.application.windowActions.setAsDesktop(3);
    sim.loop.runFor(Seconds(5));
    auto shows = [&](int day) {
        return !sim.desktop.pictures.empty() &&
               readText(sim.desktop.pictures.back()) == jpegBytes(64, 36, unsigned(day));
    };
    EXPECT_TRUE(shows(3));
    EXPECT_EQ(sim.application.status.title, "Day 3");
    EXPECT_TRUE(sim.application.status.learnMore);
    sim.application.answers = {kAlertFirstButtonReturn + 1};  // Learn More, in Image Source
    delegate->showImageSource();
    EXPECT_EQ(sim.application.openedURLs,
              std::vector<std::string>{"https://www.bing.com/search?q=3"});

    for (const SystemEvent event : {SystemEvent::Wake, SystemEvent::Activation}) {
        sim.notifications.post(event);
        sim.loop.runFor(Seconds(30));
        EXPECT_TRUE(shows(3));
    }
    delegate->refreshWallpaper();
    sim.loop.runFor(Seconds(30));
    EXPECT_TRUE(shows(0));
    sim.application.windowActions.setAsDesktop(3);
    sim.loop.runFor(Seconds(5));
    delegate->applicationWillTerminate();
    delegate = std::make_unique<AppDelegate>(sim.platform);
    delegate->applicationDidFinishLaunching();
    sim.loop.runFor(Seconds(3700));  // and the hourly check
    EXPECT_TRUE(shows(3));
    EXPECT_EQ(sim.application.status.title, "Day 3");

    sim.http.script(marketURL("en-US"),
                    {Seconds(0.1), answerWithURL("/th?id=OHR.New_1920x1080.jpg")});
    sim.http.script("https://www.bing.com/th?id=OHR.New_1920x1080.jpg",
                    {Seconds(0.1), jpegBytes(64, 36, 9)});
    sim.notifications.post(SystemEvent::Wake);
    sim.loop.runFor(Seconds(30));
    EXPECT_TRUE(shows(9));
    EXPECT_EQ(sim.application.notifications.size(), 2u);  // today's at launch, and the new one
}

}  // namespace
}  // namespace daylume::test
