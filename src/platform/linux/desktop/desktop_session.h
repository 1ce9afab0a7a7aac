#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace daylume {

enum class DesktopSession {
    Gnome,  // and the desktops that share its background settings: Unity, Budgie, Pantheon
    Cinnamon,
    Mate,
    Kde,
    Xfce,
    Lxqt,
    Sway,
    Hyprland,
    X11,      // any other X11 session
    Portal,   // inside a Flatpak sandbox
    Unknown,  // e.g. an unknown Wayland compositor
};

// Looks a variable up in the process environment (or a test's stand-in for it).
using Environment = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> processEnvironment(const char* name);

// Inside a Flatpak sandbox, where the host's files are out of reach.
bool insideFlatpak(const Environment& env = processEnvironment);

// Decides from the session's variables which way of setting the desktop picture applies.
DesktopSession detectDesktopSession(const Environment& env);
std::string_view displayName(DesktopSession session);

}  // namespace daylume
