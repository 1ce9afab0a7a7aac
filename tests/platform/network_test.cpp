// The HTTP client, and the application on it, against a local HTTPS stand-in for the image
// service that misbehaves the way networks and middleboxes do.
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <dlfcn.h>

#include <QThread>
#include <fstream>
#include <sstream>

#include "pipeline/image_lookup.h"
#include "platform/linux/curl_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/serial_queue.h"
#include "shell/app_delegate.h"
#include "support/event_loop.h"
#include "support/image_service.h"
#include "support/lookup_helpers.h"

// libcurl refusing to take a request, as when memory runs out: while set, the client's calls of
// curl_multi_add_handle come here and fail.
static std::atomic<bool> refuseRequests = false;
extern "C" CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
    static const auto add =
        reinterpret_cast<CURLMcode (*)(CURLM*, CURL*)>(dlsym(RTLD_NEXT, "curl_multi_add_handle"));
    return refuseRequests ? CURLM_OUT_OF_MEMORY : add(multi, easy);
}

namespace daylume::test {
namespace {

using namespace std::chrono_literals;

// The application on Qt's loop and the real client, with everything else simulated.
struct Daylume {
    Daylume(SimPlatform& sim, QtMainLoop& loop, const ImageService& service, HttpLimits limits)
        : http(installs, (limits.caFile = testCertificates() / "ca.pem", std::move(limits))),
          platform(sim.with(loop, installs, http)),
          delegate(platform, service.origin()) {}
    // As the application ends: the hourly timer a launch check arms stops holding itself.
    ~Daylume() { delegate.applicationWillTerminate(); }
    SerialQueue installs;
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
    Daylume app{sim, loop, service, {.answerTimeout = 8s, .downloadRetryDelays = {300ms, 600ms}}};
};

// Each request has a connection (or HTTP/2 stream) of its own: a market that closed is asked
// once more on a new connection, then by the next lookup only, and hung ones hold back neither
// the answer nor the picture.
TEST_F(NetworkTest, MarketsThatCloseOrHangCostNothingElse) {
    service.configure(R"({"markets": {"zh-CN": {"close": true}, "en-GB": {"close": true},
                                      "fr-FR": {"close": true}, "de-DE": {"delay": 1.5},
                                      "*": {"hang": true}}})");
    app.delegate.runLaunchCheck();
    EXPECT_TRUE(waitUntil([&] { return allMarketsAsked(2); }, 4s)) << service.requests().size();
    ASSERT_TRUE(logged("✅ 壁纸设置成功："));
    EXPECT_TRUE(logged("✅ 全球优先：成功拉取 [de-DE]", 2));
    EXPECT_EQ(sim.log.count("❌"), 0);
    for (auto market : {"zh-CN", "en-GB", "fr-FR"}) EXPECT_EQ(service.requestsFor(market), 4);
}

// A lookup that has its answer cancels the rest (else every lookup left the trickling connection
// behind); one past its deadline keeps them, since a late answer counts, until their time limit.
TEST_F(NetworkTest, ADeliveredLookupLetsGoOfItsRequestsAndAnExpiredOneKeepsThem) {
    service.configure(R"({"markets": {"ja-JP": {"trickle": 0.5}, "*": {"delay": 0.2}}})");
    std::atomic<int> delivered = 0;
    for (int i = 0; i < 20; ++i) {
        app.delegate.fetchLatestImageURL([&](auto found, auto) { delivered += bool(found); });
        ASSERT_TRUE(waitUntil([&] { return delivered == i + 1; }));
    }
    // Kept, the 20 trickling requests would hold their connections for good.
    EXPECT_TRUE(waitUntil([&] { return service.connectionsOpen() <= 8; }, 5s))
        << service.connectionsOpen();

    service.configure(R"({"markets": {"*": {"hang": true}}})");
    const int before = service.connectionsOpen();
    app.delegate.fetchLatestImageURL([](auto, auto) {});
    ASSERT_TRUE(logged("❌ 所有区域抓取超时，返回 nil"));
    pause(300ms);
    EXPECT_GE(service.connectionsOpen(), std::max(before, 8));
    EXPECT_TRUE(waitUntil([&] { return service.connectionsOpen() == 0; }, 4s));
    // Nor are more than a few idle connections kept after a burst of requests, each on its own.
    service.configure(R"({"markets": {"*": {"delay": 0.2}}})");
    std::atomic<int> answered = 0;
    for (int i = 0; i < 30; ++i)
        app.http.dataTask(*Url::parse(marketURL("de-DE", service.origin())),
                          [&](auto, auto&, auto) { ++answered; });
    ASSERT_TRUE(waitUntil([&] { return answered == 30; }));
    EXPECT_TRUE(waitUntil([&] { return service.connectionsOpen() <= 16; }, 1s));
}

