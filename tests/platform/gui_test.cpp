// The tray icon, its menu, the dialogs, the task-bar window and the notifications on a real X
// server (Xvfb): with an X11 tray (trayer) or a StatusNotifierItem host on the test's own session
// bus, each started after the icon; against the HTTPS stand-in for the image service.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "platform/linux/curl_http_client.h"
#include "platform/linux/dialogs.h"
#include "platform/linux/qt_application.h"
#include "platform/linux/qt_bundle.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/qt_status_item.h"
#include "platform/linux/serial_queue.h"
#include "platform/linux/system_events.h"
#include "shell/app_delegate.h"
#include "support/dbus_mock.h"
#include "support/event_loop.h"
#include "support/image_service.h"

namespace daylume::test {
namespace {

using namespace std::chrono_literals;

struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

// Qt's loop, without the launch check: its lookups would mingle with the test's.
struct LoopWithoutLaunchCheck final : MainLoop {
    void async(Task task) override { qt.async(std::move(task)); }
    void asyncAfter(Seconds delay, Task task) override {
        if (delay != Seconds(5.0)) qt.asyncAfter(delay, std::move(task));  // the launch check
    }
    std::shared_ptr<Timer> scheduledTimer(Seconds interval, bool repeats,
                                          TimerBlock block) override {
        return qt.scheduledTimer(interval, repeats, std::move(block));
    }
    Date currentDate() const override { return qt.currentDate(); }
    QtMainLoop qt;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QtBundle::loadTranslations();
        // Late enough that all eight requests of a lookup arrive before its first answer, which
        // lets go of the others.
        service.configure(R"({"markets": {"*": {"delay": 0.5}}})");
        system.addObserver(SystemEvent::Activation, [this] { ++activations; });
        // As at login: the test's tray may still be starting when the icon is made, and the
        // window would show for the user then.
        delegate.startedAtLogin = true;
    }
    void TearDown() override {
        for (QProcess* process : {&tray, &windowManager}) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }
    QtStatusItem* item() const { return dynamic_cast<QtStatusItem*>(delegate.statusItem.get()); }
    void startTray() {
        tray.start("trayer",
                   {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "28",
                    "--tint", "0x2e3440", "--transparent", "true", "--alpha", "0"});
    }
    // Runs `action`, which opens a dialog at once or a moment later, and hands the dialog to
    // `look` before closing it.
    static void withDialog(const std::function<void()>& action,
                           const std::function<void(QMessageBox&)>& look) {
        bool looked = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                    poll.stop();
                    looked = true;
                    look(*box);
                    box->done(0);
                    return;
                }
        });
        poll.start(200);
        action();
        EXPECT_TRUE(waitUntil([&] { return looked; }, 5s));
    }
    int archiveRequests() {
        return int(std::ranges::count_if(service.requests(),
                                         [](auto& t) { return t.starts_with("/HPImage"); }));
    }

    ImageService service;
    SimPlatform sim;
    LoopWithoutLaunchCheck loop;
    SerialQueue installs;
    CurlHttpClient http{installs, {.caFile = testCertificates() / "ca.pem"}};
    QtApplication application{ActivationPolicy::Accessory};
    QtBundle bundle{QtBundle::builtInSettings()};
    Platform platform{loop,    installs,    http,   sim.files,         sim.desktop,
                      sim.log, application, bundle, sim.notifications, sim.preferences};
    AppDelegate delegate{platform, service.origin()};
    SingleInstance instance{sim.temp.path() / "socket"};
    QtSystemEvents system{instance};
    int activations = 0;
    QProcess tray, windowManager;
};

