// The Qt HTTP client and the lookup on it, against the local HTTPS stand-in for the service.
#include <gtest/gtest.h>

#include <QThread>
#include <fstream>
#include <sstream>

#include "pipeline/image_lookup.h"
#include "platform/linux/qt_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "shell/app_delegate.h"
#include "support/event_loop.h"
#include "support/image_service_stub.h"
#include "support/lookup_helpers.h"
#include "support/sim_platform.h"
#include "support/test_certificates.h"

namespace daylume::test {
namespace {

struct DataResult {
    std::string url;
    std::optional<std::string> body;
    HttpResponse response;
    std::optional<Error> error;
};

struct DownloadResult {
    std::optional<std::string> content;
    HttpResponse response;
    std::optional<Error> error;
    bool onMainThread = true;
    std::filesystem::path file;
};

class HttpClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new TempDir;
        certificates = makeTestCertificates(QString::fromStdString(folder->path().string()));
        trustTestCa(certificates);
    }

    void SetUp() override { ASSERT_TRUE(stub.listen()); }

    Url url(const std::string& target) const {
        return *Url::parse(stub.origin().toStdString() + target);
    }
    void fetch(const std::string& target) {
        http.dataTask(url(target),
                      [this, target](std::optional<std::string> body, const HttpResponse& response,
                                     std::optional<Error> error) {
                          data.push_back({target, std::move(body), response, std::move(error)});
                      });
    }
    DownloadResult download(const std::string& target) {
        std::optional<DownloadResult> result;
        std::mutex mutex;
        http.downloadTask(url(target),
                          [&](std::optional<std::filesystem::path> file,
                              const HttpResponse& response, std::optional<Error> error) {
                              DownloadResult r{std::nullopt, response, std::move(error),
                                               QThread::currentThread() == qApp->thread()};
                              if (file) {
                                  std::ifstream in(*file, std::ios::binary);
                                  std::ostringstream content;
                                  content << in.rdbuf();
                                  r.content = content.str();
                                  r.file = *file;
                              }
                              std::lock_guard lock(mutex);
                              result = std::move(r);
                          });
        EXPECT_TRUE(waitUntil([&] {
            std::lock_guard lock(mutex);
            return result.has_value();
        }));
        QThread::msleep(50);  // let the worker finish removing the file
        return result.value_or(DownloadResult{});
    }

    static inline TempDir* folder = nullptr;
    static inline TestCertificates certificates;
    ImageServiceStub stub{certificates.serverCert, certificates.serverKey};
    QtHttpClient http;
    std::vector<DataResult> data;
};

TEST_F(HttpClientTest, EightRequestsToOneHostAreAllInFlightOverHttp1) {
    stub.setDefaultMarketAnswer({.hang = true});
    for (std::string_view market : marketCodes) fetch(marketURL(market, ""));
    // Were any held back behind Qt's six connections per host, only six would ever arrive.
    EXPECT_TRUE(waitUntil([&] { return stub.requests().size() == 8; }));
    EXPECT_EQ(stub.maxConcurrentConnections(), 8);
    EXPECT_TRUE(data.empty());
}

