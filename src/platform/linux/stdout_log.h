#pragma once

#include <mutex>

#include "platform/log.h"

namespace daylume {

// Writes each line whole on the file descriptor, at once (nothing waits in a buffer), and goes
// on after a partial write, so lines from two threads are never cut or glued together.
class FdLog final : public Log {
public:
    explicit FdLog(int fd = 1) : fd_(fd) {}

protected:
    void write(std::string_view line) override;

private:
    int fd_;
    std::mutex mutex_;
};

}  // namespace daylume
