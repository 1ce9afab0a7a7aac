// Time from download completion to the success line for a 3840x2160 JPEG, beside a plain copy
// and a durable one (copy, fsync, rename, fsync of the folder) of the same file in the same run;
// for the same picture once more, which is found among those kept; and for the picture check
// alone (reading the size, decoding to the end). Prints the medians and the ratios of the first
// to the copies. Then the peak memory of checking a 64 MiB JPEG padded with comment segments, and
// with APP15 segments, each in a child process of its own.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>
#include <fstream>
#include <functional>

#include "platform/image_probe.h"
#include "shell/app_delegate.h"
#include "stats.h"
#include "support/sim_platform.h"

using namespace daylume;
using namespace daylume::test;
using daylume::bench::Clock;
namespace fs = std::filesystem;

namespace {

void durableCopy(const fs::path& from, const fs::path& to) {
    const fs::path partial = to.parent_path() / ("." + to.filename().string());
    fs::copy_file(from, partial);
    const int file = ::open(partial.c_str(), O_WRONLY);
    const int folder = ::open(to.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    if (file < 0 || folder < 0 || ::fsync(file) != 0 || ::rename(partial.c_str(), to.c_str()) ||
        ::fsync(folder) != 0)
        std::perror("durable copy");
    ::close(file);
    ::close(folder);
}

long statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string word; status >> word;)
        if (word == key) return status >> word ? std::stol(word) : -1;
    return -1;
}

// How far `work` raises the resident memory above where it starts, in MB: in a child, whose
// high-water mark starts at what it inherits.
double peakMegabytes(const std::function<void()>& work) {
    int pipe[2];
    if (::pipe(pipe) != 0) return -1;
    if (::fork() == 0) {
        const long before = statusKiB("VmRSS:");
        work();
        const long grown = statusKiB("VmHWM:") - before;
        (void)!::write(pipe[1], &grown, sizeof grown);
        ::_exit(0);
    }
    long grown = -1;
    (void)!::read(pipe[0], &grown, sizeof grown);
    ::wait(nullptr);
    ::close(pipe[0]);
    ::close(pipe[1]);
    return grown * 1024 / 1e6;
}

// `jpeg` with segments of `marker` after its start, to 64 MiB in all.
fs::path padded(const fs::path& jpeg, const char* marker, const fs::path& to) {
    std::ifstream in(jpeg, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string segment = std::string(marker, 2) + "\xFF\xFF" + std::string(0xFFFF - 2, 'x');
    std::ofstream out(to, std::ios::binary);
    out << bytes.substr(0, 2);
    for (std::size_t n = ((64u << 20) - bytes.size()) / segment.size(); n > 0; --n) out << segment;
    out << bytes.substr(2);
    return to;
}

}  // namespace

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

    std::vector<double> installs, again, copies, durable, checks;
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
        const auto durableStart = Clock::now();
        durableCopy(downloaded, sim.temp.path() / ("durable-" + std::to_string(i) + ".jpg"));
        durable.push_back(bench::millisecondsSince(durableStart));
        const auto checkStart = Clock::now();
        if (!isWholePicture(downloaded, probeImage(downloaded).value())) return 1;
        checks.push_back(bench::millisecondsSince(checkStart));
    }
    const double installMedian = bench::median(installs);
    const double copyMedian = bench::median(copies);
    const double durableMedian = bench::median(durable);
    std::printf("install: 3840x2160 JPEG of %ju bytes, %d runs (desktop call recorded, not made)\n",
                std::uintmax_t(fs::file_size(downloaded)), kRuns);
    std::printf("  completion to success line  median %.3f ms\n", installMedian);
    std::printf("  the same picture again      median %.3f ms\n", bench::median(again));
    std::printf("  the picture check alone     median %.3f ms\n", bench::median(checks));
    std::printf("  plain copy                  median %.3f ms\n", copyMedian);
    std::printf("  durable copy                median %.3f ms\n", durableMedian);
    std::printf("  ratio to the plain copy     %.3f\n", installMedian / copyMedian);
    std::printf("  ratio to the durable copy   %.3f\n", installMedian / durableMedian);

    std::printf("checking a 64 MiB JPEG padded with metadata: peak resident memory added\n");
    for (const char* marker : {"\xFF\xFE", "\xFF\xEF"}) {
        const fs::path file = padded(downloaded, marker, sim.temp.path() / "padded.jpg");
        const char* name = marker[1] == '\xFE' ? "comment" : "APP15  ";
        std::printf("  %s  size read %6.1f MB, whole check %6.1f MB, Qt's reader %6.1f MB\n", name,
                    peakMegabytes([&] { probeImage(file); }),
                    peakMegabytes([&] { isWholePicture(file, *probeImage(file)); }),
                    peakMegabytes([&] { QImageReader(QString::fromStdString(file)).size(); }));
    }
    return 0;
}