// Each fault ends in one line that says what happened, and loses nothing: the next refresh works.
// A try is one request: libcurl does not send it again on its own, on the connections pooled.
TEST_F(NetworkTest, AFaultyDownloadFailsWithItsCauseAndTheNextOneWorks) {
    Daylume tight(sim, loop, service,
                  {.maxDownloadBytes = 65536,
                   .lowSpeedBytesPerSecond = 10,
                   .lowSpeedTime = 2s,
                   .downloadTimeout = 3s,
                   .downloadRetryDelays = {100ms, 100ms}});
    const std::string body =
        R"("type": "image/jpeg", "body_file": ")" + service.picture().string() + R"(")";
    const std::vector<std::pair<std::string, std::string>> faults = {
        {R"({"reset_after": 300, )" + body + "}", "the answer broke off after "},
        {R"({"trickle": 0.5, )" + body + "}", "timed out: less than 10 bytes/s for 2 s"},
        {R"({"trickle": 0.005, )" + body + "}", "timed out: no whole answer within 3 s"},
        {R"({"status": 503})", "HTTP 503 after 3 tries"},
        {R"({"close": true})", "the server closed the connection before answering after 3 tries"},
        {R"({"status": 302, "location": "http://127.0.0.1:9/p.jpg"})",
         "redirected away from the service, to http://127.0.0.1:9/p.jpg"},
        {R"({"body": ")" + std::string(65537, 'x') + R"("})", "the answer is larger than 64 KiB"},
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
    EXPECT_EQ(
        std::ranges::count_if(service.requests(), [](auto& t) { return t.starts_with("/th?"); }),
        11);
    sim.log.clear();
    service.configure(R"({"markets": {"en-US": {}, "*": {"hang": true}}})");
    tight.delegate.refreshWallpaper();
    EXPECT_TRUE(logged("✅ 壁纸设置成功："));
}

// A download that got no answer, or a busy server's page, is tried again into an empty file. The
// file has no name in any folder, so a crash leaves no half picture behind.
TEST_F(NetworkTest, DownloadsAreTriedAgainAndCompleteOneAtATimeOffTheMainThread) {
    service.configure(R"({"prefixes": {"/th?": [{"close": true}, {"status": 503, "body": "busy"},
                          {"type": "image/jpeg", "body_file": ")" +
                      service.picture().string() + R"("}]}})");
    const std::string served = readText(service.picture());
    std::atomic<int> running = 0, mostAtOnce = 0, done = 0, onMain = 0, whole = 0;
    TempDir tmp;
    setenv("TMPDIR", tmp.path().c_str(), 1);
    for (int i = 0; i < 4; ++i)
        app.http.downloadTask(*Url::parse(service.origin() + "/th?id=" + std::to_string(i)),
                              [&](auto file, const HttpResponse&, auto) {
                                  mostAtOnce = std::max(mostAtOnce.load(), ++running);
                                  onMain += QThread::currentThread() == qApp->thread();
                                  whole += file && readText(*file) == served &&
                                           std::filesystem::is_empty(tmp.path());
                                  QThread::msleep(100);  // an install that takes its time
                                  --running;
                                  ++done;
                              });
    unsetenv("TMPDIR");
    ASSERT_TRUE(waitUntil([&] { return done == 4; }));
    EXPECT_EQ(mostAtOnce, 1);
    EXPECT_EQ(onMain, 0);
    EXPECT_EQ(whole, 4);  // and nameless
}

