#pragma once

#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QVariantList>

namespace daylume::test {

// A service on the session bus of run-with-bus, played by python-dbusmock with a template: one
// of its own ("logind", "networkmanager", ...) or a file of tests/support/dbus ("portal.py"),
// with JSON parameters. `name` and `path` are the template's bus name and main object.
class DBusMock {
public:
    DBusMock(const QString& name, const QString& path, const QString& templateName,
             const QString& parameters = "{}");
    ~DBusMock();
    bool ready() const { return ready_; }
    // Calls a method of the mock's own interface on the template's main object.
    QDBusMessage mock(const QString& method, const QVariantList& arguments = {}) const;
    // The arguments of each call of `method` so far.
    QList<QVariantList> calls(const QString& method) const;

private:
    QString name_;
    QString path_;
    QProcess process_;
    bool ready_ = false;
};

}  // namespace daylume::test
