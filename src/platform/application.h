#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/main_loop.h"
#include "platform/preferences.h"
#include "platform/url.h"

namespace daylume {

// Regular: the application has an entry in the task bar or dock. Accessory: it has none.
enum class ActivationPolicy { Regular, Accessory };

// One menu entry; an entry without a title is a separator.
struct MenuEntry {
    std::string title;
    char keyEquivalent = 0;  // a lower-case letter, shown and used with Ctrl
    Task action;
};

// A modal dialog.
struct Alert {
    std::string messageText;           // the bold first line
    std::string informativeText;       // the body
    std::vector<std::string> buttons;  // none: the platform gives one default button
    bool informational = false;        // otherwise a warning
};
inline constexpr int kAlertFirstButtonReturn = 1000;

// A desktop notification.
struct Notification {
    std::string title;
    std::string body;
    std::optional<std::filesystem::path> image;
};

// What the task-bar window shows about the picture on the desktop and the work going on.
struct PictureStatus {
    std::string title;
    std::string credit;
    std::string setAt;     // when it became the desktop picture
    std::string activity;  // a check running, or what failed last; may be empty
    std::optional<std::filesystem::path> picture;
    bool learnMore = false;  // there is a page about the picture to open
};

// One of the last days' pictures, as the task-bar window's strip shows it.
struct DayPicture {
    Date day;
    std::string title;
    std::string credit;
    std::optional<std::filesystem::path> thumbnail;  // none until it is in
    bool learnMore = false;                          // there is a page about it to open
    bool onDesktop = false;
};
// What the task-bar window's strip and its Learn More do.
struct WindowActions {
    Task seen;  // the window came into sight
    std::function<void(std::size_t day)> setAsDesktop;
    // The page about a day's picture, or about the desktop picture without one.
    std::function<void(std::optional<std::size_t> day)> learnMore;
};

// The choices as the task-bar window and the preferences dialog show them.
struct PreferencesStatus {
    Preferences chosen;
    std::string ultraHDNote;       // e.g. that the screen is larger than the picture; may be empty
    std::string lockScreenNote;    // why the lock screen cannot be chosen; empty when it can
    std::string startAtLoginNote;  // likewise starting at login
    bool canSaveCopy = false;      // a picture is on the desktop
};
struct PreferenceActions {
    std::function<void(Preference preference, bool on)> changed;
    std::function<void(const std::string& market)> regionChosen;  // empty: any market
    Task saveCopy;
};

// The icon in the panel's tray, with its menu.
class StatusItem {
public:
    virtual ~StatusItem() = default;
    // `name` names an image resource; a monochrome one that reads on light and dark panels.
    virtual void setImage(std::string_view name) = 0;
    virtual void setMenu(std::vector<MenuEntry> entries) = 0;
    virtual void setToolTip(std::string_view text) = 0;
    // Whether the desktop has a tray to show the icon in now.
    virtual bool trayExists() const = 0;
};

// The running application as the desktop sees it. Main thread only.
class Application {
public:
    virtual ~Application() = default;
    // Ends the main loop; the application then terminates normally.
    virtual void terminate() = 0;
    virtual ActivationPolicy activationPolicy() const = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    // Shows the dialog and waits for it to be closed: kAlertFirstButtonReturn for the first
    // button, one more for each following one.
    virtual int runModal(const Alert& alert) = 0;
    // Hands the address to the user's default application for it.
    virtual void openURL(const Url& url) = 0;
    // Shows a folder in the user's file manager.
    virtual void openFolder(const std::filesystem::path& folder) = 0;
    // The content of the window that gives the task-bar entry, and its buttons; a second call
    // adds more.
    virtual void showStatus(const PictureStatus& status) = 0;
    virtual void setStatusActions(std::vector<MenuEntry> actions) = 0;
    // Gives the application its task-bar entry and brings its window to the front.
    virtual void presentWindow() = 0;
    // The last days' pictures, newest first, in the window's strip, and what choosing one does.
    virtual void showDays(const std::vector<DayPicture>& days) = 0;
    virtual void setWindowActions(WindowActions actions) = 0;
    // The choices, in the task-bar window and the preferences dialog, and what they do.
    virtual void showPreferences(const PreferencesStatus& status) = 0;
    virtual void setPreferenceActions(PreferenceActions actions) = 0;
    virtual void openPreferencesDialog() = 0;
    // Asks where to keep a copy of `picture`, proposing `name` in the user's pictures folder, and
    // writes it there whole or not at all; tells the user when that failed.
    virtual void saveCopy(const std::filesystem::path& picture, const std::string& name) = 0;
    // Shows a desktop notification where a notification service runs; elsewhere nothing.
    virtual void postNotification(const Notification& notification) = 0;
    // A new icon in the tray (shown as soon as the desktop has a tray); nothing where the
    // platform cannot make one.
    virtual std::unique_ptr<StatusItem> makeStatusItem() = 0;
};

// The application's own resources: settings values and localized strings.
class Bundle {
public:
    virtual ~Bundle() = default;
    // The settings value under `key` when it is a string.
    virtual std::optional<std::string> stringValue(std::string_view key) const = 0;
    // The text for `key` in the user's language; the key itself when there is none.
    virtual std::string localizedString(std::string_view key) const = 0;
    // A time of day as the user's language writes it, in the local time zone.
    virtual std::string localizedTime(Date date) const = 0;
    // The user's locale, language and territory: "en_GB".
    virtual std::string localeName() const = 0;
};

enum class SystemEvent {
    Wake,
    Activation,
    RefreshRequest,      // from outside the application, e.g. its command line
    NetworkReturn,       // full network access again after none or a limited one
    PreferencesRequest,  // from outside the application: show the preferences
    Relaunch,            // the user launched the application again
};

// System events the application observes; handlers run on the main thread.
class Notifications {
public:
    virtual ~Notifications() = default;
    virtual void addObserver(SystemEvent event, Task handler) = 0;
    virtual void removeObservers() = 0;
};

}  // namespace daylume
