// The image-of-the-day lookup on the simulated platform: request order, the choice of answer,
// the deadline, and what is dropped.
#include "support/prelude.h"

#include "pipeline/image_lookup.h"

namespace daylume::test {
namespace {

using Queue = SimLoop::Queue;
const std::string kTimedOut = "❌ 所有区域抓取超时，返回 nil";

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

TEST_F(LookupTest, AsksEveryMarketAtOnceAndTimesOutAfterFiveSeconds) {
    lookup(calls);
    ASSERT_EQ(sim.http.requests().size(), marketCodes.size());
    EXPECT_EQ(sim.http.requests()[0].url,
              "https://www.bing.com/HPImageArchive.aspx?format=js&idx=0&n=1&mkt=zh-CN");
    for (std::size_t i = 0; i < marketCodes.size(); ++i) {
        EXPECT_EQ(sim.http.requests()[i].url, marketURL(marketCodes[i]));
        EXPECT_EQ(sim.http.requests()[i].at.count(), 0.0);
    }
    sim.loop.runUntil(Seconds(4.999));
    EXPECT_TRUE(calls.empty() && sim.log.lines().empty());
    sim.loop.runUntil(Seconds(5.0));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].url, std::nullopt);
    EXPECT_EQ(calls[0].queue, Queue::Main);
    EXPECT_EQ(calls[0].why, LookupFailure{Cause::NoAnswer});
    EXPECT_EQ(sim.log.lines(), std::vector{kTimedOut});
    // A late answer still counts, so nothing is cancelled.
    for (const auto& request : sim.http.requests()) EXPECT_FALSE(request.cancelled);
}

// Failures are reported only at the deadline, with what most markets ran into: a wrong clock or
// an intercepting proxy must not read like a slow network.
TEST_F(LookupTest, TheDeadlineSaysWhyMostMarketsFoundNothing) {
    using enum Cause;
    for (const auto& [failures, why] : std::vector<std::pair<std::vector<Cause>, LookupFailure>>{
             {{NoNetwork, NoNetwork, NoNetwork, NoNetwork, NoNetwork, NoNetwork, NoNetwork,
               NoNetwork},
              {NoNetwork}},
             {{NotTrusted, NotTrusted, NotTrusted, NotTrusted, NotTrusted, TimedOut, TimedOut,
               TimedOut},
              {NotTrusted, "expired"}},
             {{Unknown, Unknown, Unknown, Unknown, Unknown, Unknown, Unknown, TimedOut},
              {NoPicture}}}) {
        SimPlatform sim;
        AppDelegate delegate(sim.platform);
        for (std::size_t i = 0; i < marketCodes.size(); ++i)
            sim.http.script(marketURL(marketCodes[i]),
                            {Seconds(0.1),
                             "<html>busy</html>",
                             {0, ""},
                             failures[i] != Unknown
                                 ? std::optional(Error{"Network", 1, "x", failures[i],
                                                       failures[i] == NotTrusted ? "expired" : ""})
                                 : std::nullopt});
        std::optional<LookupFailure> reported;
        delegate.fetchLatestImageURL([&](auto, const LookupFailure& w) { reported = w; });
        sim.loop.runUntil(Seconds(4.9));
        EXPECT_TRUE(sim.log.lines().empty());
        sim.loop.runUntil(Seconds(30));
        EXPECT_EQ(reported, why);
    }
}

TEST_F(LookupTest, FirstUsableAnswerWinsWhateverItsMarketOrStatusWithItsFacts) {
    answer("zh-CN", 0.1, R"({"images":[]})");
    answer("de-DE", 0.5,
           R"json({"images":[{"url":"/th?id=OHR.First_1920x1080.jpg&pid=hp","title":"Fishing boats",
               "copyright":"Mykonos (© A. Photographer)","copyrightlink":"https://x.example/1"}]})json",
           500);
    answer("ja-JP", 0.7, R"({"images":[{"url":"/th?id=OHR.Second.jpg","title":"Other"}]})");
    answer("en-US", 0.7, "not json at all");
    lookup(calls);
    sim.loop.runUntil(Seconds(60));

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].url, "https://www.bing.com/th?id=OHR.First_1920x1080.jpg");
    EXPECT_EQ(calls[0].queue, Queue::Network);
    EXPECT_EQ(calls[0].at, 0.5);
    EXPECT_EQ(calls[0].facts.title, "Fishing boats");
    EXPECT_EQ(calls[0].facts.copyright, "Mykonos (© A. Photographer)");
    EXPECT_EQ(calls[0].facts.copyrightLink, "https://x.example/1");
    EXPECT_EQ(sim.log.lines(), std::vector<std::string>{"✅ 全球优先：成功拉取 [de-DE] 区域图 "
                                                        "https://www.bing.com/th?id=OHR.First_"
                                                        "1920x1080.jpg"});
    // The answers still to come would be dropped unread; their requests are let go.
    for (const auto& request : sim.http.requests()) EXPECT_TRUE(request.cancelled);
}

