#pragma once

#include <QHash>
#include <QNetworkAccessManager>

#include "platform/http_client.h"
#include "platform/linux/serial_queue.h"

class QNetworkReply;

namespace daylume {

// HTTP on one QNetworkAccessManager on the main thread: HTTP/2 where the server offers it, TLS
// verified against the system's CAs, redirects followed but never from https to http. Data
// completions run on the main thread; download completions on one worker thread of their own.
class QtHttpClient final : public HttpClient {
public:
    QtHttpClient();
    ~QtHttpClient() override;

    void dataTask(const Url& url, DataCompletion completion) override;
    void downloadTask(const Url& url, DownloadCompletion completion) override;

private:
    QNetworkReply* get(const Url& url);

    QNetworkAccessManager manager_;
    SerialQueue downloadQueue_;
    QHash<QString, int> openPerOrigin_;  // requests in flight, per origin
};

}  // namespace daylume
