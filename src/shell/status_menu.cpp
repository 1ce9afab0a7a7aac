#include <algorithm>
#include <iterator>

#include "shell/app_delegate.h"

namespace daylume {

constexpr Seconds kLaunchCheckDelay{5.0};

void AppDelegate::setupStatusItem() {
    statusItem = platform_.application.makeStatusItem();
    if (statusItem) statusItem->setImage("StatusIcon");

    std::vector<MenuEntry> menu = {
        {localized("menu_about"), 'i', [this] { showAbout(); }},
        {localized("menu_refresh"), 'r', [this] { refreshWallpaper(); }},
        {localized("menu_source"), 's', [this] { showImageSource(); }},
        {localized("menu_preferences"), ',',
         [this] { platform_.application.openPreferencesDialog(); }},
        {localized("menu_toggle_dock"), 'd', [this] { toggleDockVisibility(); }},
        {},  // separator
        {localized("menu_quit"), 'q', [this] { platform_.application.terminate(); }},
    };
    // Without a tray the window is Daylume's face: it offers the menu's commands but those it has
    // already (Refresh, itself), and shows itself when the user, not the session at login,
    // launches Daylume.
    const bool noTray = !statusItem || !statusItem->trayExists();
    std::vector<MenuEntry> commands;
    std::ranges::copy_if(menu, std::back_inserter(commands), [](const MenuEntry& entry) {
        return !entry.title.empty() && entry.keyEquivalent != 'r' && entry.keyEquivalent != 'd';
    });
    if (statusItem) statusItem->setMenu(std::move(menu));
    platform_.application.setStatusActions({
        {localized("menu_refresh"), 0, [this] { refreshWallpaper(); }},
        {localized("button_open_folder"), 0,
         [this] {
             try {
                 platform_.files.createDirectory(store_.imageFolder());
                 platform_.application.openFolder(store_.imageFolder());
             } catch (const Failure&) {
                 // Nothing to show where the folder cannot be made.
             }
         }},
    });
    if (noTray) platform_.application.setStatusActions(std::move(commands));
    updateStatus();

    platform_.notifications.addObserver(SystemEvent::Wake, [this] { tryFetchAfterWake(); });
    platform_.notifications.addObserver(SystemEvent::Activation,
                                        [this] { tryFetchAfterWake(true); });
    platform_.notifications.addObserver(SystemEvent::RefreshRequest,
                                        [this] { refreshWallpaper(); });
    platform_.notifications.addObserver(SystemEvent::NetworkReturn, [this] { networkDidReturn(); });
    platform_.notifications.addObserver(SystemEvent::Relaunch, [this] {
        if (!statusItem || !statusItem->trayExists()) platform_.application.presentWindow();
    });
    if (noTray && !startedAtLogin) platform_.application.presentWindow();
    platform_.notifications.addObserver(SystemEvent::PreferencesRequest,
                                        [this] { platform_.application.openPreferencesDialog(); });

    platform_.mainLoop.asyncAfter(kLaunchCheckDelay, [this] { runLaunchCheck(); });
}

}  // namespace daylume
