// The HTTP client, and the application on it, against a local HTTPS stand-in for the image
// service that misbehaves the way networks and middleboxes do.
#include <gtest/gtest.h>

#include <QThread>
#include <fstream>
#include <sstream>

#include "pipeline/image_lookup.h"
#include "platform/linux/curl_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "shell/app_delegate.h"
#include "support/event_loop.h"
#include "support/image_service.h"
#include "support/lookup_helpers.h"

namespace daylume::test {
namespace {

using namespace std::chrono_literals;

HttpLimits trustingTestCa(HttpLimits limits = {}) {
    limits.caFile = testCertificates() / "ca.pem";
    return limits;
}

// The application on Qt's loop and the real client, with everything else simulated.
struct Daylume {
    Daylume(SimPlatform& sim, QtMainLoop& loop, const ImageService& service, HttpLimits limits)
        : http(trustingTestCa(std::move(limits))),
          platform(sim.with(loop, http)),
          delegate(platform, service.origin()) {}
    // As the application ends: the hourly timer a launch check arms stops holding itself.
    ~Daylume() { delegate.applicationWillTerminate(); }
    CurlHttpClient http;
    Platform platform;
    AppDelegate delegate;
};

class NetworkTest : public ::testing::Test {
protected:
    explicit NetworkTest(bool http2 = false) : service(http2) {}

    bool logged(std::string_view prefix, int times = 1, std::chrono::milliseconds limit = 10s) {
        return waitUntil([&] { return sim.log.count(prefix) >= times; }, limit);
    }
    bool allMarketsAsked(int times) {
        return std::ranges::all_of(
            marketCodes, [&](auto market) { return service.requestsFor(market) >= times; });
    }

    ImageService service;
    SimPlatform sim;
    QtMainLoop loop;
    Daylume app{sim, loop, service, {.downloadRetryDelays = {300ms, 600ms}}};
};

// With Qt's pool, markets whose connection closed were sent again and again while others were
// never asked, and the picture was handed to a connection that was closing.
TEST_F(NetworkTest, MarketsThatCloseWithoutAnswerCostNothingElse) {
    service.configure(R"({"markets": {"zh-CN": {"close": true}, "en-GB": {"close": true},
                                      "fr-FR": {"close": true}, "de-DE": {"delay": 1.5},
                                      "*": {"hang": true}}})");
    app.delegate.runLaunchCheck();
    EXPECT_TRUE(waitUntil([&] { return allMarketsAsked(2); }, 4s)) << service.requests().size();
    ASSERT_TRUE(logged("✅ 壁纸设置成功："));
    EXPECT_TRUE(logged("✅ 全球优先：成功拉取 [de-DE]", 2));
    EXPECT_EQ(sim.log.count("❌"), 0);
    for (auto market : {"zh-CN", "en-GB", "fr-FR"}) EXPECT_EQ(service.requestsFor(market), 2);
}

// Qt queued the picture behind hung requests until they timed out.
TEST_F(NetworkTest, HungMarketsHoldBackNeitherTheAnswerNorThePicture) {
    service.configure(R"({"markets": {"en-US": {}, "*": {"hang": true}}})");
    app.delegate.runLaunchCheck();
    ASSERT_TRUE(logged("✅ 壁纸设置成功：", 1, 4s));
    EXPECT_EQ(sim.log.count("✅ 全球优先：成功拉取 [en-US]"), 2);

    service.configure(R"({"markets": {"en-CA": {"delay": 6}, "*": {"hang": true}}})");
    app.delegate.refreshWallpaper();
    ASSERT_TRUE(logged("❌ 获取 Bing 图片 URL 失败"));
    EXPECT_TRUE(logged("✅ 壁纸设置成功：", 2, 4s));
}

// A lookup that has its answer cancels the rest; one past its deadline keeps them, since a late
// answer still counts. Without cancelling, every lookup left the trickling connection behind.
TEST_F(NetworkTest, ADeliveredLookupLetsGoOfItsRequestsAndAnExpiredOneKeepsThem) {
    service.configure(R"({"markets": {"ja-JP": {"trickle": 0.5}, "*": {"delay": 0.2}}})");
    std::atomic<int> delivered = 0;
    std::vector<int> open;
    for (int i = 0; i < 20; ++i) {
        app.delegate.fetchLatestImageURL([&](auto found, auto) { delivered += bool(found); });
        ASSERT_TRUE(waitUntil([&] { return delivered == i + 1; }));
        waitUntil([&] { return service.connectionsOpen() <= 8; }, 1s);
        open.push_back(service.connectionsOpen());
    }
    EXPECT_LE(open.back(), open.front()) << ::testing::PrintToString(open);

    service.configure(R"({"markets": {"*": {"hang": true}}})");
    const int before = service.connectionsOpen();
    app.delegate.fetchLatestImageURL([](auto, auto) {});
    ASSERT_TRUE(logged("❌ 所有区域抓取超时，返回 nil"));
    waitUntil([] { return false; }, 300ms);
    EXPECT_GE(service.connectionsOpen(), std::max(before, 8));
}

