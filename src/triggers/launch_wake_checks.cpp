#include "shell/app_delegate.h"

namespace daylume {

void AppDelegate::runLaunchCheck() {
    platform_.log.line("🕔 启动后静默补偿检查开始");
    refreshWallpaper();
    startHourlyTimer();
    tryFetchAfterWake();
}

void AppDelegate::tryFetchAfterWake() {
    platform_.log.line("💡 唤醒或激活后尝试补偿拉取新图");
    fetchLatestImageURL(
        onMainThread([this](std::optional<Url> url) { handleWakeResult(std::move(url)); }));
}

void AppDelegate::networkDidReturn() {
    if (networkCheckHeld_) return;
    networkCheckHeld_ = true;
    platform_.mainLoop.asyncAfter(kNetworkCheckSpacing, [this] { networkCheckHeld_ = false; });
    tryFetchAfterWake();
}

void AppDelegate::handleWakeResult(std::optional<Url> url) {
    if (!url) {
        platform_.log.line("❌ 唤醒后无新图");
        return;
    }
    // An address whose install failed counts as new: the check tries it again.
    if (isCurrentImage(*url)) {
        platform_.log.line("ℹ️ 唤醒后图未变，无需刷新");
        return;
    }
    platform_.log.line("✅ 唤醒后检测到新图，开始更新");
    setCurrentImageURL(*url);
    startImageDownload(*url);
}

}  // namespace daylume