// A request that cannot start (libcurl refuses it, no temporary file) fails at once, once, with
// its cause, and never goes out later when something else wakes the network thread.
TEST_F(NetworkTest, ARequestThatCannotStartFailsOnceWithItsCause) {
    std::mutex mutex;
    std::multiset<std::string> said;
    auto record = [&](auto, auto&, std::optional<Error> error) {
        std::lock_guard lock(mutex);
        said.insert(error ? error->message : "answer");
    };
    auto heard = [&](std::size_t count) {
        return waitUntil([&] {
            std::lock_guard lock(mutex);
            return said.size() == count;
        });
    };
    const Url address = *Url::parse(marketURL("en-US", service.origin()));
    refuseRequests = true;
    app.http.dataTask(address, record);
    app.http.downloadTask(address, record);
    const bool failedAtOnce = heard(2);
    refuseRequests = false;  // also for the tests after this one
    ASSERT_TRUE(failedAtOnce);
    setenv("TMPDIR", "/nonexistent", 1);
    app.http.downloadTask(address, record);
    unsetenv("TMPDIR");
    app.http.dataTask(address, record);
    ASSERT_TRUE(heard(4));
    pause(300ms);  // for anything that went out again
    EXPECT_EQ(said,
              (std::multiset<std::string>{"answer", "cannot start the request: Out of memory",
                                          "cannot start the request: Out of memory",
                                          "temporary download file: No such file or directory"}));
    EXPECT_EQ(service.requests().size(), 1u);
}

