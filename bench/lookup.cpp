// Time from fetchLatestImageURL to the delivered address, against the local HTTPS stand-in, with
// one market answering after `d` ms and the other seven later; beside a single plain request to
// that market in the same run. Prints the medians and their ratio.
#include <QCoreApplication>
#include <cstdio>

#include "pipeline/image_lookup.h"
#include "platform/linux/qt_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "shell/app_delegate.h"
#include "stats.h"
#include "support/event_loop.h"
#include "support/image_service_stub.h"
#include "support/sim_platform.h"
#include "support/test_certificates.h"

using namespace daylume;
using namespace daylume::test;
using daylume::bench::Clock;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    constexpr int kRuns = 50;
    constexpr int kFastMs = 40;   // the market that answers first
    constexpr int kSlowMs = 400;  // everyone else
    const QString fastMarket = "de-DE";

    TempDir folder;
    const TestCertificates certificates =
        makeTestCertificates(QString::fromStdString(folder.path().string()));
    trustTestCa(certificates);
    ImageServiceStub stub(certificates.serverCert, certificates.serverKey);
    stub.listen();
    for (std::string_view market : marketCodes) {
        const QString code = QString::fromLatin1(market.data(), qsizetype(market.size()));
        stub.setMarketAnswer(code,
                             {.delayMs = code == fastMarket ? kFastMs : kSlowMs,
                              .body = ImageServiceStub::archiveJson(code, QDate::currentDate())});
    }

    QtMainLoop loop;
    QtHttpClient http;
    SimPlatform sim;  // everything but the loop and the client
    Platform platform{loop,       http,
                      sim.files,  sim.desktop,
                      sim.log,    sim.application,
                      sim.bundle, sim.notifications};
    AppDelegate delegate(platform, stub.origin().toStdString());
    const Url marketUrl = *Url::parse(stub.origin().toStdString() +
                                      "/HPImageArchive.aspx?format=js&idx=0&n=1&mkt=de-DE");

    auto timeLookup = [&] {
        bool done = false;
        const auto start = Clock::now();
        double elapsed = 0;
        delegate.fetchLatestImageURL([&](std::optional<Url>) {
            if (!done) elapsed = bench::millisecondsSince(start);
            done = true;
        });
        waitUntil([&] { return done; });
        // Let the slow markets finish so the next round starts on idle connections.
        waitUntil([] { return false; }, std::chrono::milliseconds(kSlowMs + 100));
        return elapsed;
    };
    auto timePlain = [&] {
        bool done = false;
        const auto start = Clock::now();
        double elapsed = 0;
        http.dataTask(marketUrl,
                      [&](std::optional<std::string>, const HttpResponse&, std::optional<Error>) {
                          elapsed = bench::millisecondsSince(start);
                          done = true;
                      });
        waitUntil([&] { return done; });
        return elapsed;
    };

    timeLookup();  // warm up: TLS handshakes, connection pools
    timePlain();
    std::vector<double> lookups, plains;
    for (int i = 0; i < kRuns; ++i) {
        lookups.push_back(timeLookup());
        plains.push_back(timePlain());
    }
    const double lookupMedian = bench::median(lookups);
    const double plainMedian = bench::median(plains);
    std::printf("lookup: fastest market after %d ms, others after %d ms, %d runs\n", kFastMs,
                kSlowMs, kRuns);
    std::printf("  fetchLatestImageURL to URL  median %.2f ms\n", lookupMedian);
    std::printf("  one plain request           median %.2f ms\n", plainMedian);
    std::printf("  ratio                       %.3f (goal <= 1.25)\n", lookupMedian / plainMedian);
    return 0;
}
