#pragma once

#include <QObject>

#include "platform/main_loop.h"

namespace daylume {

// The main loop is Qt's event loop on the thread that creates this object.
class QtMainLoop final : public MainLoop {
public:
    void async(Task task) override;
    void asyncAfter(Seconds delay, Task task) override;
    std::shared_ptr<Timer> scheduledTimer(Seconds interval, bool repeats,
                                          TimerBlock block) override;
    Date currentDate() const override;

private:
    QObject context_;  // lives on the main thread; tasks run in its thread
};

}  // namespace daylume
