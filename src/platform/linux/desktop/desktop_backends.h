#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
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
    // Called only where lockScreen() is OwnPicture.
    virtual void setLockScreenPicture(const std::filesystem::path&) {}
};

std::unique_ptr<DesktopBackend> makeDesktopBackend(DesktopSession session);

// GSettings keys: every listed key that the schema has is set; the first must exist.
struct GSettingsKeys {
    std::string schema;
    std::vector<std::string> keys;
};

// GSettings: the background's keys, and the lock screen's where it has its own.
class GSettingsBackground final : public DesktopBackend {
public:
    GSettingsBackground(std::string desktop, GSettingsKeys background, bool asUri,
                        LockScreen lockScreen, GSettingsKeys lockScreenKeys = {});
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
    LockScreen lockScreen() const override { return lockScreen_; }
    void setLockScreenPicture(const std::filesystem::path& picture) override;

private:
    void set(const GSettingsKeys& keys, const std::filesystem::path& picture);

    std::string desktop_;
    GSettingsKeys background_;
    bool asUri_;
    LockScreen lockScreen_;
    GSettingsKeys lockScreenKeys_;
};

// Plain X11: the first of feh and xwallpaper that is installed paints the root window.
class X11RootBackground final : public DesktopBackend {
public:
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
};

// KDE Plasma 5 and 6: a script run by plasmashell gives every desktop the picture.
// The lock screen: its greeter's wallpaper in kscreenlockerrc, written by KDE's own tool.
class PlasmaBackground final : public DesktopBackend {
public:
    void setPicture(const std::filesystem::path& picture, const Screen& screen) override;
    LockScreen lockScreen() const override { return LockScreen::OwnPicture; }
    void setLockScreenPicture(const std::filesystem::path& picture) override;
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
// cannot hold up later installs. Throws Failure naming `desktop` and the program when the tool is
// missing, fails or runs too long.
void runDesktopTool(std::string_view desktop, const std::string& program,
                    const std::vector<std::string>& arguments);

}  // namespace daylume
