#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <optional>

namespace daylume {

// Reports the network coming back: NetworkManager's state going from anything less to
// connected with full access. The state it has when this starts is no change, and without
// NetworkManager (or a system bus, as inside a sandbox) there are simply no reports.
class NetworkMonitor final : public QObject {
    Q_OBJECT
public:
    explicit NetworkMonitor(std::function<void()> onReturn,
                            const QDBusConnection& bus = QDBusConnection::systemBus());

private Q_SLOTS:
    void stateChanged(uint state);

private:
    std::function<void()> onReturn_;
    std::optional<uint> state_;
};

}  // namespace daylume
