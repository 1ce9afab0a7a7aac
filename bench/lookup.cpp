// Time from fetchLatestImageURL to the delivered address, against the local HTTPS stand-in, with
// one market answering after 40 ms and the other seven after 400 ms: one lookup alone, and two
// overlapping lookups as at launch; each beside a single plain request to that market in the
// same run. Prints the medians and their ratios.
#include <QCoreApplication>
#include <cstdio>

#include "pipeline/image_lookup.h"
#include "platform/linux/curl_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/serial_queue.h"
#include "shell/app_delegate.h"
#include "stats.h"
#include "support/event_loop.h"
#include "support/image_service.h"
#include "support/lookup_helpers.h"

using namespace daylume;
using namespace daylume::test;
using daylume::bench::Clock;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    constexpr int kRuns = 50;
    // The service speaks HTTP/2; "--http1" measures a server that does not.
    const bool http2 = !app.arguments().contains("--http1");
    ImageService service(http2);
    service.configure(R"({"markets": {"de-DE": {"delay": 0.04}, "*": {"delay": 0.4}}})");

    QtMainLoop loop;
    SerialQueue installs;
    CurlHttpClient http(installs, {.caFile = testCertificates() / "ca.pem"});
    SimPlatform sim;
    Platform platform = sim.with(loop, installs, http);
    AppDelegate delegate(platform, service.origin());
    const Url market = *Url::parse(marketURL("de-DE", service.origin()));

    // Milliseconds until every one of `lookups` overlapping lookups has its address, as the
    // network thread delivers it (the main loop would notice later).
    auto timeLookups = [&](int lookups) {
        std::atomic<int> delivered = 0;
        std::atomic<double> elapsed = 0;
        const auto start = Clock::now();
        for (int i = 0; i < lookups; ++i)
            delegate.fetchLatestImageURL([&](auto found, auto) {
                if (found && ++delivered == lookups) elapsed = bench::millisecondsSince(start);
            });
        // On elapsed, the last write: the frame goes once the wait ends.
        waitUntil([&] { return elapsed > 0; });
        return elapsed.load();
    };
    auto timePlain = [&] {
        std::atomic<double> elapsed = 0;
        const auto start = Clock::now();
        http.dataTask(market,
                      [&](auto, auto&, auto) { elapsed = bench::millisecondsSince(start); });
        waitUntil([&] { return elapsed > 0; });
        return elapsed.load();
    };

    timeLookups(2);  // warm up: TLS handshakes, connections kept alive
    timePlain();
    std::printf("lookup over HTTP/%s: fastest market after 40 ms, others after 400 ms, %d runs\n",
                http2 ? "2" : "1.1", kRuns);
    for (int lookups : {1, 2}) {
        std::vector<double> timed, plain;
        for (int i = 0; i < kRuns; ++i) {
            timed.push_back(timeLookups(lookups));
            plain.push_back(timePlain());
        }
        const double a = bench::median(timed), b = bench::median(plain);
        std::printf("  %d lookup(s) to their URLs  median %.2f ms\n", lookups, a);
        std::printf("  one plain request          median %.2f ms\n", b);
        std::printf("  ratio                      %.3f (goal <= 1.10)\n", a / b);
    }
    return 0;
}
