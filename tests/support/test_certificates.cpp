#include "test_certificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QStringList>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace daylume::test {
namespace {

// Our own config file keeps the result independent of the system's openssl.cnf defaults.
constexpr char kOpensslConfig[] = R"([req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:www.bing.com, DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
)";

constexpr QLatin1String kValidDays("3");

void runOpenssl(const QString& workDir, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.start(u"openssl"_s, arguments);
    if (!process.waitForStarted())
        throw std::runtime_error("cannot start openssl: " + process.errorString().toStdString());
    process.waitForFinished(60000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        throw std::runtime_error("openssl " + arguments.join(u' ').toStdString() +
                                 " failed: " + err.toStdString());
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

QSslCertificate loadCertificate(const QString& path) {
    const QSslCertificate cert(readFile(path), QSsl::Pem);
    if (cert.isNull()) throw std::runtime_error("unusable certificate in " + path.toStdString());
    return cert;
}

QSslKey loadKey(const QString& path) {
    const QSslKey key(readFile(path), QSsl::Ec, QSsl::Pem);
    if (key.isNull()) throw std::runtime_error("unusable key in " + path.toStdString());
    return key;
}

QString randomSerial() {
    // Positive 63-bit serial; clients may cache by issuer+serial, so reuse across runs is avoided.
    return u"0x%1"_s.arg(QRandomGenerator::global()->generate64() >> 1, 0, 16);
}

QStringList newKey(const QString& file) {
    return {u"genpkey"_s,
            u"-algorithm"_s,
            u"EC"_s,
            u"-pkeyopt"_s,
            u"ec_paramgen_curve:P-256"_s,
            u"-out"_s,
            file};
}

}  // namespace

TestCertificates makeTestCertificates(const QString& dir) {
    if (!QDir().mkpath(dir)) throw std::runtime_error("cannot create " + dir.toStdString());
    const QDir d(dir);
    TestCertificates c;
    c.dir = d.absolutePath();
    c.caCertFile = d.absoluteFilePath(u"ca.pem"_s);
    c.serverCertFile = d.absoluteFilePath(u"server.pem"_s);
    c.serverKeyFile = d.absoluteFilePath(u"server.key"_s);
    c.untrustedCertFile = d.absoluteFilePath(u"untrusted.pem"_s);
    c.untrustedKeyFile = d.absoluteFilePath(u"untrusted.key"_s);
    const QString config = d.absoluteFilePath(u"openssl.cnf"_s);
    const QString caKey = d.absoluteFilePath(u"ca.key"_s);
    const QString csr = d.absoluteFilePath(u"server.csr"_s);

    QFile configFile(config);
    if (!configFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        configFile.write(kOpensslConfig) < 0)
        throw std::runtime_error("cannot write " + config.toStdString());
    configFile.close();

    runOpenssl(c.dir, newKey(caKey));
    runOpenssl(c.dir,
               {u"req"_s, u"-new"_s, u"-x509"_s, u"-config"_s, config, u"-key"_s, caKey, u"-subj"_s,
                u"/O=Daylume tests/CN=Daylume Test CA"_s, u"-days"_s, kValidDays, u"-set_serial"_s,
                randomSerial(), u"-extensions"_s, u"ca_ext"_s, u"-out"_s, c.caCertFile});

    runOpenssl(c.dir, newKey(c.serverKeyFile));
    runOpenssl(c.dir, {u"req"_s, u"-new"_s, u"-config"_s, config, u"-key"_s, c.serverKeyFile,
                       u"-subj"_s, u"/CN=www.bing.com"_s, u"-out"_s, csr});
    runOpenssl(c.dir,
               {u"x509"_s, u"-req"_s, u"-in"_s, csr, u"-CA"_s, c.caCertFile, u"-CAkey"_s, caKey,
                u"-days"_s, kValidDays, u"-set_serial"_s, randomSerial(), u"-extfile"_s, config,
                u"-extensions"_s, u"server_ext"_s, u"-out"_s, c.serverCertFile});

    runOpenssl(c.dir, newKey(c.untrustedKeyFile));
    runOpenssl(c.dir, {u"req"_s, u"-new"_s, u"-x509"_s, u"-config"_s, config, u"-key"_s,
                       c.untrustedKeyFile, u"-subj"_s, u"/CN=www.bing.com"_s, u"-days"_s,
                       kValidDays, u"-set_serial"_s, randomSerial(), u"-extensions"_s,
                       u"server_ext"_s, u"-out"_s, c.untrustedCertFile});

    c.ca = loadCertificate(c.caCertFile);
    c.serverCert = loadCertificate(c.serverCertFile);
    c.serverKey = loadKey(c.serverKeyFile);
    c.untrustedCert = loadCertificate(c.untrustedCertFile);
    c.untrustedKey = loadKey(c.untrustedKeyFile);
    return c;
}

void trustTestCa(const TestCertificates& certificates) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(certificates.ca);
    QSslConfiguration::setDefaultConfiguration(config);
}

}  // namespace daylume::test