// The trusted certificates are read once, not again for each connection (each read held its own
// copy of the system's: a burst of checks cost hundreds of MB): emptied, the file still trusts.
TEST_F(NetworkTest, AServerThatIsNotTrustedIsNamedAsSuch) {
    TempDir dir;
    std::filesystem::copy(testCertificates() / "ca.pem", dir.path() / "ca.pem");
    SerialQueue installs;
    CurlHttpClient http(installs, {.caFile = dir.path() / "ca.pem"});
    ImageService impostor(false, "expired");
    std::optional<Error> error;
    for (const auto& server : {&service, &impostor}) {
        error.reset();
        http.dataTask(*Url::parse(marketURL("en-US", server->origin())),
                      [&](auto, auto&, std::optional<Error> e) { error = e.value_or(Error{}); });
        ASSERT_TRUE(waitUntil([&] { return error.has_value(); }));
        std::ofstream(dir.path() / "ca.pem", std::ios::trunc).flush();
    }
    EXPECT_EQ(error->message, "certificate not trusted: expired");
    EXPECT_TRUE(impostor.requests().empty());
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

// What libcurl reported when an attempt ended comes to a retry, a redirect, the answer, or an
// error with the cause a person can act on, while the log keeps its code and words.
TEST(NetworkAttemptTest, AnEndedAttemptComesToItsOutcomeAndCause) {
    using enum Cause;
    struct Row {
        AttemptReport facts;
        std::string said;  // the beginning of "<code> <message>", or of the outcome
        Cause cause = Unknown;
        std::string detail = "";
    };
    const std::string home = "https://127.0.0.1:8443/", tls = "1 certificate not trusted: ";
    constexpr auto kTimeout = CURLE_OPERATION_TIMEDOUT, kTls = CURLE_PEER_FAILED_VERIFICATION;
    const Row rows[] = {
        {{.code = CURLE_COULDNT_RESOLVE_HOST, .errorText = "e"}, "2 no network: e", NoNetwork},
        {{.code = CURLE_COULDNT_CONNECT, .osError = ENETUNREACH, .tries = 2},
         "2 no net",
         NoNetwork},
        {{.code = CURLE_COULDNT_CONNECT, .tries = 2}, "4 cannot connect", NoAnswer},
        {{.code = CURLE_COULDNT_CONNECT}, "retry in 0 ms"},
        {{.code = CURLE_HTTP2}, "retry in 0 ms"},
        {{.code = CURLE_GOT_NOTHING, .download = true}, "retry in 2000 ms"},
        {{.code = CURLE_HTTP2_STREAM, .download = true}, "retry in 2000 ms"},
        {{.code = CURLE_PARTIAL_FILE, .tries = 2},
         "4 the server closed the connection before",
         ConnectionClosed},
        {{.code = CURLE_PARTIAL_FILE, .headerBytes = 9},
         "4 the answer broke off after 0",
         ConnectionClosed},
        {{.code = kTimeout}, "3 timed out: no connection within 10 s", TimedOut},
        {{.code = kTimeout, .requestBytes = 9, .elapsed = 60s}, "3 timed out: no whole", TimedOut},
        {{.code = kTimeout, .requestBytes = 9, .elapsed = 60s, .download = true},
         "3 timed out: less",
         TimedOut},
        {{.code = kTimeout, .requestBytes = 9, .elapsed = 600s, .download = true},
         "3 timed out: no whole answer within 600 s",
         TimedOut},
        {{.code = kTls, .verifyResult = 9}, tls + "not valid yet", NotTrusted, "not_yet_valid"},
        {{.code = kTls, .verifyResult = 10}, tls + "expired", NotTrusted, "expired"},
        {{.code = kTls, .verifyResult = 18}, tls + "self-signed", NotTrusted, "self_signed"},
        {{.code = kTls, .verifyResult = 20}, tls + "issued by", NotTrusted, "unknown_authority"},
        {{.code = kTls, .verifyResult = 23}, tls + "revoked", NotTrusted, "revoked"},
        {{.code = kTls, .verifyResult = 50, .errorText = "e"}, tls + "e", NotTrusted, "invalid"},
        {{.location = "http://127.0.0.1:8443/"}, "4 redirected away", RedirectedAway},
        {{.location = "https://localhost:8443/"}, "4 redirected away", RedirectedAway},
        {{.location = home, .redirects = 4}, "redirect to " + home},
        {{.location = home, .redirects = 5}, "4 more than 5 redirects"},
        {{.status = 504, .download = true, .tries = 3}, "4 HTTP 504 after", HttpStatus, "504"},
        {{.status = 503}, "answer"},
        {{.status = 404, .download = true}, "answer"},
        {{.code = CURLE_WRITE_ERROR, .tooLarge = true}, "4 the answer is larger", AnswerTooLarge},
        {{.code = CURLE_WRITE_ERROR, .writeError = ENOSPC}, "28 temporary download", DiskFull},
    };
    for (const Row& row : rows) {
        const AttemptOutcome outcome = attemptOutcome(*Url::parse(home + "th?id=x"), row.facts, {});
        const Error error = outcome.error.value_or(Error{});
        const std::string said =
            outcome.error        ? std::to_string(error.code) + " " + error.message
            : outcome.retryAfter ? "retry in " + std::to_string(outcome.retryAfter->count()) + " ms"
            : outcome.redirectTo.empty() ? "answer"
                                         : "redirect to " + outcome.redirectTo;
        EXPECT_TRUE(said.starts_with(row.said)) << said;
        EXPECT_TRUE(!outcome.error ||
                    error.domain ==
                        (row.cause == DiskFull ? ErrorDomain::Posix : ErrorDomain::Network));
        EXPECT_EQ(std::pair(error.cause, error.detail), std::pair(row.cause, row.detail)) << said;
    }
}

class Http2Test : public NetworkTest {
protected:
    Http2Test() : NetworkTest(true) {}
};

// Over HTTP/2 a lookup is eight streams on one connection. Servers recycle connections with a
// GOAWAY, or drop them; a request left unanswered goes out once more on a connection of its own,
// else one market that drops the connection (or a GOAWAY after each stream) sinks the lookup.
TEST_F(Http2Test, ALookupSharesOneConnectionAndAGoawayOrADropCostsNoAnswer) {
    std::atomic<bool> delivered = false;
    auto lookUp = [&] {
        delivered = false;
        app.delegate.fetchLatestImageURL([&](auto found, auto) { delivered = bool(found); });
        return waitUntil([&] { return delivered.load(); }, 4s);
    };
    ASSERT_TRUE(lookUp());
    EXPECT_TRUE(waitUntil([&] { return allMarketsAsked(1); }));  // the stand-in's log may lag
    EXPECT_EQ(service.connectionsOpened(), 1);

    const std::string markets = R"("markets": {"fr-FR": {"close": true, "delay": 0.1},
                                  "en-CA": {"delay": 0.3}, "*": {"body": "{}"}})";
    service.configure("{" + markets + "}");
    EXPECT_TRUE(lookUp());
    // Once more, and no more (libcurl itself may retry once when a reused connection drops).
    const int frFR = service.requestsFor("fr-FR");
    EXPECT_TRUE(frFR == 3 || frFR == 4) << frFR;
    service.configure(R"({"goaway_after": 1, )" + markets + "}");
    EXPECT_TRUE(lookUp());

    sim.log.clear();
    service.configure(R"({"goaway_after": 3, "markets": {"en-CA": {}, "*": {"hang": true}}})");
    app.delegate.runLaunchCheck();
    ASSERT_TRUE(logged("✅ 壁纸设置成功："));
    EXPECT_EQ(sim.log.count("✅ 全球优先：成功拉取 [en-CA]"), 2);
    EXPECT_EQ(sim.log.count("❌"), 0);
}

}  // namespace
}  // namespace daylume::test