// Each unusable shape is dropped without a line, and a later good answer still wins.
TEST_F(LookupTest, UnusableAnswersAreDroppedSilently) {
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
        SimPlatform sim;
        AppDelegate delegate(sim.platform);
        std::vector<std::optional<std::string>> delivered;
        sim.http.script(marketURL("zh-CN"), {Seconds(0.1), body});
        sim.http.script(marketURL("ja-JP"),
                        {Seconds(0.2), std::nullopt, {0, ""}, Error{"Network", 4, "closed"}});
        sim.http.script(marketURL("en-CA"), {Seconds(0.3), answerWithURL("/good.jpg")});
        delegate.fetchLatestImageURL([&](std::optional<FoundImage> found, const LookupFailure&) {
            delivered.push_back(found ? std::optional(found->url.absoluteString()) : std::nullopt);
        });
        sim.loop.runUntil(Seconds(0.25));
        EXPECT_TRUE(delivered.empty() && sim.log.lines().empty());
        sim.loop.runUntil(Seconds(10));
        EXPECT_EQ(delivered,
                  std::vector<std::optional<std::string>>{"https://www.bing.com/good.jpg"});
        EXPECT_EQ(sim.log.lines().size(), 1u);
    }
}

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
        const auto found = imageFromAnswer(answerWithURL(url), origin);
        ASSERT_TRUE(found.has_value()) << url;
        EXPECT_EQ(found->url.absoluteString(), "https://www.bing.com" + expected);
    }
    // Facts that are not text are simply absent; the address stands.
    const auto odd = imageFromAnswer(
        R"({"images":[{"url":"/a.jpg","title":5,"copyright":null,"copyrightlink":["x"]}]})",
        origin);
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(odd->url.absoluteString(), "https://www.bing.com/a.jpg");
    EXPECT_FALSE(odd->facts.title || odd->facts.copyright || odd->facts.copyrightLink);
}

// Every market answers 6 s after its request: each lookup times out before its answer, which
// still follows, and neither lookup's answer ends the other's wait.
TEST_F(LookupTest, OverlappingLookupsHaveTheirOwnDeadlinesAndTakeLateAnswers) {
    for (std::string_view market : marketCodes)
        answer(market, 6.0, answerWithURL("/" + std::string(market) + ".jpg"));
    std::vector<Call> second;
    lookup(calls);
    sim.loop.runUntil(Seconds(2.0));
    lookup(second);
    EXPECT_EQ(sim.http.requests().size(), 16u);
    sim.loop.runUntil(Seconds(60));

    for (const auto& [made, at] : {std::pair{&calls, 0.0}, std::pair{&second, 2.0}}) {
        ASSERT_EQ(made->size(), 2u);
        EXPECT_EQ((*made)[0].url, std::nullopt);
        EXPECT_EQ((*made)[0].at, at + 5);
        EXPECT_EQ((*made)[0].queue, Queue::Main);
        EXPECT_EQ((*made)[1].url, "https://www.bing.com/zh-CN.jpg");
        EXPECT_EQ((*made)[1].at, at + 6);
        EXPECT_EQ((*made)[1].queue, Queue::Network);
    }
    const std::string found = "✅ 全球优先：成功拉取 [zh-CN] 区域图 https://www.bing.com/zh-CN.jpg";
    EXPECT_EQ(sim.log.lines(), (std::vector{kTimedOut, found, kTimedOut, found}));
}

}  // namespace
}  // namespace daylume::test
