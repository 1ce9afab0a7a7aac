#include "platform/linux/stdout_log.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace daylume {

void FdLog::write(std::string_view line) {
    std::string buffer;
    buffer.reserve(line.size() + 1);
    buffer.append(line).push_back('\n');
    std::lock_guard lock(mutex_);
    for (std::size_t done = 0; done < buffer.size();) {
        const ssize_t n = ::write(fd_, buffer.data() + done, buffer.size() - done);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && errno == EAGAIN) {
            // A reader that set the pipe non-blocking: wait for room, as a blocking write would.
            pollfd ready{fd_, POLLOUT, 0};
            ::poll(&ready, 1, -1);
        } else if (n == 0 || errno != EINTR) {
            return;  // nobody reads the log any more; the program goes on
        }
    }
}

}  // namespace daylume
