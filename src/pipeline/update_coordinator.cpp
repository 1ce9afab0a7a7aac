#include "shell/app_delegate.h"

namespace daylume {

void AppDelegate::refreshWallpaper() {
    fetchLatestImageURL(
        onMainThread([this](std::optional<Url> url) { handleRefreshResult(std::move(url)); }));
}

void AppDelegate::handleRefreshResult(std::optional<Url> url) {
    if (!url) {
        platform_.log.line("❌ 获取 Bing 图片 URL 失败");
        return;
    }
    // A manual refresh always installs, also when the address is the current one.
    currentImageURL = url;
    startImageDownload(*url);
}

void AppDelegate::startImageDownload(const Url& url) {
    platform_.http.downloadTask(
        url, [&platform = platform_](std::optional<std::filesystem::path> file,
                                     const HttpResponse& response, std::optional<Error> error) {
            handleDownloadedImage(platform, std::move(file), response, std::move(error));
        });
}

}  // namespace daylume