TEST_F(GuiTest, TheMenuItsShortcutsAndTheAboutDialogWork) {
    startTray();
    delegate.setupStatusItem();
    ASSERT_TRUE(waitUntil([&] { return item()->trayIcon(); }));

    QMenu* menu = item()->menu();
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 7);
    const QStringList titles = {"About Daylume", "Refresh Wallpaper",           "Image Source",
                                "Preferences…",  "Show or Hide Task Bar Entry", "",
                                "Quit Daylume"};
    const QStringList shortcuts = {"Ctrl+I", "Ctrl+R", "Ctrl+S", "Ctrl+,", "Ctrl+D", "", "Ctrl+Q"};
    for (int i = 0; i < actions.size(); ++i) {
        EXPECT_EQ(actions[i]->text(), titles[i]);
        EXPECT_EQ(actions[i]->shortcut().toString(), shortcuts[i]);
    }
    // Where a click on the icon in the top-right tray opens it. The open menu takes the focus,
    // but it belongs to the panel: opening it is no activation.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    menu->popup(QPoint(screen.right() - menu->sizeHint().width(), 30));
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    pause(300ms);
    // Its shortcuts work while it is open, as the keys it shows promise: Ctrl+R closes it and
    // refreshes (eight market lookups).
    ASSERT_EQ(QProcess::execute("xdotool", {"key", "ctrl+r"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !menu->isVisible() && archiveRequests() == 8; }))
        << archiveRequests() << " requests";
    EXPECT_EQ(activations, 0);

    // Every dialog shows the application's icon, not a warning triangle, and Qt's own buttons
    // speak the user's language.
    QString informative;
    withDialog([&] { actions[0]->trigger(); },
               [&](QMessageBox& box) {
                   informative = box.informativeText();
                   EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
                   EXPECT_EQ(box.iconPixmap().toImage(), applicationIcon().pixmap(64).toImage());
                   EXPECT_FALSE(box.windowIcon().isNull());
               });
    EXPECT_TRUE(
        informative.startsWith("Daylume keeps your desktop picture set to the Bing image of the "
                               "day.\n\n版本：1.0.0（Build "))
        << informative.toStdString();
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QtBundle::loadTranslations();
    const Alert plain{"Daylume", "x"}, three{"Daylume", "x", {"Open", "Learn More", "Close"}};
    QString ok;
    withDialog([&] { application.runModal(plain); },
               [&](QMessageBox& box) { ok = box.buttons().value(0)->text(); });
    EXPECT_EQ(ok, "确定");
    // Escape answers as the last button, also where two others could.
    withDialog(
        [&] { application.runModal(three); },
        [&](QMessageBox& box) { ok = box.escapeButton() ? box.escapeButton()->text() : ""; });
    EXPECT_EQ(ok, "Close");
}

// What the picture shows, who took it and when it was set: in the tooltip, the Image Source
// dialog and the task-bar window, which also refreshes and goes away as the user asks.
TEST_F(GuiTest, TheTooltipTheDialogAndTheTaskBarWindowShowTodaysPicture) {
    windowManager.start("openbox", {});
    startTray();
    delegate.setupStatusItem();
    ASSERT_TRUE(waitUntil([&] { return item()->trayIcon(); }));
    delegate.refreshWallpaper();
    ASSERT_TRUE(waitUntil([&] { return !sim.desktop.pictures.empty(); }));
    pause(100ms);
    const QString tip = item()->trayIcon()->toolTip();
    EXPECT_TRUE(tip.startsWith("Daylume\nTest picture ")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("(© Daylume tests)\nSet at ")) << tip.toStdString();

    withDialog(
        [&] { delegate.showImageSource(); },
        [&](QMessageBox& box) { EXPECT_TRUE(box.informativeText().startsWith("Test picture ")); });

    // The window appears minimized, never shown first: it is not painted until it is restored.
    ViewController& window = application.window();
    PaintCounter painted;
    window.installEventFilter(&painted);
    withDialog([&] { delegate.toggleDockVisibility(); }, [](QMessageBox&) {});
    ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
    EXPECT_TRUE(waitUntil([&] { return window.isMinimized(); }));
    pause(500ms);
    EXPECT_EQ(painted.paints, 0);
    // Another program in front, then the user turns to Daylume's own window: an activation,
    // which looks for a new picture.
    QProcess other;
    other.start("xmessage", {"another program"});
    QProcess::execute("xdotool", {"search", "--sync", "--onlyvisible", "--class", "Xmessage"});
    pause(300ms);
    activations = 0;
    window.showNormal();
    window.activateWindow();
    EXPECT_TRUE(waitUntil([&] { return activations > 0; }));
    other.kill();
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
    EXPECT_TRUE(std::ranges::any_of(labels, [](QLabel* l) { return !l->pixmap().isNull(); }));
    EXPECT_TRUE(std::ranges::any_of(
        labels, [](QLabel* l) { return l->text().startsWith("Test picture "); }));

    const int before = archiveRequests();
    const auto installed = sim.desktop.pictures.size();
    auto button = [&](const char* key) {
        const QString title = QCoreApplication::translate("Localizable", key);
        for (QPushButton* each : window.findChildren<QPushButton*>())
            if (each->text() == title) return each;
        return static_cast<QPushButton*>(nullptr);
    };
    button("menu_refresh")->click();
    EXPECT_TRUE(waitUntil([&] { return archiveRequests() == before + 8; }));
    EXPECT_TRUE(waitUntil([&] { return sim.desktop.pictures.size() > installed; }));
    // No xdg-open, or one that finds no program: Open Pictures Folder says so, with the address.
    const QByteArray path = qgetenv("PATH");
    const QString bin = QString::fromStdString((sim.temp.path() / "bin").string());
    QDir().mkpath(bin);
    QFile opener(bin + "/xdg-open");
    opener.open(QIODevice::WriteOnly);
    opener.write("#!/bin/sh\nexit 3\n");
    opener.setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    opener.close();
    for (const QString& folders : {QString("/nonexistent"), bin}) {
        qputenv("PATH", folders.toUtf8());
        QString cannot;
        withDialog([&] { button("button_open_folder")->click(); },
                   [&](QMessageBox& box) { cannot = box.text() + " " + box.informativeText(); });
        EXPECT_TRUE(cannot.startsWith("Cannot Open") && cannot.contains("file:///"))
            << cannot.toStdString();
    }
    qputenv("PATH", path);

    // Without a picture the icon; a long failure wraps and the window grows, so no line is
    // squeezed over another.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const char* name : {"en_US", "zh_CN"}) {
        QLocale::setDefault(QLocale(name));
        QtBundle::loadTranslations();
        auto text = [](const char* key) { return QCoreApplication::translate("Localizable", key); };
        const QString cause = text("cause_desktop_tool_failed")
                                  .arg(
                                      "xfconf-query --channel xfce4-desktop --property "
                                      "/backdrop/screen0/monitorHDMI-1/workspace0/last-image");
        application.showStatus(
            {.title = text("status_untitled").toStdString(),
             .activity = text("status_desktop_failed").arg("12:00", cause).toStdString()});
        // The preferences in the window and in their dialog, named in the language loaded last.
        application.showPreferences(delegate.preferencesStatus());
        // In sight, title bar included: in the middle of the screen.
        QDialog placed;
        placeInSight(placed);
        EXPECT_LT((placed.geometry().center() - screen.center()).manhattanLength(), 4);
        application.openPreferencesDialog();
        QDialog& dialog = application.preferencesDialog();
        EXPECT_TRUE(waitUntil([&] {
            return dialog.frameGeometry() != dialog.geometry() &&
                   QGuiApplication::primaryScreen()->geometry().contains(dialog.frameGeometry());
        })) << dialog.frameGeometry().y();
        for (QWidget* shown : {static_cast<QWidget*>(&window),
                               static_cast<QWidget*>(&application.preferencesDialog())}) {
            const auto boxes = shown->findChildren<QCheckBox*>();
            EXPECT_TRUE(std::ranges::any_of(boxes, [&](QCheckBox* box) {
                return box->text() == text("preferences_start_at_login");
            }));
        }
        EXPECT_EQ(application.preferencesDialog().windowTitle(), text("preferences_window_title"));
        application.preferencesDialog().hide();
        pause(200ms);  // for the window's layout
        const QPixmap shown = labels[0]->pixmap();
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(shown.toImage(), applicationIcon().pixmap(shown.size()).toImage());
        for (QLabel* label : labels)
            EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                << label->text().toStdString();
    }
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(application.activationPolicy(), ActivationPolicy::Accessory);
}

