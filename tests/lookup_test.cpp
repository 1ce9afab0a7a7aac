// The image-of-the-day lookup on the simulated platform: request order, the choice of answer,
// the deadline, and what is dropped.
#include "support/prelude.h"

namespace daylume::test {
namespace {

using Queue = SimLoop::Queue;

struct Call {
    std::optional<std::string> url;
    Queue queue;
    double at;
    PictureFacts facts;
    LookupFailure why;
};

class LookupTest : public ::testing::Test {
protected:
    // Starts a lookup whose completion calls are recorded in `into`.
    void lookup(std::vector<Call>& into) {
        delegate.fetchLatestImageURL(
            [this, &into](std::optional<FoundImage> found, const LookupFailure& why) {
                into.push_back({found ? std::optional(found->url.absoluteString()) : std::nullopt,
                                sim.loop.currentQueue(), sim.loop.now().count(),
                                found ? found->facts : PictureFacts{}, why});
            });
    }
    void answer(std::string_view market, double delay, std::string body, int status = 200) {
        sim.http.script(marketURL(market),
                        {Seconds(delay), std::move(body), {status, "text/json"}});
    }

    SimPlatform sim;
    AppDelegate delegate{sim.platform};
    std::vector<Call> calls;
};

// Every market is asked at once; the deadline, 5 s later, says what most markets ran into (a
// wrong clock or an intercepting proxy must not read like a slow network), and cancels nothing:
// a late answer still counts.
TEST_F(LookupTest, AsksEveryMarketAtOnceAndTheDeadlineSaysWhyNothingWasFound) {
    using enum Cause;
    const std::vector<std::pair<std::vector<Cause>, LookupFailure>> rows = {
        {{}, {NoAnswer}},  // no market answers at all
        {std::vector(8, NoNetwork), {NoNetwork}},
        {{NotTrusted, TimedOut, NotTrusted, TimedOut, NotTrusted, TimedOut, NotTrusted, NoNetwork},
         {NotTrusted, "expired"}},
        // Unknown: an answer without a picture; HttpStatus: a busy server's page
        {{Unknown, Unknown, TimedOut, Unknown, Unknown, TimedOut, Unknown, Unknown}, {NoPicture}},
        {std::vector(8, HttpStatus), {HttpStatus, "503"}},
    };
    for (const auto& [failures, why] : rows) {
        for (std::size_t i = 0; i < failures.size(); ++i)
            sim.http.script(
                marketURL(marketCodes[i]),
                {Seconds(0.1),
                 "<html>busy</html>",
                 {failures[i] == HttpStatus ? 503 : 200, "text/html"},
                 failures[i] == Unknown || failures[i] == HttpStatus
                     ? std::nullopt
                     : std::optional(Error{ErrorDomain::Network, 1, "x", failures[i],
                                           failures[i] == NotTrusted ? "expired" : ""})});
        const Seconds start = sim.loop.now();
        const auto first = sim.http.requests().size();
        calls.clear();
        lookup(calls);
        ASSERT_EQ(sim.http.requests().size() - first, marketCodes.size());
        for (std::size_t i = 0; i < marketCodes.size(); ++i)
            EXPECT_EQ(sim.http.requests()[first + i].url, marketURL(marketCodes[i]));
        sim.loop.runUntil(start + Seconds(4.999));
        EXPECT_TRUE(calls.empty());
        sim.loop.runUntil(start + Seconds(5));
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].url, std::nullopt);
        EXPECT_EQ(calls[0].queue, Queue::Main);
        EXPECT_EQ(calls[0].why, why);
        EXPECT_EQ(sim.log.lines().back(), kTimedOut);
        sim.loop.runFor(Seconds(30));
    }
    EXPECT_EQ(sim.log.lines(), std::vector(rows.size(), kTimedOut));
    EXPECT_EQ(sim.http.requests()[0].url,
              "https://www.bing.com/HPImageArchive.aspx?format=js&idx=0&n=1&mkt=zh-CN");
    for (const auto& request : sim.http.requests()) EXPECT_FALSE(request.cancelled);
}

