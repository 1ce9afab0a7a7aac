#pragma once

#include <QThread>

#include "platform/main_loop.h"

namespace daylume {

// One worker thread with an event loop of its own (so Qt objects such as QProcess work there)
// that runs its tasks one at a time, in the order they were added.
class SerialQueue {
public:
    SerialQueue();
    // Lets the running task finish; tasks not yet started are destroyed unrun.
    ~SerialQueue();
    void async(Task task);

private:
    QThread thread_;
    QObject* context_;  // lives on the worker thread
};

}  // namespace daylume
