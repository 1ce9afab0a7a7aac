#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace daylume {

// A failure reported by the platform. `message` is the short human text; `description()` adds the
// domain and code, for log lines that must say exactly what went wrong.
struct Error {
    std::string domain;
    long code = 0;
    std::string message;

    const std::string& localizedDescription() const { return message; }
    // Error Domain=<domain> Code=<code> "<message>"
    std::string description() const;
};

// Thrown by platform calls that run inside one guarded block; the block's owner catches it once
// and logs it.
class Failure : public std::runtime_error {
public:
    explicit Failure(Error error);
    const Error& error() const { return error_; }

private:
    Error error_;
};

// An errno value as an Error, with the path or operation it concerns.
Error posixError(int errnum, std::string_view context);

}  // namespace daylume
