#pragma once

#include <QObject>
#include <QWindow>
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
    void request(SystemEvent event);
    void focusChanged(QWindow* window);

    std::vector<std::pair<SystemEvent, Task>> observers_;
    std::vector<SystemEvent> requested_;  // before anyone observed them
    bool focused_ = false;                // one of Daylume's windows has the focus
    QMetaObject::Connection closing_;
    QObject context_;
    LogindWakeSource wakes_;
    NetworkMonitor network_;
};

}  // namespace daylume
