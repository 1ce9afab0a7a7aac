#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "pipeline/day_archive.h"
#include "pipeline/image_lookup.h"
#include "pipeline/picture_types.h"
#include "pipeline/wallpaper_store.h"
#include "platform/platform.h"
#include "shell/user_status.h"

namespace daylume {

inline constexpr std::string_view kServiceOrigin = "https://www.bing.com";
// The size of the pictures the service names; it has most of them in Ultra HD too.
inline constexpr PixelSize kFullHD{1920, 1080};

// The one object that owns the application's state and receives every command, notification,
// timer and result. Its fields belong to the main thread.
class AppDelegate {
public:
    // `serviceOrigin` is the image service, scheme and host; tests point it at a stand-in.
    explicit AppDelegate(Platform& platform, std::string_view serviceOrigin = kServiceOrigin);

    // ---- Life cycle (shell/app_delegate.cpp)
    void applicationDidFinishLaunching();
    void scheduleStatusItemSetup();
    void applicationWillTerminate();

    // ---- Tray icon, menu and observers (shell/status_menu.cpp)
    void setupStatusItem();

    // ---- Dialogs and task-bar presence (shell/dialogs.cpp)
    void showAbout();
    void showImageSource();
    void toggleDockVisibility();

    // ---- What the tooltip, the task-bar window and notifications show (shell/user_status.*)
    void updateStatus() {
        status_.show(statusItem.get(), !installsRunning_.empty());
        platform_.application.showPreferences(preferencesStatus());
    }

    // ---- Check timers (triggers/check_timers.cpp)
    void startHourlyTimer();
    // The hourly timer's memory of the last address it acted on, shared by its ticks.
    using LastSeenURL = std::shared_ptr<std::optional<std::string>>;
    void runHourlyCheck(const std::shared_ptr<Timer>& fired, const LastSeenURL& lastSeenURLString);
    void handleHourlyResult(std::optional<FoundImage> found, const LastSeenURL& lastSeenURLString,
                            const std::weak_ptr<Timer>& fired);
    // The next-day timer, for the day after the one `resultTakenAt` (else now) belongs to.
    void scheduleNextDayTimer(std::optional<Date> resultTakenAt = std::nullopt);

    // ---- Launch and wake checks (triggers/launch_wake_checks.cpp)
    void runLaunchCheck();
    // An activation (not a wake) does not retry a desktop that cannot change by itself.
    void tryFetchAfterWake(bool activation = false);
    void handleWakeResult(std::optional<FoundImage> found, bool activation = false);
    // A wake check once the network is back: the one at the wake itself often ran without it.
    void networkDidReturn();

    // ---- What is on the desktop, from one run to the next (shell/picture_memory.cpp)
    void rememberShownPicture();
    void recallShownPicture();

    // ---- The days before today, in the task-bar window (shell/days.cpp)
    void setupDays();
    // The window came into sight: the days are asked for when the list is an hour old or of
    // another day or region.
    void windowSeen();
    void setDayAsDesktop(std::size_t day);
    void learnMore(std::optional<std::size_t> day);
    // The checks leave a picture the user chose alone, unless they found one Daylume has not
    // shown before.
    bool keepsChosenPicture(const FoundImage& found) const;

    // ---- Preferences and the copy to keep (shell/preferences.cpp)
    void loadPreferences();
    void preferenceChanged(Preference preference, bool on);
    // `market` is a market code, or empty for any market.
    void regionChosen(const std::string& market);
    void saveCopy();
    // What the preferences show now.
    PreferencesStatus preferencesStatus() const;

    // ---- Update coordinator (shell/app_delegate.cpp)
    // `userAsked`: the menu, the window, the command line, a new choice; else the launch's check.
    void refreshWallpaper(bool userAsked = true);
    void handleRefreshResult(std::optional<FoundImage> found, bool userAsked = true);
    // Downloads the find's picture, in Ultra HD where that is wanted and the find has it, and
    // installs it. `onInstalled`, if given, learns on the main thread whether it was installed.
    // `chosen`: the user chose it from the days before today.
    void startImageDownload(const FoundImage& found,
                            std::function<void(bool installed)> onInstalled = {},
                            bool chosen = false);
    // Ultra HD is chosen and a screen is larger than 1920×1080.
    bool wantsUltraHD() const;
    // The lock screen is chosen and has a picture of its own.
    bool setsLockScreen() const;
    void handleInstallOutcome(const Url& url, const InstallOutcome& outcome);
    // Whether `url` is the current image and is on the desktop or on its way there; an image
    // whose install failed is not.
    bool isCurrentImage(const Url& url) const;
    // What the market in the user's language found after another market's find was delivered:
    // when it names the same picture, its title and credit are the ones shown. Either way the
    // facts of `delivered` are final now, and a new picture is announced.
    void adoptUserFacts(const FoundImage& delivered, const std::optional<FoundImage>& local);

