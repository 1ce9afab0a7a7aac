// Cinnamon and MATE against their real background schemas, with GLib's keyfile back end in a
// temporary configuration folder, read back with the gsettings tool.
#include <gtest/gtest.h>

#include <QProcess>
#include <cstdlib>

#include "platform/linux/desktop_backends.h"
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

}  // namespace
}  // namespace daylume::test