TEST_F(NetworkTest, OnlyAPictureThatGotNoAnswerIsTriedAgain) {
    const std::string picture = "/th?id=OHR.Test_en-US_1920x1080.jpg&rf=LaDigue_1920x1080.jpg";
    service.configure(R"({"markets": {"en-US": {}, "*": {"hang": true}}, "prefixes": {"/th?": [
        {"status": 503}, {"type": "image/jpeg", "body_file": ")" +
                      service.picture().string() + R"("}]}})");
    app.delegate.refreshWallpaper();
    ASSERT_TRUE(logged("✅ 壁纸设置成功："));
    EXPECT_EQ(sim.log.count("❌"), 0);
    EXPECT_EQ(std::ranges::count(service.requests(), picture), 2);

    service.configure(R"({"markets": {"en-US": {}, "*": {"hang": true}},
                          "prefixes": {"/th?": {"status": 404, "type": "text/html"}}})");
    app.delegate.refreshWallpaper();
    ASSERT_TRUE(logged("❌ 设置桌面壁纸失败："));
    EXPECT_EQ(std::ranges::count(service.requests(), picture), 3);
}

// Each fault ends in one line that says what happened, and loses nothing: the next refresh works.
TEST_F(NetworkTest, AFaultyDownloadFailsWithItsCauseAndTheNextOneWorks) {
    Daylume tight(sim, loop, service, {.lowSpeedTime = 2s, .downloadRetryDelays = {100ms, 100ms}});
    const std::string body =
        R"("type": "image/jpeg", "body_file": ")" + service.picture().string() + R"(")";
    const std::vector<std::pair<std::string, std::string>> faults = {
        {R"({"reset_after": 300, )" + body + "}", "the answer broke off after "},
        {R"({"trickle": 0.01, )" + body + "}", "timed out: less than 1 KiB/s for 2 s"},
        {R"({"status": 503})", "HTTP 503 after 3 tries"},
        {R"({"status": 302, "location": "http://127.0.0.1:9/p.jpg"})",
         "redirected away from the service, to http://127.0.0.1:9/p.jpg"},
        {R"({"status": 302, "location": "https://localhost:9/p.jpg"})",
         "redirected away from the service, to https://localhost:9/p.jpg"},
    };
    for (const auto& [answer, cause] : faults) {
        SCOPED_TRACE(cause);
        service.configure(R"({"markets": {"en-US": {}, "*": {"hang": true}},
                              "prefixes": {"/th?": )" +
                          answer + "}}");
        sim.log.clear();
        tight.delegate.refreshWallpaper();
        ASSERT_TRUE(logged("❌", 1, 15s));
        EXPECT_EQ(sim.log.lines().back().rfind("❌ 图片下载失败：" + cause, 0), 0u)
            << sim.log.lines().back();
    }
    EXPECT_TRUE(sim.storedNames().empty());
    sim.log.clear();
    service.configure(R"({"markets": {"en-US": {}, "*": {"hang": true}}})");
    tight.delegate.refreshWallpaper();
    EXPECT_TRUE(logged("✅ 壁纸设置成功："));
}

// A crash must leave no half picture behind, and a runaway answer must not fill the disk.
TEST_F(NetworkTest, ADownloadHasNoNameInAnyFolderAndALimit) {
    TempDir tmp;
    setenv("TMPDIR", tmp.path().c_str(), 1);
    service.configure(R"({"prefixes": {"/th?": {"trickle": 0.05, "type": "image/jpeg"}}})");
    app.http.downloadTask(*Url::parse(service.origin() + "/th?id=slow"), [](auto, auto&, auto) {});
    ASSERT_TRUE(waitUntil([&] { return service.requests().size() == 1; }));
    waitUntil([] { return false; }, 300ms);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
    unsetenv("TMPDIR");

    std::ofstream(service.picture(), std::ios::binary) << std::string((64 << 20) + 1, 'x');
    service.configure("{}");
    std::optional<Error> error;
    app.http.downloadTask(
        *Url::parse(service.origin() + "/th?id=big"),
        [&](auto, auto&, std::optional<Error> e) { error = e.value_or(Error{}); });
    ASSERT_TRUE(waitUntil([&] { return error.has_value(); }, 30s));
    EXPECT_EQ(error->message, "the answer is larger than 64 MiB");
}