    // ---- The lookup and the store (pipeline/), as this application uses them
    // Asks every market at once. The completion gets the first usable find (on the HTTP
    // client's callback thread) or, if none came within lookupTimeout, nothing (on the main
    // thread); a late answer may still follow that.
    void fetchLatestImageURL(LookupCompletion completion);
    // Run on the install queue, so they are static: they touch no state of the delegate.
    static InstallOutcome handleDownloadedImage(Platform& platform,
                                                std::optional<std::filesystem::path> file,
                                                const HttpResponse& response,
                                                std::optional<Error> error,
                                                const InstallChoices& choices = {}) {
        return WallpaperStore(platform).handleDownloadedImage(std::move(file), response,
                                                              std::move(error), choices);
    }
    static InstallOutcome installWallpaper(Platform& platform, const std::filesystem::path& file,
                                           const HttpResponse& response,
                                           const InstallChoices& choices = {}) {
        return WallpaperStore(platform).installWallpaper(file, response, choices);
    }

    // Started by the session at login, not by the user.
    bool startedAtLogin = false;
    // The tray icon, made once by setupStatusItem.
    std::unique_ptr<StatusItem> statusItem;
    // The address of the image whose download was started most recently; never cleared.
    std::optional<Url> currentImageURL;
    // The armed check timer, hourly or next-day; invalidated before it is replaced.
    std::shared_ptr<Timer> timer;

private:
    void setCurrentImage(const FoundImage& found);
    // Runs `save`; tells the user when the choice could not be kept, and returns whether it was.
    bool keepChoice(const std::function<void()>& save);
    std::string localized(std::string_view key) const {
        return platform_.bundle.localizedString(key);
    }

    // Wraps a result handler so that it runs on the main thread whatever thread delivers, and
    // keeps count of the lookups running for the status.
    template <typename Handler>
    LookupCompletion onMainThread(Handler handler) {
        status_.lookupStarted();
        updateStatus();
        return [this, handler = std::move(handler), first = std::make_shared<bool>(true)](
                   std::optional<FoundImage> found, const LookupFailure& why) mutable {
            platform_.mainLoop.async(
                [this, handler, first, found = std::move(found), why]() mutable {
                    status_.lookupEnded(std::exchange(*first, false),
                                        found ? std::nullopt : std::optional(why));
                    updateStatus();
                    handler(std::move(found), why);
                });
        };
    }

    Platform& platform_;
    ImageLookup lookup_;
    DayArchive archive_;
    WallpaperStore store_;
    // The find of currentImageURL, with the best facts known.
    FoundImage currentFind_;
    // Downloads and installs not ended yet, by address, with the facts of their picture.
    struct RunningInstalls {
        int count = 0;
        FoundImage found;
        bool chosen = false;  // from the days before today
    };
    std::map<std::string, RunningInstalls, std::less<>> installsRunning_;
    // An install of currentImageURL has succeeded.
    bool currentImageInstalled_ = false;
    // The picture of currentImageURL is stored, but the desktop could not be set to it: later
    // checks set it again rather than download it.
    struct KeptNotSet {
        Url url;
        std::filesystem::path picture;
        Cause cause;
    };
    std::optional<KeptNotSet> keptNotSet_;
    // applicationWillTerminate has run: the deferred set-up must not.
    bool terminating_ = false;
    // A check for the network's return reached the service less than kNetworkCheckSpacing ago;
    // holds are counted so that an earlier one's end does not end a later one.
    bool networkCheckHeld_ = false;
    int networkHolds_ = 0;

    // The days the window shows, of the market they were asked for, and when.
    struct Days {
        std::vector<ArchiveDay> list;
        std::vector<std::optional<std::filesystem::path>> thumbnails;
        std::string market;
        std::optional<Date> fetchedAt;
        bool asking = false;
        int generation = 0;  // a thumbnail of an earlier list is dropped
    };
    Days days_;
    void showDays();
    // The picture on the desktop is one the user chose from the days before today.
    bool userChoseDay_ = false;
    // The names of the pictures Daylume has shown, the latest last.
    std::vector<std::string> shownNames_;
    void noteShown(const Url& picture);

    // What the user is shown.
    UserStatus status_;
    Preferences preferences_;
};

}  // namespace daylume
