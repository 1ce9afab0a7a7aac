// Which way of setting the desktop picture each session gets.
#include <gtest/gtest.h>

#include <map>

#include "platform/linux/desktop/desktop_session.h"

namespace daylume::test {
namespace {

DesktopSession detect(std::map<std::string, std::string> variables) {
    return detectDesktopSession([&](const char* name) -> std::optional<std::string> {
        const auto it = variables.find(name);
        if (it == variables.end()) return std::nullopt;
        return it->second;
    });
}

TEST(DesktopSessionTest, SessionVariablesChooseTheBackEnd) {
    const std::vector<std::pair<std::map<std::string, std::string>, DesktopSession>> cases = {
        {{{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}, DesktopSession::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "GNOME-Classic:GNOME"}}, DesktopSession::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}, DesktopSession::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "KDE"}}, DesktopSession::Kde},
        {{{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}}, DesktopSession::Cinnamon},
        {{{"XDG_CURRENT_DESKTOP", "MATE"}}, DesktopSession::Mate},
        {{{"XDG_CURRENT_DESKTOP", "XFCE"}}, DesktopSession::Xfce},
        {{{"XDG_CURRENT_DESKTOP", "LXQt"}}, DesktopSession::Lxqt},
        {{{"XDG_CURRENT_DESKTOP", "sway"}}, DesktopSession::Sway},
        {{{"XDG_CURRENT_DESKTOP", "Hyprland"}}, DesktopSession::Hyprland},
        // An unknown first entry falls through to the next one.
        {{{"XDG_CURRENT_DESKTOP", "Pop:GNOME"}}, DesktopSession::Gnome},
        {{{"DESKTOP_SESSION", "/usr/share/xsessions/plasma"}}, DesktopSession::Kde},
        {{{"DESKTOP_SESSION", "xfce"}, {"XDG_SESSION_TYPE", "x11"}}, DesktopSession::Xfce},
        {{{"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}}, DesktopSession::Sway},
        {{{"HYPRLAND_INSTANCE_SIGNATURE", "abc"}, {"XDG_SESSION_TYPE", "wayland"}},
         DesktopSession::Hyprland},
        {{{"XDG_SESSION_TYPE", "x11"}}, DesktopSession::X11},
        {{{"DISPLAY", ":0"}}, DesktopSession::X11},
        {{{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}, DesktopSession::Unknown},
        {{}, DesktopSession::Unknown},
        {{{"FLATPAK_ID", "io.github.daylume.Daylume"}, {"XDG_CURRENT_DESKTOP", "GNOME"}},
         DesktopSession::Portal},
    };
    for (const auto& [variables, expected] : cases) {
        std::string described;
        for (const auto& [name, value] : variables) described += name + "=" + value + " ";
        EXPECT_EQ(detect(variables), expected) << described;
    }
}

}  // namespace
}  // namespace daylume::test
