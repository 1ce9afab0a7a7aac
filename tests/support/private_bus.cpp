#include "support/private_bus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QProcessEnvironment>
#include <stdexcept>

#include "support/event_loop.h"

namespace daylume::test {

// A session bus without service activation: a name is owned only by what the test starts, never
// by a real service the machine happens to have installed.
constexpr char kConfig[] = R"(<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>)";

PrivateBus::PrivateBus() {
    if (!config_.open() || config_.write(kConfig) < 0 || !config_.flush())
        throw std::runtime_error("cannot write the bus configuration");
    daemon_.start("dbus-daemon", {"--nofork", "--nopidfile", "--print-address=1",
                                  "--config-file=" + config_.fileName()});
    if (!daemon_.waitForStarted(10'000)) throw std::runtime_error("dbus-daemon did not start");
    while (!daemon_.canReadLine())
        if (!daemon_.waitForReadyRead(10'000))
            throw std::runtime_error("dbus-daemon printed no address");
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : connections_) QDBusConnection::disconnectFromBus(name);
    daemon_.terminate();
    if (!daemon_.waitForFinished(5'000)) daemon_.kill();
}

QDBusConnection PrivateBus::connect(const QString& name) const {
    connections_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

DBusMock::DBusMock(const PrivateBus& bus, const QString& name, const QString& path,
                   const QString& templateName, const QString& parameters)
    : bus_(bus.connect("mock-client-" + name)), name_(name), path_(path) {
    const QString file = templateName.endsWith(".py")
                             ? QStringLiteral(DAYLUME_TEST_SUPPORT "/dbus/") + templateName
                             : templateName;
    // Whichever role the bus plays, dbusmock finds it as its session bus.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.start("/usr/bin/python3",
                   {"-m", "dbusmock", "--session", "--template", file, "--parameters", parameters});
    ready_ = waitUntil([&] { return bus_.interface()->isServiceRegistered(name).value(); });
}

DBusMock::~DBusMock() {
    process_.terminate();
    if (!process_.waitForFinished(5'000)) process_.kill();
    // The next mock of the same service must not meet this one's name.
    waitUntil([&] { return !bus_.interface()->isServiceRegistered(name_).value(); });
}

QDBusMessage DBusMock::mock(const QString& method, const QVariantList& arguments) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(name_, path_, "org.freedesktop.DBus.Mock", method);
    call.setArguments(arguments);
    return bus_.call(call);
}

QList<QVariantList> DBusMock::calls(const QString& method) const {
    const QDBusMessage reply = mock("GetMethodCalls", {method});
    QList<QVariantList> calls;
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
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
