#include "platform/linux/stdout_log.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace daylume {

void FdLog::line(std::string_view text) {
    std::string buffer;
    buffer.reserve(text.size() + 1);
    buffer.append(text).push_back('\n');
    std::lock_guard lock(mutex_);
    for (std::size_t done = 0; done < buffer.size();) {
        const ssize_t n = ::write(fd_, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nobody reads the log any more; the program goes on
        done += std::size_t(n);
    }
}

}  // namespace daylume
