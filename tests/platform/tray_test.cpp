// The tray icon, its menu and a dialog on a real X server (Xvfb), with an X11 tray (trayer) or a
// StatusNotifierItem host stand-in on a private session bus; both hosts start after the icon.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusPendingCall>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTimer>

#include "platform/linux/qt_application.h"
#include "platform/linux/qt_bundle.h"
#include "platform/linux/qt_status_item.h"
#include "shell/app_delegate.h"
#include "support/event_loop.h"
#include "support/private_bus.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {

// Screenshots for people to look at, kept with the build.
void saveScreenshot(const QString& name) {
    QDir().mkpath(QStringLiteral(DAYLUME_ARTIFACTS));
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral(DAYLUME_ARTIFACTS "/") +
                                                         name);
}

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QtBundle::loadTranslations();
    }
    void TearDown() override {
        host.terminate();
        host.waitForFinished(5000);
    }
    QtStatusItem* item() const { return dynamic_cast<QtStatusItem*>(delegate.statusItem.get()); }

    SimPlatform sim;
    QtApplication application{ActivationPolicy::Accessory};
    QtBundle bundle{QtBundle::builtInSettings()};
    Platform platform{sim.loop, sim.http,    sim.files, sim.desktop,
                      sim.log,  application, bundle,    sim.notifications};
    AppDelegate delegate{platform};
    QProcess host;
};

TEST_F(TrayTest, TheIconAppearsInAnX11TrayStartedLaterAndItsMenuAndAboutDialogWork) {
    delegate.setupStatusItem();
    waitUntil([] { return false; }, std::chrono::milliseconds(300));
    ASSERT_TRUE(item());
    EXPECT_FALSE(item()->trayIcon());  // no tray yet

    host.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                          "28", "--tint", "0x2e3440", "--transparent", "true", "--alpha", "0"});
    ASSERT_TRUE(waitUntil(
        [&] { return item()->trayIcon() && item()->trayIcon()->geometry().width() > 0; }));

    QMenu* menu = item()->menu();
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 6);
    const QStringList titles = {
        "About Daylume", "Refresh Wallpaper", "Image Source", "Show or Hide Task Bar Entry", "",
        "Quit Daylume"};
    const QStringList shortcuts = {"Ctrl+I", "Ctrl+R", "Ctrl+S", "Ctrl+D", "", "Ctrl+Q"};
    for (int i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->text(), titles[i]);
        EXPECT_EQ(actions[i]->shortcut().toString(), shortcuts[i]);
        EXPECT_EQ(actions[i]->isSeparator(), i == 4);
    }
    // Where a click on the icon in the top-right tray opens it.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    menu->popup(QPoint(screen.right() - menu->sizeHint().width(), 30));
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    waitUntil([] { return false; }, std::chrono::milliseconds(300));
    saveScreenshot("tray-menu.png");
    // Its shortcuts work while it is open, as the keys it shows promise: Ctrl+R closes it and
    // refreshes (eight market lookups).
    ASSERT_EQ(QProcess::execute("xdotool", {"key", "ctrl+r"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !menu->isVisible() && sim.http.requests().size() == 8; }))
        << sim.http.requests().size() << " requests";

    // The About entry opens a modal dialog; read it and close it from a timer.
    QString text, informative;
    QTimer::singleShot(500, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            informative = box->informativeText();
            saveScreenshot("about-dialog.png");
            box->accept();
        }
    });
    actions[0]->trigger();
    EXPECT_EQ(text, "Daylume");
    EXPECT_TRUE(
        informative.startsWith("Daylume keeps your desktop picture set to the Bing image of the "
                               "day.\n\n版本：1.0.0（Build "))
        << informative.toStdString();
    EXPECT_TRUE(informative.endsWith("）"));
}

TEST_F(TrayTest, TheIconRegistersWithAStatusNotifierHostThatComesLater) {
    PrivateBus bus;
    // Before anything asks for the session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    delegate.setupStatusItem();
    waitUntil([] { return false; }, std::chrono::milliseconds(300));
    ASSERT_TRUE(item());
    EXPECT_FALSE(item()->trayIcon());

    DBusMock watcher(bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                     "status_notifier_watcher.py");
    ASSERT_TRUE(watcher.ready());
    QString registered;
    ASSERT_TRUE(waitUntil([&] {
        const auto calls = watcher.calls("RegisterStatusNotifierItem");
        if (!calls.isEmpty()) registered = calls[0][0].toString();
        return !registered.isEmpty();
    }));
    ASSERT_TRUE(item()->trayIcon());

    // The item the host would show: active, with a menu. Asked asynchronously, since the item
    // is served by this very thread.
    auto get = [&](const QString& property) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            registered, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
        message << QStringLiteral("org.kde.StatusNotifierItem") << property;
        QDBusPendingCall call = bus.connect("host").asyncCall(message);
        waitUntil([&] { return call.isFinished(); });
        const QDBusMessage reply = call.reply();
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(get("Status").toString(), "Active");
    EXPECT_FALSE(get("Menu").value<QDBusObjectPath>().path().isEmpty());
}

}  // namespace
}  // namespace daylume::test
