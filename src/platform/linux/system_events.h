#pragma once

#include <QObject>
#include <vector>

#include "platform/application.h"
#include "platform/linux/logind_wake_source.h"
#include "platform/linux/network_monitor.h"
#include "platform/linux/single_instance.h"

namespace daylume {

// Wakes come from logind, the network coming back from NetworkManager; activations when the
// application gains focus or is launched again.
class QtSystemEvents final : public Notifications {
public:
    explicit QtSystemEvents(SingleInstance& instance);

    void addObserver(SystemEvent event, Task handler) override;
    void removeObservers() override;

private:
    void post(SystemEvent event);

    std::vector<std::pair<SystemEvent, Task>> observers_;
    QObject context_;
    LogindWakeSource wakes_;
    NetworkMonitor network_;
};

}  // namespace daylume
