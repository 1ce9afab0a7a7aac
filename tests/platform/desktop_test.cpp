// Setting the desktop picture on each kind of desktop. Which back end each session gets; the back
// ends that run a desktop's own tool, against stand-in tools alone on PATH that record the
// arguments they get (tools/desktops/check-desktops runs the real ones); GNOME, Cinnamon and MATE
// against their real background schemas, with GLib's keyfile back end in a temporary folder; and
// those that talk D-Bus on the test's own session bus: KDE Plasma and the desktop portal against
// python-dbusmock stand-ins, XFCE against a real xfconfd.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QJSEngine>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include "platform/error.h"
#include "platform/linux/desktop/desktop_backends.h"
#include "platform/linux/desktop/desktop_session.h"
#include "platform/linux/serial_queue.h"
#include "support/dbus_mock.h"
#include "support/event_loop.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

namespace fs = std::filesystem;

// The message setting the picture fails with; the log's domain and code are always Desktop 1,
// and the cause and detail must be the ones given.
std::string failureOf(DesktopBackend& backend, const fs::path& picture, Cause cause,
                      const std::string& detail) {
    try {
        backend.setPicture(picture, Screen{"DP-1"});
    } catch (const Failure& failure) {
        const Error& e = failure.error();
        EXPECT_EQ(std::tuple(e.domain, e.code, e.cause, e.detail),
                  std::tuple(ErrorDomain::Desktop, 1L, cause, detail))
            << e.message;
        return e.message;
    }
    return "no failure";
}

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

class DesktopToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* path = std::getenv("PATH")) savedPath_ = path;
        fs::create_directory(bin());
        setenv("PATH", bin().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (temp_.path() / "config").c_str(), 1);
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    fs::path bin() const { return temp_.path() / "bin"; }
    QString lxqtSettings() const {
        return QString::fromStdString(temp_.path() / "config/pcmanfm-qt/lxqt/settings.conf");
    }

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
    static std::string failure(DesktopSession session, Cause cause, const std::string& detail) {
        return failureOf(*makeDesktopBackend(session), "/p/a.jpg", cause, detail);
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

// pcmanfm-qt writes back the mode it started with, now and when it quits; colour only would be
// back at the next login. A running one is asked to quit first and started again after.
TEST_F(DesktopToolTest, LxqtKeepsTheModeThatShowsThePictureAfterTheNextLogin) {
    struct Desktop : QDBusVirtualObject {
        bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
            quits += message.member() == "quit";
            bus.send(message.createReply());
            return QDBusConnection(bus).unregisterService("org.pcmanfm.PCManFM");
        }
        QString introspect(const QString&) const override { return {}; }
        int quits = 0;
    } desktop;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerVirtualObject("/Application", &desktop));
    const fs::path started = bin() / "started";
    fs::create_directories(fs::path(lxqtSettings().toStdString()).parent_path());
    addTool("pcmanfm-qt",
            "case $1 in --set-wallpaper) printf '[Desktop]\\nWallpaperMode=none\\n' > '" +
                lxqtSettings().toStdString() + "';; *) : > '" + started.native() + "';; esac");
    for (const bool running : {false, true}) {
        if (running) {
            ASSERT_TRUE(bus.registerService("org.pcmanfm.PCManFM"));
        }
        std::atomic<bool> done = false;
        std::thread install([&] {
            EXPECT_NO_THROW(set(DesktopSession::Lxqt, "/p/a.jpg", ""));
            done = true;
        });
        // The install ends once pcmanfm-qt is back on the bus, not as soon as it is started: a
        // next one could take over the instance still starting, and end every pcmanfm-qt.
        if (running) {
            EXPECT_TRUE(waitUntil([&] { return fs::exists(started); }));
            pause(std::chrono::milliseconds(300));
            EXPECT_FALSE(done);
            EXPECT_TRUE(bus.registerService("org.pcmanfm.PCManFM"));
        }
        EXPECT_TRUE(waitUntil([&] { return done.load(); }));
        install.join();
        QSettings settings(lxqtSettings(), QSettings::IniFormat);
        EXPECT_EQ(settings.value("Desktop/WallpaperMode").toString().toStdString(), "stretch");
        EXPECT_EQ(settings.value("Desktop/Wallpaper").toString().toStdString(), "/p/a.jpg");
        EXPECT_EQ(desktop.quits, int(running));
        EXPECT_EQ(calls().size(), running ? 2U : 1U);  // started again only when it ran
    }
}

TEST_F(DesktopToolTest, AMissingToolIsNamedAndAFailingOneStopsWithItsErrorOutput) {
    EXPECT_EQ(failure(DesktopSession::Sway, Cause::DesktopToolMissing, "swaymsg"),
              "sway: swaymsg is not installed");
    EXPECT_EQ(failure(DesktopSession::X11, Cause::DesktopToolMissing, "feh"),
              "X11: neither feh nor xwallpaper is installed");
    EXPECT_EQ(failure(DesktopSession::Unknown, Cause::NoDesktop, "unknown desktop"),
              "unknown desktop: no supported way to set the desktop picture here");

    // hyprpaper not running: the picture is not preloaded, so it is not shown either.
    addTool("hyprctl", "echo \"Couldn't connect to hyprpaper socket\" >&2; exit 3");
    EXPECT_EQ(failure(DesktopSession::Hyprland, Cause::DesktopToolFailed, "hyprctl"),
              "Hyprland: hyprctl failed with exit status 3: Couldn't connect to hyprpaper socket");
    EXPECT_EQ(calls(), (std::vector<std::string>{"[hyprpaper][preload][/p/a.jpg]"}));
}

