#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QVariantList>

namespace daylume::test {

// A D-Bus daemon of the test's own, stopped with the object. It stands for the session bus or
// for the system bus, as the test connects to it.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    const QString& address() const { return address_; }
    // A new connection to the bus under `name` (names must be unique per process); closed with
    // the bus.
    QDBusConnection connect(const QString& name) const;

private:
    mutable QStringList connections_;
    QTemporaryFile config_;
    QProcess daemon_;
    QString address_;
};

// A service on `bus` played by python-dbusmock with a template: one of its own ("logind",
// "networkmanager", ...) or a file of tests/support/dbus ("portal.py"), with JSON parameters.
// `name` and `path` are the template's bus name and main object.
class DBusMock {
public:
    DBusMock(const PrivateBus& bus, const QString& name, const QString& path,
             const QString& templateName, const QString& parameters = "{}");
    ~DBusMock();
    bool ready() const { return ready_; }
    // Calls a method of the mock's own interface on the template's main object.
    QDBusMessage mock(const QString& method, const QVariantList& arguments = {}) const;
    // The arguments of each call of `method` so far.
    QList<QVariantList> calls(const QString& method) const;

private:
    QDBusConnection bus_;
    QString name_;
    QString path_;
    QProcess process_;
    bool ready_ = false;
};

}  // namespace daylume::test
