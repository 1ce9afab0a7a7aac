// GNOME, Cinnamon and MATE against their real background schemas, with GLib's keyfile back end in
// a temporary configuration folder, read back with the gsettings tool.
#include <gtest/gtest.h>

#include <QProcess>
#include <cstdlib>

#include "platform/error.h"
#include "platform/linux/desktop/desktop_backends.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

std::string gsettingsGet(const QString& schema, const QString& key) {
    QProcess process;
    process.start("gsettings", {"get", schema, key});
    process.waitForFinished(10'000);
    return process.readAllStandardOutput().trimmed().toStdString();
}

TEST(DesktopGSettingsTest, EachDesktopGetsItsKeysAsAFileUriOrAPlainPath) {
    // GLib picks its settings back end once per process, at the first use.
    TempDir config;
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    const std::filesystem::path picture = "/home/user/.local/share/Daylume/daylume-A B.jpg";
    const std::string uri = "'file:///home/user/.local/share/Daylume/daylume-A%20B.jpg'";
    for (auto session : {DesktopSession::Gnome, DesktopSession::Cinnamon, DesktopSession::Mate})
        makeDesktopBackend(session)->setPicture(picture, Screen{"DP-1"});
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.background", "picture-uri"), uri);
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.background", "picture-uri-dark"), uri);
    EXPECT_EQ(gsettingsGet("org.cinnamon.desktop.background", "picture-uri"), uri);
    EXPECT_EQ(gsettingsGet("org.mate.background", "picture-filename"),
              "'" + picture.string() + "'");

    // A key the schema lacks is skipped: the screensaver has picture-uri but no dark variant.
    GSettingsBackground("GNOME", "org.gnome.desktop.screensaver",
                        {"picture-uri", "picture-uri-dark"}, true)
        .setPicture("/tmp/p.jpg", Screen{});
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.screensaver", "picture-uri"), "'file:///tmp/p.jpg'");
    try {
        GSettingsBackground("Cinnamon", "org.example.no.such.schema", {"picture-uri"}, true)
            .setPicture("/tmp/p.jpg", Screen{});
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.error().message,
                  "Cinnamon: GSettings schema org.example.no.such.schema is not installed");
    }
}

}  // namespace
}  // namespace daylume::test
