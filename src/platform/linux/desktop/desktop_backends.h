#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/error.h"
#include "platform/linux/desktop/desktop_session.h"

namespace daylume {

// One way of setting the desktop picture. Throws Failure with a message that names the desktop
// and what went wrong.
class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;
    virtual void setPicture(const std::filesystem::path& picture, const Screen& screen) = 0;
    virtual LockScreen lockScreen() const { return LockScreen::Unknown; }
    // Called only where lockScreen() is OwnPicture: sets its picture, keeping what it showed
    // before the first time; puts that back; the picture it shows.
    virtual void setLockScreenPicture(const std::filesystem::path&) {}
    virtual void restoreLockScreen() {}
    virtual std::optional<std::filesystem::path> lockScreenPicture() const { return std::nullopt; }
};

std::unique_ptr<DesktopBackend> makeDesktopBackend(DesktopSession session);

// GSettings keys: every listed key that the schema has is set; the first must exist.
struct GSettingsKeys {
    std::string schema;
    std::vector<std::string> keys;
};

// GSettings: the background's keys.
class GSettingsBackground final : public DesktopBackend {
public:
    GSettingsBackground(std::string desktop, GSettingsKeys background, bool asUri,
                        LockScreen lockScreen);
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
    LockScreen lockScreen() const override { return lockScreen_; }

private:
    void set(const GSettingsKeys& keys, const std::filesystem::path& picture);

    std::string desktop_;
    GSettingsKeys background_;
    bool asUri_;
    LockScreen lockScreen_;
};

// Plain X11: the first of feh and xwallpaper that is installed paints the root window.
class X11RootBackground final : public DesktopBackend {
public:
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
};

// KDE Plasma 5 and 6: a script run by plasmashell gives every desktop the picture.
// The lock screen: its greeter's wallpaper in kscreenlockerrc, read and written by KDE's own
// tools; what it showed before is kept in `kept` until it is put back.
class PlasmaBackground final : public DesktopBackend {
public:
    explicit PlasmaBackground(std::filesystem::path kept);
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
    LockScreen lockScreen() const override { return LockScreen::OwnPicture; }
    void setLockScreenPicture(const std::filesystem::path& picture) override;
    void restoreLockScreen() override;
    std::optional<std::filesystem::path> lockScreenPicture() const override;

private:
    std::filesystem::path kept_;
};

// XFCE: xfdesktop's last-image property of every monitor and workspace, in xfconf.
// Its screen locker shows the desktop picture.
class XfconfBackground final : public DesktopBackend {
public:
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
    LockScreen lockScreen() const override { return LockScreen::DesktopPicture; }
};

// Inside a Flatpak sandbox: the desktop portal's Wallpaper interface, handed the open file.
class PortalBackground final : public DesktopBackend {
public:
    explicit PortalBackground(std::chrono::milliseconds answerLimit = std::chrono::seconds(10));
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;

private:
    std::chrono::milliseconds answerLimit_;
};

// sway and other wlroots compositors that take swaymsg: swaybg paints the screen's output.
class SwayBackground final : public DesktopBackend {
public:
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
};

// Hyprland: hyprpaper, asked through hyprctl.
class HyprlandBackground final : public DesktopBackend {
public:
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
};

// LXQt: pcmanfm-qt draws the desktop.
class LxqtBackground final : public DesktopBackend {
public:
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
};

// Throws the Failure every back end reports: Desktop error NotSet, "<desktop>: <message>", with
// the cause a person can act on and its detail (the program or service, or the desktop's name).
[[noreturn]] void failDesktop(std::string_view desktop, std::string message, Cause cause,
                              std::string detail);

// Runs a desktop tool with an argument list (never a shell) and a time limit, so a hung tool
// cannot hold up later installs; returns what it printed. Throws Failure naming `desktop` and the
// program when the tool is missing, fails or runs too long.
std::string runDesktopTool(std::string_view desktop, const std::string& program,
                           const std::vector<std::string>& arguments);

}  // namespace daylume
