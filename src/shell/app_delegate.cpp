#include "shell/app_delegate.h"

#include "pipeline/image_lookup.h"

namespace daylume {

// The tray icon waits for the panel of a session that is still starting.
constexpr Seconds kStatusItemSetupDelay{3.0};

AppDelegate::AppDelegate(Platform& platform, std::string_view serviceOrigin)
    : platform_(platform),
      lookup_(platform, *Url::parse(serviceOrigin)),
      archive_(platform, lookup_.serviceOrigin()),
      store_(platform),
      status_(platform.application, platform.bundle, platform.mainLoop, lookup_.serviceOrigin()) {}

void AppDelegate::applicationDidFinishLaunching() {
    store_.removeInterruptedCopies();
    recallShownPicture();
    loadPreferences();
    setupDays();
    updateStatus();
    scheduleStatusItemSetup();
}

void AppDelegate::scheduleStatusItemSetup() {
    platform_.mainLoop.asyncAfter(kStatusItemSetupDelay, [this] {
        if (!terminating_) setupStatusItem();
    });
}

void AppDelegate::applicationWillTerminate() {
    terminating_ = true;
    if (timer) timer->invalidate();
    platform_.notifications.removeObservers();
}

void AppDelegate::fetchLatestImageURL(LookupCompletion completion) {
    lookup_.fetch(
        std::move(completion),
        [this](const FoundImage& delivered, std::optional<FoundImage> local) {
            platform_.mainLoop.async(
                [this, delivered, local = std::move(local)] { adoptUserFacts(delivered, local); });
        },
        preferences_.region);
}

void AppDelegate::refreshWallpaper(bool userAsked) {
    fetchLatestImageURL(
        onMainThread([this, userAsked](std::optional<FoundImage> found, const LookupFailure&) {
            handleRefreshResult(std::move(found), userAsked);
        }));
}

void AppDelegate::handleRefreshResult(std::optional<FoundImage> found, bool userAsked) {
    if (!found) {
        platform_.log.line("❌ 获取 Bing 图片 URL 失败");
        return;
    }
    if (!userAsked && keepsChosenPicture(*found)) return;
    // A manual refresh always installs, also when the address is the current one.
    setCurrentImage(*found);
    startImageDownload(*found);
}

void AppDelegate::setCurrentImage(const FoundImage& found) {
    if (currentImageURL != found.url) currentImageInstalled_ = false;
    currentImageURL = found.url;
    currentFind_ = found;
}

void AppDelegate::startImageDownload(const FoundImage& found, std::function<void(bool)> onInstalled,
                                     bool chosen) {
    const Url& url = found.url;
    RunningInstalls& running = installsRunning_[url.absoluteString()];
    ++running.count;
    running.found = found;
    running.chosen = chosen;
    updateStatus();
    const InstallChoices choices{.lockScreen = setsLockScreen()};
    auto installed = [this, url, onInstalled = std::move(onInstalled)](InstallOutcome outcome) {
        platform_.mainLoop.async([this, url, outcome = std::move(outcome), onInstalled] {
            handleInstallOutcome(url, outcome);
            if (onInstalled) onInstalled(!outcome.error);
        });
    };
    // Stored already, only the desktop failed: set the kept copy again, as an install does.
    if (keptNotSet_ && keptNotSet_->url == url && platform_.files.fileExists(keptNotSet_->picture))
        return store_.installAgain(keptNotSet_->picture, choices, std::move(installed));
    store_.downloadAndInstall(found, wantsUltraHD(), choices, std::move(installed));
}

bool AppDelegate::setsLockScreen() const {
    return preferences_.lockScreen && platform_.desktop.lockScreen() == LockScreen::OwnPicture;
}

bool AppDelegate::wantsUltraHD() const {
    const PixelSize screen = platform_.desktop.largestScreen();
    return preferences_.ultraHD && (screen.width > kFullHD.width || screen.height > kFullHD.height);
}

void AppDelegate::handleInstallOutcome(const Url& url, const InstallOutcome& outcome) {
    FoundImage found{url};
    bool chosen = false;
    if (const auto running = installsRunning_.find(url.absoluteString());
        running != installsRunning_.end()) {
        found = running->second.found;
        chosen = running->second.chosen;
        if (--running->second.count == 0) installsRunning_.erase(running);
    }
    if (!outcome.error && currentImageURL == url) currentImageInstalled_ = true;
    if (currentImageURL == url)
        keptNotSet_ = outcome.error && outcome.picture && !outcome.inDownload
                          ? std::optional(KeptNotSet{url, *outcome.picture, outcome.error->cause})
                          : std::nullopt;
    // A picture the user chose is no news to them.
    status_.installEnded(found, outcome, preferences_.notify && !chosen);
    if (outcome.onDesktop) {
        userChoseDay_ = chosen;
        noteShown(url);
        rememberShownPicture();
        showDays();
    }
    updateStatus();
}

bool AppDelegate::isCurrentImage(const Url& url) const {
    return currentImageURL == url &&
           (currentImageInstalled_ || installsRunning_.contains(url.absoluteString()));
}

void AppDelegate::adoptUserFacts(const FoundImage& delivered,
                                 const std::optional<FoundImage>& local) {
    const std::string& address = delivered.url.absoluteString();
    auto same = [&](std::string_view other) {
        return other == address || samePicture(other, address);
    };
    // The user's market may show another picture that day: the delivered facts stand then.
    const PictureFacts& facts =
        local && same(local->url.absoluteString()) ? local->facts : delivered.facts;
    for (auto& [running, install] : installsRunning_)
        if (same(running)) install.found.facts = facts, install.found.factsFinal = true;
    if (!currentImageURL || !same(currentImageURL->absoluteString())) return;
    currentFind_.facts = facts;
    currentFind_.factsFinal = true;
    if (currentImageInstalled_) {
        status_.retitle(facts);
        rememberShownPicture();
    }
    updateStatus();
}

}  // namespace daylume
