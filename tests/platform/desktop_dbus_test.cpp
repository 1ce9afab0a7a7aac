// The back ends that talk D-Bus, on the test's own session bus: KDE Plasma and the desktop portal
// against python-dbusmock stand-ins, XFCE against a real xfconfd.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJSEngine>
#include <QProcess>
#include <QProcessEnvironment>
#include <fstream>

#include "platform/error.h"
#include "platform/linux/desktop/desktop_backends.h"
#include "platform/linux/serial_queue.h"
#include "support/dbus_mock.h"
#include "support/event_loop.h"
#include "support/sim_platform.h"

namespace daylume::test {

namespace fs = std::filesystem;
std::string failureOf(DesktopBackend& backend, const fs::path& picture, Cause cause,
                      const std::string& detail);  // desktop_test.cpp

namespace {

bool waitForName(const QString& name, bool owned) {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return waitUntil([&] { return bus->isServiceRegistered(name).value() == owned; });
}

// ---- KDE Plasma

// Runs a script sent to plasmashell against three desktops, one per screen, each on its own
// wallpaper plug-in; returns what each ends up with, as JSON.
std::string runPlasmaScript(const QString& script) {
    QJSEngine engine;
    engine.evaluate(R"(
        function makeDesktop(plugin) {
            return {
                wallpaperPlugin: plugin, currentConfigGroup: [], config: {},
                writeConfig: function (key, value) {
                    this.config[this.currentConfigGroup.join("/") + "/" + key] = value;
                },
            };
        }
        var screens = [makeDesktop("org.kde.image"), makeDesktop("org.kde.slideshow"),
                       makeDesktop("org.kde.color")];
        function desktops() { return screens; }
    )");
    const QJSValue ran = engine.evaluate(script);
    if (ran.isError()) return "script error: " + ran.toString().toStdString();
    return engine
        .evaluate(
            "JSON.stringify(screens.map(function (d) { return [d.wallpaperPlugin, d.config]; }))")
        .toString()
        .toStdString();
}

std::string everyDesktopShows(const std::string& uri) {
    const std::string one =
        R"(["org.kde.image",{"Wallpaper/org.kde.image/General/Image":")" + uri + R"("}])";
    return "[" + one + "," + one + "," + one + "]";
}

TEST(DesktopBusTest, PlasmaIsSentAScriptThatGivesEveryDesktopTheImageOrNamesTheError) {
    PlasmaBackground backend;
    {
        DBusMock plasma("org.kde.plasmashell", "/PlasmaShell", "plasmashell.py");
        ASSERT_TRUE(plasma.ready());
        backend.setPicture("/home/me/.local/share/Daylume/daylume-1.jpg", Screen{"DP-1"});
        // Quotes, backslashes and a line break must neither end the string nor add script.
        backend.setPicture("/tmp/it's \"x\"; screens = []; \\\" \n.jpg", Screen{"DP-1"});
        const auto calls = plasma.calls("evaluateScript");
        ASSERT_EQ(calls.size(), 2);
        EXPECT_EQ(runPlasmaScript(calls[0][0].toString()),
                  everyDesktopShows("file:///home/me/.local/share/Daylume/daylume-1.jpg"));
        EXPECT_EQ(runPlasmaScript(calls[1][0].toString()),
                  everyDesktopShows(
                      "file:///tmp/it's%20%22x%22;%20screens%20=%20[];%20%5C%22%20%0A.jpg"));
    }
    DBusMock locked("org.kde.plasmashell", "/PlasmaShell", "plasmashell.py", R"({"locked": true})");
    ASSERT_TRUE(locked.ready());
    EXPECT_EQ(failureOf(backend, "/p/a.jpg", Cause::DesktopToolFailed, "plasmashell"),
              "KDE Plasma: evaluateScript failed: org.freedesktop.DBus.Error.Failed: Widgets are "
              "locked");
}

// ---- Desktop portal

TEST(DesktopBusTest, ThePortalIsHandedTheOpenPictureOneInstallAtATimeAndAnyFailureIsNamed) {
    TempDir temp;
    const fs::path picture = temp.path() / "daylume-1.jpg";
    const std::string bytes = jpegBytes();
    std::ofstream(picture, std::ios::binary) << bytes;
    PortalBackground backend(std::chrono::milliseconds(500));
    EXPECT_TRUE(failureOf(backend, temp.path() / "gone.jpg", Cause::FileError, "")
                    .starts_with("desktop portal: cannot open " +
                                 (temp.path() / "gone.jpg").string() + ": "));
    const Cause failed = Cause::DesktopToolFailed;
    EXPECT_TRUE(failureOf(backend, picture, failed, "xdg-desktop-portal")
                    .starts_with("desktop portal: SetWallpaperFile failed: "
                                 "org.freedesktop.DBus.Error.ServiceUnknown: "));

    const QString name = "org.freedesktop.portal.Desktop", path = "/org/freedesktop/portal/desktop";
    {
        DBusMock portal(name, path, "portal.py", R"({"response": 0})");
        ASSERT_TRUE(portal.ready());
        // Waiting for the answer on the install thread must not run that thread's next install
        // inside this one: with the desktop held, it would wait for itself for ever.
        SerialQueue queue;
        std::atomic<int> inside = 0, most = 0, done = 0;
        for (int i = 0; i < 2; ++i)
            queue.async([&] {
                most = std::max(most.load(), ++inside);
                backend.setPicture(picture, Screen{"DP-1"});
                --inside;
                ++done;
            });
        EXPECT_TRUE(waitUntil([&] { return done == 2; }));
        EXPECT_EQ(most, 1);
        const QList<QVariant> received = portal.mock("Received").arguments();
        EXPECT_EQ(received.value(0).toByteArray().toStdString(), bytes);
        const auto options = qdbus_cast<QVariantMap>(received.value(1));
        EXPECT_EQ(options.value("show-preview"), QVariant(false));
        EXPECT_EQ(options.value("set-on"), QVariant("background"));
    }
    {
        DBusMock cancel(name, path, "portal.py", R"({"response": 1})");
        ASSERT_TRUE(cancel.ready());
        EXPECT_EQ(failureOf(backend, picture, failed, "xdg-desktop-portal"),
                  "desktop portal: the wallpaper request was cancelled");
    }
    DBusMock silent(name, path, "portal.py");
    ASSERT_TRUE(silent.ready());
    EXPECT_EQ(failureOf(backend, picture, failed, "xdg-desktop-portal"),
              "desktop portal: the wallpaper portal gave no answer within 500 ms");
    // The question is taken back: a first-use dialog may still be asking the user.
    EXPECT_TRUE(waitUntil([&] { return silent.calls("Close").size() == 1; }));
}

// ---- XFCE

// A real xfconfd with its own configuration folder, and xfconf-query to look into it.
class XfconfTest : public ::testing::Test {
protected:
    void SetUp() override {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config_.path().string()));
        daemon_.setProcessEnvironment(environment);
        daemon_.start(DAYLUME_XFCONFD, {});
        ASSERT_TRUE(daemon_.waitForStarted(10'000));
        ASSERT_TRUE(waitForName("org.xfce.Xfconf", true));
    }
    void TearDown() override {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5'000)) daemon_.kill();
        waitForName("org.xfce.Xfconf", false);
    }

    static QString query(const QStringList& arguments) {
        QProcess process;
        process.start("xfconf-query", QStringList{"-c", "xfce4-desktop"} + arguments);
        process.waitForFinished(10'000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    static QString get(const QString& property) { return query({"-p", property}); }
    static void set(const QString& property, const QString& type, const QString& value) {
        query({"-p", property, "-n", "-t", type, "-s", value});
    }
    // The property's value as xfconfd holds it, type included.
    static QVariant typed(const QString& property) {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall("org.xfce.Xfconf", "/org/xfce/Xfconf", "org.xfce.Xfconf",
                                           "GetProperty")
            << "xfce4-desktop" << property);
        return qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant();
    }

private:
    TempDir config_;
    QProcess daemon_;
};

TEST_F(XfconfTest, EveryMonitorAndWorkspaceWithAPictureGetsTheNewOneAndANewUserTheScreens) {
    // Without settings: the primary output gets a zoomed picture, with xfdesktop's own types.
    makeDesktopBackend(DesktopSession::Xfce)->setPicture("/p/daylume-1.jpg", Screen{"eDP-1"});
    const QString first = "/backdrop/screen0/monitoreDP-1/workspace0/";
    EXPECT_EQ(query({"-l"}).split('\n'),
              (QStringList{first + "image-style", first + "last-image"}));
    const QVariant image = typed(first + "last-image"), style = typed(first + "image-style");
    EXPECT_EQ(image.typeId(), QMetaType::QString);
    EXPECT_EQ(image.toString(), "/p/daylume-1.jpg");
    EXPECT_EQ(style.typeId(), QMetaType::Int);
    EXPECT_EQ(style.toInt(), 5);

    QStringList images{first + "last-image"};
    for (const QString monitor : {"DP-1", "HDMI-1"})
        for (const QString workspace : {"0", "1"})
            images << "/backdrop/screen0/monitor" + monitor + "/workspace" + workspace +
                          "/last-image";
    images << "/backdrop/screen0/monitor0/workspace0/last-image";
    for (const QString& property : images.mid(1)) set(property, "string", "/old.jpg");
    set("/backdrop/screen0/monitorDP-1/workspace0/image-style", "int", "3");
    set("/backdrop/single-workspace-mode", "bool", "true");
    makeDesktopBackend(DesktopSession::Xfce)->setPicture("/p/daylume 2.jpg", Screen{"LVDS-1"});
    for (const QString& property : images)
        EXPECT_EQ(get(property).toStdString(), "/p/daylume 2.jpg") << property.toStdString();
    // The user's choices stay, and no monitor is added.
    EXPECT_EQ(get("/backdrop/screen0/monitorDP-1/workspace0/image-style"), "3");
    EXPECT_EQ(get("/backdrop/single-workspace-mode"), "true");
    EXPECT_FALSE(query({"-l"}).contains("LVDS-1"));
}

}  // namespace
}  // namespace daylume::test
