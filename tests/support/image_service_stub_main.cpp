// image-service-stub: the test stand-in for the image service as a standalone program, for
// end-to-end runs of the real application against a local server.
//
//   image-service-stub --cert FILE --key FILE --port N [--listen ADDR] [--image FILE]
//                      [--hang-markets]
//
// Prints "listening <port>" on stdout once it accepts connections and exits cleanly on SIGTERM
// or SIGINT.

#include "image_service_stub.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t quitRequested = 0;

void requestQuit(int) {
    quitRequested = 1;
}

QByteArray readFileOrExit(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "image-service-stub: cannot read %s\n", qPrintable(path));
        std::exit(2);
    }
    return file.readAll();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption certOption(QStringLiteral("cert"),
                                        QStringLiteral("Server certificate (PEM)."),
                                        QStringLiteral("file"));
    const QCommandLineOption keyOption(QStringLiteral("key"),
                                       QStringLiteral("Server private key (PEM, EC or RSA)."),
                                       QStringLiteral("file"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("n"));
    const QCommandLineOption listenOption(QStringLiteral("listen"),
                                          QStringLiteral("Address to listen on."),
                                          QStringLiteral("addr"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption imageOption(QStringLiteral("image"),
                                         QStringLiteral("JPEG served for every /th? path."),
                                         QStringLiteral("file"));
    const QCommandLineOption hangOption(QStringLiteral("hang-markets"),
                                        QStringLiteral("Never answer the archive queries."));
    parser.addOptions({certOption, keyOption, portOption, listenOption, imageOption, hangOption});
    parser.process(app);
    if (!parser.isSet(certOption) || !parser.isSet(keyOption) || !parser.isSet(portOption)) {
        std::fprintf(stderr, "image-service-stub: --cert, --key and --port are required\n");
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    const QHostAddress address(parser.value(listenOption));
    if (!portOk || port > 65535 || address.isNull()) {
        std::fprintf(stderr, "image-service-stub: bad --port or --listen\n");
        return 2;
    }

    const QSslCertificate cert(readFileOrExit(parser.value(certOption)), QSsl::Pem);
    const QByteArray keyPem = readFileOrExit(parser.value(keyOption));
    QSslKey key(keyPem, QSsl::Ec, QSsl::Pem);
    if (key.isNull()) key = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
    if (cert.isNull() || key.isNull()) {
        std::fprintf(stderr, "image-service-stub: unusable certificate or key\n");
        return 2;
    }

    daylume::test::ImageServiceStub stub(cert, key);
    if (parser.isSet(imageOption)) {
        daylume::test::ImageServiceStub::Answer image;
        image.contentType = "image/jpeg";
        image.body = readFileOrExit(parser.value(imageOption));
        stub.setPrefixAnswer("/th?", image);
    }
    if (parser.isSet(hangOption)) {
        daylume::test::ImageServiceStub::Answer hang;
        hang.hang = true;
        stub.setDefaultMarketAnswer(hang);
    }
    if (!stub.listen(address, quint16(port))) return 1;

    std::signal(SIGTERM, requestQuit);
    std::signal(SIGINT, requestQuit);
    // Polling keeps the signal handler trivially async-signal-safe.
    QTimer quitPoll;
    QObject::connect(&quitPoll, &QTimer::timeout, &app, [] {
        if (quitRequested) QCoreApplication::quit();
    });
    quitPoll.start(100);

    std::printf("listening %u\n", unsigned(stub.port()));
    std::fflush(stdout);
    return app.exec();
}
