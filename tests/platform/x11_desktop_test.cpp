// Plain X11 against a real X server (Xvfb): feh or xwallpaper must paint the root window with
// the picture.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QColor>
#include <QImage>
#include <QProcess>
#include <cstdlib>
#include <cstring>

#include "platform/error.h"
#include "platform/linux/desktop/desktop_backends.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

namespace fs = std::filesystem;

class X11DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        // -displayfd picks a free display and prints its number, so parallel runs do not clash.
        // -noreset: without it the server starts afresh, dropping the root window's picture, as
        // soon as the setter disconnects; a real session always has other clients.
        xvfb_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "320x240x24", "-nolisten", "tcp",
                             "-noreset"});
        ASSERT_TRUE(xvfb_.waitForStarted(10'000));
        while (!xvfb_.canReadLine()) ASSERT_TRUE(xvfb_.waitForReadyRead(10'000));
        display_ = ":" + xvfb_.readLine().trimmed().toStdString();
        for (const char* name : {"DISPLAY", "PATH", "HOME"})
            if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
        setenv("DISPLAY", display_.c_str(), 1);
        setenv("HOME", temp_.path().c_str(), 1);  // feh writes ~/.fehbg
        fs::create_directory(bin());
    }
    void TearDown() override {
        unsetenv("DISPLAY");
        for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
        xvfb_.terminate();
        if (!xvfb_.waitForFinished(5'000)) xvfb_.kill();
    }

    fs::path bin() const { return temp_.path() / "bin"; }

    // Only the named tools can be found.
    void onlyTools(std::initializer_list<const char*> tools) {
        for (const char* tool : tools)
            fs::create_symlink(fs::path("/usr/bin") / tool, bin() / tool);
        setenv("PATH", bin().c_str(), 1);
    }

    fs::path picture(QRgb colour) const {
        const fs::path file = temp_.path() / "daylume-1.png";
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(colour);
        image.save(QString::fromStdString(file.string()), "PNG");
        return file;
    }

    // The colour the root window shows at (x, y).
    QRgb rootPixel(int x, int y) const {
        xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, x, y, 1, 1, ~0u),
            nullptr);
        QRgb pixel = 0;
        if (reply && xcb_get_image_data_length(reply) >= 4)
            std::memcpy(&pixel, xcb_get_image_data(reply), 4);  // 24-bit depth: BGRX
        free(reply);
        xcb_disconnect(connection);
        return pixel & 0xffffff;
    }

private:
    TempDir temp_;
    QProcess xvfb_;
    std::string display_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(X11DesktopTest, FehPaintsTheRootWindowWhenInstalled) {
    onlyTools({"feh", "xwallpaper"});
    makeDesktopBackend(DesktopSession::X11)->setPicture(picture(0x2080c0), Screen{});
    EXPECT_EQ(rootPixel(10, 10), 0x2080c0u);
    EXPECT_EQ(rootPixel(300, 220), 0x2080c0u);
    EXPECT_TRUE(fs::exists(bin().parent_path() / ".fehbg"));  // so it was feh
}

TEST_F(X11DesktopTest, XwallpaperPaintsTheRootWindowWithoutFeh) {
    onlyTools({"xwallpaper"});
    makeDesktopBackend(DesktopSession::X11)->setPicture(picture(0xc04020), Screen{});
    EXPECT_EQ(rootPixel(10, 10), 0xc04020u);
    EXPECT_EQ(rootPixel(300, 220), 0xc04020u);
}

TEST_F(X11DesktopTest, WithNeitherToolTheFailureNamesBoth) {
    onlyTools({});
    try {
        makeDesktopBackend(DesktopSession::X11)->setPicture(picture(0xc04020), Screen{});
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.error().message, "X11: neither feh nor xwallpaper is installed");
    }
}

}  // namespace
}  // namespace daylume::test
