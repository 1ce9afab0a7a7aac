#include "platform/error.h"

#include <cstring>

namespace daylume {

std::string Error::description() const {
    return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + message + "\"";
}

Failure::Failure(Error error) : std::runtime_error(error.description()), error_(std::move(error)) {}

Error posixError(int errnum, std::string_view context) {
    return makeError(kPosixErrorDomain, errnum, std::string(context) + ": " + std::strerror(errnum),
                     Cause::FileError);
}

}  // namespace daylume
