// GNOME, Cinnamon and MATE against their real background schemas, with GLib's keyfile back end in a
// temporary configuration folder, read back with the gsettings tool.
#include <gtest/gtest.h>

#include <QProcess>
#include <cstdlib>

#include "platform/error.h"
#include "platform/linux/desktop/desktop_backends.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

std::string gsettingsGet(const std::string& schema, const std::string& key) {
    QProcess process;
    process.start("gsettings",
                  {"get", QString::fromStdString(schema), QString::fromStdString(key)});
    process.waitForFinished(10'000);
    return process.readAllStandardOutput().trimmed().toStdString();
}

class DesktopGSettingsTest : public ::testing::Test {
protected:
    // GLib picks its settings back end once per process: set it before the first use.
    static void SetUpTestSuite() {
        config = new TempDir;
        setenv("GSETTINGS_BACKEND", "keyfile", 1);
        setenv("XDG_CONFIG_HOME", config->path().c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete config;
        config = nullptr;
    }
    static inline TempDir* config = nullptr;
};

TEST_F(DesktopGSettingsTest, CinnamonGetsAFileUriAndMateAPlainPath) {
    const std::filesystem::path picture = "/home/user/.local/share/Daylume/daylume-A B.jpg";
    makeDesktopBackend(DesktopSession::Cinnamon)->setPicture(picture, Screen{"DP-1"});
    makeDesktopBackend(DesktopSession::Mate)->setPicture(picture, Screen{"DP-1"});

    EXPECT_EQ(gsettingsGet("org.cinnamon.desktop.background", "picture-uri"),
              "'file:///home/user/.local/share/Daylume/daylume-A%20B.jpg'");
    EXPECT_EQ(gsettingsGet("org.mate.background", "picture-filename"),
              "'/home/user/.local/share/Daylume/daylume-A B.jpg'");
}

TEST_F(DesktopGSettingsTest, GnomeGetsBothTheLightAndTheDarkPicture) {
    auto gnome = makeDesktopBackend(DesktopSession::Gnome);
    gnome->setPicture("/home/user/.local/share/Daylume/daylume-A B.jpg", Screen{"DP-1"});

    const std::string uri = "'file:///home/user/.local/share/Daylume/daylume-A%20B.jpg'";
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.background", "picture-uri"), uri);
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.background", "picture-uri-dark"), uri);
}

TEST_F(DesktopGSettingsTest, AKeyTheSchemaLacksIsSkippedAndAMissingSchemaIsNamed) {
    // The screensaver schema has picture-uri but no dark variant.
    GSettingsBackground screensaver("GNOME", "org.gnome.desktop.screensaver",
                                    {"picture-uri", "picture-uri-dark"}, true);
    screensaver.setPicture("/tmp/p.jpg", Screen{});
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.screensaver", "picture-uri"), "'file:///tmp/p.jpg'");

    GSettingsBackground missing("Cinnamon", "org.example.no.such.schema", {"picture-uri"}, true);
    try {
        missing.setPicture("/tmp/p.jpg", Screen{});
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.error().message,
                  "Cinnamon: GSettings schema org.example.no.such.schema is not installed");
    }
}

}  // namespace
}  // namespace daylume::test
