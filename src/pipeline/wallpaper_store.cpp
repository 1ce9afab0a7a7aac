#include "pipeline/wallpaper_store.h"

#include <algorithm>

#include "platform/image_probe.h"
#include "shell/app_delegate.h"

namespace daylume {
namespace fs = std::filesystem;

namespace {

// Describes what arrived instead of a picture, for the failure line.
Error notAPicture(const fs::path& file, const HttpResponse& response) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    std::string what = "received no JPEG, PNG or WebP picture: HTTP " +
                       std::to_string(response.status) + ", " +
                       (response.contentType.empty() ? "no content type" : response.contentType) +
                       ", " + (ec ? "unknown size" : std::to_string(size) + " bytes");
    return Error{"Daylume", 1, std::move(what)};
}

}  // namespace

bool isStoredImageName(std::string_view name) {
    const auto dot = name.rfind('.');
    return name.starts_with("daylume-") && dot != std::string_view::npos &&
           name.substr(dot + 1) == "jpg";
}

void AppDelegate::handleDownloadedImage(Platform& platform, std::optional<fs::path> file,
                                        const HttpResponse& response, std::optional<Error> error) {
    if (file && !error) {
        installWallpaper(platform, *file, response);
        return;
    }
    platform.log.line("❌ 图片下载失败：" + (error ? error->localizedDescription() : "未知错误"));
}

void AppDelegate::installWallpaper(Platform& platform, const fs::path& file,
                                   const HttpResponse& response) {
    FileManager& files = platform.files;
    try {
        // An error page must never become the wallpaper nor push a good picture out.
        if (!probeImage(file)) throw Failure(notAPicture(file, response));

        const fs::path folder = files.applicationSupportDirectory() / kImageFolderName;
        if (!files.fileExists(folder)) files.createDirectory(folder);
        const fs::path stored = folder / ("daylume-" + newUuidString() + ".jpg");
        files.copyItem(file, stored);

        std::vector<DirectoryEntry> images = files.contentsOfDirectory(folder);
        std::erase_if(images, [](const DirectoryEntry& entry) {
            return !isStoredImageName(entry.path.filename().native());
        });
        // Newest first; undated entries last, in listing order.
        std::ranges::stable_sort(images, [](const DirectoryEntry& a, const DirectoryEntry& b) {
            return a.creationDate && (!b.creationDate || *a.creationDate > *b.creationDate);
        });
        for (std::size_t i = kKeptImages; i < images.size(); ++i) files.removeItem(images[i].path);

        const std::optional<Screen> screen = platform.desktop.mainScreen();
        if (!screen) {
            platform.log.line("⚠️ 无法获取主屏幕，跳过设置壁纸");
            return;
        }
        platform.desktop.setDesktopPicture(stored, *screen);
        platform.log.line("✅ 壁纸设置成功：" + stored.string());
    } catch (const Failure& failure) {
        platform.log.line("❌ 设置桌面壁纸失败：" + failure.error().description());
    }
}

}  // namespace daylume
