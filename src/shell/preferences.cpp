#include "platform/image_probe.h"
#include "shell/app_delegate.h"
#include "shell/text_format.h"

namespace daylume {

void AppDelegate::loadPreferences() {
    preferences_ = platform_.preferences.load();
    platform_.application.setPreferenceActions({
        .changed = [this](Preference preference, bool on) { preferenceChanged(preference, on); },
        .regionChosen = [this](const std::string& market) { regionChosen(market); },
        .saveCopy = [this] { saveCopy(); },
    });
}

bool AppDelegate::keepChoice(const std::function<void()>& save) {
    try {
        save();
        return true;
    } catch (const Failure& failure) {
        const Error& error = failure.error();
        platform_.application.runModal({localized("alert_preferences_not_saved"),
                                        status_.causeText(error.cause, error.detail)});
        updateStatus();  // the choice as it still is
        return false;
    }
}

void AppDelegate::preferenceChanged(Preference preference, bool on) {
    if (!keepChoice([&] { platform_.preferences.save(preference, on); })) return;
    const bool wantedUltraHD = wantsUltraHD();
    choice(preferences_, preference) = on;
    // A choice shows at once, not with tomorrow's picture; a picture the user chose stays.
    if (!wantedUltraHD && wantsUltraHD()) {
        if (userChoseDay_)
            startImageDownload(currentFind_, {}, true);
        else
            refreshWallpaper();
    }
    // The lock screen shows today's picture at once, and what it showed before once it is off.
    const auto& shown = status_.shownPicture();
    if (preference == Preference::LockScreen &&
        platform_.desktop.lockScreen() == LockScreen::OwnPicture && (shown || !on)) {
        store_.setLockScreen(on ? std::optional(shown->file) : std::nullopt,
                             [this](const Error& error) {
                                 platform_.mainLoop.async([this, error] {
                                     status_.lockScreenFailed(error);
                                     updateStatus();
                                 });
                             });
    }
    updateStatus();
}

void AppDelegate::regionChosen(const std::string& market) {
    if (market == preferences_.region ||
        !keepChoice([&] { platform_.preferences.saveRegion(market); }))
        return;
    preferences_.region = market;
    // The region's picture at once, not with tomorrow's.
    refreshWallpaper();
}

void AppDelegate::saveCopy() {
    const auto& shown = status_.shownPicture();
    if (!shown) return;
    const std::optional<ImageInfo> info = probeImage(shown->file);
    const std::string extension = !info || info->format == "jpeg" ? "jpg" : info->format;
    platform_.application.saveCopy(
        shown->file, fileNameFor(shown->found.facts.title.value_or("Daylume"), extension));
}

PreferencesStatus AppDelegate::preferencesStatus() const {
    PreferencesStatus status{.chosen = preferences_};
    switch (platform_.desktop.lockScreen()) {
        case LockScreen::OwnPicture:
            break;
        case LockScreen::DesktopPicture:
            status.chosen.lockScreen = true;  // as it is, whatever was chosen
            status.lockScreenNote = localized("preferences_lock_screen_shows_desktop");
            break;
        case LockScreen::Unknown:
            status.chosen.lockScreen = false;
            status.lockScreenNote = localized("preferences_lock_screen_unknown");
            break;
    }
    if (!platform_.preferences.keepsStartAtLogin()) {
        status.chosen.startAtLogin = false;
        status.startAtLoginNote = localized("preferences_start_at_login_sandboxed");
    }
    const auto& shown = status_.shownPicture();
    status.canSaveCopy = shown.has_value();
    if (shown && !preferences_.ultraHD) {
        const PixelSize screen = platform_.desktop.largestScreen();
        const PixelSize& picture = shown->size;
        auto text = [](PixelSize size) {
            return std::to_string(size.width) + "×" + std::to_string(size.height);
        };
        if (screen.width > picture.width || screen.height > picture.height)
            status.ultraHDNote =
                filledIn(filledIn(localized("preferences_screen_larger"), "%1", text(screen)), "%2",
                         text(picture));
    }
    return status;
}

}  // namespace daylume
