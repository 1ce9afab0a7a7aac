// Faults on the way from the service to the desktop: a broken or oversized download, a refused
// redirect, silent markets, a full disk and a read-only folder. Each ends in one failure line,
// loses no stored picture, and the next refresh succeeds.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <fstream>
#include <random>

#include "platform/linux/qt_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "shell/app_delegate.h"
#include "support/event_loop.h"
#include "support/image_service_stub.h"
#include "support/sim_platform.h"
#include "support/test_certificates.h"

namespace daylume::test {
namespace {
namespace fs = std::filesystem;

// A JPEG of noise, which compresses badly: about `kilobytes` in size.
QByteArray noisyJpeg(int kilobytes) {
    const int side = int(std::sqrt(kilobytes * 1024 / 1.2));
    QImage image(side, side, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) image.setPixel(x, y, random());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

class NetworkFaultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new TempDir;
        certificates = makeTestCertificates(QString::fromStdString(folder->path().string()));
        trustTestCa(certificates);
    }
    void SetUp() override {
        ASSERT_TRUE(stub.listen());
        delegate.emplace(platform, stub.origin().toStdString());
        serve(ImageServiceStub::Answer{.contentType = "image/jpeg", .body = noisyJpeg(20)});
    }
    void serve(const ImageServiceStub::Answer& image) { stub.setPrefixAnswer("/th?", image); }
    // One refresh, run until its last line; returns the lines it printed.
    std::vector<std::string> refresh() {
        sim.log.clear();
        delegate->refreshWallpaper();
        waitUntil(
            [&] {
                const auto lines = sim.log.lines();
                return !lines.empty() && !lines.back().starts_with("✅ 全球优先");
            },
            std::chrono::seconds(20));
        return sim.log.lines();
    }

    static inline TempDir* folder = nullptr;
    static inline TestCertificates certificates;
    ImageServiceStub stub{certificates.serverCert, certificates.serverKey};
    SimPlatform sim;
    QtMainLoop loop;
    QtHttpClient http{{.maxAnswerBytes = 64 * 1024,
                       .maxDownloadBytes = 256 * 1024,
                       .transferTimeout = std::chrono::seconds(2)}};
    Platform platform{loop,       http,
                      sim.files,  sim.desktop,
                      sim.log,    sim.application,
                      sim.bundle, sim.notifications};
    std::optional<AppDelegate> delegate;  // once the stand-in has its port
};

TEST_F(NetworkFaultTest, ADownloadCutOffOrTooLargeOrRedirectedToHttpFailsCleanly) {
    const std::vector<std::pair<std::string, ImageServiceStub::Answer>> faults = {
        {"reset", {.contentType = "image/jpeg", .body = noisyJpeg(100), .resetAfterBytes = 5000}},
        {"too large", {.contentType = "image/jpeg", .body = noisyJpeg(400)}},
        {"to http", {.status = 302, .location = "http://127.0.0.1:9/picture.jpg"}},
    };
    for (const auto& [name, answer] : faults) {
        SCOPED_TRACE(name);
        serve(answer);
        const auto lines = refresh();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(lines[1].starts_with("❌ 图片下载失败：")) << lines[1];
        if (name == "too large") {
            EXPECT_EQ(lines[1], "❌ 图片下载失败：the answer is larger than 256 KiB");
        }
        EXPECT_TRUE(sim.storedNames().empty());
    }
    serve({.contentType = "image/jpeg", .body = noisyJpeg(20)});
    EXPECT_TRUE(refresh().back().starts_with("✅ 壁纸设置成功："));
    EXPECT_EQ(sim.storedNames().size(), 1u);
}

// Without a transfer time limit the hanging requests would keep every connection to the host,
// and the next refresh would queue behind them for good.
TEST_F(NetworkFaultTest, MarketsThatNeverAnswerEndAtTheDeadlineAndTheNextRefreshWorks) {
    stub.setDefaultMarketAnswer({.hang = true});
    EXPECT_EQ(refresh(), (std::vector<std::string>{"❌ 所有区域抓取超时，返回 nil",
                                                   "❌ 获取 Bing 图片 URL 失败"}));
    stub.setMarketAnswer("de-DE",
                         {.body = ImageServiceStub::archiveJson("de-DE", QDate::currentDate())});
    EXPECT_TRUE(refresh().back().starts_with("✅ 壁纸设置成功："));
}

// Real file systems: a small tmpfs as the picture folder, in a mount namespace of this test
// process alone. Needs root.
class DiskFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(sim.imageFolder());
        if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("daylume-test", sim.imageFolder().c_str(), "tmpfs", 0, "size=600k") != 0)
            GTEST_SKIP() << "cannot mount a small file system here (needs root and namespaces)";
        mounted = true;
    }
    void TearDown() override {
        if (mounted) umount2(sim.imageFolder().c_str(), MNT_DETACH);
    }
    std::string install(const QByteArray& picture) {
        const fs::path file = sim.temp.path() / "download";
        std::ofstream(file, std::ios::binary).write(picture.data(), picture.size());
        sim.log.clear();
        AppDelegate::handleDownloadedImage(sim.platform, file, {200, "image/jpeg"}, std::nullopt);
        const auto lines = sim.log.lines();
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? "" : lines.back();
    }
    void remount(unsigned long flags) {
        ASSERT_EQ(mount("daylume-test", sim.imageFolder().c_str(), "tmpfs", MS_REMOUNT | flags,
                        "size=600k"),
                  0);
    }

    SimPlatform sim;
    bool mounted = false;
};

TEST_F(DiskFaultTest, AFullDiskLeavesNoPartialPictureAndLosesNone) {
    ASSERT_TRUE(install(noisyJpeg(30)).starts_with("✅ 壁纸设置成功："));
    ASSERT_TRUE(install(noisyJpeg(30)).starts_with("✅ 壁纸设置成功："));
    const auto before = sim.storedNames();

    const std::string line = install(noisyJpeg(900));
    EXPECT_TRUE(line.starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=28 ")) << line;
    EXPECT_EQ(sim.storedNames(), before);  // no partial file, hidden or not
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);

    EXPECT_TRUE(install(noisyJpeg(30)).starts_with("✅ 壁纸设置成功："));
    EXPECT_EQ(sim.storedNames().size(), 3u);
}

TEST_F(DiskFaultTest, AReadOnlyFolderFailsOnceAndKeepsWhatItHas) {
    ASSERT_TRUE(install(noisyJpeg(30)).starts_with("✅ 壁纸设置成功："));
    const auto before = sim.storedNames();
    remount(MS_RDONLY);

    EXPECT_TRUE(
        install(noisyJpeg(30)).starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=30 "));
    EXPECT_EQ(sim.storedNames(), before);

    remount(0);
    EXPECT_TRUE(install(noisyJpeg(30)).starts_with("✅ 壁纸设置成功："));
}

}  // namespace
}  // namespace daylume::test