// Each unusable shape is dropped without a line, and the first usable answer wins whatever its
// market or status, with its facts; the requests still running are let go.
TEST_F(LookupTest, TheFirstUsableAnswerWinsAndUnusableOnesAreDroppedSilently) {
    for (const std::string& body : std::vector<std::string>{
             "", "<html><body>Service Unavailable</body></html>", R"(["images"])",
             R"({"images":{"url":"/a.jpg"}})", R"({"images":[{"url":"/a.jpg"}, 3]})",
             R"({"images":[]})", R"({"images":[{"urlbase":"/a"}]})", R"({"images":[{"url":42}]})",
             R"({"images":[{"url":null}]})", R"({"image":[{"url":"/a.jpg"}]})",
             R"({"images":[{"url":"/a b.jpg"}]})",
             // Addresses that would leave the service's origin.
             answerWithURL("@other.example/x.jpg"), answerWithURL(":8443/x.jpg"),
             answerWithURL(".evil.example/x.jpg"),
             answerWithURL("http://s.cn.bing.net/az/hprichbg/rb/CliffDwelling_1920x1080.jpg")}) {
        SCOPED_TRACE(body);
        const Seconds start = sim.loop.now();
        sim.log.clear();
        calls.clear();
        answer("zh-CN", 0.1, body);
        sim.http.script(
            marketURL("ja-JP"),
            {Seconds(0.2), std::nullopt, {0, ""}, Error{ErrorDomain::Network, 4, "closed"}});
        answer("de-DE", 0.5,
               R"json({"images":[{"url":"/th?id=OHR.First_1920x1080.jpg&pid=hp","title":"Boats",
                   "copyright":"Mykonos (© A)","copyrightlink":"https://x.example/1"}]})json",
               500);
        answer("en-CA", 0.7, answerWithURL("/second.jpg"));
        const auto first = sim.http.requests().size();
        lookup(calls);
        sim.loop.runUntil(start + Seconds(0.45));
        EXPECT_TRUE(calls.empty() && sim.log.lines().empty());
        sim.loop.runUntil(start + Seconds(10));
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].url, "https://www.bing.com/th?id=OHR.First_1920x1080.jpg");
        EXPECT_EQ(calls[0].queue, Queue::Network);
        EXPECT_EQ(calls[0].at, start.count() + 0.5);
        EXPECT_EQ(calls[0].facts.title, "Boats");
        EXPECT_EQ(calls[0].facts.copyright, "Mykonos (© A)");
        EXPECT_EQ(calls[0].facts.copyrightLink, "https://x.example/1");
        EXPECT_EQ(sim.log.lines(), std::vector<std::string>{"✅ 全球优先：成功拉取 [de-DE] 区域图 "
                                                            "https://www.bing.com/th?id=OHR."
                                                            "First_1920x1080.jpg"});
        for (auto request = sim.http.requests().begin() + long(first);
             request != sim.http.requests().end(); ++request)
            EXPECT_TRUE(request->cancelled);
    }
}

// With a region, its market's answer is delivered, also when another market is faster; when it
// fails, is unusable or stays silent, the first usable other answer stands in (at the deadline
// for silence, with no deadline line).
TEST(LookupRegionTest, TheRegionsAnswerIsDeliveredOrTheFirstOtherOneWhenItHasNone) {
    const Error closed{ErrorDomain::Network, 4, "closed", Cause::ConnectionClosed};
    struct Row {
        std::optional<ScriptedAnswer> region;
        std::string market;
        double at;
    };
    for (const auto& [region, market, at] : std::vector<Row>{
             {ScriptedAnswer{Seconds(0.3), answerWithURL("/us.jpg")}, "en-US", 0.3},
             {ScriptedAnswer{Seconds(0.5), std::nullopt, {0, ""}, closed}, "ja-JP", 0.5},
             {ScriptedAnswer{Seconds(0.05), std::nullopt, {0, ""}, closed}, "ja-JP", 0.1},
             {ScriptedAnswer{Seconds(0.5), R"({"images":[]})"}, "ja-JP", 0.5},
             {std::nullopt, "ja-JP", 5.0}}) {
        SimPlatform sim;
        AppDelegate delegate{sim.platform};
        sim.preferences.kept.region = "en-US";
        delegate.loadPreferences();
        if (region) sim.http.script(marketURL("en-US"), *region);
        sim.http.script(marketURL("ja-JP"), {Seconds(0.1), answerWithURL("/jp.jpg")});
        sim.http.script(marketURL("de-DE"), {Seconds(0.2), answerWithURL("/de.jpg")});
        std::vector<Call> calls;
        delegate.fetchLatestImageURL([&](std::optional<FoundImage> found, const LookupFailure&) {
            calls.push_back({found ? std::optional(found->url.absoluteString()) : std::nullopt,
                             sim.loop.currentQueue(), sim.loop.now().count()});
            EXPECT_TRUE(found && found->factsFinal);
        });
        sim.loop.runUntil(Seconds(30));
        ASSERT_EQ(calls.size(), 1u) << market;
        EXPECT_EQ(calls[0].url, market == "en-US" ? "https://www.bing.com/us.jpg"
                                                  : "https://www.bing.com/jp.jpg");
        EXPECT_EQ(calls[0].at, at);
        EXPECT_EQ(calls[0].queue, at == 5.0 ? Queue::Main : Queue::Network);
        EXPECT_EQ(sim.log.lines(), std::vector<std::string>{"✅ 全球优先：成功拉取 [" + market +
                                                            "] 区域图 " + *calls[0].url});
    }
}

