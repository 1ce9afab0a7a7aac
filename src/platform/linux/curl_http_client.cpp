#include "platform/linux/curl_http_client.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace daylume {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxRedirects = 5;
// Connections kept, in use or idle: as one comes free beyond them, the oldest idle one is closed.
// Two lookups at once over HTTP/1.1 use 16. libcurl's own bound grows with the requests added,
// and a burst of checks over HTTP/1.1 would keep hundreds.
constexpr long kIdleConnectionsKept = 16;

CURLM* asMulti(void* multi) {
    return static_cast<CURLM*>(multi);
}

// An open file that has no name: O_TMPFILE where the file system allows it, else a name dropped
// at once. A crash leaves nothing behind either way; the file goes with its descriptor.
struct TemporaryFile {
    int fd = -1;
    int error = 0;

    TemporaryFile() {
        const char* tmp = std::getenv("TMPDIR");
        const std::string folder = tmp && tmp[0] == '/' ? tmp : "/tmp";
        fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            std::string name = folder + "/daylume-download-XXXXXX";
            fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd >= 0) ::unlink(name.c_str());
        }
        if (fd < 0) error = errno;
    }
    ~TemporaryFile() {
        if (fd >= 0) ::close(fd);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // A name the file can be opened by while this process holds it.
    std::filesystem::path path() const { return "/proc/self/fd/" + std::to_string(fd); }
    bool truncate() const { return ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0; }
};

