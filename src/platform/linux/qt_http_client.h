#pragma once

#include <QHash>
#include <QNetworkAccessManager>
#include <chrono>

#include "platform/http_client.h"
#include "platform/linux/serial_queue.h"

class QNetworkReply;

namespace daylume {

// Bodies beyond these sizes end the request with an error. Pictures of the day are a few
// megabytes at most and archive answers a few kilobytes.
struct HttpLimits {
    qint64 maxAnswerBytes = 1 << 20;     // data tasks, read into memory
    qint64 maxDownloadBytes = 64 << 20;  // downloads, streamed to a file
    // A request that transfers nothing for this long fails. Qt has no limit of its own, and a
    // server that never answers would hold its connection, and the requests queued behind it,
    // for good.
    std::chrono::milliseconds transferTimeout{60'000};
};

// HTTP on one QNetworkAccessManager on the main thread: HTTP/2 where the server offers it, TLS
// verified against the system's CAs, redirects followed but never from https to http. Data
// completions run on the main thread; download completions on one worker thread of their own.
class QtHttpClient final : public HttpClient {
public:
    using Limits = HttpLimits;
    explicit QtHttpClient(Limits limits = {});
    ~QtHttpClient() override;

    void dataTask(const Url& url, DataCompletion completion) override;
    void downloadTask(const Url& url, DownloadCompletion completion) override;

private:
    QNetworkReply* get(const Url& url);

    Limits limits_;
    QNetworkAccessManager manager_;
    SerialQueue downloadQueue_;
    QHash<QString, int> openPerOrigin_;  // requests in flight, per origin
};

}  // namespace daylume
