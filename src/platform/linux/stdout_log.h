#pragma once

#include <mutex>

#include "platform/log.h"

namespace daylume {

// Writes each line whole, in one write(2) on the file descriptor, so a reader on a pipe sees it
// at once and lines from two threads never interleave.
class FdLog final : public Log {
public:
    explicit FdLog(int fd = 1) : fd_(fd) {}
    void line(std::string_view text) override;

private:
    int fd_;
    std::mutex mutex_;
};

}  // namespace daylume
