#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace daylume {

struct Screen {
    std::string name;  // the output's name, e.g. "DP-1"
};

// The user's desktop: its main screen and its picture. Both calls may come from any thread.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Nothing when no screen is attached (or no display at all).
    virtual std::optional<Screen> mainScreen() const = 0;
    // Makes `picture` the desktop picture of `screen`; throws Failure.
    virtual void setDesktopPicture(const std::filesystem::path& picture, const Screen& screen) = 0;
};

}  // namespace daylume
