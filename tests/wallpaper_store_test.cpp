// Storing, pruning and installing a downloaded picture, on real temporary directories.
#include "support/prelude.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <thread>

#include "pipeline/wallpaper_store.h"

namespace daylume::test {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

const HttpResponse kJpegResponse{200, "image/jpeg"};

class WallpaperStoreTest : public ::testing::Test {
protected:
    // A downloaded file as the HTTP client hands it over; the last line logged.
    std::string install(const std::string& bytes = jpegBytes(),
                        const HttpResponse& response = kJpegResponse) {
        const fs::path file = sim.temp.path() / ("download-" + std::to_string(++downloads));
        std::ofstream(file, std::ios::binary) << bytes;
        AppDelegate::handleDownloadedImage(sim.platform, file, response, std::nullopt);
        return sim.log.lines().empty() ? "" : sim.log.lines().back();
    }
    // Entries created one after another, so that their creation times differ.
    void create(const std::vector<std::string>& names) {
        fs::create_directories(sim.imageFolder());
        for (const std::string& name : names) {
            std::ofstream(sim.imageFolder() / name) << "old";
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
    }
    std::set<std::string> folder() const { return sim.storedNames(); }
    // The one name in the folder that is not in `before`.
    std::string added(const std::set<std::string>& before) const {
        std::vector<std::string> names;
        std::ranges::set_difference(folder(), before, std::back_inserter(names));
        EXPECT_EQ(names.size(), 1u);
        return names.empty() ? "" : names[0];
    }

    SimPlatform sim;
    int downloads = 0;
};

// The launch's two lookups and every refresh download today's picture again: it is set again,
// not stored again, so the earlier days' pictures stay.
TEST_F(WallpaperStoreTest, APictureIsStoredOnce) {
    ASSERT_FALSE(fs::exists(sim.dataHome));
    install();
    const std::string today = added({});
    EXPECT_TRUE(std::regex_match(
        today,
        std::regex("daylume-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.jpg")));
    const fs::path stored = sim.imageFolder() / today;
    EXPECT_TRUE(stored.is_absolute());
    EXPECT_EQ(fs::file_size(stored), jpegBytes().size());
    install();
    EXPECT_EQ(folder(), std::set{today});
    EXPECT_EQ(sim.desktop.pictures, std::vector(2, stored));
    const std::string line = kInstalled + stored.string();
    EXPECT_EQ(sim.log.lines(), (std::vector{line, line}));
    // Another picture of the same size is no copy (one quantization value differs).
    std::string other = jpegBytes();
    ++other[other.find("\xFF\xDB") + 10];
    install(other);
    EXPECT_EQ(folder().size(), 2u);
    // Nor is a symbolic link with a picture's bytes a stored copy of it.
    const fs::path outside = sim.temp.path() / "outside.jpg",
                   link = sim.imageFolder() / "daylume-l.jpg";
    std::ofstream(outside, std::ios::binary) << jpegBytes(64, 36, 9);
    fs::create_symlink(outside, link);
    EXPECT_FALSE(sim.files.contentsEqual(link, outside));
    const auto before = folder();
    install(jpegBytes(64, 36, 9));
    EXPECT_EQ(sim.desktop.pictures.back(), sim.imageFolder() / added(before));
}

// The new copy stays beside the two newest others, whatever the dates say (a clock set back, a
// file system without them); undated entries rank last, in listing order. Only regular files
// named daylume-*.jpg count, and others (links and a folder newer than all) are never touched.
TEST_F(WallpaperStoreTest, TheNewCopyStaysBesideTheTwoNewestOthers) {
    const auto now = std::chrono::system_clock::now();
    sim.files.onListing = [&](std::vector<DirectoryEntry>& entries) {
        std::ranges::sort(entries, {}, &DirectoryEntry::path);  // the listing order
        for (DirectoryEntry& entry : entries) {
            const std::string name = entry.path.filename();
            if (name.starts_with("daylume-future"))
                entry.creationDate = now + (name[14] - '0') * 1h;
            if (name.starts_with("daylume-undated")) entry.creationDate.reset();
        }
    };
    const std::vector<std::string> strangers = {
        "Daylume-a.jpg", "daylume-b.JPG",  "daylume-c.png",     "daylume-d",
        "photo.jpg",     ".daylume-e.jpg", "daylume-f.jpg.part"};
    unsigned seed = 0;
    using Names = std::vector<std::string>;
    for (const auto& [old, removed] : std::vector<std::pair<Names, Names>>{
             {{"daylume-future1.jpg", "daylume-future2.jpg", "daylume-future3.jpg"},
              {"daylume-future1.jpg"}},
             {{"daylume-undated1.jpg", "daylume-undated2.jpg", "daylume-zpast.jpg"},
              {"daylume-undated2.jpg"}},
             // The two oldest have unusual names that count.
             {{"daylume-.jpg", "daylume-a.b.jpg", "daylume-2.jpg", "daylume-3.jpg"},
              {"daylume-.jpg", "daylume-a.b.jpg"}}}) {
        fs::remove_all(sim.imageFolder());
        create(strangers);
        create(old);
        fs::create_symlink(sim.imageFolder() / old[0], sim.imageFolder() / "daylume-l1.jpg");
        fs::create_symlink("/nowhere", sim.imageFolder() / "daylume-l2.jpg");
        fs::create_directory(sim.imageFolder() / "daylume-d.jpg");
        const auto previous = folder();
        install(jpegBytes(64, 36, ++seed));
        const std::string stored = added(previous);
        std::set<std::string> expected = previous;
        for (const std::string& name : removed) expected.erase(name);
        expected.insert(stored);
        EXPECT_EQ(folder(), expected);
        EXPECT_EQ(sim.desktop.pictures.back(), sim.imageFolder() / stored);
    }
}

// Each failure is one line; what was stored stays, and nothing is pruned after it.
TEST_F(WallpaperStoreTest, FailuresOfTheDownloadTheFolderTheListingOrTheDesktopAreOneLineEach) {
    const fs::path file = sim.temp.path() / "download";
    std::ofstream(file) << jpegBytes();
    AppDelegate::handleDownloadedImage(
        sim.platform, file, kJpegResponse,
        Error{ErrorDomain::Network, 4, "the server closed the connection"});
    AppDelegate::handleDownloadedImage(sim.platform, std::nullopt, {}, std::nullopt);
    EXPECT_EQ(sim.log.lines(),
              (std::vector<std::string>{"❌ 图片下载失败：the server closed the connection",
                                        "❌ 图片下载失败：未知错误"}));
    EXPECT_FALSE(fs::exists(sim.imageFolder()));

    fs::create_directories(sim.dataHome);
    std::ofstream(sim.imageFolder()) << "not a folder";
    EXPECT_TRUE(install().starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=20 "));
    EXPECT_TRUE(fs::is_regular_file(sim.imageFolder()));
    fs::remove(sim.imageFolder());

    create({"daylume-1.jpg", "daylume-2.jpg", "daylume-3.jpg"});
    EXPECT_TRUE(install().starts_with(kInstalled));

    int listings = 0;
    sim.files.onListing = [&](auto&) {
        if (++listings == 2) throw Failure(posixError(EIO, sim.imageFolder().string()));
    };
    auto previous = folder();
    EXPECT_TRUE(install(jpegBytes(64, 36, 3))
                    .starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=5 "));
    EXPECT_EQ(folder().size(), 4u);
    added(previous);
    sim.files.onListing = nullptr;

    sim.desktop.failure = Error{ErrorDomain::Desktop, 1, "GNOME: GSettings key is not writable"};
    EXPECT_EQ(install(jpegBytes(64, 36, 1)),
              "❌ 设置桌面壁纸失败：Error Domain=Desktop Code=1 \"GNOME: GSettings key is not "
              "writable\"");
    EXPECT_EQ(folder().size(), 3u);

    sim.desktop.screen.reset();
    previous = folder();
    EXPECT_EQ(install(jpegBytes(64, 36, 2)), "⚠️ 无法获取主屏幕，跳过设置壁纸");
    added(previous);
    EXPECT_EQ(sim.desktop.pictures.size(), 1u);
    EXPECT_EQ(sim.log.lines().size(), 7u);
}

// Only a whole picture of a size desktops can show is stored: an error page, a download cut
// short or a picture of billions of pixels never becomes the wallpaper or pushes one out.
TEST_F(WallpaperStoreTest, OnlyAWholePictureOfASaneSizeIsStored) {
    create({"daylume-1.jpg", "daylume-2.jpg", "daylume-3.jpg"});
    const auto before = folder();
    const std::string jpeg = jpegBytes(200, 150, 1), png = encodedImage("PNG", 64, 36, 2),
                      webp = encodedImage("WEBP", 64, 36, 3);
    std::string huge = jpegBytes();
    const auto frame = huge.find("\xFF\xC0");  // its height and width follow the marker
    huge.replace(frame + 5, 4, "\x75\x30\x75\x30");
    const std::string page = "<html><body><h1>404 Not Found</h1></body></html>";
    const std::vector<std::tuple<std::string, HttpResponse, std::string>> refused = {
        {page,
         {404, "text/html; charset=utf-8"},
         "received no JPEG, PNG or WebP picture: HTTP 404, text/html; charset=utf-8, " +
             std::to_string(page.size()) + " bytes"},
        {"",
         {200, ""},
         "received no JPEG, PNG or WebP picture: HTTP 200, no content type, 0 bytes"},
        {encodedImage("BMP"), {200, "image/bmp"}, "received no JPEG, PNG or WebP picture: "},
        {jpeg.substr(0, jpeg.size() / 2), kJpegResponse, "received an incomplete jpeg picture: "},
        {jpeg.substr(0, jpeg.size() / 2) + "\xFF\xD9", kJpegResponse, "incomplete jpeg"},  // a hole
        {png.substr(0, png.size() - 12), {}, "received an incomplete png picture: "},
        {webp.substr(0, webp.size() - 10), {}, "received an incomplete webp picture: "},
        {huge, kJpegResponse, "the picture is too large to show: 30000x30000 pixels"},
    };
    for (const auto& [bytes, response, why] : refused) {
        SCOPED_TRACE(why);
        EXPECT_EQ(
            install(bytes, response).rfind("❌ 设置桌面壁纸失败：Error Domain=Daylume Code=", 0),
            0u);
        EXPECT_NE(sim.log.lines().back().find(why), std::string::npos) << sim.log.lines().back();
    }
    EXPECT_EQ(folder(), before);
    EXPECT_TRUE(sim.desktop.pictures.empty());

    for (const std::string& whole : {jpeg + std::string(1000, '\0'), png, webp})  // padded
        EXPECT_TRUE(install(whole, {}).starts_with(kInstalled));
}

// A SIGKILL or a power loss in the middle of an install leaves no partial file, hidden or not;
// where the file system cannot make a file without a name, it is gone at the next start.
TEST_F(WallpaperStoreTest, AnInstallKilledHalfwayLeavesNothingBehind) {
    create({"daylume-1.jpg", ".hidden", ".daylume-0.jpg.part"});  // the last: an earlier crash
    const auto before = folder();
    const int probe = open(sim.imageFolder().c_str(), O_TMPFILE | O_WRONLY, 0600);
    const bool nameless = probe >= 0;
    if (nameless) close(probe);
    const fs::path download = sim.temp.path() / "download";
    ASSERT_EQ(mkfifo(download.c_str(), 0600), 0);
    const pid_t child = fork();
    if (child == 0) {
        try {
            sim.files.copyItem(download, sim.imageFolder() / "daylume-x.jpg");
        } catch (...) {
        }
        _exit(0);
    }
    const int fifo = open(download.c_str(), O_WRONLY);
    const std::string half = jpegBytes(200, 150, 1).substr(0, 4000);
    ASSERT_EQ(write(fifo, half.data(), half.size()), ssize_t(half.size()));
    for (int unread = 1; unread > 0; std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        ioctl(fifo, FIONREAD, &unread);  // until the copy has taken it all
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(fifo);

    if (nameless) {
        EXPECT_EQ(folder(), before);
    }
    AppDelegate(sim.platform).applicationDidFinishLaunching();
    EXPECT_EQ(folder(), (std::set<std::string>{"daylume-1.jpg", ".hidden"}));
}

// A full disk and a read-only folder under the picture store, real file systems: a small tmpfs as
// the picture folder, in a mount namespace of this test process alone (needs root).
class DiskFaultTest : public WallpaperStoreTest {
protected:
    void SetUp() override {
        fs::create_directories(sim.imageFolder());
        if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 || remount(0) != 0)
            GTEST_SKIP() << "cannot mount a small file system here (needs root and namespaces)";
        mounted = true;
    }
    void TearDown() override {
        if (mounted) umount2(sim.imageFolder().c_str(), MNT_DETACH);
    }
    int remount(unsigned long flags) {
        return mount("daylume-test", sim.imageFolder().c_str(), "tmpfs",
                     (mounted ? MS_REMOUNT : 0) | flags, "size=600k");
    }
    bool mounted = false;
};

// Each ends in one failure line and loses no stored picture, and the next install succeeds.
TEST_F(DiskFaultTest, AFullDiskOrAReadOnlyFolderLeavesNoPartialPictureAndLosesNone) {
    ASSERT_TRUE(install(jpegBytes(160, 160, 1)).starts_with(kInstalled));
    ASSERT_TRUE(install(jpegBytes(160, 160, 2)).starts_with(kInstalled));
    const auto before = folder();
    const auto lines = sim.log.lines().size();

    const std::string line = install(jpegBytes(1400, 1400, 3));
    EXPECT_TRUE(line.starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=28 ")) << line;
    EXPECT_EQ(folder(), before);  // no partial file, hidden or not
    EXPECT_EQ(sim.desktop.pictures.size(), 2u);

    ASSERT_EQ(remount(MS_RDONLY), 0);
    EXPECT_TRUE(install(jpegBytes(160, 160, 4))
                    .starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=30 "));
    EXPECT_EQ(folder(), before);

    ASSERT_EQ(remount(0), 0);
    EXPECT_TRUE(install(jpegBytes(160, 160, 5)).starts_with(kInstalled));
    EXPECT_EQ(folder().size(), 3u);
    EXPECT_EQ(sim.log.lines().size(), lines + 3);
}

}  // namespace
}  // namespace daylume::test
