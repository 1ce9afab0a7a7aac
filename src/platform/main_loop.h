#pragma once

#include <chrono>
#include <functional>

namespace daylume {

using Task = std::function<void()>;
using Seconds = std::chrono::duration<double>;

// The application's one event loop on the main thread.
class MainLoop {
public:
    virtual ~MainLoop() = default;
    // Runs `task` on the main thread soon after; may be called from any thread.
    virtual void async(Task task) = 0;
    // Runs `task` on the main thread once `delay` has passed on the monotonic clock; may be called
    // from any thread.
    virtual void asyncAfter(Seconds delay, Task task) = 0;
};

}  // namespace daylume
