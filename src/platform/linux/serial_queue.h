#pragma once

#include <QThread>
#include <atomic>

#include "platform/main_loop.h"

namespace daylume {

// One worker thread with an event loop of its own (so Qt objects such as QProcess work there)
// that runs its tasks one at a time, in the order they were added.
class SerialQueue final : public WorkQueue {
public:
    SerialQueue();
    ~SerialQueue() override { stop(); }
    // Lets the running task finish; tasks not yet started, and any added later, are destroyed
    // unrun.
    void stop();
    void async(Task task) override;

private:
    QThread thread_;
    QObject* context_;  // lives on the worker thread
    std::atomic<bool> stopped_ = false;
    std::atomic<int> pending_ = 0;
};

}  // namespace daylume
