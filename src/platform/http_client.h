#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/main_loop.h"
#include "platform/url.h"

namespace daylume {

// What the server said about an answer. `status` is 0 when no HTTP answer arrived.
struct HttpResponse {
    int status = 0;
    std::string contentType;
};

// An HTTP status is no error: a body comes with any status. The error is a transport failure
// (no connection, TLS, reset, a limit, ...) of ErrorDomain::Network, and then no body is given.
using DataCompletion = std::function<void(
    std::optional<std::string> body, const HttpResponse& response, std::optional<Error> error)>;
using DownloadCompletion =
    std::function<void(std::optional<std::filesystem::path> file, const HttpResponse& response,
                       std::optional<Error> error)>;
using HttpTaskId = std::uint64_t;

// Plain GETs. Every request goes on the wire at once: nothing queues behind another request.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Calls `completion` once, on the client's callback thread (never the main thread), unless
    // the task is cancelled first. A request left without an answer because its connection
    // closed or was refused (an HTTP/2 GOAWAY or reset included) goes out once more at once, on a
    // new connection, within the same time limit: over HTTP/2 the requests of a lookup share one
    // connection, and one market's dropped connection would take the others' answers with it.
    // A request that cannot start fails too, once.
    virtual HttpTaskId dataTask(const Url& url, DataCompletion completion) = 0;
    // Streams the body to a temporary file that has no name in any folder, never holding it
    // whole in memory, then calls `completion` on the download queue the client was given: one
    // completion at a time, never on the main thread. The file exists until the completion
    // returns. A download that failed before any byte of its answer (connection closed or
    // refused, an HTTP/2 stream reset, HTTP 502, 503 or 504) is tried again, at most twice,
    // before it is reported; each try is one request on a new connection. A download has an
    // overall time limit, over all its tries, besides the one on its speed.
    virtual void downloadTask(const Url& url, DownloadCompletion completion) = 0;
    // The task's completion will not be called, and its connection is let go. From any thread,
    // also from inside a completion; a task that has ended already is left alone.
    virtual void cancel(HttpTaskId task) = 0;
};

}  // namespace daylume
