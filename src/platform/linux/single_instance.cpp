#include "platform/linux/single_instance.h"

#include <unistd.h>

#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace daylume {

SingleInstance::SingleInstance(QString socketPath) : socketPath_(std::move(socketPath)) {}

QString SingleInstance::defaultSocketPath() {
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty()) return runtime + QStringLiteral("/daylume.socket");
    return QStringLiteral("/tmp/daylume-%1.socket").arg(getuid());
}

bool SingleInstance::claim() {
    // Two launches at the same moment take turns, so exactly one of them listens.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    lock.lock();

    QLocalSocket first;
    first.connectToServer(socketPath_);
    if (first.waitForConnected(2000)) {
        first.write("activate\n");
        first.waitForBytesWritten(2000);
        first.disconnectFromServer();
        return false;
    }
    QLocalServer::removeServer(socketPath_);  // left behind by one that crashed
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_)) return true;  // run on alone rather than not at all
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("activate")) Q_EMIT launchedAgain();
            });
        }
    });
    return true;
}

}  // namespace daylume
