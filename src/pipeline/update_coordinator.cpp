#include "pipeline/image_lookup.h"
#include "shell/app_delegate.h"

namespace daylume {

void AppDelegate::refreshWallpaper() {
    fetchLatestImageURL(onMainThread([this](std::optional<FoundImage> found, const LookupFailure&) {
        handleRefreshResult(std::move(found));
    }));
}

void AppDelegate::handleRefreshResult(std::optional<FoundImage> found) {
    if (!found) {
        platform_.log.line("❌ 获取 Bing 图片 URL 失败");
        return;
    }
    // A manual refresh always installs, also when the address is the current one.
    setCurrentImage(*found);
    startImageDownload(*found);
}

void AppDelegate::setCurrentImage(const FoundImage& found) {
    if (currentImageURL != found.url) currentImageInstalled_ = false;
    currentImageURL = found.url;
    currentImageFacts_ = found.facts;
}

void AppDelegate::startImageDownload(const FoundImage& found,
                                     std::function<void(bool)> onInstalled) {
    const Url& url = found.url;
    RunningInstalls& running = installsRunning_[url.absoluteString()];
    ++running.count;
    if (currentImageURL == url) running.facts = currentImageFacts_;
    updateStatus();
    const InstallChoices choices{.lockScreen = setsLockScreen()};
    auto installed = [this, url, onInstalled = std::move(onInstalled)](InstallOutcome outcome) {
        platform_.mainLoop.async([this, url, outcome = std::move(outcome), onInstalled] {
            handleInstallOutcome(url, outcome);
            if (onInstalled) onInstalled(!outcome.error);
        });
    };
    // Stored already, only the desktop failed: set the kept copy again, as an install does.
    if (keptNotSet_ && keptNotSet_->url == url &&
        platform_.files.fileExists(keptNotSet_->picture)) {
        platform_.http.onDownloadQueue([this, picture = keptNotSet_->picture, choices, installed] {
            installed(installWallpaper(platform_, picture, {200, "image/jpeg"}, choices));
        });
        return;
    }
    auto install = [this, choices, installed](std::optional<std::filesystem::path> file,
                                              const HttpResponse& response,
                                              std::optional<Error> error) {
        installed(
            handleDownloadedImage(platform_, std::move(file), response, std::move(error), choices));
    };
    if (!found.ultraHD || !wantsUltraHD()) return platform_.http.downloadTask(url, install);
    // Older pictures have no Ultra HD copy: the one found then, once.
    platform_.http.downloadTask(
        *found.ultraHD,
        [this, url, install](std::optional<std::filesystem::path> file,
                             const HttpResponse& response, std::optional<Error> error) {
            if (!error && response.status == 404) return platform_.http.downloadTask(url, install);
            install(std::move(file), response, std::move(error));
        });
}

bool AppDelegate::setsLockScreen() const {
    return preferences_.lockScreen && platform_.desktop.lockScreen() == LockScreen::OwnPicture;
}

bool AppDelegate::wantsUltraHD() const {
    const PixelSize screen = platform_.desktop.largestScreen();
    return preferences_.ultraHD && (screen.width > kFullHD.width || screen.height > kFullHD.height);
}

void AppDelegate::handleInstallOutcome(const Url& url, const InstallOutcome& outcome) {
    PictureFacts facts;
    if (const auto running = installsRunning_.find(url.absoluteString());
        running != installsRunning_.end()) {
        facts = running->second.facts;
        if (--running->second.count == 0) installsRunning_.erase(running);
    }
    if (!outcome.error && currentImageURL == url) currentImageInstalled_ = true;
    if (currentImageURL == url)
        keptNotSet_ = outcome.error && outcome.picture && !outcome.inDownload
                          ? std::optional(KeptNotSet{url, *outcome.picture, outcome.error->cause})
                          : std::nullopt;
    status_.installEnded(facts, outcome);
    updateStatus();
}

bool AppDelegate::isCurrentImage(const Url& url) const {
    return currentImageURL == url &&
           (currentImageInstalled_ || installsRunning_.contains(url.absoluteString()));
}

void AppDelegate::adoptUserFacts(const FoundImage& local) {
    const std::string name = pictureName(local.url.absoluteString());
    for (auto& [address, running] : installsRunning_)
        if (pictureName(address) == name) running.facts = local.facts;
    if (!currentImageURL || pictureName(currentImageURL->absoluteString()) != name) return;
    currentImageFacts_ = local.facts;
    if (currentImageInstalled_) status_.retitle(local.facts);
    updateStatus();
}

}  // namespace daylume
