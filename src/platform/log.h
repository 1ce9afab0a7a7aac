#pragma once

#include <string_view>

namespace daylume {

// The program's log: one line per event. Lines from different threads never interleave.
class Log {
public:
    virtual ~Log() = default;
    virtual void line(std::string_view text) = 0;
};

}  // namespace daylume