TEST_F(HttpClientTest, AnHttpErrorStatusIsAnAnswerAndAResetIsAnError) {
    stub.setMarketAnswer("en-US",
                         {.status = 503, .contentType = "text/html", .body = "<html>busy</html>"});
    stub.setPathAnswer(
        "/reset.jpg",
        {.contentType = "image/jpeg", .body = QByteArray(50'000, 'x'), .resetAfterBytes = 1000});
    fetch(marketURL("en-US", ""));
    fetch("/reset.jpg");
    ASSERT_TRUE(waitUntil([&] { return data.size() == 2; }));

    const DataResult& page = data[0].url == "/reset.jpg" ? data[1] : data[0];
    const DataResult& reset = data[0].url == "/reset.jpg" ? data[0] : data[1];
    EXPECT_FALSE(page.error.has_value());
    EXPECT_EQ(page.response.status, 503);
    EXPECT_EQ(page.response.contentType, "text/html");
    EXPECT_EQ(page.body, "<html>busy</html>");
    EXPECT_TRUE(reset.error.has_value());
    EXPECT_FALSE(reset.body.has_value());
}

TEST_F(HttpClientTest, ADownloadIsStreamedToAFileHandedOverOffTheMainThread) {
    QByteArray picture(3'000'000, '\0');
    for (int i = 0; i < picture.size(); ++i) picture[i] = char(i * 31 % 251);
    stub.setPathAnswer("/th?id=OHR.Big.jpg", {.contentType = "image/jpeg", .body = picture});
    const DownloadResult result = download("/th?id=OHR.Big.jpg");

    EXPECT_FALSE(result.error.has_value());
    EXPECT_EQ(result.response.status, 200);
    EXPECT_FALSE(result.onMainThread);
    EXPECT_EQ(result.content, picture.toStdString());
    EXPECT_FALSE(std::filesystem::exists(result.file));  // removed once the completion returned
}

TEST_F(HttpClientTest, DownloadCompletionsRunOneAtATime) {
    stub.setPrefixAnswer("/th?", {.contentType = "image/jpeg", .body = QByteArray(1000, 'x')});
    std::atomic<int> running = 0, mostAtOnce = 0, done = 0;
    for (int i = 0; i < 3; ++i)
        http.downloadTask(url("/th?id=" + std::to_string(i)), [&](auto, auto&, auto) {
            mostAtOnce = std::max(mostAtOnce.load(), ++running);
            QThread::msleep(100);  // an install that takes its time
            --running;
            ++done;
        });
    ASSERT_TRUE(waitUntil([&] { return done == 3; }));
    EXPECT_EQ(mostAtOnce, 1);
}

TEST_F(HttpClientTest, AnErrorPageDownloadsAsAFileWithItsStatus) {
    const DownloadResult result = download("/th?id=OHR.Missing.jpg");
    EXPECT_FALSE(result.error.has_value());
    EXPECT_EQ(result.response.status, 404);
    EXPECT_TRUE(result.response.contentType.starts_with("text/html"));
    ASSERT_TRUE(result.content.has_value());
    EXPECT_NE(result.content->find("Not Found"), std::string::npos);
}

// The lookup over the real client: AppDelegate on Qt's main loop, with the stand-in as service.
class LookupOverHttpsTest : public HttpClientTest {
protected:
    std::vector<std::optional<std::string>> lookup(ImageServiceStub& service, HttpClient& client) {
        SimPlatform sim;  // everything but the loop, the client and the log
        Platform platform{loop, client,          sim.files,  sim.desktop,
                          log,  sim.application, sim.bundle, sim.notifications};
        AppDelegate delegate(platform, service.origin().toStdString());
        std::vector<std::optional<std::string>> calls;
        delegate.fetchLatestImageURL([&](std::optional<Url> url) {
            calls.push_back(url ? std::optional(url->absoluteString()) : std::nullopt);
        });
        EXPECT_TRUE(waitUntil([&] { return !calls.empty(); }));
        return calls;
    }

    QtMainLoop loop;
    CapturedLog log;
};

// Whichever market alone answers while the seven others hang, its answer is not held back
// behind the others' connections and arrives before the deadline.
TEST_F(LookupOverHttpsTest, AnyOneMarketAnsweringAloneDeliversBeforeTheDeadline) {
    for (std::string_view market : marketCodes) {
        SCOPED_TRACE(market);
        const QString code = QString::fromLatin1(market.data(), qsizetype(market.size()));
        ImageServiceStub service(certificates.serverCert, certificates.serverKey);
        ASSERT_TRUE(service.listen());
        service.setDefaultMarketAnswer({.hang = true});
        service.setMarketAnswer(
            code, {.body = ImageServiceStub::archiveJson(code, QDate::currentDate())});
        QtHttpClient client;
        log.clear();
        const auto calls = lookup(service, client);

        const std::string expected = service.origin().toStdString() + "/th?id=OHR.Test_" +
                                     std::string(market) +
                                     "_1920x1080.jpg&rf=LaDigue_1920x1080.jpg";
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0], expected);
        EXPECT_EQ(log.lines(),
                  std::vector<std::string>{"✅ 全球优先：成功拉取 [" + std::string(market) +
                                           "] 区域图 " + expected});
    }
}

TEST_F(LookupOverHttpsTest, AServerTheClientDoesNotTrustYieldsNoAnswer) {
    ImageServiceStub impostor(certificates.untrustedCert, certificates.untrustedKey);
    ASSERT_TRUE(impostor.listen());
    QtHttpClient client;  // no connection of the trusting tests can be reused
    const auto calls = lookup(impostor, client);

    EXPECT_EQ(calls, std::vector<std::optional<std::string>>{std::nullopt});
    EXPECT_EQ(log.lines(), std::vector<std::string>{"❌ 所有区域抓取超时，返回 nil"});
    EXPECT_TRUE(impostor.requests().empty());
}

}  // namespace
}  // namespace daylume::test
