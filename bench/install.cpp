// Time from download completion to the success line for a 3840x2160 JPEG, beside a plain copy
// of the same file in the same run; and for the same picture once more, which is found among
// those kept. Prints the medians and the ratio of the first to the copy.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <fstream>

#include "shell/app_delegate.h"
#include "stats.h"
#include "support/sim_platform.h"

using namespace daylume;
using namespace daylume::test;
using daylume::bench::Clock;
namespace fs = std::filesystem;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    constexpr int kRuns = 30;
    SimPlatform sim;

    // Gradients with grain, so the JPEG has the size of a real photograph (a few megabytes).
    QImage image(3840, 2160, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 27);
            line[x] = qRgb((x / 16 + grain) & 255, (y / 9 + grain) & 255, ((x + y) / 24) & 255);
        }
    }
    const fs::path downloaded = sim.temp.path() / "download.jpg";
    image.save(QString::fromStdString(downloaded.string()), "JPEG", 90);

    std::vector<double> installs, again, copies;
    auto install = [&] {
        sim.log.clear();
        const auto start = Clock::now();
        AppDelegate::handleDownloadedImage(sim.platform, downloaded, {200, "image/jpeg"},
                                           std::nullopt);
        return bench::millisecondsSince(start);
    };
    for (int i = 0; i < kRuns; ++i) {
        fs::remove_all(sim.imageFolder());  // a new picture: copied, made durable, pruned
        installs.push_back(install());
        again.push_back(install());  // the same picture again: found among those kept
        if (!sim.log.lines().back().starts_with("✅ 壁纸设置成功：")) {
            std::fprintf(stderr, "install failed: %s\n", sim.log.lines().back().c_str());
            return 1;
        }
        const auto start = Clock::now();
        fs::copy_file(downloaded, sim.temp.path() / ("copy-" + std::to_string(i) + ".jpg"));
        copies.push_back(bench::millisecondsSince(start));
    }
    const double installMedian = bench::median(installs);
    const double copyMedian = bench::median(copies);
    std::printf("install: 3840x2160 JPEG of %ju bytes, %d runs (desktop call recorded, not made)\n",
                std::uintmax_t(fs::file_size(downloaded)), kRuns);
    std::printf("  completion to success line  median %.3f ms\n", installMedian);
    std::printf("  the same picture again      median %.3f ms\n", bench::median(again));
    std::printf("  plain copy                  median %.3f ms\n", copyMedian);
    std::printf("  ratio                       %.3f (goal <= 2)\n", installMedian / copyMedian);
    return 0;
}
