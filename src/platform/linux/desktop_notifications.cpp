#include "platform/linux/desktop_notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QUrl>
#include <cstdlib>

#include "platform/linux/desktop/desktop_session.h"

namespace daylume {

void postDesktopNotification(const Notification& notification) {
    const QString title = QString::fromStdString(notification.title);
    const QString body = QString::fromStdString(notification.body);
    if (insideFlatpak()) {
        // Inside the sandbox only the portal is there to ask; it takes plain text.
        QDBusMessage message =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                           QStringLiteral("org.freedesktop.portal.Notification"),
                                           QStringLiteral("AddNotification"));
        message << QStringLiteral("picture")
                << QVariantMap{{QStringLiteral("title"), title}, {QStringLiteral("body"), body}};
        // Without a notification service the call fails unseen: there is nobody to tell then.
        QDBusConnection::sessionBus().asyncCall(message);
        return;
    }
    QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("io.github.daylume.Daylume")}};
    if (notification.image)
        hints.insert(QStringLiteral("image-path"),
                     QUrl::fromLocalFile(QFile::decodeName(notification.image->c_str()))
                         .toString(QUrl::FullyEncoded));
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    auto* capabilities = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities"))));
    QObject::connect(capabilities, &QDBusPendingCallWatcher::finished, capabilities, [=] {
        capabilities->deleteLater();
        // A server that reads the body as markup would take a credit's "&" or "<" for it. The
        // summary is plain text by the standard, and GNOME Shell and Plasma show it as such.
        const QDBusPendingReply<QStringList> reply = *capabilities;
        const bool markup =
            reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
        QDBusMessage message =
            QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
        message << QStringLiteral("Daylume") << uint(0)
                << QStringLiteral("io.github.daylume.Daylume") << title
                << (markup ? body.toHtmlEscaped() : body) << QStringList() << hints << int(-1);
        QDBusConnection::sessionBus().asyncCall(message);
    });
}

}  // namespace daylume
