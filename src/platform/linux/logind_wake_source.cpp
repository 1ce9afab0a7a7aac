#include "platform/linux/logind_wake_source.h"

namespace daylume {

LogindWakeSource::LogindWakeSource(std::function<void()> onWake, const QDBusConnection& bus)
    : onWake_(std::move(onWake)) {
    if (!bus.isConnected()) return;
    QDBusConnection(bus).connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
}

void LogindWakeSource::prepareForSleep(bool goingToSleep) {
    if (!goingToSleep) onWake_();
}

}  // namespace daylume
