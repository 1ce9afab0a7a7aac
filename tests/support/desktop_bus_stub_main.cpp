// Stands in for a desktop's D-Bus service and records every call it receives, one JSON object a
// line, in a file. It runs as a process of its own because the back ends block on their calls.
//
//   desktop-bus-stub plasma|plasma-locked|portal|portal-cancel|portal-silent RECORD
//
// It joins the session bus of DBUS_SESSION_BUS_ADDRESS and prints "ready" once its name is
// taken.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>

namespace {

class Stub : public QDBusVirtualObject {
public:
    Stub(QString mode, QString record) : mode_(std::move(mode)), record_(std::move(record)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage) return false;
        QJsonObject entry{{"interface", message.interface()},
                          {"method", message.member()},
                          {"signature", message.signature()}};
        QDBusMessage reply;
        if (mode_.startsWith("plasma")) {
            entry["script"] = message.arguments().value(0).toString();
            reply = mode_ == "plasma-locked"
                        ? message.createErrorReply("org.freedesktop.DBus.Error.Failed",
                                                   "Widgets are locked")
                        : message.createReply();
        } else {
            reply = portalCall(message, entry);
        }
        QFile file(record_);
        if (file.open(QIODevice::Append))
            file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + "\n");
        file.close();
        connection.send(reply);
        return true;
    }

private:
    QDBusMessage portalCall(const QDBusMessage& message, QJsonObject& entry) {
        const QList<QVariant> arguments = message.arguments();
        entry["parent_window"] = arguments.value(0).toString();
        const auto fd = qvariant_cast<QDBusUnixFileDescriptor>(arguments.value(1));
        QFile picture;
        if (fd.isValid() && picture.open(fd.fileDescriptor(), QIODevice::ReadOnly))
            entry["file_base64"] = QString::fromLatin1(picture.readAll().toBase64());
        const auto options = qdbus_cast<QVariantMap>(arguments.value(2));
        QJsonObject recorded;
        for (auto it = options.begin(); it != options.end(); ++it)
            recorded[it.key()] = QJsonValue::fromVariant(it.value());
        entry["options"] = recorded;

        // The request's path, as xdg-desktop-portal builds it from the caller and its token.
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString handle = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                               options.value("handle_token").toString();
        if (mode_ != "portal-silent") {
            const uint code = mode_ == "portal-cancel" ? 1 : 0;
            // Answer after the reply has gone out, as the real portal does once the user (or
            // the desktop) is done.
            QTimer::singleShot(50, [handle, code] {
                QDBusMessage response = QDBusMessage::createSignal(
                    handle, "org.freedesktop.portal.Request", "Response");
                response << code << QVariantMap{};
                QDBusConnection::sessionBus().send(response);
            });
        }
        return message.createReply(QVariant::fromValue(QDBusObjectPath(handle)));
    }

    QString mode_;
    QString record_;
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: desktop-bus-stub MODE RECORD\n");
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const bool plasma = mode.startsWith("plasma");
    Stub stub(mode, QString::fromLocal8Bit(argv[2]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString path = plasma ? "/PlasmaShell" : "/org/freedesktop/portal/desktop";
    const QString name = plasma ? "org.kde.plasmashell" : "org.freedesktop.portal.Desktop";
    if (!bus.registerVirtualObject(path, &stub) || !bus.registerService(name)) {
        std::fprintf(stderr, "desktop-bus-stub: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