TEST_F(GuiTest, TheIconRegistersWithAStatusNotifierHostAndANewPictureIsNotified) {
    DBusMock notifications("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                           "notification_daemon");
    ASSERT_TRUE(notifications.ready());
    delegate.setupStatusItem();
    pause(300ms);
    ASSERT_TRUE(item());
    EXPECT_FALSE(item()->trayIcon());

    DBusMock watcher("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
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
        QDBusPendingCall call =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "host").asyncCall(message);
        waitUntil([&] { return call.isFinished(); });
        return call.reply().arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(get("Status").toString(), "Active");
    EXPECT_FALSE(get("Menu").value<QDBusObjectPath>().path().isEmpty());

    delegate.refreshWallpaper();
    ASSERT_TRUE(waitUntil([&] { return !notifications.calls("Notify").isEmpty(); }));
    const QVariantList notify = notifications.calls("Notify")[0];
    EXPECT_EQ(notify.value(0).toString(), "Daylume");
    EXPECT_TRUE(notify.value(3).toString().startsWith("Test picture "));
    const auto hints = qdbus_cast<QVariantMap>(notify.value(6));
    EXPECT_EQ(hints.value("image-path").toString().toStdString(),
              "file://" + sim.desktop.pictures.at(0).string());
    // This server reads the body as markup: a credit's "<" and "&" reach it escaped.
    application.postNotification({"<b> & co", "© <b>A & B</b>", std::nullopt});
    ASSERT_TRUE(waitUntil([&] { return notifications.calls("Notify").size() == 2; }));
    EXPECT_EQ(notifications.calls("Notify")[1].value(3).toString(), "<b> & co");
    EXPECT_EQ(notifications.calls("Notify")[1].value(4).toString(),
              "© &lt;b&gt;A &amp; B&lt;/b&gt;");
    pause(300ms);  // the notification's answer, which nothing waits for
}

}  // namespace
}  // namespace daylume::test
