#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

namespace daylume::test {

// A D-Bus daemon of the test's own, stopped with the object.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    const QString& address() const { return address_; }
    // A new connection to the bus under `name` (names must be unique per process).
    QDBusConnection connect(const QString& name) const;

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace daylume::test
