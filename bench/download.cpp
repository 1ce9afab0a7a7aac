// Resident memory while the HTTP client downloads a 64 MiB picture from the local HTTPS
// stand-in, against the same process at rest just before. Prints the peak increase.
#include <QCoreApplication>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/linux/curl_http_client.h"
#include "platform/linux/serial_queue.h"
#include "stats.h"
#include "support/event_loop.h"
#include "support/image_service.h"

using namespace daylume;
using namespace daylume::test;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    ImageService service(!app.arguments().contains("--http1"));
    std::ofstream(service.picture(), std::ios::binary) << std::string((64 << 20) - 1024, 'x');
    SerialQueue installs;
    CurlHttpClient http(installs, {.caFile = testCertificates() / "ca.pem"});

    auto download = [&](const char* target) {
        std::atomic<bool> done = false;
        std::atomic<long> size = 0;
        http.downloadTask(*Url::parse(service.origin() + target),
                          [&](auto file, const HttpResponse&, auto) {
                              if (file) size = long(std::filesystem::file_size(*file));
                              done = true;
                          });
        waitUntil([&] { return done.load(); }, std::chrono::seconds(120));
        return size.load();
    };
    service.configure(R"({"prefixes": {"/th?id=small": {"body": "x"}}})");
    download("/th?id=small");  // connection and TLS set up, buffers allocated
    const long rest = bench::statusKb("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long bytes = download("/th?id=big");
    const long peak = bench::statusKb("VmHWM");
    std::printf(
        "download of %.1f MiB: RSS at rest %ld KiB, peak while downloading %ld KiB, "
        "increase %ld KiB\n",
        double(bytes) / (1 << 20), rest, peak, peak - rest);
    return 0;
}
