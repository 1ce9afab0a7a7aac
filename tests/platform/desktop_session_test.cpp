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
    // Which variable wins when several speak; the names themselves are the code's table.
    const std::vector<std::pair<std::map<std::string, std::string>, DesktopSession>> cases = {
        {{{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}, DesktopSession::Gnome},  // most specific first
        {{{"XDG_CURRENT_DESKTOP", "Pop:GNOME"}}, DesktopSession::Gnome},  // unknown: the next one
        {{{"XDG_CURRENT_DESKTOP", "x-cinnamon"}}, DesktopSession::Cinnamon},  // any letter case
        {{{"DESKTOP_SESSION", "/usr/share/xsessions/plasma"}}, DesktopSession::Kde},
        {{{"XDG_CURRENT_DESKTOP", "sway"}, {"HYPRLAND_INSTANCE_SIGNATURE", "a"}},
         DesktopSession::Sway},
        {{{"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}, {"DISPLAY", ":0"}}, DesktopSession::Sway},
        {{{"HYPRLAND_INSTANCE_SIGNATURE", "abc"}, {"XDG_SESSION_TYPE", "wayland"}},
         DesktopSession::Hyprland},
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
