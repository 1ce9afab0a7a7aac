#include "platform/linux/qt_http_client.h"

#include <QDir>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <algorithm>
#include <memory>

namespace daylume {
namespace {

// Over HTTP/1.1 Qt opens at most this many connections to one origin and queues the rest.
constexpr int kConnectionsPerPool = 6;

HttpResponse responseOf(const QNetworkReply& reply) {
    return {reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            reply.header(QNetworkRequest::ContentTypeHeader).toString().toStdString()};
}

// Qt reports HTTP error statuses as reply errors; here a status is an answer like any other, and
// only a failure to get the answer across is an error.
std::optional<Error> transportError(const QNetworkReply& reply) {
    const QNetworkReply::NetworkError code = reply.error();
    if (code == QNetworkReply::NoError) return std::nullopt;
    const bool statusError =
        (code >= QNetworkReply::ContentAccessDenied &&
         code <= QNetworkReply::UnknownContentError) ||
        code == QNetworkReply::ProtocolInvalidOperationError ||
        (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError);
    if (statusError && responseOf(reply).status >= 400) return std::nullopt;
    return Error{"QNetworkReply", long(code), reply.errorString().toStdString()};
}

Error sizeLimitError(qint64 limit) {
    return Error{"QNetworkReply", long(QNetworkReply::OperationCanceledError),
                 "the answer is larger than " + std::to_string(limit / 1024) + " KiB"};
}

// Removes the file when the last holder lets go of it.
struct TemporaryPath {
    std::filesystem::path path;
    ~TemporaryPath() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

}  // namespace

QtHttpClient::QtHttpClient(Limits limits) : limits_(limits) {}

QtHttpClient::~QtHttpClient() {
    // Replies still running must not call back into callers that are going away.
    for (QNetworkReply* reply : manager_.findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
}

QNetworkReply* QtHttpClient::get(const Url& url) {
    const QUrl qurl(QString::fromStdString(url.absoluteString()), QUrl::StrictMode);
    QNetworkRequest request(qurl);
    request.setTransferTimeout(int(limits_.transferTimeout.count()));
    // Qt keys its connection pools by origin and peer verify name. A request that would wait
    // behind a full pool goes to a second pool whose verify name is the host itself: the same
    // certificate check, but connections of its own, so up to twelve requests run at once.
    const QString origin = QString::fromStdString(url.origin());
    int& open = openPerOrigin_[origin];
    if (open >= kConnectionsPerPool) request.setPeerVerifyName(qurl.host());
    ++open;
    QNetworkReply* reply = manager_.get(request);
    QObject::connect(reply, &QNetworkReply::finished, &manager_, [this, origin] {
        if (--openPerOrigin_[origin] == 0) openPerOrigin_.remove(origin);
    });
    return reply;
}

void QtHttpClient::dataTask(const Url& url, DataCompletion completion) {
    QNetworkReply* reply = get(url);
    // Answers are read whole into memory, so a runaway one is cut off.
    auto tooLarge = std::make_shared<std::optional<Error>>();
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [this, reply, tooLarge](qint64 received, qint64 total) {
                         if (*tooLarge || std::max(received, total) <= limits_.maxAnswerBytes)
                             return;
                         *tooLarge = sizeLimitError(limits_.maxAnswerBytes);
                         reply->abort();
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [reply, tooLarge, completion = std::move(completion)] {
                         reply->deleteLater();
                         std::optional<Error> error = *tooLarge;
                         if (!error) error = transportError(*reply);
                         std::optional<std::string> body;
                         if (!error) body = reply->readAll().toStdString();
                         completion(std::move(body), responseOf(*reply), std::move(error));
                     });
}

void QtHttpClient::downloadTask(const Url& url, DownloadCompletion completion) {
    struct Download {
        QTemporaryFile file{QDir::tempPath() + "/daylume-download-XXXXXX"};
        std::optional<Error> error;  // the body could not be kept

        void fail() {
            if (!error)
                error = Error{"QFileDevice", long(file.error()), file.errorString().toStdString()};
        }
    };
    auto download = std::make_shared<Download>();
    if (!download->file.open()) download->fail();

    QNetworkReply* reply = get(url);
    auto writeAvailable = [this, reply, download] {
        const QByteArray chunk = reply->readAll();
        if (download->error) return;
        if (download->file.size() + chunk.size() > limits_.maxDownloadBytes) {
            download->error = sizeLimitError(limits_.maxDownloadBytes);
            reply->abort();
        } else if (download->file.write(chunk) != chunk.size()) {
            download->fail();
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, writeAvailable);
    QObject::connect(
        reply, &QNetworkReply::finished, reply,
        [this, reply, download, writeAvailable, completion = std::move(completion)] {
            reply->deleteLater();
            writeAvailable();
            if (!download->error && !download->file.flush()) download->fail();
            std::optional<Error> error = download->error;
            if (!error) error = transportError(*reply);
            download->file.close();
            // From here the worker owns the file and removes it when done with it,
            // also when the task is dropped unrun at exit.
            download->file.setAutoRemove(false);
            auto file = std::make_shared<TemporaryPath>(download->file.fileName().toStdString());
            downloadQueue_.async([file, response = responseOf(*reply), error, completion] {
                completion(error ? std::nullopt : std::optional(file->path), response, error);
            });
        });
}

}  // namespace daylume
