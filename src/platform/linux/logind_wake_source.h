#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>

namespace daylume {

// Reports each resume from sleep: logind's PrepareForSleep(false) on the system bus. Without a
// system bus there are simply no wake events.
class LogindWakeSource final : public QObject {
    Q_OBJECT
public:
    explicit LogindWakeSource(std::function<void()> onWake,
                              const QDBusConnection& bus = QDBusConnection::systemBus());

private Q_SLOTS:
    void prepareForSleep(bool goingToSleep);

private:
    std::function<void()> onWake_;
};

}  // namespace daylume