std::string size(std::size_t bytes) {
    if (bytes % (1 << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes % (1 << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

Error networkError(NetworkFailure failure, std::string message, Cause cause,
                   std::string detail = {}) {
    return makeError(ErrorDomain::Network, failure, std::move(message), cause, std::move(detail));
}

// OpenSSL's verification results that a person can act on: the log's words and the cause's detail.
std::pair<std::string, std::string> certificateProblem(long result, const std::string& text) {
    switch (result) {
        case 9:
            return {"not valid yet (is the clock right?)", "not_yet_valid"};
        case 10:
            return {"expired", "expired"};
        case 18:
            return {"self-signed", "self_signed"};
        case 19:
        case 20:
        case 21:
            return {"issued by an unknown authority", "unknown_authority"};
        case 23:
            return {"revoked", "revoked"};
    }
    return {text, "invalid"};
}

bool isRedirectToTheService(const Url& original, const char* target) {
    CURLU* a = curl_url();
    CURLU* b = curl_url();
    bool same = curl_url_set(a, CURLUPART_URL, original.absoluteString().c_str(), 0) == CURLUE_OK &&
                curl_url_set(b, CURLUPART_URL, target, 0) == CURLUE_OK;
    for (CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
        if (!same) break;
        char* x = nullptr;
        char* y = nullptr;
        curl_url_get(a, part, &x, CURLU_DEFAULT_PORT);
        curl_url_get(b, part, &y, CURLU_DEFAULT_PORT);
        same = x && y && std::string_view(x) == y;
        curl_free(x);
        curl_free(y);
    }
    curl_url_cleanup(a);
    curl_url_cleanup(b);
    return same && std::string_view(target).starts_with("https:");
}

// No answer came: the connection was refused or went away, or (HTTP/2) the stream was reset or
// left unprocessed, before the first byte of the answer.
bool unanswered(const AttemptReport& r) {
    switch (CURLcode(r.code)) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return r.headerBytes == 0;
        default:
            return false;
    }
}

// Why an attempt that libcurl did not complete failed. `tries` ends the message of a download
// that was tried again.
Error failure(const AttemptReport& r, const HttpLimits& limits, const std::string& tries) {
    const auto code = CURLcode(r.code);
    const std::string& text = r.errorText;
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            if (r.requestBytes == 0)
                return networkError(NetworkFailure::TimedOut,
                                    "timed out: no connection within " +
                                        std::to_string(limits.connectTimeout.count()) + " s",
                                    Cause::TimedOut);
            // libcurl counts whole milliseconds, and ends a task up to one early.
            if (const auto limit = r.download ? limits.downloadTimeout : limits.answerTimeout;
                r.elapsed + std::chrono::milliseconds(10) >= limit)
                return networkError(
                    NetworkFailure::TimedOut,
                    "timed out: no whole answer within " + std::to_string(limit.count()) + " s",
                    Cause::TimedOut);
            return networkError(NetworkFailure::TimedOut,
                                "timed out: less than " +
                                    size(std::size_t(limits.lowSpeedBytesPerSecond)) + "/s for " +
                                    std::to_string(limits.lowSpeedTime.count()) + " s",
                                Cause::TimedOut);
        case CURLE_PEER_FAILED_VERIFICATION: {
            auto [words, detail] = certificateProblem(r.verifyResult, text);
            return networkError(NetworkFailure::NotTrusted, "certificate not trusted: " + words,
                                Cause::NotTrusted, std::move(detail));
        }
        case CURLE_COULDNT_RESOLVE_HOST:
            return networkError(NetworkFailure::NoNetwork, "no network: " + text, Cause::NoNetwork);
        case CURLE_COULDNT_CONNECT:
            if (r.osError == ENETUNREACH || r.osError == EHOSTUNREACH || r.osError == ENETDOWN)
                return networkError(NetworkFailure::NoNetwork, "no network: " + text,
                                    Cause::NoNetwork);
            return networkError(NetworkFailure::Other, "cannot connect: " + text + tries,
                                Cause::NoAnswer);
        case CURLE_WRITE_ERROR:
            if (r.tooLarge)
                return networkError(
                    NetworkFailure::Other,
                    "the answer is larger than " +
                        size(r.download ? limits.maxDownloadBytes : limits.maxAnswerBytes),
                    Cause::AnswerTooLarge);
            if (r.writeError) return posixError(r.writeError, "temporary download file");
            return networkError(NetworkFailure::Other, text, Cause::Unknown);
        default:
            if (unanswered(r))
                return networkError(NetworkFailure::Other,
                                    "the server closed the connection before answering" + tries,
                                    Cause::ConnectionClosed);
            if (code == CURLE_RECV_ERROR || code == CURLE_PARTIAL_FILE ||
                code == CURLE_HTTP2_STREAM || code == CURLE_HTTP2)
                return networkError(
                    NetworkFailure::Other,
                    "the answer broke off after " + std::to_string(r.received) + " bytes: " + text,
                    Cause::ConnectionClosed);
            return networkError(NetworkFailure::Other, text, Cause::Unknown);
    }
}

}  // namespace

AttemptOutcome attemptOutcome(const Url& url, const AttemptReport& r, const HttpLimits& limits) {
    const auto code = CURLcode(r.code);
    if (code == CURLE_OK && !r.location.empty()) {
        if (!isRedirectToTheService(url, r.location.c_str()))
            return {.error = networkError(NetworkFailure::Other,
                                          "redirected away from the service, to " + r.location,
                                          Cause::RedirectedAway)};
        if (r.redirects >= kMaxRedirects)
            return {.error =
                        networkError(NetworkFailure::Other,
                                     "more than " + std::to_string(kMaxRedirects) + " redirects",
                                     Cause::Unknown)};
        return {.redirectTo = r.location};
    }

    // Sent again only when no answer came (the connection went away or was refused, an HTTP/2
    // stream reset or refused) or, for a download, the server said it is busy. A data task goes
    // once more at once, on a new connection: over HTTP/2 one dropped connection takes every
    // stream of a lookup with it, and waiting would eat the lookup's deadline.
    const bool busy = r.status == 502 || r.status == 503 || r.status == 504;
    if (!r.download && unanswered(r) && r.tries == 1)
        return {.retryAfter = std::chrono::milliseconds(0)};
    const bool retry = r.download && ((code == CURLE_OK && busy) || unanswered(r));
    const auto& delays = limits.downloadRetryDelays;
    if (retry && std::size_t(r.tries) <= delays.size())
        return {.retryAfter = delays[std::size_t(r.tries) - 1]};
    const std::string tries = retry ? " after " + std::to_string(r.tries) + " tries" : "";
    if (code != CURLE_OK) return {.error = failure(r, limits, tries)};
    if (retry)
        return {.error =
                    networkError(NetworkFailure::Other, "HTTP " + std::to_string(r.status) + tries,
                                 Cause::HttpStatus, std::to_string(r.status))};
    return {};
}

struct CurlHttpClient::Transfer {
    HttpTaskId id = 0;
    Url url;              // as asked for
    std::string address;  // where it is now, after redirects
    std::size_t limit = 0;
    DataCompletion onData;
    DownloadCompletion onDownload;
    std::shared_ptr<TemporaryFile> file;  // downloads only
    CURL* easy = nullptr;
    bool active = false;  // in the multi handle
    std::string body;
    std::size_t received = 0;
    bool tooLarge = false;
    int writeError = 0;
    int tries = 0;
    int redirects = 0;
    Clock::time_point firstStart;
    std::chrono::microseconds before{0};  // from firstStart to this attempt's start
    std::optional<Clock::time_point> retryAt;
    HttpResponse response;
    std::optional<Error> error;
    char errorText[CURL_ERROR_SIZE] = {};

    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
    }
};

