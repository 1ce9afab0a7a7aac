// The back ends that run a desktop's own tool, against stand-in tools first on PATH that record
// the arguments they get.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

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
    fs::path record() const { return temp_.path() / "calls"; }

    // A tool that writes one line per call, each argument in brackets, then runs `then`.
    void addTool(const std::string& name, const std::string& then = "exit 0") {
        const fs::path tool = bin() / name;
        std::ofstream(tool) << "#!/bin/sh\nprintf '[%s]' \"$@\" >> '" << record().native()
                            << "'\necho >> '" << record().native() << "'\n"
                            << then << "\n";
        fs::permissions(tool, fs::perms::owner_all);
    }

    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(record());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    static std::string failureOf(DesktopSession session, const fs::path& picture,
                                 const Screen& screen) {
        try {
            makeDesktopBackend(session)->setPicture(picture, screen);
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.error().domain, "Desktop");
            EXPECT_EQ(failure.error().code, 1);
            return failure.error().message;
        }
        return "no failure";
    }

private:
    TempDir temp_;
    std::string savedPath_;
};

TEST_F(DesktopToolTest, SwayPaintsThePrimaryOutputOrEveryOutput) {
    addTool("swaymsg");
    auto sway = makeDesktopBackend(DesktopSession::Sway);
    sway->setPicture("/home/me/.local/share/Daylume/daylume-12.jpg", Screen{"DP-1"});
    sway->setPicture("/p/b.jpg", Screen{});
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "[output][DP-1][bg][/home/me/.local/share/Daylume/daylume-12.jpg][fill]",
                           "[output][*][bg][/p/b.jpg][fill]",
                       }));
}

TEST_F(DesktopToolTest, HyprlandPreloadsThePictureThenShowsItOnTheMonitorOrAll) {
    addTool("hyprctl");
    auto hyprland = makeDesktopBackend(DesktopSession::Hyprland);
    hyprland->setPicture("/p/a b.jpg", Screen{"HDMI-A-1"});
    hyprland->setPicture("/p/c.jpg", Screen{});
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "[hyprpaper][preload][/p/a b.jpg]",
                           "[hyprpaper][wallpaper][HDMI-A-1,/p/a b.jpg]",
                           "[hyprpaper][preload][/p/c.jpg]",
                           "[hyprpaper][wallpaper][,/p/c.jpg]",
                       }));
}

TEST_F(DesktopToolTest, LxqtAsksPcmanfmQtForAPictureThatFillsTheScreen) {
    addTool("pcmanfm-qt");
    makeDesktopBackend(DesktopSession::Lxqt)->setPicture("/p/a.jpg", Screen{"DP-1"});
    EXPECT_EQ(calls(),
              (std::vector<std::string>{"[--set-wallpaper][/p/a.jpg][--wallpaper-mode=stretch]"}));
}

TEST_F(DesktopToolTest, AMissingToolIsNamedAndAFailingOneStopsWithItsErrorOutput) {
    EXPECT_EQ(failureOf(DesktopSession::Sway, "/p/a.jpg", Screen{}),
              "sway: swaymsg is not installed");
    EXPECT_EQ(failureOf(DesktopSession::Lxqt, "/p/a.jpg", Screen{}),
              "LXQt: pcmanfm-qt is not installed");

    // hyprpaper not running: the picture is not preloaded, so it is not shown either.
    addTool("hyprctl", "echo \"Couldn't connect to hyprpaper socket\" >&2; exit 3");
    EXPECT_EQ(failureOf(DesktopSession::Hyprland, "/p/a.jpg", Screen{}),
              "Hyprland: hyprctl failed with exit status 3: Couldn't connect to hyprpaper socket");
    EXPECT_EQ(calls(), (std::vector<std::string>{"[hyprpaper][preload][/p/a.jpg]"}));
}

TEST_F(DesktopToolTest, AnUnknownDesktopSaysThereIsNoWayToSetThePicture) {
    EXPECT_EQ(failureOf(DesktopSession::Unknown, "/p/a.jpg", Screen{}),
              "unknown desktop: no supported way to set the desktop picture here");
}

}  // namespace
}  // namespace daylume::test