TEST_F(NetworkTest, DownloadCompletionsRunOneAtATimeOffTheMainThread) {
    std::atomic<int> running = 0, mostAtOnce = 0, done = 0, onMain = 0;
    std::string content;
    for (int i = 0; i < 3; ++i)
        app.http.downloadTask(*Url::parse(service.origin() + "/th?id=" + std::to_string(i)),
                              [&](auto file, const HttpResponse&, auto) {
                                  mostAtOnce = std::max(mostAtOnce.load(), ++running);
                                  onMain += QThread::currentThread() == qApp->thread();
                                  std::ostringstream in;
                                  in << std::ifstream(*file, std::ios::binary).rdbuf();
                                  content = in.str();
                                  QThread::msleep(100);  // an install that takes its time
                                  --running;
                                  ++done;
                              });
    ASSERT_TRUE(waitUntil([&] { return done == 3; }));
    EXPECT_EQ(mostAtOnce, 1);
    EXPECT_EQ(onMain, 0);
    std::ostringstream served;
    served << std::ifstream(service.picture(), std::ios::binary).rdbuf();
    EXPECT_EQ(content, served.str());
}

TEST_F(NetworkTest, AServerThatIsNotTrustedIsNamedAsSuch) {
    for (const auto& [certificate, cause] :
         {std::pair{"untrusted", "self-signed"}, std::pair{"expired", "expired"}}) {
        ImageService impostor(false, certificate);
        std::optional<Error> error;
        app.http.dataTask(
            *Url::parse(marketURL("en-US", impostor.origin())),
            [&](auto, auto&, std::optional<Error> e) { error = e.value_or(Error{}); });
        ASSERT_TRUE(waitUntil([&] { return error.has_value(); }));
        EXPECT_EQ(error->message, std::string("certificate not trusted: ") + cause);
        EXPECT_EQ(error->code, long(NetworkFailure::NotTrusted));
        EXPECT_TRUE(impostor.requests().empty());
    }
}

// At quit nothing calls back into an application that is going away.
TEST_F(NetworkTest, StoppingDropsWhatIsStillRunning) {
    service.configure(
        R"({"markets": {"*": {"hang": true}}, "prefixes": {"/th?": {"hang": true}}})");
    int calls = 0;
    for (auto market : marketCodes)
        app.http.dataTask(*Url::parse(marketURL(market, service.origin())),
                          [&](auto, auto&, auto) { ++calls; });
    app.http.downloadTask(*Url::parse(service.origin() + "/th?id=x"),
                          [&](auto, auto&, auto) { ++calls; });
    ASSERT_TRUE(waitUntil([&] { return service.requests().size() == 9; }));
    app.http.stop();
    EXPECT_TRUE(waitUntil([&] { return service.connectionsOpen() == 0; }));
    EXPECT_EQ(calls, 0);
}

class Http2Test : public NetworkTest {
protected:
    Http2Test() : NetworkTest(true) {}
};

// Over HTTP/2 a lookup is eight streams on one connection. Servers recycle connections with a
// GOAWAY; the requests it left unprocessed must go out again, or the lookup finds nothing.
TEST_F(Http2Test, ALookupSharesOneConnectionAndAGoawayCostsNoAnswer) {
    std::atomic<bool> delivered = false;
    app.delegate.fetchLatestImageURL([&](auto found, auto) { delivered = bool(found); });
    ASSERT_TRUE(waitUntil([&] { return delivered && allMarketsAsked(1); }));
    EXPECT_EQ(service.connectionsOpened(), 1);
    sim.log.clear();

    service.configure(R"({"goaway_after": 3, "markets": {"en-CA": {}, "*": {"hang": true}}})");
    app.delegate.runLaunchCheck();
    ASSERT_TRUE(logged("✅ 壁纸设置成功："));
    EXPECT_EQ(sim.log.count("✅ 全球优先：成功拉取 [en-CA]"), 2);
    EXPECT_EQ(sim.log.count("❌"), 0);
    EXPECT_GE(service.connectionsOpened(), 2);  // the first one went away
}

}  // namespace
}  // namespace daylume::test
