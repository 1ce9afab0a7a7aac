#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace daylume {

inline constexpr std::string_view kServiceOrigin = "https://www.bing.com";
inline constexpr Seconds kHourlyInterval{3600.0};
// The next-day timer fires this long after 00:00:00 UTC.
inline constexpr Seconds kAfterMidnight{1.0};
inline constexpr Seconds kStatusItemSetupDelay{3.0};
inline constexpr Seconds kLaunchCheckDelay{5.0};
// A network that comes and goes starts at most one check in this time.
inline constexpr Seconds kNetworkCheckSpacing{30.0};

// What a lookup hands to its caller: the image address, or nothing when no market answered in
// time. Called at most twice per lookup (nothing at the deadline, then a late address).
using LookupCompletion = std::function<void(std::optional<Url>)>;

// The one object that owns the application's state and receives every command, notification,
// timer and result. Its fields belong to the main thread.
class AppDelegate {
public:
    // `serviceOrigin` is the image service, scheme and host; tests point it at a stand-in.
    explicit AppDelegate(Platform& platform, std::string_view serviceOrigin = kServiceOrigin);

    // ---- Life cycle (shell/app_lifecycle.cpp)
    void applicationDidFinishLaunching();
    void scheduleStatusItemSetup();
    void applicationWillTerminate();

    // ---- Tray icon, menu and observers (shell/status_menu.cpp)
    void setupStatusItem();

    // ---- Dialogs and task-bar presence (shell/dialogs.cpp)
    void showAbout();
    void showImageSource();
    void toggleDockVisibility();

    // ---- Check timers (triggers/check_timers.cpp)
    void startHourlyTimer();
    // The hourly timer's memory of the last address it acted on, shared by its ticks.
    using LastSeenURL = std::shared_ptr<std::optional<std::string>>;
    void runHourlyCheck(const std::shared_ptr<Timer>& fired, const LastSeenURL& lastSeenURLString);
    void handleHourlyResult(std::optional<Url> url, const LastSeenURL& lastSeenURLString,
                            const std::shared_ptr<Timer>& fired);
    void scheduleNextDayTimer();

    // ---- Launch and wake checks (triggers/launch_wake_checks.cpp)
    void runLaunchCheck();
    void tryFetchAfterWake();
    void handleWakeResult(std::optional<Url> url);
    // A wake check once the network is back: the one at the wake itself often ran without it.
    void networkDidReturn();

    // ---- Update coordinator (pipeline/update_coordinator.cpp)
    void refreshWallpaper();
    void handleRefreshResult(std::optional<Url> url);
    // `onInstalled`, if given, learns on the main thread whether the picture was installed.
    void startImageDownload(const Url& url, std::function<void(bool installed)> onInstalled = {});
    void handleInstallOutcome(const Url& url, bool installed);
    // Whether `url` is the current image and is on the desktop or on its way there; an image
    // whose install failed is not.
    bool isCurrentImage(const Url& url) const;

    // ---- Image-of-the-day lookup (pipeline/image_lookup.cpp)
    // Asks every market at once. The completion gets the first usable address (on the HTTP
    // client's callback thread) or, if none came within lookupTimeout, nothing (on the main
    // thread); a late answer may still follow that.
    void fetchLatestImageURL(LookupCompletion completion);

    // ---- Wallpaper store and install (pipeline/wallpaper_store.cpp)
    // Run on the download queue, so they are static: they touch no state of the delegate. True
    // when the picture is installed.
    static bool handleDownloadedImage(Platform& platform, std::optional<std::filesystem::path> file,
                                      const HttpResponse& response, std::optional<Error> error);
    static bool installWallpaper(Platform& platform, const std::filesystem::path& file,
                                 const HttpResponse& response);
    // Removes what an install killed halfway may have left in the picture folder.
    void removeInterruptedCopies();

    // The tray icon, made once by setupStatusItem.
    std::unique_ptr<StatusItem> statusItem;
    // The address of the image whose download was started most recently; never cleared.
    std::optional<Url> currentImageURL;
    // The armed check timer, hourly or next-day; invalidated before it is replaced.
    std::shared_ptr<Timer> timer;

private:
    void setCurrentImageURL(const Url& url);

    std::string localized(std::string_view key) const {
        return platform_.bundle.localizedString(key);
    }

    // Wraps a result handler so that it runs on the main thread whatever thread delivers.
    template <typename Handler>
    LookupCompletion onMainThread(Handler handler) {
        return [this, handler = std::move(handler)](std::optional<Url> url) mutable {
            platform_.mainLoop.async(
                [handler, url = std::move(url)]() mutable { handler(std::move(url)); });
        };
    }

    Platform& platform_;
    Url serviceOrigin_;
    // Downloads and installs not ended yet, by address.
    std::map<std::string, int, std::less<>> installsRunning_;
    // An install of currentImageURL has succeeded.
    bool currentImageInstalled_ = false;
    // applicationWillTerminate has run: the deferred set-up must not.
    bool terminating_ = false;
    // A check for the network's return ran less than kNetworkCheckSpacing ago.
    bool networkCheckHeld_ = false;
};

}  // namespace daylume
