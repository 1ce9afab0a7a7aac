// The back ends that run a desktop's own tool, against stand-in tools alone on PATH that record
// the arguments they get. tests/desktops/check-desktops runs the real tools.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/error.h"
#include "platform/linux/desktop/desktop_backends.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

namespace fs = std::filesystem;

class DesktopToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* path = std::getenv("PATH")) savedPath_ = path;
        fs::create_directory(bin());
        setenv("PATH", bin().c_str(), 1);
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    fs::path bin() const { return temp_.path() / "bin"; }

    // A tool that writes one line per call, each argument in brackets, then runs `then`.
    void addTool(const std::string& name, const std::string& then = "exit 0") {
        std::ofstream(bin() / name) << "#!/bin/sh\nprintf '[%s]' \"$@\" >> '" << record().native()
                                    << "'\necho >> '" << record().native() << "'\n"
                                    << then << "\n";
        fs::permissions(bin() / name, fs::perms::owner_all);
    }
    // The calls recorded since the last time.
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(record());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        fs::remove(record());
        return lines;
    }
    void set(DesktopSession session, const fs::path& picture, const std::string& screen) {
        makeDesktopBackend(session)->setPicture(picture, Screen{screen});
    }
    static std::string failureOf(DesktopSession session) {
        try {
            makeDesktopBackend(session)->setPicture("/p/a.jpg", Screen{});
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.error().domain, "Desktop");
            EXPECT_EQ(failure.error().code, 1);
            return failure.error().message;
        }
        return "no failure";
    }

private:
    fs::path record() const { return temp_.path() / "calls"; }
    TempDir temp_;
    std::string savedPath_;
};

TEST_F(DesktopToolTest, EachToolIsAskedForThePictureOnTheScreenOrEveryScreen) {
    for (const char* tool : {"swaymsg", "hyprctl", "pcmanfm-qt", "xwallpaper"}) addTool(tool);
    set(DesktopSession::Sway, "/home/me/.local/share/Daylume/daylume-12.jpg", "DP-1");
    set(DesktopSession::Sway, "/p/b.jpg", "");
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "[output][DP-1][bg][/home/me/.local/share/Daylume/daylume-12.jpg][fill]",
                           "[output][*][bg][/p/b.jpg][fill]"}));
    // hyprpaper shows only what it has preloaded.
    set(DesktopSession::Hyprland, "/p/a b.jpg", "HDMI-A-1");
    set(DesktopSession::Hyprland, "/p/c.jpg", "");
    EXPECT_EQ(calls(),
              (std::vector<std::string>{
                  "[hyprpaper][preload][/p/a b.jpg]", "[hyprpaper][wallpaper][HDMI-A-1,/p/a b.jpg]",
                  "[hyprpaper][preload][/p/c.jpg]", "[hyprpaper][wallpaper][,/p/c.jpg]"}));
    set(DesktopSession::Lxqt, "/p/a.jpg", "DP-1");
    EXPECT_EQ(calls(),
              std::vector<std::string>{"[--set-wallpaper][/p/a.jpg][--wallpaper-mode=stretch]"});
    // Plain X11: feh if it is there, else xwallpaper.
    set(DesktopSession::X11, "/p/a.jpg", "");
    addTool("feh");
    set(DesktopSession::X11, "/p/b.jpg", "");
    EXPECT_EQ(calls(), (std::vector<std::string>{"[--zoom][/p/a.jpg]", "[--bg-fill][/p/b.jpg]"}));
}

TEST_F(DesktopToolTest, AMissingToolIsNamedAndAFailingOneStopsWithItsErrorOutput) {
    EXPECT_EQ(failureOf(DesktopSession::Sway), "sway: swaymsg is not installed");
    EXPECT_EQ(failureOf(DesktopSession::Lxqt), "LXQt: pcmanfm-qt is not installed");
    EXPECT_EQ(failureOf(DesktopSession::X11), "X11: neither feh nor xwallpaper is installed");
    EXPECT_EQ(failureOf(DesktopSession::Unknown),
              "unknown desktop: no supported way to set the desktop picture here");

    // hyprpaper not running: the picture is not preloaded, so it is not shown either.
    addTool("hyprctl", "echo \"Couldn't connect to hyprpaper socket\" >&2; exit 3");
    EXPECT_EQ(failureOf(DesktopSession::Hyprland),
              "Hyprland: hyprctl failed with exit status 3: Couldn't connect to hyprpaper socket");
    EXPECT_EQ(calls(), (std::vector<std::string>{"[hyprpaper][preload][/p/a.jpg]"}));
}

}  // namespace
}  // namespace daylume::test
