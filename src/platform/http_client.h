#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/url.h"

namespace daylume {

// What the server said about an answer. `status` is 0 when no HTTP answer arrived.
struct HttpResponse {
    int status = 0;
    std::string contentType;
};

// An HTTP status is no error: a body comes with any status. The error is a transport failure
// (no connection, TLS, reset, ...), and then no body is given.
using DataCompletion = std::function<void(
    std::optional<std::string> body, const HttpResponse& response, std::optional<Error> error)>;
using DownloadCompletion =
    std::function<void(std::optional<std::filesystem::path> file, const HttpResponse& response,
                       std::optional<Error> error)>;

// Plain GETs with the platform's default settings. Requests are never cancelled by the caller.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Calls `completion` once, on the client's callback thread.
    virtual void dataTask(const Url& url, DataCompletion completion) = 0;
    // Streams the body to a temporary file, never holding it whole in memory, then calls
    // `completion` on the client's serial download queue: one completion at a time, never on the
    // main thread. The file exists until the completion returns.
    virtual void downloadTask(const Url& url, DownloadCompletion completion) = 0;
};

}  // namespace daylume
