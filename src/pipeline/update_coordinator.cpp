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
    setCurrentImageURL(*url);
    startImageDownload(*url);
}

void AppDelegate::setCurrentImageURL(const Url& url) {
    if (currentImageURL != url) currentImageInstalled_ = false;
    currentImageURL = url;
}

void AppDelegate::startImageDownload(const Url& url, std::function<void(bool)> onInstalled) {
    ++installsRunning_[url.absoluteString()];
    platform_.http.downloadTask(url, [this, url, onInstalled = std::move(onInstalled)](
                                         std::optional<std::filesystem::path> file,
                                         const HttpResponse& response, std::optional<Error> error) {
        const bool installed =
            handleDownloadedImage(platform_, std::move(file), response, std::move(error));
        platform_.mainLoop.async([this, url, installed, onInstalled] {
            handleInstallOutcome(url, installed);
            if (onInstalled) onInstalled(installed);
        });
    });
}

void AppDelegate::handleInstallOutcome(const Url& url, bool installed) {
    const auto running = installsRunning_.find(url.absoluteString());
    if (running != installsRunning_.end() && --running->second == 0)
        installsRunning_.erase(running);
    if (installed && currentImageURL == url) currentImageInstalled_ = true;
}

bool AppDelegate::isCurrentImage(const Url& url) const {
    return currentImageURL == url &&
           (currentImageInstalled_ || installsRunning_.contains(url.absoluteString()));
}

}  // namespace daylume
