#pragma once

#include <string>
#include <string_view>

namespace daylume {

// The program's log: one line per event. Lines from different threads never interleave.
class Log {
public:
    virtual ~Log() = default;
    // Line breaks and other control characters in `text` (a tool's error output, a D-Bus or
    // network message) are folded, so that no event ever takes more than one line.
    void line(std::string_view text) { write(oneLine(text)); }

    // Each run of control characters becomes " | " where it holds a line break, else a space;
    // at the start and the end it goes.
    static std::string oneLine(std::string_view text);

protected:
    // One line of text without its line feed, and without any control character.
    virtual void write(std::string_view line) = 0;
};

}  // namespace daylume
