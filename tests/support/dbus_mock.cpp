#include "support/dbus_mock.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include "support/event_loop.h"

namespace daylume::test {
namespace {

bool owned(const QString& name) {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}

}  // namespace

DBusMock::DBusMock(const QString& name, const QString& path, const QString& templateName,
                   const QString& parameters)
    : name_(name), path_(path) {
    const QString file = templateName.endsWith(".py")
                             ? QStringLiteral(DAYLUME_TEST_SUPPORT "/dbus/") + templateName
                             : templateName;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start("/usr/bin/python3",
                   {"-m", "dbusmock", "--session", "--template", file, "--parameters", parameters});
    ready_ = waitUntil([&] { return owned(name); });
}

DBusMock::~DBusMock() {
    process_.terminate();
    if (!process_.waitForFinished(5'000)) process_.kill();
    // The next mock of the same service must not meet this one's name.
    waitUntil([&] { return !owned(name_); });
}

QDBusMessage DBusMock::mock(const QString& method, const QVariantList& arguments) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(name_, path_, "org.freedesktop.DBus.Mock", method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

QList<QVariantList> DBusMock::calls(const QString& method) const {
    const QDBusArgument list =
        mock("GetMethodCalls", {method}).arguments().value(0).value<QDBusArgument>();
    QList<QVariantList> calls;
    list.beginArray();
    while (!list.atEnd()) {
        quint64 time = 0;
        QVariantList arguments;
        list.beginStructure();
        list >> time >> arguments;
        list.endStructure();
        calls << arguments;
    }
    list.endArray();
    return calls;
}

}  // namespace daylume::test
