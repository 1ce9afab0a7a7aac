#include <algorithm>

#include "shell/app_delegate.h"

namespace daylume {

// A network that comes and goes starts at most one check in this time.
constexpr Seconds kNetworkCheckSpacing{30.0};

void AppDelegate::runLaunchCheck() {
    platform_.log.line("🕔 启动后静默补偿检查开始");
    refreshWallpaper(false);
    startHourlyTimer();
    tryFetchAfterWake();
}

void AppDelegate::tryFetchAfterWake(bool activation) {
    platform_.log.line("💡 唤醒或激活后尝试补偿拉取新图");
    fetchLatestImageURL(
        onMainThread([this, activation](std::optional<FoundImage> found, const LookupFailure& why) {
            // A check that could not reach the service leaves the network's next return free
            // to check: after a resume, DNS or a VPN often comes a moment after the network.
            const auto unreached = {Cause::NoNetwork, Cause::NoAnswer, Cause::ConnectionClosed,
                                    Cause::TimedOut};
            if (!found && std::ranges::find(unreached, why.cause) != unreached.end())
                networkCheckHeld_ = false;
            handleWakeResult(std::move(found), activation);
        }));
}

void AppDelegate::networkDidReturn() {
    if (networkCheckHeld_) return;
    networkCheckHeld_ = true;
    platform_.mainLoop.asyncAfter(kNetworkCheckSpacing, [this, hold = ++networkHolds_] {
        if (hold == networkHolds_) networkCheckHeld_ = false;
    });
    tryFetchAfterWake();
}

void AppDelegate::handleWakeResult(std::optional<FoundImage> found, bool activation) {
    if (!found) {
        platform_.log.line("❌ 唤醒后无新图");
        return;
    }
    // An address whose install failed counts as new: the check tries it again; but a desktop
    // that cannot change by itself (none supported, a tool missing) waits for a wake or a tick,
    // not every window the user opens.
    const bool cannotChangeYet =
        activation && keptNotSet_ && keptNotSet_->url == found->url &&
        (keptNotSet_->cause == Cause::NoDesktop || keptNotSet_->cause == Cause::DesktopToolMissing);
    if (isCurrentImage(found->url) || cannotChangeYet || keepsChosenPicture(*found)) {
        platform_.log.line("ℹ️ 唤醒后图未变，无需刷新");
        return;
    }
    platform_.log.line("✅ 唤醒后检测到新图，开始更新");
    setCurrentImage(*found);
    startImageDownload(*found);
}

}  // namespace daylume