std::size_t CurlHttpClient::receive(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    char* location = nullptr;
    curl_easy_getinfo(t.easy, CURLINFO_REDIRECT_URL, &location);
    if (location) return bytes;  // a redirect's own body is nobody's answer
    if (t.received + bytes > t.limit) {
        t.tooLarge = true;
        return 0;
    }
    if (!t.file) {
        t.body.append(data, bytes);
    } else {
        for (std::size_t done = 0; done < bytes;) {
            const ssize_t n = ::write(t.file->fd, data + done, bytes - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                t.writeError = n < 0 ? errno : ENOSPC;
                return 0;
            }
            done += std::size_t(n);
        }
    }
    t.received += bytes;
    return bytes;
}

CurlHttpClient::CurlHttpClient(WorkQueue& downloadQueue, HttpLimits limits)
    : limits_(std::move(limits)), caFile_(limits_.caFile), downloadQueue_(downloadQueue) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialised;
    multi_ = curl_multi_init();
    curl_multi_setopt(asMulti(multi_), CURLMOPT_MAXCONNECTS, kIdleConnectionsKept);
    // libcurl keeps the parsed trust store for the next connection only when it comes from a
    // file alone, and Debian's also names a folder: each connection would read and hold all of
    // /etc/ssl/certs again (about 0.9 MB and 30 ms each).
    if (CURL* probe = curl_easy_init()) {
        char* bundle = nullptr;
        curl_easy_getinfo(probe, CURLINFO_CAINFO, &bundle);
        if (caFile_.empty() && bundle) caFile_ = bundle;
        curl_easy_cleanup(probe);
    }
    thread_ = std::thread([this] { run(); });
}

CurlHttpClient::~CurlHttpClient() {
    stop();
}

void CurlHttpClient::stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    curl_multi_wakeup(asMulti(multi_));
    thread_.join();
    curl_multi_cleanup(asMulti(multi_));
}

HttpTaskId CurlHttpClient::dataTask(const Url& url, DataCompletion completion) {
    auto transfer = std::make_unique<Transfer>();
    transfer->url = url;
    transfer->limit = limits_.maxAnswerBytes;
    transfer->onData = std::move(completion);
    return add(std::move(transfer));
}

void CurlHttpClient::downloadTask(const Url& url, DownloadCompletion completion) {
    auto transfer = std::make_unique<Transfer>();
    transfer->url = url;
    transfer->limit = limits_.maxDownloadBytes;
    transfer->onDownload = std::move(completion);
    transfer->file = std::make_shared<TemporaryFile>();
    add(std::move(transfer));
}

HttpTaskId CurlHttpClient::add(std::unique_ptr<Transfer> transfer) {
    transfer->address = transfer->url.absoluteString();
    HttpTaskId id = 0;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return 0;
        id = transfer->id = ++lastId_;
        added_.push_back(std::move(transfer));
        curl_multi_wakeup(asMulti(multi_));
    }
    return id;
}

