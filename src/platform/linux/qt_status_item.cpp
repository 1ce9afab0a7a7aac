#include "platform/linux/qt_status_item.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QKeyEvent>
#include <cstdio>
#include <utility>

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
    // An X11 tray announces itself by taking a selection; the X server tells when it changes
    // hands, so nothing has to poll.
    watchX11TraySelection();
    menu_.installEventFilter(this);
    // Once the caller has given the icon its image and menu.
    QTimer::singleShot(0, this, [this] {
        showIfTrayExists();
        static bool told = false;
        if (!tray_ && !std::exchange(told, true))
            std::fputs(
                "Daylume: no system tray is running; the icon will appear as soon as one "
                "starts. On GNOME, install and enable the AppIndicator extension "
                "(gnome-shell-extension-appindicator).\n",
                stderr);
    });
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

void QtStatusItem::setToolTip(std::string_view text) {
    toolTip_ = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (tray_) tray_->setToolTip(toolTip_);
}

void QtStatusItem::showIfTrayExists() {
    if (tray_ || (!statusNotifierHostExists() && !x11TrayExists())) return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    tray_ = std::make_unique<QSystemTrayIcon>(icon_);
    tray_->setToolTip(toolTip_);
    tray_->setContextMenu(&menu_);
    // A plain click opens the menu too, as a tray icon's menu does elsewhere.
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) menu_.popup(QCursor::pos());
            });
    tray_->show();
}

// Qt fires an action's shortcut only while the action belongs to an active window, which a tray
// menu never does; so the open menu matches its Ctrl+letter keys itself.
bool QtStatusItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &menu_ || event->type() != QEvent::KeyPress) return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (QAction* action : menu_.actions()) {
        if (action->shortcut().isEmpty() || action->shortcut() != pressed) continue;
        menu_.hide();
        // After this key event: the action may open a modal dialog.
        QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
        return true;
    }
    return false;
}

bool QtStatusItem::statusNotifierHostExists() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kWatcherService)) return false;
    // One property read; a QDBusInterface would introspect the watcher first.
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
    return reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The selection an X11 tray owns on the first screen.
xcb_atom_t traySelection(xcb_connection_t* connection) {
    static const char kSelection[] = "_NET_SYSTEM_TRAY_S0";
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof kSelection - 1, kSelection), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

}  // namespace

void QtStatusItem::watchX11TraySelection() {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) return;
    xfixesFirstEvent_ = xfixes->first_event;
    free(xcb_xfixes_query_version_reply(
        connection,
        xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_xfixes_select_selection_input(connection, root, traySelection(connection),
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    xcb_flush(connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

bool QtStatusItem::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || tray_) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY)
        QTimer::singleShot(0, this, &QtStatusItem::showIfTrayExists);  // not inside Qt's dispatch
    return false;
}

bool QtStatusItem::x11TrayExists() {
    xcb_connection_t* connection = x11Connection();
    if (!connection) return false;
    const xcb_atom_t selection = traySelection(connection);
    if (selection == XCB_ATOM_NONE) return false;
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool exists = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return exists;
}

}  // namespace daylume
