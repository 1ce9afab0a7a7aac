#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/http_client.h"
#include "platform/main_loop.h"

namespace daylume {

struct HttpLimits {
    std::size_t maxAnswerBytes = 1 << 20;     // data tasks, read into memory
    std::size_t maxDownloadBytes = 64 << 20;  // downloads, streamed to a file
    // Slower than this over lowSpeedTime fails, so a trickling server cannot hold a request.
    long lowSpeedBytesPerSecond = 1024;
    std::chrono::seconds lowSpeedTime{60};
    std::chrono::seconds answerTimeout{60};     // a data task ends by then, whatever it receives
    std::chrono::seconds downloadTimeout{600};  // a download too, over all its tries
    std::chrono::seconds connectTimeout{10};
    std::vector<std::chrono::milliseconds> downloadRetryDelays{std::chrono::seconds(2),
                                                               std::chrono::seconds(10)};
    std::string caFile;  // the certificates trusted; empty: the system's
};

// What libcurl reported when one attempt of a request ended.
struct AttemptReport {
    int code = 0;  // CURLcode
    long status = 0;
    long headerBytes = 0;                  // received
    long requestBytes = 0;                 // sent
    std::chrono::microseconds elapsed{0};  // since the task's first try
    long osError = 0;
    long verifyResult = 0;     // OpenSSL's verdict on the server's certificate
    std::string errorText;     // libcurl's words for the failure
    std::string location;      // where a redirect points; empty: no redirect
    std::size_t received = 0;  // bytes of the body kept
    bool tooLarge = false;     // the body passed the limit
    int writeError = 0;        // errno of writing the download's file
    bool download = false;
    int tries = 1;      // attempts so far, this one included
    int redirects = 0;  // followed so far
};

// What an ended attempt comes to: a redirect to follow, a retry after a delay, or a failure;
// none of them, the answer.
struct AttemptOutcome {
    std::string redirectTo;
    std::optional<std::chrono::milliseconds> retryAfter;
    std::optional<Error> error;
};
AttemptOutcome attemptOutcome(const Url& url, const AttemptReport& report,
                              const HttpLimits& limits);

// HTTP on libcurl's multi interface, driven by one network thread of its own, which is the
// callback thread of data tasks; download completions run on the queue it is given. No
// per-host limit and no queue: over HTTP/2 requests share one connection as streams, over
// HTTP/1.1 each has its own; a few idle connections are kept. Nothing is sent again behind the
// caller's back but as HttpClient says, libcurl's retry of a reused connection found dead, and the
// requests an HTTP/2 GOAWAY says were not processed. TLS is verified, against a trust store read
// once; only https, and redirects only to the same host.
class CurlHttpClient final : public HttpClient {
public:
    // `downloadQueue` must outlive the client.
    explicit CurlHttpClient(WorkQueue& downloadQueue, HttpLimits limits = {});
    ~CurlHttpClient() override;

    HttpTaskId dataTask(const Url& url, DataCompletion completion) override;
    void downloadTask(const Url& url, DownloadCompletion completion) override;
    void cancel(HttpTaskId task) override;
    // Drops every request still running, without calling back, and joins the network thread.
    void stop();

private:
    struct Transfer;
    static std::size_t receive(char* data, std::size_t size, std::size_t count, void* transfer);
    HttpTaskId add(std::unique_ptr<Transfer> transfer);
    bool isCancelled(HttpTaskId task);
    // The network thread's loop and its steps.
    void run();
    bool takeAddedAndCancelled();
    void startDue();
    void collectFinished();
    void sleepUntilNeeded();
    void start(Transfer& transfer);
    static AttemptReport reportOf(const Transfer& transfer, int code);
    void finished(Transfer& transfer, int code);
    void remove(Transfer& transfer);
    void end(Transfer& transfer);
    void deliver(std::unique_ptr<Transfer> transfer);

    const HttpLimits limits_;
    std::string caFile_;  // limits_.caFile, else the system's bundle
    void* multi_;         // CURLM, used by the network thread only (and curl_multi_wakeup)
    std::mutex mutex_;
    std::vector<std::unique_ptr<Transfer>> added_;
    std::unordered_set<HttpTaskId> cancelled_;
    bool stopping_ = false;
    HttpTaskId lastId_ = 0;
    std::vector<std::unique_ptr<Transfer>> transfers_;  // the network thread's own
    std::thread thread_;
    WorkQueue& downloadQueue_;
};

}  // namespace daylume
