// A full disk and a read-only folder under the picture store: each ends in one failure line and
// loses no stored picture, and the next install succeeds.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <fstream>

#include "shell/app_delegate.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {
namespace fs = std::filesystem;

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
    std::string install(const std::string& picture) {
        const fs::path file = sim.temp.path() / "download";
        std::ofstream(file, std::ios::binary) << picture;
        sim.log.clear();
        AppDelegate::handleDownloadedImage(sim.platform, file, {200, "image/jpeg"}, std::nullopt);
        const auto lines = sim.log.lines();
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? "" : lines.back();
    }
    int remount(unsigned long flags) {
        return mount("daylume-test", sim.imageFolder().c_str(), "tmpfs", MS_REMOUNT | flags,
                     "size=600k");
    }

    SimPlatform sim;
    bool mounted = false;
};

TEST_F(DiskFaultTest, AFullDiskOrAReadOnlyFolderLeavesNoPartialPictureAndLosesNone) {
    ASSERT_TRUE(install(jpegBytes(160, 160, 1)).starts_with("✅ 壁纸设置成功："));
    ASSERT_TRUE(install(jpegBytes(160, 160, 2)).starts_with("✅ 壁纸设置成功："));
    const auto before = sim.storedNames();

    const std::string line = install(jpegBytes(1400, 1400, 3));
    EXPECT_TRUE(line.starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=28 ")) << line;
    EXPECT_EQ(sim.storedNames(), before);  // no partial file, hidden or not
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);

    ASSERT_EQ(remount(MS_RDONLY), 0);
    EXPECT_TRUE(install(jpegBytes(160, 160, 4))
                    .starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=30 "));
    EXPECT_EQ(sim.storedNames(), before);

    ASSERT_EQ(remount(0), 0);
    EXPECT_TRUE(install(jpegBytes(160, 160, 5)).starts_with("✅ 壁纸设置成功："));
    EXPECT_EQ(sim.storedNames().size(), 3u);
}

}  // namespace
}  // namespace daylume::test
