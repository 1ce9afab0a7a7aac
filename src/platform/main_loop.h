#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace daylume {

using Task = std::function<void()>;
using Seconds = std::chrono::duration<double>;
using Date = std::chrono::system_clock::time_point;

// A timer on the main loop. Invalidated, it never fires again.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

// Receives the timer that fired.
using TimerBlock = std::function<void(const std::shared_ptr<Timer>&)>;

// The application's one event loop on the main thread.
class MainLoop {
public:
    virtual ~MainLoop() = default;
    // Runs `task` on the main thread soon after; may be called from any thread.
    virtual void async(Task task) = 0;
    // Runs `task` on the main thread once `delay` has passed on the monotonic clock; may be called
    // from any thread.
    virtual void asyncAfter(Seconds delay, Task task) = 0;
    // Main thread only. Fires `interval` after this call (and every `interval` after that when it
    // repeats) until invalidated. The loop keeps the timer running while it is valid, whether or
    // not the caller keeps the returned reference.
    virtual std::shared_ptr<Timer> scheduledTimer(Seconds interval, bool repeats,
                                                  TimerBlock block) = 0;
    // The wall-clock date and time now.
    virtual Date currentDate() const = 0;
};

// A thread of its own that runs its tasks one at a time, in the order they were added.
class WorkQueue {
public:
    virtual ~WorkQueue() = default;
    // May be called from any thread.
    virtual void async(Task task) = 0;
};

}  // namespace daylume
