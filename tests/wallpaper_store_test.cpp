// Storing, pruning and installing a downloaded picture, on real temporary directories.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "pipeline/wallpaper_store.h"
#include "shell/app_delegate.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {
namespace fs = std::filesystem;

const HttpResponse kJpegResponse{200, "image/jpeg"};

class WallpaperStoreTest : public ::testing::Test {
protected:
    // A downloaded file as the HTTP client hands it over.
    fs::path download(const std::string& bytes) {
        const fs::path file = sim.temp.path() / ("download-" + std::to_string(++downloads));
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    void install(const std::string& bytes = jpegBytes(),
                 const HttpResponse& response = kJpegResponse) {
        AppDelegate::handleDownloadedImage(sim.platform, download(bytes), response, std::nullopt);
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
    std::set<std::string> newNames(const std::set<std::string>& before) const {
        std::set<std::string> added;
        for (const std::string& name : folder())
            if (!before.contains(name)) added.insert(name);
        return added;
    }

    SimPlatform sim;
    int downloads = 0;
};

TEST_F(WallpaperStoreTest, FirstRunCreatesTheFoldersStoresAndInstalls) {
    ASSERT_FALSE(fs::exists(sim.dataHome));
    const fs::path downloaded = download(jpegBytes());
    AppDelegate::handleDownloadedImage(sim.platform, downloaded, kJpegResponse, std::nullopt);

    const auto names = folder();
    ASSERT_EQ(names.size(), 1u);
    const std::string name = *names.begin();
    EXPECT_TRUE(std::regex_match(
        name,
        std::regex("daylume-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.jpg")));
    EXPECT_EQ(name.size(), 48u);
    const fs::path stored = sim.imageFolder() / name;
    EXPECT_EQ(sim.desktop.pictures, std::vector<fs::path>{stored});
    EXPECT_EQ(sim.log.lines(), std::vector<std::string>{"✅ 壁纸设置成功：" + stored.string()});
    EXPECT_TRUE(stored.is_absolute());
    EXPECT_EQ(fs::file_size(stored), fs::file_size(downloaded));
}

TEST_F(WallpaperStoreTest, KeepsTheThreeNewestPictures) {
    for (int before : {3, 4, 6}) {
        SCOPED_TRACE(before);
        fs::remove_all(sim.imageFolder());
        std::vector<std::string> old;
        for (int i = 0; i < before; ++i) old.push_back("daylume-old" + std::to_string(i) + ".jpg");
        create(old);
        const auto previous = folder();
        install();

        const auto added = newNames(previous);
        ASSERT_EQ(added.size(), 1u);
        std::set<std::string> expected = added;
        expected.insert(old.end()[-2]);
        expected.insert(old.end()[-1]);
        EXPECT_EQ(folder(), expected);
    }
}

TEST_F(WallpaperStoreTest, OnlyDaylumeJpgNamesCountAndOthersAreNeverTouched) {
    const std::vector<std::string> strangers = {
        "Daylume-a.jpg", "daylume-b.JPG",  "daylume-c.png",     "daylume-d",
        "photo.jpg",     ".daylume-e.jpg", "daylume-f.jpg.part"};
    create(strangers);
    // The two oldest pictures have the unusual names that still count.
    create({"daylume-.jpg", "daylume-a.b.jpg", "daylume-g.jpg", "daylume-h.jpg"});
    const auto previous = folder();
    install();

    std::set<std::string> expected(strangers.begin(), strangers.end());
    expected.insert({"daylume-g.jpg", "daylume-h.jpg"});
    const auto added = newNames(previous);
    expected.insert(added.begin(), added.end());
    EXPECT_EQ(folder(), expected);
    EXPECT_TRUE(sim.log.lines().back().starts_with("✅ 壁纸设置成功："));
}

TEST_F(WallpaperStoreTest, ARemovalThatFailsIsSkippedSilently) {
    // A non-empty directory cannot be removed; it is the oldest entry that counts.
    fs::create_directories(sim.imageFolder() / "daylume-dir.jpg");
    std::ofstream(sim.imageFolder() / "daylume-dir.jpg" / "keep") << "x";
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    create({"daylume-1.jpg", "daylume-2.jpg", "daylume-3.jpg"});
    install();

    const auto names = folder();
    EXPECT_TRUE(names.contains("daylume-dir.jpg"));
    EXPECT_FALSE(names.contains("daylume-1.jpg"));
    EXPECT_EQ(names.size(), 4u);
    ASSERT_EQ(sim.log.lines().size(), 1u);
    EXPECT_TRUE(sim.log.lines()[0].starts_with("✅ 壁纸设置成功："));
}

TEST_F(WallpaperStoreTest, APlainFileNamedDaylumeFailsTheInstall) {
    fs::create_directories(sim.dataHome);
    std::ofstream(sim.imageFolder()) << "not a folder";
    install();

    ASSERT_EQ(sim.log.lines().size(), 1u);
    EXPECT_TRUE(sim.log.lines()[0].starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX Code=20 "))
        << sim.log.lines()[0];
    EXPECT_TRUE(fs::is_regular_file(sim.imageFolder()));
    EXPECT_TRUE(sim.desktop.pictures.empty());
}

TEST_F(WallpaperStoreTest, ADataDirectoryThatCannotBeMadeFailsTheInstall) {
    SimPlatform blocked;
    std::ofstream(blocked.temp.path() / "file") << "x";
    FileManager files(blocked.temp.path() / "file" / "share");
    Platform platform{blocked.loop, blocked.http,        files,          blocked.desktop,
                      blocked.log,  blocked.application, blocked.bundle, blocked.notifications};
    const fs::path file = blocked.temp.path() / "download";
    std::ofstream(file, std::ios::binary) << jpegBytes();
    AppDelegate::handleDownloadedImage(platform, file, kJpegResponse, std::nullopt);

    ASSERT_EQ(blocked.log.lines().size(), 1u);
    EXPECT_TRUE(blocked.log.lines()[0].starts_with("❌ 设置桌面壁纸失败：Error Domain=POSIX"));
    EXPECT_TRUE(blocked.desktop.pictures.empty());
}

TEST_F(WallpaperStoreTest, WithoutAMainScreenThePictureIsStoredButNotSet) {
    sim.desktop.screen.reset();
    create({"daylume-1.jpg", "daylume-2.jpg", "daylume-3.jpg"});
    install();

    EXPECT_EQ(sim.log.lines(),
              std::vector<std::string>{"⚠️ 无法获取主屏幕，跳过设置壁纸"});
    EXPECT_EQ(folder().size(), 3u);
    EXPECT_FALSE(folder().contains("daylume-1.jpg"));
    EXPECT_TRUE(sim.desktop.pictures.empty());
}

TEST_F(WallpaperStoreTest, ADesktopThatRefusesKeepsTheStoredCopy) {
    sim.desktop.failure = Error{"Desktop", 1, "GNOME: GSettings key is not writable"};
    install();

    EXPECT_EQ(sim.log.lines(),
              std::vector<std::string>{"❌ 设置桌面壁纸失败：Error Domain=Desktop Code=1 \"GNOME: "
                                       "GSettings key is not writable\""});
    EXPECT_EQ(folder().size(), 1u);
}

TEST_F(WallpaperStoreTest, FailedDownloadsStoreNothing) {
    const Error error{"QNetworkReply", 99, "Connection reset by peer"};
    AppDelegate::handleDownloadedImage(sim.platform, download(jpegBytes()), kJpegResponse, error);
    AppDelegate::handleDownloadedImage(sim.platform, std::nullopt, {}, error);
    AppDelegate::handleDownloadedImage(sim.platform, std::nullopt, {}, std::nullopt);

    EXPECT_EQ(sim.log.lines(), (std::vector<std::string>{"❌ 图片下载失败：Connection reset by peer",
                                                         "❌ 图片下载失败：Connection reset by peer",
                                                         "❌ 图片下载失败：未知错误"}));
    EXPECT_FALSE(fs::exists(sim.imageFolder()));
    EXPECT_TRUE(sim.desktop.pictures.empty());
}

TEST_F(WallpaperStoreTest, AnythingButAPictureIsRejectedBeforeAnythingIsStored) {
    create({"daylume-1.jpg", "daylume-2.jpg", "daylume-3.jpg"});
    const auto before = folder();
    const std::string page = "<html><body><h1>404 Not Found</h1></body></html>";
    install(page, {404, "text/html; charset=utf-8"});
    install(jpegBytes().substr(0, 3), kJpegResponse);  // a JPEG marker and nothing else
    install("", {200, ""});
    install(encodedImage("BMP"), {200, "image/bmp"});  // a picture, but not one desktops all show

    const auto lines = sim.log.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "❌ 设置桌面壁纸失败：Error Domain=Daylume Code=1 \"received no JPEG, PNG or WebP "
              "picture: HTTP 404, text/html; charset=utf-8, " +
                  std::to_string(page.size()) + " bytes\"");
    EXPECT_TRUE(lines[1].starts_with("❌ 设置桌面壁纸失败：")) << lines[1];
    EXPECT_TRUE(lines[2].find("HTTP 200, no content type, 0 bytes") != std::string::npos)
        << lines[2];
    EXPECT_TRUE(lines[3].find("HTTP 200, image/bmp") != std::string::npos) << lines[3];
    EXPECT_EQ(folder(), before);
    EXPECT_TRUE(sim.desktop.pictures.empty());
}

TEST_F(WallpaperStoreTest, PngAndWebpPicturesAreAccepted) {
    for (const char* format : {"PNG", "WEBP"}) {
        SCOPED_TRACE(format);
        sim.log.clear();
        install(encodedImage(format), {200, "application/octet-stream"});
        EXPECT_TRUE(sim.log.lines().back().starts_with("✅ 壁纸设置成功："))
            << sim.log.lines().back();
    }
}

TEST(FileManagerTest, AFailedCopyLeavesNeitherAFileNorAPartialCopy) {
    TempDir temp;
    FileManager files(temp.path());
    fs::create_directories(temp.path() / "source-is-a-folder");
    fs::create_directories(temp.path() / "target");
    EXPECT_THROW(files.copyItem(temp.path() / "source-is-a-folder",
                                temp.path() / "target" / "daylume-x.jpg"),
                 Failure);
    EXPECT_TRUE(fs::is_empty(temp.path() / "target"));

    // And an existing name is never overwritten.
    std::ofstream(temp.path() / "a") << "new";
    std::ofstream(temp.path() / "target" / "b") << "old";
    EXPECT_THROW(files.copyItem(temp.path() / "a", temp.path() / "target" / "b"), Failure);
    std::ifstream in(temp.path() / "target" / "b");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "old");
}

TEST(FileManagerTest, EveryListedEntryHasACreationDateAndNewerFilesSortLater) {
    TempDir temp;
    FileManager files(temp.path());
    std::ofstream(temp.path() / "older") << "x";
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    std::ofstream(temp.path() / "source") << "y";
    files.copyItem(temp.path() / "source", temp.path() / "newer");
    std::map<std::string, std::chrono::system_clock::time_point> dates;
    for (const DirectoryEntry& entry : files.contentsOfDirectory(temp.path())) {
        ASSERT_TRUE(entry.creationDate.has_value()) << entry.path;
        dates[entry.path.filename().string()] = *entry.creationDate;
    }
    EXPECT_EQ(dates.size(), 3u);
    EXPECT_GT(dates["newer"], dates["older"]);
}

}  // namespace
}  // namespace daylume::test
