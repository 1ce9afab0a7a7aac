#include "support/private_bus.h"

#include <stdexcept>

namespace daylume::test {

PrivateBus::PrivateBus() {
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!daemon_.waitForStarted(10'000)) throw std::runtime_error("dbus-daemon did not start");
    while (!daemon_.canReadLine())
        if (!daemon_.waitForReadyRead(10'000))
            throw std::runtime_error("dbus-daemon printed no address");
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    daemon_.terminate();
    if (!daemon_.waitForFinished(5'000)) daemon_.kill();
}

QDBusConnection PrivateBus::connect(const QString& name) const {
    return QDBusConnection::connectToBus(address_, name);
}

}  // namespace daylume::test
