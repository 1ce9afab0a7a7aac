#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace daylume {

// What went wrong, in terms a person can act on. A failure is classified once, where it is
// understood; the tooltip, the window and notifications show the cause in the user's language,
// while the log keeps the English message.
enum class Cause {
    Unknown,
    NoNetwork,         // no route, no name resolution
    NoAnswer,          // connection refused, or nothing came
    ConnectionClosed,  // the server closed the connection before the whole answer
    TimedOut,
    NotTrusted,      // detail: "expired", "not_yet_valid", "self_signed", "unknown_authority",
                     // "revoked" or "invalid"
    HttpStatus,      // detail: the status, e.g. "404"
    RedirectedAway,  // to another host, or to plain HTTP
    AnswerTooLarge,
    NoPicture,    // answers came, but none named a picture
    NotAPicture,  // what arrived is no JPEG, PNG or WebP picture
    PictureIncomplete,
    PictureTooLarge,     // more pixels than a desktop can show
    FileError,           // a file could not be written, for another reason than these two
    FolderReadOnly,      // the folder cannot be written: read-only, or not this user's
    DiskFull,            // or the user's quota used up
    NoDesktop,           // no desktop Daylume can set the picture of
    DesktopToolMissing,  // detail: the program
    DesktopToolFailed,   // detail: the program or service
    NoScreen,
    SettingsNotSaved,  // detail: the file
};
inline constexpr std::size_t kCauseCount = std::size_t(Cause::SettingsNotSaved) + 1;

// Who reports a failure, and so what its code means.
enum class ErrorDomain {
    Posix,     // code: errno
    Network,   // code: NetworkFailure
    Desktop,   // code: DesktopFailure
    Picture,   // code: PictureFailure
    Settings,  // code: SettingsFailure
};
// The domain as the log prints it.
std::string_view domainName(ErrorDomain domain);

// A failure reported by the platform. `message` is the short English text for the log;
// `description()` adds the domain and code, for log lines that must say exactly what went wrong.
struct Error {
    ErrorDomain domain = ErrorDomain::Posix;
    long code = 0;
    std::string message;
    Cause cause = Cause::Unknown;
    std::string detail;  // the cause's one parameter, where it has one

    const std::string& localizedDescription() const { return message; }
    // Error Domain=<domain> Code=<code> "<message>"
    std::string description() const;
};

// The domains' codes.
enum class NetworkFailure : long {
    NotTrusted = 1,  // the server's certificate (a wrong clock, an intercepting proxy)
    NoNetwork,       // no route, no name resolution
    TimedOut,
    Other,
};
enum class DesktopFailure : long { NotSet = 1 };
enum class PictureFailure : long { NotAPicture = 1, Incomplete, TooLarge, NotDownloaded };
enum class SettingsFailure : long { NotSaved = 1 };

template <typename Code>
Error makeError(ErrorDomain domain, Code code, std::string message, Cause cause,
                std::string detail = {}) {
    return Error{domain, long(code), std::move(message), cause, std::move(detail)};
}

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
