#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <optional>
#include <utility>

class QSslServer;
class QSslSocket;

namespace daylume::test {

// A local HTTPS server standing in for the image service: answers the daily archive query per
// market and any other path from a table, over HTTP/1.1 with keep-alive. Runs entirely on the
// event loop of the thread that owns it, so tests can drive a client in the same thread.
class ImageServiceStub : public QObject {
    Q_OBJECT
public:
    struct Answer {
        int delayMs = 0;    // wait before sending anything
        bool hang = false;  // accept the request and never answer; the connection stays open
        int status = 200;
        QByteArray contentType = "application/json; charset=utf-8";
        QByteArray body;
        // >= 0: send the headers (announcing the full Content-Length) and this many body bytes,
        // then reset the TCP connection.
        qint64 resetAfterBytes = -1;
        QByteArray location;  // non-empty: sent as a Location header
    };

    explicit ImageServiceStub(const QSslCertificate& cert, const QSslKey& key,
                              QObject* parent = nullptr);
    ~ImageServiceStub() override;

    bool listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const;
    QString origin() const;  // "https://127.0.0.1:<port>", without the port when it is 443

    // Answers for GET /HPImageArchive.aspx?...&mkt=<code>, chosen by the mkt parameter alone (the
    // rest of the query is not checked; look at requests() for that). Markets without an answer
    // of their own get the default answer, which unless set is a 200 archiveJson(code, today).
    void setMarketAnswer(const QString& marketCode, const Answer& answer);
    void setDefaultMarketAnswer(const Answer& answer);
    // Answers for any target (path and query) by exact match, checked before everything else.
    void setPathAnswer(const QByteArray& pathAndQuery, const Answer& answer);
    // Answers for every target starting with `prefix` without an exact answer; the first prefix
    // set wins; setting a prefix again replaces its answer. Targets nothing matches get a 404 HTML
    // page.
    void setPrefixAnswer(const QByteArray& prefix, const Answer& answer);

    // The archive body the service sends for one market, with the image at
    // /th?id=OHR.Test_<code>_1920x1080.jpg&rf=LaDigue_1920x1080.jpg&pid=hp.
    static QByteArray archiveJson(const QString& marketCode, const QDate& startDate);
    // That image address, as written in archiveJson().
    static QByteArray imagePath(const QString& marketCode);

    QList<QByteArray> requests() const { return requests_; }  // targets, in arrival order
    int maxConcurrentConnections() const { return peakOpen_; }
    int openConnections() const { return int(connections_.size()); }

    // Closes every connection (hanging ones too) and stops listening.
    void stop();

private:
    struct Connection {
        QByteArray buffer;
        bool busy = false;  // a delayed or hanging answer holds back later requests
    };

    void acceptPending();
    void readFrom(QSslSocket* socket);
    void drop(QSslSocket* socket);
    void serveNext(QSslSocket* socket);
    void send(QSslSocket* socket, const Answer& answer);
    Answer answerFor(const QByteArray& target) const;

    QSslServer* server_;
    QHash<QSslSocket*, Connection> connections_;
    QHash<QString, Answer> marketAnswers_;
    std::optional<Answer> defaultMarketAnswer_;
    QHash<QByteArray, Answer> pathAnswers_;
    QList<std::pair<QByteArray, Answer>> prefixAnswers_;
    QList<QByteArray> requests_;
    int peakOpen_ = 0;
};

}  // namespace daylume::test