void CurlHttpClient::cancel(HttpTaskId task) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    cancelled_.insert(task);
    curl_multi_wakeup(asMulti(multi_));  // under the lock: stop() cleans the handle up after it
}

bool CurlHttpClient::isCancelled(HttpTaskId task) {
    std::lock_guard lock(mutex_);
    return cancelled_.contains(task);
}

// Puts t on the wire, or leaves why it could not start in t.error.
void CurlHttpClient::start(Transfer& t) {
    if (!t.easy) t.easy = curl_easy_init();
    CURL* easy = t.easy;
    if (!easy) {
        t.error = networkError(NetworkFailure::Other, "cannot start the request: no libcurl handle",
                               Cause::Unknown);
        return;
    }
    curl_easy_setopt(easy, CURLOPT_URL, t.address.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, receive);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorText);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    // Requests that start together wait for the first connection and share it when it turns
    // out to be HTTP/2, instead of each opening its own.
    curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     long(std::chrono::milliseconds(limits_.connectTimeout).count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, limits_.lowSpeedBytesPerSecond);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long(limits_.lowSpeedTime.count()));
    // The task's time limit holds over all its attempts: this one gets what is left of it.
    t.before = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t.firstStart);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        (t.file ? limits_.downloadTimeout : limits_.answerTimeout) - t.before);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, std::max(1L, long(left.count())));
    // A new connection for what goes again, and for every try of a download: libcurl sends a
    // request that a reused connection left unanswered again by itself, on the next pooled
    // connection, and a try would be as many requests as there are idle connections.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, long(t.file || t.tries > 1));
    if (!caFile_.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, caFile_.c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }

    t.body.clear();
    t.received = 0;
    t.errorText[0] = '\0';
    t.retryAt.reset();
    if (t.file && (t.file->fd < 0 || !t.file->truncate())) {
        t.error = posixError(t.file->fd < 0 ? t.file->error : errno, "temporary download file");
        return;
    }
    const CURLMcode added = curl_multi_add_handle(asMulti(multi_), easy);
    t.active = added == CURLM_OK;
    if (!t.active)
        t.error = networkError(
            NetworkFailure::Other,
            std::string("cannot start the request: ") + curl_multi_strerror(added), Cause::Unknown);
}

// What libcurl reported for the attempt of t that just ended.
AttemptReport CurlHttpClient::reportOf(const Transfer& t, int code) {
    AttemptReport report{
        .code = code,
        .errorText = t.errorText[0] ? t.errorText : curl_easy_strerror(CURLcode(code)),
        .received = t.received,
        .tooLarge = t.tooLarge,
        .writeError = t.writeError,
        .download = bool(t.file),
        .tries = t.tries,
        .redirects = t.redirects};
    char* location = nullptr;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &report.status);
    curl_easy_getinfo(t.easy, CURLINFO_HEADER_SIZE, &report.headerBytes);
    curl_easy_getinfo(t.easy, CURLINFO_REQUEST_SIZE, &report.requestBytes);
    curl_easy_getinfo(t.easy, CURLINFO_OS_ERRNO, &report.osError);
    curl_easy_getinfo(t.easy, CURLINFO_SSL_VERIFYRESULT, &report.verifyResult);
    curl_easy_getinfo(t.easy, CURLINFO_REDIRECT_URL, &location);
    curl_off_t elapsed = 0;
    curl_easy_getinfo(t.easy, CURLINFO_TOTAL_TIME_T, &elapsed);
    report.elapsed = t.before + std::chrono::microseconds(elapsed);
    if (location) report.location = location;
    return report;
}

// Follows a redirect, schedules a retry, or leaves the answer or the error in t.
void CurlHttpClient::finished(Transfer& t, int code) {
    const AttemptReport report = reportOf(t, code);
    char* contentType = nullptr;
    curl_easy_getinfo(t.easy, CURLINFO_CONTENT_TYPE, &contentType);
    t.response = {int(report.status), contentType ? contentType : ""};

    AttemptOutcome outcome = attemptOutcome(t.url, report, limits_);
    t.error = std::move(outcome.error);
    if (outcome.retryAfter) t.retryAt = Clock::now() + *outcome.retryAfter;
    if (!outcome.redirectTo.empty()) {
        ++t.redirects;
        t.address = std::move(outcome.redirectTo);
        start(t);
    }
}