// The marker goes from the address and from its base, whose Ultra HD picture is under the same
// origin rule.
TEST_F(LookupTest, PidMarkerIsRemovedEverywhereAndOnlyInLowerCase) {
    const Url origin = *Url::parse("https://www.bing.com");
    for (const auto& [url, expected] : std::vector<std::pair<std::string, std::string>>{
             // As a market answered in 2021: the marker in the middle.
             {"/th?id=OHR.ElephantGiving_JA-JP6387498046_UHD.jpg&rf=LaDigue_UHD.jpg&pid=hp&w=1920",
              "/th?id=OHR.ElephantGiving_JA-JP6387498046_UHD.jpg&rf=LaDigue_UHD.jpg&w=1920"},
             {"/a.jpg&pid=hp&x=1&pid=hp", "/a.jpg&x=1"},
             {"/a.jpg&PID=hp&pid=HP", "/a.jpg&PID=hp&pid=HP"},
             // One pass: what only forms the marker once an occurrence is gone stays.
             {"/a.jpg?x&pid&pid=hp=hp", "/a.jpg?x&pid=hp"},
             {"", ""}}) {
        const auto found = imageFromAnswer(
            R"({"images":[{"url":")" + url + R"(","urlbase":")" + url + R"("}]})", origin);
        ASSERT_TRUE(found.has_value()) << url;
        EXPECT_EQ(found->url.absoluteString(), "https://www.bing.com" + expected);
        if (!url.empty()) {
            EXPECT_EQ(found->ultraHD.value().absoluteString(),
                      "https://www.bing.com" + expected + "_UHD.jpg");
        }
    }
    // Facts that are not text are simply absent, as is a base of another origin; the address
    // stands.
    for (const std::string urlbase : {"7", R"("@evil.example/th?id=OHR.A")"}) {
        const auto odd = imageFromAnswer(
            R"({"images":[{"url":"/a.jpg","title":5,"copyright":null,"copyrightlink":["x"],)"
            R"("urlbase":)" +
                urlbase + "}]}",
            origin);
        ASSERT_TRUE(odd.has_value());
        EXPECT_EQ(odd->url.absoluteString(), "https://www.bing.com/a.jpg");
        EXPECT_FALSE(odd->facts.title || odd->facts.copyright || odd->facts.copyrightLink);
        EXPECT_FALSE(odd->ultraHD);
    }
}

TEST(MarketTest, TheUsersMarketAndThePicturesNameInEveryMarket) {
    for (const auto& [locale, market] : std::vector<std::pair<std::string, std::string>>{
             {"en_GB.UTF-8", "en-GB"}, {"de_AT", "de-DE"}, {"dsb_DE", "en-US"}})
        EXPECT_EQ(marketForLocale(locale), market) << locale;
    EXPECT_EQ(pictureName("https://www.bing.com/th?id=OHR.Owl_EN-US1234567890_1920x1080.jpg"),
              "OHR.Owl");
    EXPECT_EQ(pictureName("https://www.bing.com/th?rf=x&id=OHR.A_ROW1_UHD.jpg&w=1"), "OHR.A");
    EXPECT_EQ(pictureName("https://www.bing.com/th?pid=OHR.A_1.jpg"), "");
    EXPECT_FALSE(samePicture("https://www.bing.com/a.jpg", "https://www.bing.com/b.jpg"));
}

}  // namespace
}  // namespace daylume::test
