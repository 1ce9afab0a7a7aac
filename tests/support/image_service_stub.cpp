#include "image_service_stub.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>
#include <QUrlQuery>

#include <sys/socket.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace daylume::test {
namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
// Gives the client time to read the partial body before the reset arrives, so it really sees a
// download that breaks off rather than a connection that was never answered.
constexpr int kResetDelayMs = 50;

QByteArray reasonPhrase(int status) {
    static constexpr std::pair<int, const char*> kPhrases[] = {
        {200, "OK"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {304, "Not Modified"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {429, "Too Many Requests"},
        {500, "Internal Server Error"},
        {503, "Service Unavailable"},
    };
    for (const auto& [code, phrase] : kPhrases)
        if (code == status) return phrase;
    return "Status";
}

// With linger 0 the kernel answers close() with a RST instead of an orderly FIN.
void resetOnClose(qintptr descriptor) {
    const linger option{1, 0};
    ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

}  // namespace

ImageServiceStub::ImageServiceStub(const QSslCertificate& cert, const QSslKey& key, QObject* parent)
    : QObject(parent), server_(new QSslServer(this)) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(cert);
    config.setPrivateKey(key);
    config.setProtocol(QSsl::TlsV1_2OrLater);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    // Without HTTP/2 the client opens parallel HTTP/1.1 connections, bounded per host, as it
    // would against any server that does not offer h2.
    config.setAllowedNextProtocols({QByteArray(QSslConfiguration::NextProtocolHttp1_1)});
    server_->setSslConfiguration(config);
    // Emitted only once the TLS handshake has completed; failed handshakes never show up here.
    connect(server_, &QSslServer::pendingConnectionAvailable, this,
            &ImageServiceStub::acceptPending);
}

ImageServiceStub::~ImageServiceStub() {
    stop();
}

bool ImageServiceStub::listen(const QHostAddress& address, quint16 port) {
    if (server_->listen(address, port)) return true;
    qWarning("image service stub: cannot listen on %s:%u: %s", qPrintable(address.toString()),
             unsigned(port), qPrintable(server_->errorString()));
    return false;
}

quint16 ImageServiceStub::port() const {
    return server_->serverPort();
}

QString ImageServiceStub::origin() const {
    const QHostAddress address = server_->serverAddress();
    QString host = QStringLiteral("127.0.0.1");
    if (!address.isNull() && !address.isLoopback() && address != QHostAddress::Any &&
        address != QHostAddress::AnyIPv4 && address != QHostAddress::AnyIPv6)
        host = address.protocol() == QAbstractSocket::IPv6Protocol
                   ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                   : address.toString();
    const quint16 p = port();
    return p == 443 ? QStringLiteral("https://") + host
                    : QStringLiteral("https://%1:%2").arg(host).arg(p);
}

void ImageServiceStub::setMarketAnswer(const QString& marketCode, const Answer& answer) {
    marketAnswers_.insert(marketCode, answer);
}

void ImageServiceStub::setDefaultMarketAnswer(const Answer& answer) {
    defaultMarketAnswer_ = answer;
}

void ImageServiceStub::setPathAnswer(const QByteArray& pathAndQuery, const Answer& answer) {
    pathAnswers_.insert(pathAndQuery, answer);
}

void ImageServiceStub::setPrefixAnswer(const QByteArray& prefix, const Answer& answer) {
    for (auto& [known, known_answer] : prefixAnswers_)
        if (known == prefix) {
            known_answer = answer;
            return;
        }
    prefixAnswers_.append({prefix, answer});
}

QByteArray ImageServiceStub::imagePath(const QString& marketCode) {
    return "/th?id=OHR.Test_" + marketCode.toUtf8() +
           "_1920x1080.jpg&rf=LaDigue_1920x1080.jpg&pid=hp";
}

QByteArray ImageServiceStub::archiveJson(const QString& marketCode, const QDate& startDate) {
    const QString day = startDate.toString(QStringLiteral("yyyyMMdd"));
    const QJsonObject image{
        {QStringLiteral("startdate"), day},
        {QStringLiteral("fullstartdate"), day + QStringLiteral("0800")},
        {QStringLiteral("enddate"), startDate.addDays(1).toString(QStringLiteral("yyyyMMdd"))},
        {QStringLiteral("url"), QString::fromUtf8(imagePath(marketCode))},
        {QStringLiteral("urlbase"), QStringLiteral("/th?id=OHR.Test_") + marketCode},
        {QStringLiteral("copyright"),
         QStringLiteral("Test picture for %1 (\u00a9 Daylume tests)").arg(marketCode)},
        {QStringLiteral("copyrightlink"),
         QStringLiteral("https://www.bing.com/search?q=Daylume+test+") + marketCode},
        {QStringLiteral("title"), QStringLiteral("Test picture ") + marketCode},
        {QStringLiteral("hsh"), QStringLiteral("0123456789abcdef0123456789abcdef")},
    };
    const QJsonObject root{
        {QStringLiteral("images"), QJsonArray{image}},
        {QStringLiteral("tooltips"),
         QJsonObject{{QStringLiteral("loading"), QStringLiteral("Loading...")}}},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

void ImageServiceStub::stop() {
    server_->close();
    const QList<QSslSocket*> sockets = connections_.keys();
    for (QSslSocket* socket : sockets) drop(socket);
}

void ImageServiceStub::acceptPending() {
    while (server_->hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(server_->nextPendingConnection());
        if (!socket) continue;
        if (!server_->isListening()) {  // handshake finished after stop()
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connections_.insert(socket, Connection{});
        peakOpen_ = std::max(peakOpen_, openConnections());
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QSslSocket::errorOccurred, this, [this, socket] { drop(socket); });
        // The request may have arrived together with the end of the handshake.
        if (socket->bytesAvailable() > 0) readFrom(socket);
    }
}

void ImageServiceStub::readFrom(QSslSocket* socket) {
    auto it = connections_.find(socket);
    if (it == connections_.end()) return;
    it->buffer += socket->readAll();
    serveNext(socket);
}

void ImageServiceStub::drop(QSslSocket* socket) {
    if (!connections_.remove(socket)) return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void ImageServiceStub::serveNext(QSslSocket* socket) {
    for (;;) {
        auto it = connections_.find(socket);
        if (it == connections_.end() || it->busy) return;
        const qsizetype headEnd = it->buffer.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            if (it->buffer.size() > kMaxHeaderBytes) {
                qWarning("image service stub: oversized request head, closing the connection");
                drop(socket);
            }
            return;
        }
        // Only GET is expected, so there is no body to skip.
        const QByteArray requestLine = it->buffer.left(it->buffer.indexOf("\r\n"));
        it->buffer.remove(0, headEnd + 4);
        const QByteArray target = requestLine.split(' ').value(1);
        requests_.append(target);
        const Answer answer = answerFor(target);
        if (answer.hang) {
            it->busy = true;
            return;
        }
        if (answer.delayMs > 0) {
            it->busy = true;
            QTimer::singleShot(answer.delayMs, socket, [this, socket, answer] {
                auto conn = connections_.find(socket);
                if (conn == connections_.end()) return;
                conn->busy = false;
                send(socket, answer);
                serveNext(socket);
            });
            return;
        }
        send(socket, answer);
    }
}

void ImageServiceStub::send(QSslSocket* socket, const Answer& answer) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                      reasonPhrase(answer.status) + "\r\n";
    if (!answer.contentType.isEmpty()) head += "Content-Type: " + answer.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    if (!answer.location.isEmpty()) head += "Location: " + answer.location + "\r\n";
    head += "Connection: keep-alive\r\n\r\n";
    if (answer.resetAfterBytes < 0) {
        socket->write(head + answer.body);
        return;
    }

    connections_[socket].busy = true;  // nothing more is answered on this connection
    socket->write(head + answer.body.left(answer.resetAfterBytes));
    resetOnClose(socket->socketDescriptor());
    // abort() would discard what is still queued, so wait until TLS has handed it all to the
    // kernel.
    auto flushed = std::make_shared<QMetaObject::Connection>();
    *flushed = connect(socket, &QSslSocket::encryptedBytesWritten, socket, [this, socket, flushed] {
        if (socket->bytesToWrite() > 0 || socket->encryptedBytesToWrite() > 0) return;
        disconnect(*flushed);
        QTimer::singleShot(kResetDelayMs, socket, [this, socket] { drop(socket); });
    });
}

ImageServiceStub::Answer ImageServiceStub::answerFor(const QByteArray& target) const {
    if (auto it = pathAnswers_.constFind(target); it != pathAnswers_.cend()) return *it;
    const qsizetype queryStart = target.indexOf('?');
    if (target.left(queryStart) == "/HPImageArchive.aspx") {
        const QUrlQuery query(
            QString::fromUtf8(queryStart < 0 ? QByteArray() : target.mid(queryStart + 1)));
        const QString market = query.queryItemValue(QStringLiteral("mkt"), QUrl::FullyDecoded);
        if (auto it = marketAnswers_.constFind(market); it != marketAnswers_.cend()) return *it;
        if (defaultMarketAnswer_) return *defaultMarketAnswer_;
        Answer answer;
        answer.body = archiveJson(market, QDate::currentDate());
        return answer;
    }
    for (const auto& [prefix, answer] : prefixAnswers_)
        if (target.startsWith(prefix)) return answer;
    Answer notFound;
    notFound.status = 404;
    notFound.contentType = "text/html; charset=utf-8";
    notFound.body =
        "<html><head><title>404 Not Found</title></head>"
        "<body><h1>Not Found</h1></body></html>";
    return notFound;
}

}  // namespace daylume::test