void CurlHttpClient::remove(Transfer& t) {
    if (t.active) curl_multi_remove_handle(asMulti(multi_), t.easy);
    t.active = false;
}

// Ends a transfer that has its answer or its error.
void CurlHttpClient::end(Transfer& t) {
    const auto it = std::ranges::find_if(transfers_, [&](const auto& p) { return p.get() == &t; });
    std::unique_ptr<Transfer> owned = std::move(*it);
    transfers_.erase(it);
    deliver(std::move(owned));
}

void CurlHttpClient::deliver(std::unique_ptr<Transfer> t) {
    if (isCancelled(t->id)) return;
    std::optional<Error> error = std::move(t->error);
    if (t->onData) {
        std::optional<std::string> body;
        if (!error) body = std::move(t->body);
        t->onData(std::move(body), t->response, std::move(error));
        return;
    }
    downloadQueue_.async([file = t->file, response = t->response, error = std::move(error),
                          completion = std::move(t->onDownload)] {
        completion(error ? std::nullopt : std::optional(file->path()), response, error);
    });
}

void CurlHttpClient::run() {
    bool busy = false;
    while (takeAddedAndCancelled()) {
        startDue();
        collectFinished();
        // glibc keeps what a burst of connections freed in this thread's heap; once the burst is
        // over it goes back to the system, else the process stays at its peak for good.
        if (busy && transfers_.empty()) malloc_trim(0);
        busy = !transfers_.empty();
        sleepUntilNeeded();
    }
    for (auto& t : transfers_) remove(*t);
    transfers_.clear();
}

// Takes over the requests callers added and drops those they cancelled; false once stopping.
bool CurlHttpClient::takeAddedAndCancelled() {
    std::vector<std::unique_ptr<Transfer>> added;
    std::vector<HttpTaskId> cancelled;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        added.swap(added_);
        cancelled.assign(cancelled_.begin(), cancelled_.end());
    }
    for (auto& t : added) transfers_.push_back(std::move(t));
    for (HttpTaskId id : cancelled) {
        const auto it =
            std::ranges::find_if(transfers_, [id](const auto& t) { return t->id == id; });
        if (it != transfers_.end()) {
            remove(**it);
            transfers_.erase(it);
        }
    }
    if (!cancelled.empty()) {
        std::lock_guard lock(mutex_);
        for (HttpTaskId id : cancelled) cancelled_.erase(id);
    }
    return true;
}

// New transfers and retries that are due.
void CurlHttpClient::startDue() {
    const auto now = Clock::now();
    std::vector<Transfer*> starting;
    for (auto& t : transfers_)
        if (!t->active && !t->error && (!t->retryAt || *t->retryAt <= now))
            starting.push_back(t.get());
    for (Transfer* t : starting) {
        if (++t->tries == 1) t->firstStart = now;
        start(*t);
        if (t->error) end(*t);
    }
}

// Lets libcurl move every transfer on, and settles the attempts that ended.
void CurlHttpClient::collectFinished() {
    CURLM* multi = asMulti(multi_);
    int running = 0;
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        Transfer* t = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &t);
        const CURLcode result = message->data.result;
        remove(*t);
        finished(*t, result);
        if (!t->active && !t->retryAt) end(*t);
    }
}

// Sleeps until a socket, curl's own timer, a retry or a caller needs it: nothing at rest.
void CurlHttpClient::sleepUntilNeeded() {
    long timeout = -1;
    curl_multi_timeout(asMulti(multi_), &timeout);
    long wait = timeout < 0 ? INT_MAX : timeout;
    for (const auto& t : transfers_)
        if (t->retryAt)
            wait =
                std::min<long>(wait, std::max<long>(0, std::chrono::ceil<std::chrono::milliseconds>(
                                                           *t->retryAt - Clock::now())
                                                           .count()));
    curl_multi_poll(asMulti(multi_), nullptr, 0, int(wait), nullptr);
}

}  // namespace daylume
