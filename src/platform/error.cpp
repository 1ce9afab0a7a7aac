#include "platform/error.h"

#include <cerrno>
#include <cstring>

namespace daylume {

std::string_view domainName(ErrorDomain domain) {
    switch (domain) {
        case ErrorDomain::Posix:
            return "POSIX";
        case ErrorDomain::Network:
            return "Network";
        case ErrorDomain::Desktop:
            return "Desktop";
        case ErrorDomain::Picture:
            return "Daylume";
        case ErrorDomain::Settings:
            break;
    }
    return "Settings";
}

std::string Error::description() const {
    return "Error Domain=" + std::string(domainName(domain)) + " Code=" + std::to_string(code) +
           " \"" + message + "\"";
}

Failure::Failure(Error error) : std::runtime_error(error.description()), error_(std::move(error)) {}

Error posixError(int errnum, std::string_view context) {
    const Cause cause = errnum == EROFS || errnum == EACCES || errnum == EPERM
                            ? Cause::FolderReadOnly
                        : errnum == ENOSPC || errnum == EDQUOT ? Cause::DiskFull
                                                               : Cause::FileError;
    return makeError(ErrorDomain::Posix, errnum,
                     std::string(context) + ": " + std::strerror(errnum), cause);
}

}  // namespace daylume
