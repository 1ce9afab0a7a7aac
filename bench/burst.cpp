// Resident memory over bursts of lookups against the local HTTPS stand-in over HTTP/1.1 (the
// worst case: a connection per request): 200 lookups, 50 at once, with one market answering
// and the other seven hanging. The client trusts the system's certificates and the test CA, as
// the application trusts the system's. Prints the resident size at rest before, the peak during
// the bursts, and the resident size once the lookups' deadlines have passed.
#include <QCoreApplication>
#include <cstdio>
#include <fstream>

#include "platform/linux/curl_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/serial_queue.h"
#include "shell/app_delegate.h"
#include "stats.h"
#include "support/event_loop.h"
#include "support/image_service.h"

using namespace daylume;
using namespace daylume::test;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    constexpr int kLookups = 200, kAtOnce = 50;
    ImageService service(app.arguments().contains("--h2"));
    service.configure(R"({"markets": {"de-DE": {"delay": 0.04}, "*": {"hang": true}}})");
    TempDir dir;
    const auto bundle = dir.path() / "bundle.pem";
    std::ofstream(bundle) << std::ifstream("/etc/ssl/certs/ca-certificates.crt").rdbuf()
                          << std::ifstream(testCertificates() / "ca.pem").rdbuf();

    QtMainLoop loop;
    SerialQueue installs;
    CurlHttpClient http(installs, {.caFile = bundle});
    SimPlatform sim;
    Platform platform = sim.with(loop, installs, http);
    AppDelegate delegate(platform, service.origin());
    std::atomic<int> ended = 0, delivered = 0;
    auto lookups = [&](int count) {
        const int goal = ended + count;
        for (int i = 0; i < count; ++i)
            delegate.fetchLatestImageURL([&](auto found, auto) {
                delivered += bool(found);
                ++ended;
            });
        waitUntil([&] { return ended >= goal; }, std::chrono::seconds(60));
    };
    auto settle = [&] {  // past the lookups' deadlines, the kept requests let go
        waitUntil([&] { return false; }, std::chrono::milliseconds(6000));
    };

    lookups(1);
    settle();
    const long rest = bench::statusKb("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const auto start = bench::Clock::now();
    for (int done = 0; done < kLookups; done += kAtOnce) lookups(kAtOnce);
    const double elapsed = bench::millisecondsSince(start);
    const long peak = bench::statusKb("VmHWM");
    const int connections = service.connectionsOpened();
    settle();
    std::printf(
        "%d lookups, %d at once, over HTTP/%s, one market answering, seven hanging:\n"
        "  %d delivered in %.0f ms, %d connections opened\n"
        "  RSS at rest %ld KiB, peak %ld KiB (goal < 100 MiB), after %ld KiB "
        "(%ld KiB above rest), %d connections still open\n",
        kLookups, kAtOnce, app.arguments().contains("--h2") ? "2" : "1.1", delivered.load() - 1,
        elapsed, connections, rest, peak, bench::statusKb("VmRSS"), bench::statusKb("VmRSS") - rest,
        service.connectionsOpen());
    http.stop();  // no answer comes back into the delegate as it goes
    return 0;
}
