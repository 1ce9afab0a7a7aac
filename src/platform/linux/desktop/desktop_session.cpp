#include "platform/linux/desktop/desktop_session.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace daylume {
namespace {

std::string lower(std::string_view text) {
    std::string result(text);
    std::ranges::transform(result, result.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
    return result;
}

std::optional<DesktopSession> sessionNamed(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, DesktopSession>, 17> names{{
        {"gnome", DesktopSession::Gnome},
        {"gnome-classic", DesktopSession::Gnome},
        {"gnome-flashback", DesktopSession::Gnome},
        {"ubuntu", DesktopSession::Gnome},
        {"unity", DesktopSession::Gnome},
        {"budgie", DesktopSession::Gnome},
        {"budgie-desktop", DesktopSession::Gnome},
        {"pantheon", DesktopSession::Gnome},
        {"x-cinnamon", DesktopSession::Cinnamon},
        {"cinnamon", DesktopSession::Cinnamon},
        {"mate", DesktopSession::Mate},
        {"kde", DesktopSession::Kde},
        {"plasma", DesktopSession::Kde},
        {"xfce", DesktopSession::Xfce},
        {"lxqt", DesktopSession::Lxqt},
        {"sway", DesktopSession::Sway},
        {"hyprland", DesktopSession::Hyprland},
    }};
    const std::string key = lower(name);
    for (const auto& [known, session] : names)
        if (key == known) return session;
    return std::nullopt;
}

bool isSet(const Environment& env, const char* name) {
    const auto value = env(name);
    return value && !value->empty();
}

}  // namespace

std::optional<std::string> processEnvironment(const char* name) {
    if (const char* value = std::getenv(name)) return std::string(value);
    return std::nullopt;
}

bool insideFlatpak(const Environment& env) {
    return isSet(env, "FLATPAK_ID") || std::filesystem::exists("/.flatpak-info");
}

DesktopSession detectDesktopSession(const Environment& env) {
    if (insideFlatpak(env)) return DesktopSession::Portal;
    // A colon-separated list, most specific first: "ubuntu:GNOME" is GNOME.
    if (const auto current = env("XDG_CURRENT_DESKTOP")) {
        std::string_view rest = *current;
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            if (const auto session = sessionNamed(rest.substr(0, colon))) return *session;
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    if (const auto name = env("DESKTOP_SESSION"))
        if (const auto session = sessionNamed(std::filesystem::path(*name).filename().string()))
            return *session;
    if (isSet(env, "SWAYSOCK")) return DesktopSession::Sway;
    if (isSet(env, "HYPRLAND_INSTANCE_SIGNATURE")) return DesktopSession::Hyprland;
    const auto type = env("XDG_SESSION_TYPE");
    if (type && lower(*type) == "wayland") return DesktopSession::Unknown;
    if ((type && lower(*type) == "x11") || isSet(env, "DISPLAY")) return DesktopSession::X11;
    return DesktopSession::Unknown;
}

std::string_view displayName(DesktopSession session) {
    switch (session) {
        case DesktopSession::Gnome:
            return "GNOME";
        case DesktopSession::Cinnamon:
            return "Cinnamon";
        case DesktopSession::Mate:
            return "MATE";
        case DesktopSession::Kde:
            return "KDE Plasma";
        case DesktopSession::Xfce:
            return "XFCE";
        case DesktopSession::Lxqt:
            return "LXQt";
        case DesktopSession::Sway:
            return "sway";
        case DesktopSession::Hyprland:
            return "Hyprland";
        case DesktopSession::X11:
            return "X11";
        case DesktopSession::Portal:
            return "desktop portal";
        case DesktopSession::Unknown:
            break;
    }
    return "unknown desktop";
}

}  // namespace daylume
