#include "platform/linux/qt_status_item.h"

#include <xcb/xcb.h>

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>

namespace daylume {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

}  // namespace

QtStatusItem::QtStatusItem() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        watcher_.setConnection(bus);
        watcher_.addWatchedService(kWatcherService);
        watcher_.setWatchMode(QDBusServiceWatcher::WatchForRegistration);
        connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this,
                &QtStatusItem::showIfTrayExists);
        // A watcher may come up before its host (the panel) does.
        bus.connect(kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
                    QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(showIfTrayExists()));
    }
    // X11 trays announce themselves through a selection that cannot be watched from Qt; look
    // now and then while there is none, and stop once there is.
    x11TrayPoll_.setInterval(std::chrono::seconds(2));
    connect(&x11TrayPoll_, &QTimer::timeout, this, &QtStatusItem::showIfTrayExists);
    if (QGuiApplication::platformName() == QLatin1String("xcb")) x11TrayPoll_.start();
    // Once the caller has given the icon its image and menu.
    QTimer::singleShot(0, this, &QtStatusItem::showIfTrayExists);
}

QtStatusItem::~QtStatusItem() = default;

void QtStatusItem::setImage(std::string_view name) {
    icon_ = QIcon(QStringLiteral(":/icons/%1.svg")
                      .arg(QString::fromUtf8(name.data(), qsizetype(name.size()))));
    icon_.setIsMask(true);
    if (tray_) tray_->setIcon(icon_);
}

void QtStatusItem::setMenu(std::vector<MenuEntry> entries) {
    menu_.clear();
    for (MenuEntry& entry : entries) {
        if (entry.title.empty()) {
            menu_.addSeparator();
            continue;
        }
        QAction* action = menu_.addAction(QString::fromStdString(entry.title));
        if (entry.keyEquivalent)
            action->setShortcut(
                QKeySequence(Qt::CTRL | Qt::Key(std::toupper(entry.keyEquivalent))));
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, this,
                [action = std::move(entry.action)] { action(); });
    }
}

void QtStatusItem::showIfTrayExists() {
    if (tray_ || (!statusNotifierHostExists() && !x11TrayExists())) return;
    x11TrayPoll_.stop();
    tray_ = std::make_unique<QSystemTrayIcon>(icon_);
    tray_->setToolTip(QStringLiteral("Daylume"));
    tray_->setContextMenu(&menu_);
    // A plain click opens the menu too, as a tray icon's menu does elsewhere.
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) menu_.popup(QCursor::pos());
            });
    tray_->show();
}

bool QtStatusItem::statusNotifierHostExists() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcherService)) return false;
    QDBusInterface watcher(kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
                           kWatcherService, bus);
    return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

bool QtStatusItem::x11TrayExists() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return false;
    xcb_connection_t* connection = x11->connection();
    static const char kSelection[] = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof kSelection - 1, kSelection), nullptr);
    if (!atom) return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE) return false;  // no tray ever existed on this display
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool exists = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return exists;
}

}  // namespace daylume