std::string gsettingsGet(const QString& schema, const QString& key) {
    QProcess process;
    process.start("gsettings", {"get", schema, key});
    process.waitForFinished(10'000);
    return process.readAllStandardOutput().trimmed().toStdString();
}

TEST(DesktopGSettingsTest, EachDesktopGetsItsKeysAsAFileUriOrAPlainPath) {
    // GLib picks its settings back end once per process, at the first use. GNOME's desktop was
    // left to show no picture; Cinnamon's centres it.
    TempDir config;
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    fs::create_directories(config.path() / "glib-2.0/settings");
    std::ofstream(config.path() / "glib-2.0/settings/keyfile")
        << "[org/gnome/desktop/background]\npicture-options='none'\n"
           "[org/cinnamon/desktop/background]\npicture-options='centered'\n";
    const std::filesystem::path picture = "/home/user/.local/share/Daylume/daylume-A B.jpg";
    const std::string uri = "'file:///home/user/.local/share/Daylume/daylume-A%20B.jpg'";
    for (auto session : {DesktopSession::Gnome, DesktopSession::Cinnamon, DesktopSession::Mate})
        makeDesktopBackend(session)->setPicture(picture, Screen{"DP-1"});
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.background", "picture-uri"), uri);
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.background", "picture-uri-dark"), uri);
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.background", "picture-options"), "'zoom'");
    EXPECT_EQ(gsettingsGet("org.cinnamon.desktop.background", "picture-uri"), uri);
    EXPECT_EQ(gsettingsGet("org.cinnamon.desktop.background", "picture-options"), "'centered'");
    EXPECT_EQ(gsettingsGet("org.mate.background", "picture-filename"),
              "'" + picture.string() + "'");
    // Their lock screens show the desktop picture: GNOME Shell's reads no screensaver picture.
    for (auto session : {DesktopSession::Gnome, DesktopSession::Cinnamon, DesktopSession::Mate})
        EXPECT_EQ(makeDesktopBackend(session)->lockScreen(), LockScreen::DesktopPicture);
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.screensaver", "picture-uri").find("Daylume"),
              std::string::npos);

    // A key the schema lacks is skipped: the screensaver has picture-uri but no dark variant.
    GSettingsBackground("GNOME",
                        {"org.gnome.desktop.screensaver", {"picture-uri", "picture-uri-dark"}},
                        true, LockScreen::Unknown)
        .setPicture("/tmp/p.jpg", Screen{});
    EXPECT_EQ(gsettingsGet("org.gnome.desktop.screensaver", "picture-uri"), "'file:///tmp/p.jpg'");
    GSettingsBackground missing("Cinnamon", {"org.example.no.such", {"picture-uri"}}, true,
                                LockScreen::DesktopPicture);
    EXPECT_EQ(failureOf(missing, "/tmp/p.jpg", Cause::DesktopToolMissing, "org.example.no.such"),
              "Cinnamon: GSettings schema org.example.no.such is not installed");
}

// KDE's own tools write the greeter's wallpaper where the lock screen reads it, and put back what
// it showed before Daylume.
TEST(DesktopPlasmaTest, TheLockScreensPictureGoesToKscreenlockerrcAndBack) {
    if (QStandardPaths::findExecutable("kwriteconfig5").isEmpty())
        GTEST_SKIP() << "kwriteconfig5 is not installed";
    TempDir config;
    const QByteArray before = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray(config.path().c_str()));
    const fs::path file = config.path() / "kscreenlockerrc";
    std::ofstream(file) << "[Greeter]\nWallpaperPlugin=org.kde.slideshow\n";
    auto text = [&] { return readText(file); };
    PlasmaBackground plasma(config.path() / "kept.conf");
    ASSERT_EQ(plasma.lockScreen(), LockScreen::OwnPicture);
    plasma.setLockScreenPicture("/p/daylume-1.jpg");
    plasma.setLockScreenPicture("/p/daylume-A B.jpg");
    EXPECT_EQ(plasma.lockScreenPicture(), fs::path("/p/daylume-A B.jpg"));
    EXPECT_NE(text().find("[Greeter]\nWallpaperPlugin=org.kde.image\n"), std::string::npos);
    EXPECT_NE(text().find("[Greeter][Wallpaper][org.kde.image][General]\n"
                          "Image=file:///p/daylume-A%20B.jpg\n"),
              std::string::npos)
        << text();
    plasma.restoreLockScreen();
    EXPECT_EQ(plasma.lockScreenPicture(), std::nullopt);
    EXPECT_EQ(text().find("Image="), std::string::npos) << text();
    EXPECT_NE(text().find("WallpaperPlugin=org.kde.slideshow"), std::string::npos) << text();
    qputenv("XDG_CONFIG_HOME", before);
}

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
    PlasmaBackground backend("/nonexistent");
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
    set("/backdrop/screen0/monitorHDMI-1/workspace1/image-style", "int", "0");  // no picture
    set("/backdrop/single-workspace-mode", "bool", "true");
    makeDesktopBackend(DesktopSession::Xfce)->setPicture("/p/daylume 2.jpg", Screen{"LVDS-1"});
    for (const QString& property : images)
        EXPECT_EQ(get(property).toStdString(), "/p/daylume 2.jpg") << property.toStdString();
    // The user's choices stay, but for showing no picture; and no monitor is added.
    EXPECT_EQ(get("/backdrop/screen0/monitorDP-1/workspace0/image-style"), "3");
    EXPECT_EQ(typed("/backdrop/screen0/monitorHDMI-1/workspace1/image-style"), QVariant(5));
    EXPECT_EQ(get("/backdrop/single-workspace-mode"), "true");
    EXPECT_FALSE(query({"-l"}).contains("LVDS-1"));
}

}  // namespace
}  // namespace daylume::test
