#include "platform/linux/network_monitor.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace daylume {
namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kPath = QStringLiteral("/org/freedesktop/NetworkManager");
constexpr uint kConnectedGlobal = 70;  // NM_STATE_CONNECTED_GLOBAL

}  // namespace

NetworkMonitor::NetworkMonitor(std::function<void()> onReturn, const QDBusConnection& bus)
    : onReturn_(std::move(onReturn)) {
    if (!bus.isConnected()) return;
    QDBusConnection(bus).connect(kService, kPath, kService, QStringLiteral("StateChanged"), this,
                                 SLOT(stateChanged(uint)));
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kService << QStringLiteral("State");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        if (reply.isValid() && !state_) state_ = reply.value().variant().toUInt();
        watcher->deleteLater();
    });
}

void NetworkMonitor::stateChanged(uint state) {
    const bool cameBack = state_ && *state_ < kConnectedGlobal && state == kConnectedGlobal;
    state_ = state;
    if (cameBack) onReturn_();
}

}  // namespace daylume
