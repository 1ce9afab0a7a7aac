#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace daylume {

struct Screen {
    std::string name;  // the output's name, e.g. "DP-1"
};

struct PixelSize {
    int width = 0;
    int height = 0;
};

// What the desktop's lock screen shows.
enum class LockScreen {
    OwnPicture,      // a picture of its own, which Daylume can set
    DesktopPicture,  // the desktop picture
    Unknown,         // nothing Daylume knows how to set
};

// The user's desktop: its screens, its picture and its lock screen's. Every call may come from any
// thread.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Nothing when no screen is attached (or no display at all).
    virtual std::optional<Screen> mainScreen() const = 0;
    // Makes `picture` the desktop picture of `screen`; throws Failure.
    virtual void setDesktopPicture(const std::filesystem::path& picture, const Screen& screen) = 0;
    // The size in device pixels of the largest screen; zero without a screen.
    virtual PixelSize largestScreen() const = 0;
    virtual LockScreen lockScreen() const = 0;
    // Makes `picture` the lock screen's own picture; throws Failure.
    virtual void setLockScreenPicture(const std::filesystem::path& picture) = 0;
    // Puts back what the lock screen showed before the first setLockScreenPicture; throws Failure.
    virtual void restoreLockScreen() = 0;
    // The picture file the lock screen's own picture is, where it has one.
    virtual std::optional<std::filesystem::path> lockScreenPicture() const = 0;
};

}  // namespace daylume
